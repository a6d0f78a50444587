/* Runs a program and answers its message boxes, logging each one as a JSON line.
 *
 *   boxreader.exe OUTFILE ANSWERS TARGET.exe
 *
 * ANSWERS is a comma list of button names (OK,CANCEL,YES,...) used in order,
 * or "-". Once the list is used up, a box gets OK, else Cancel, else its first
 * button, so a scenario with too few answers still ends. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#define POLL_MS 50
#define TIMEOUT_MS 120000
#define TEXT_WAIT_MS 1000 /* a box may be visible before its static text is set */
#define MAX_BOXES 64
#define MAX_ANSWERS 32

static const struct { int id; const char *name; } BUTTONS[] = {
    {IDOK, "OK"}, {IDCANCEL, "CANCEL"}, {IDYES, "YES"}, {IDNO, "NO"},
    {IDABORT, "ABORT"}, {IDRETRY, "RETRY"}, {IDIGNORE, "IGNORE"},
};
#define N_BUTTONS (sizeof BUTTONS / sizeof BUTTONS[0])

static FILE *out;
static ULONGLONG t0;
static DWORD target_pid;

static char *answers[MAX_ANSWERS];
static int n_answers, next_answer;
static int boxes_seen;

/* Boxes already answered (kept until destroyed, so a reused handle counts as new)
 * and boxes waiting for their text, with the time they were first seen. */
static HWND answered[MAX_BOXES];
static int n_answered;
static HWND pending[MAX_BOXES];
static ULONGLONG pending_since[MAX_BOXES];
static int n_pending;

static double elapsed(void) { return (GetTickCount64() - t0) / 1000.0; }

static ULONGLONG filetime_ms(FILETIME ft)
{
    ULARGE_INTEGER t = {.LowPart = ft.dwLowDateTime, .HighPart = ft.dwHighDateTime};
    return t.QuadPart / 10000ULL;
}

/* Milliseconds since 1970, comparable with what other programs of the run log. */
static ULONGLONG epoch_ms(void)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return filetime_ms(now) - 11644473600000ULL;
}

static void put_json_string(const wchar_t *s)
{
    fputc('"', out);
    for (; *s; s++) {
        wchar_t c = *s;
        if (c == L'"') fputs("\\\"", out);
        else if (c == L'\\') fputs("\\\\", out);
        else if (c == L'\n') fputs("\\n", out);
        else if (c == L'\r') fputs("\\r", out);
        else if (c == L'\t') fputs("\\t", out);
        else if (c < 0x20) fprintf(out, "\\u%04x", (unsigned)c);
        else {
            /* Surrogate pairs must be converted together. */
            int len = (c >= 0xD800 && c <= 0xDBFF && s[1]) ? 2 : 1;
            char buf[8];
            int n = WideCharToMultiByte(CP_UTF8, 0, s, len, buf, sizeof buf, NULL, NULL);
            fwrite(buf, 1, n > 0 ? n : 0, out);
            s += len - 1;
        }
    }
    fputc('"', out);
}

static int find(HWND *list, int n, HWND w)
{
    for (int i = 0; i < n; i++)
        if (list[i] == w) return i;
    return -1;
}

/* The scripted answer if the box has that button, else OK, else Cancel, else its first button. */
static int pick_button(HWND box, const char **name)
{
    const char *wanted[] = {next_answer < n_answers ? answers[next_answer++] : "", "OK", "CANCEL", NULL};
    for (int w = 0; w < 4; w++)
        for (size_t i = 0; i < N_BUTTONS; i++)
            if ((!wanted[w] || !strcmp(wanted[w], BUTTONS[i].name)) && GetDlgItem(box, BUTTONS[i].id)) {
                *name = BUTTONS[i].name;
                return BUTTONS[i].id;
            }
    *name = "";
    return 0;
}

/* With BOXREADER_SHOTS set to a folder, the box as the screen shows it, title
 * bar included (under Wine's virtual desktop), goes to box<N>.bmp there. */
static void save_screenshot(HWND box, int number)
{
    wchar_t path[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"BOXREADER_SHOTS", path, MAX_PATH - 16);
    if (n == 0 || n >= MAX_PATH - 16)
        return;
    _snwprintf(path + n, 16, L"\\box%d.bmp", number);
    Sleep(500); /* let it paint */
    RECT r;
    GetWindowRect(box, &r);
    int w = r.right - r.left, h = r.bottom - r.top, stride = (w * 3 + 3) & ~3;
    HDC screen = GetDC(NULL), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info = {.biSize = sizeof info, .biWidth = w, .biHeight = h, .biPlanes = 1,
                             .biBitCount = 24, .biCompression = BI_RGB};
    BYTE *pixels = malloc((size_t)stride * h);
    FILE *file = _wfopen(path, L"wb");
    if (pixels && file && GetDIBits(memory, bitmap, 0, h, pixels, (BITMAPINFO *)&info, DIB_RGB_COLORS)) {
        BITMAPFILEHEADER header = {.bfType = 0x4D42, .bfOffBits = sizeof header + sizeof info,
                                   .bfSize = sizeof header + sizeof info + (DWORD)stride * h};
        fwrite(&header, sizeof header, 1, file);
        fwrite(&info, sizeof info, 1, file);
        fwrite(pixels, (size_t)stride * h, 1, file);
    }
    if (file)
        fclose(file);
    free(pixels);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
}

