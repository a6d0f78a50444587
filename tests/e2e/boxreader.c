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

/* Every button a box can have, so that a box of another kind than expected is seen as one. */
static const struct { int id; const char *name; } BUTTONS[] = {
    {IDOK, "OK"}, {IDCANCEL, "CANCEL"}, {IDYES, "YES"}, {IDNO, "NO"}, {IDABORT, "ABORT"}, {IDRETRY, "RETRY"},
    {IDIGNORE, "IGNORE"}};
#define N_BUTTONS (sizeof BUTTONS / sizeof BUTTONS[0])

static FILE *out;
static ULONGLONG t0;
static DWORD target_pid;
static char answers[512]; /* taken one per box with strtok */
static int boxes_seen;

/* Live boxes, from when each was first seen; forgotten once destroyed, so a
 * reused handle counts as a new box. */
static struct box { HWND window; ULONGLONG since; BOOL answered; } boxes[MAX_BOXES];
static int n_boxes;

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

/* Beyond ASCII as \u escapes of UTF-16 units, which a JSON reader joins into characters. */
static void put_json_string(const char *key, const wchar_t *s)
{
    fprintf(out, "\"%s\":\"", key);
    for (; *s; s++)
        if (*s == L'"' || *s == L'\\') fprintf(out, "\\%c", (char)*s);
        else if (*s < 0x20 || *s >= 0x80) fprintf(out, "\\u%04x", (unsigned)*s);
        else fputc((char)*s, out);
    fputs("\",", out);
}

/* The scripted answer if the box has that button, else OK, else Cancel, else its first button. */
static int pick_button(HWND box, const char **name)
{
    const char *scripted = strtok(boxes_seen == 1 ? answers : NULL, ",");
    const char *wanted[] = {scripted ? scripted : "", "OK", "CANCEL", NULL};
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
static void save_screenshot(HWND box)
{
    wchar_t path[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"BOXREADER_SHOTS", path, MAX_PATH - 16);
    if (n == 0 || n >= MAX_PATH - 16)
        return;
    _snwprintf(path + n, 16, L"\\box%d.bmp", boxes_seen);
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
    BITMAPFILEHEADER header = {.bfType = 0x4D42, .bfOffBits = sizeof header + sizeof info,
                               .bfSize = sizeof header + sizeof info + (DWORD)stride * h};
    BYTE *pixels = malloc((size_t)stride * h);
    FILE *file = _wfopen(path, L"wb");
    if (pixels && file && GetDIBits(memory, bitmap, 0, h, pixels, (BITMAPINFO *)&info, DIB_RGB_COLORS)) {
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
    wchar_t caption[512] = L"", text[4096] = L"";
    const char *pressed, *sep = "";
    GetWindowTextW(box, caption, 512);
    GetDlgItemTextW(box, 0xFFFF, text, 4096);
    fputc('{', out);
    put_json_string("caption", caption);
    put_json_string("text", text);
    fputs("\"buttons\":[", out);
    for (size_t i = 0; i < N_BUTTONS; i++)
        if (GetDlgItem(box, BUTTONS[i].id)) {
            fprintf(out, "%s\"%s\"", sep, BUTTONS[i].name);
            sep = ",";
        }
    ++boxes_seen;
    save_screenshot(box);
    int id = pick_button(box, &pressed);
    fprintf(out, "],\"pressed\":\"%s\",\"t\":%.2f,\"epoch_ms\":%llu}\n", pressed, elapsed(), epoch_ms());
    fflush(out);
    if (id)
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(box, id));
}

static BOOL CALLBACK visit(HWND w, LPARAM live_boxes)
{
    wchar_t cls[16], text[2] = L"";
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != target_pid || !IsWindowVisible(w) || !GetClassNameW(w, cls, 16) || wcscmp(cls, L"#32770"))
        return TRUE;
    ++*(int *)live_boxes;
    int i = 0;
    while (i < n_boxes && boxes[i].window != w)
        i++;
    if (i == MAX_BOXES)
        return TRUE;
    if (i == n_boxes)
        boxes[n_boxes++] = (struct box){w, GetTickCount64(), FALSE};
    if (boxes[i].answered)
        return TRUE;
    GetDlgItemTextW(w, 0xFFFF, text, 2);
    if (text[0] || GetTickCount64() - boxes[i].since >= TEXT_WAIT_MS) {
        boxes[i].answered = TRUE;
        record_and_answer(w);
    }
    return TRUE;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc != 4 || !(out = _wfopen(argv[1], L"wb"))) {
        fwprintf(stderr, L"usage: boxreader OUTFILE ANSWERS TARGET.exe\n");
        return 2;
    }
    WideCharToMultiByte(CP_UTF8, 0, argv[2], -1, answers, sizeof answers, NULL, NULL);

    /* Started in its own folder, with its path quoted as the whole command line. */
    wchar_t dir[MAX_PATH], cmdline[MAX_PATH + 3], *slash;
    _snwprintf(cmdline, MAX_PATH + 3, L"\"%ls\"", argv[3]);
    cmdline[MAX_PATH + 2] = 0;
    wcsncpy(dir, argv[3], MAX_PATH - 1);
    dir[MAX_PATH - 1] = 0;
    if ((slash = wcsrchr(dir, L'\\')))
        *slash = 0;
    STARTUPINFOW si = {.cb = sizeof si};
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
        for (int i = 0; i < n_boxes;)
            if (IsWindow(boxes[i].window)) i++;
            else boxes[i] = boxes[--n_boxes];
        EnumWindows(visit, (LPARAM)&live_boxes);
        if (!live_boxes && WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
        if (GetTickCount64() - t0 > TIMEOUT_MS) {
            TerminateProcess(pi.hProcess, 1);
            fputs("{\"timeout\":true}\n", out);
            fclose(out);
            return 4;
        }
        Sleep(POLL_MS);
    }
    /* What the program cost: its processor time and its largest working set. */
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    FILETIME created, exited, kernel, user;
    ULONGLONG cpu_ms = 0;
    if (GetProcessTimes(pi.hProcess, &created, &exited, &kernel, &user))
        cpu_ms = filetime_ms(kernel) + filetime_ms(user);
    fprintf(out, "{\"exit\":%lu,\"cpu_ms\":%llu,\"peak_ws_kb\":%lu}\n", code, cpu_ms,
            (unsigned long)(peak_working_set / 1024));
    fclose(out);
    return 0;
}