static void record_and_answer(HWND box)
{
    wchar_t caption[512], text[4096];
    const char *pressed;
    int sep = 0;

    caption[0] = text[0] = 0;
    GetWindowTextW(box, caption, 512);
    GetDlgItemTextW(box, 0xFFFF, text, 4096);

    fputs("{\"caption\":", out);
    put_json_string(caption);
    fputs(",\"text\":", out);
    put_json_string(text);
    fputs(",\"buttons\":[", out);
    for (size_t i = 0; i < N_BUTTONS; i++)
        if (GetDlgItem(box, BUTTONS[i].id)) {
            fprintf(out, "%s\"%s\"", sep ? "," : "", BUTTONS[i].name);
            sep = 1;
        }
    save_screenshot(box, ++boxes_seen);
    int id = pick_button(box, &pressed);
    fprintf(out, "],\"pressed\":\"%s\",\"t\":%.2f,\"epoch_ms\":%llu}\n", pressed, elapsed(), epoch_ms());
    fflush(out);

    if (id)
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(box, id));
    if (n_answered < MAX_BOXES) answered[n_answered++] = box;
}

static BOOL CALLBACK visit(HWND w, LPARAM live_boxes)
{
    wchar_t cls[16];
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != target_pid || !IsWindowVisible(w)) return TRUE;
    if (!GetClassNameW(w, cls, 16) || wcscmp(cls, L"#32770")) return TRUE;
    ++*(int *)live_boxes;
    if (find(answered, n_answered, w) >= 0) return TRUE;

    wchar_t text[2];
    text[0] = 0;
    GetDlgItemTextW(w, 0xFFFF, text, 2);
    int p = find(pending, n_pending, w);
    if (p < 0 && n_pending < MAX_BOXES) {
        p = n_pending++;
        pending[p] = w;
        pending_since[p] = GetTickCount64();
    }
    if (text[0] || p < 0 || GetTickCount64() - pending_since[p] >= TEXT_WAIT_MS) {
        if (p >= 0) {
            pending[p] = pending[--n_pending];
            pending_since[p] = pending_since[n_pending];
        }
        record_and_answer(w);
    }
    return TRUE;
}

/* Forget destroyed boxes so their handles can be recognised as new boxes. */
static void prune(HWND *list, ULONGLONG *since, int *n)
{
    for (int i = 0; i < *n;)
        if (IsWindow(list[i])) i++;
        else {
            list[i] = list[--*n];
            if (since) since[i] = since[*n];
        }
}

static void parse_answers(const wchar_t *arg)
{
    static char buf[512];
    WideCharToMultiByte(CP_UTF8, 0, arg, -1, buf, sizeof buf, NULL, NULL);
    if (!strcmp(buf, "-")) return;
    for (char *tok = strtok(buf, ","); tok && n_answers < MAX_ANSWERS; tok = strtok(NULL, ","))
        answers[n_answers++] = tok;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc != 4) {
        fwprintf(stderr, L"usage: boxreader OUTFILE ANSWERS TARGET.exe\n");
        return 2;
    }
    out = _wfopen(argv[1], L"wb");
    if (!out) {
        fwprintf(stderr, L"boxreader: cannot open %ls\n", argv[1]);
        return 2;
    }
    parse_answers(argv[2]);

    wchar_t dir[MAX_PATH], *slash;
    wcsncpy(dir, argv[3], MAX_PATH - 1);
    dir[MAX_PATH - 1] = 0;
    slash = wcsrchr(dir, L'\\');
    if (slash) *slash = 0;

    wchar_t cmdline[MAX_PATH + 3];
    _snwprintf(cmdline, MAX_PATH + 3, L"\"%ls\"", argv[3]);
    cmdline[MAX_PATH + 2] = 0;

    STARTUPINFOW si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    t0 = GetTickCount64();
    if (!CreateProcessW(argv[3], cmdline, NULL, NULL, FALSE, 0, NULL, slash ? dir : NULL, &si, &pi)) {
        fprintf(out, "{\"error\":\"CreateProcess failed\",\"code\":%lu}\n", GetLastError());
        fclose(out);
        return 3;
    }
    target_pid = pi.dwProcessId;

    /* Sampled while the program runs: an ended process reports no memory. */
    SIZE_T peak_working_set = 0;
    for (;;) {
        PROCESS_MEMORY_COUNTERS memory = {.cb = sizeof memory};
        if (GetProcessMemoryInfo(pi.hProcess, &memory, sizeof memory) && memory.PeakWorkingSetSize > peak_working_set)
            peak_working_set = memory.PeakWorkingSetSize;
        int live_boxes = 0;
        prune(answered, NULL, &n_answered);
        prune(pending, pending_since, &n_pending);
        EnumWindows(visit, (LPARAM)&live_boxes);
        if (!live_boxes && WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
        if (GetTickCount64() - t0 > TIMEOUT_MS) {
            TerminateProcess(pi.hProcess, 1);
            fprintf(out, "{\"timeout\":true,\"t\":%.2f}\n", elapsed());
            fclose(out);
            return 4;
        }
        Sleep(POLL_MS);
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    /* What the program cost: its processor time and its largest working set. */
    FILETIME created, exited, kernel, user;
    ULONGLONG cpu_ms = 0;
    if (GetProcessTimes(pi.hProcess, &created, &exited, &kernel, &user))
        cpu_ms = filetime_ms(kernel) + filetime_ms(user);
    fprintf(out, "{\"exit\":%lu,\"t\":%.2f,\"cpu_ms\":%llu,\"peak_ws_kb\":%lu}\n", code, elapsed(), cpu_ms,
            (unsigned long)(peak_working_set / 1024));
    fclose(out);
    return 0;
}
