/* Stand-in for the database setup package in tests and the demo: a 64-bit
 * console program that reads the answer file named on its command line and
 * registers the instance named there in the 64-bit registry view, as the real
 * package does once it has unpacked itself into SQLEXPRADV_x64_JPN in its current
 * folder, here a small tree; under the Windows folder it refuses with 0x8007010b.
 * Knobs for tests come from the environment, never from the shipped answer file:
 *   DBSETUP_STANDIN_DELAY_MS      run this long before ending
 *   DBSETUP_STANDIN_EXIT_CODE     end with this code (default 0)
 *   DBSETUP_STANDIN_WRITE_NOTHING leave the registry as it is
 *   DBSETUP_STANDIN_UNPACK_BESIDE unpack beside its own module instead, as some builds do
 *   DBSETUP_STANDIN_LOG           append the start time, the command line, the path it runs from, its
 *                                 current folder, the folder it unpacked into and the end time here;
 *                                 copy the answer file it got to this + .ini */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

static const wchar_t *env(const wchar_t *name, wchar_t *buffer, DWORD size)
{
    DWORD length = GetEnvironmentVariableW(name, buffer, size);
    return length > 0 && length < size ? buffer : NULL;
}

/* Milliseconds since 1970, comparable with the box reader's times. */
static unsigned long long now_ms(void)
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t = {.LowPart = ft.dwLowDateTime, .HighPart = ft.dwHighDateTime};
    return t.QuadPart / 10000ULL - 11644473600000ULL;
}

static void log_line(const wchar_t *format, ...)
{
    wchar_t path[MAX_PATH];
    if (!env(L"DBSETUP_STANDIN_LOG", path, MAX_PATH))
        return;
    FILE *file = _wfopen(path, L"ab");
    if (!file)
        return;
    wchar_t text[4096];
    va_list args;
    va_start(args, format);
    _vsnwprintf(text, 4095, format, args);
    va_end(args);
    text[4095] = 0;
    char utf8[16384];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), NULL, NULL);
    if (n > 1)
        fwrite(utf8, 1, n - 1, file);
    fputc('\n', file);
    fclose(file);
}

/* The quoted path after /ConfigurationFile=, as the installer passes it. */
static BOOL answer_file_path(const wchar_t *command_line, wchar_t *path, size_t size)
{
    const wchar_t *p = wcsstr(command_line, L"/ConfigurationFile=\"");
    if (!p)
        return FALSE;
    p += wcslen(L"/ConfigurationFile=\"");
    size_t n = 0;
    while (p[n] && p[n] != L'"' && n + 1 < size)
        ++n;
    wmemcpy(path, p, n);
    path[n] = 0;
    return n > 0;
}

/* A value not written shows as the installer's failure box. */
static void set_string(const wchar_t *key_path, const wchar_t *value_name, const wchar_t *text)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_path, 0, NULL, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, value_name, 0, REG_SZ, (const BYTE *)text, (DWORD)((wcslen(text) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

/* What it unpacks, in this order: d a folder, f a file, r made read-only (a folder once filled). */
#define PIECE L"a-piece-of-a-folder-name-long-enough-that-four-make-a-path-past-MAX"
static const wchar_t *const TREE[] = {L"d", L"f\\setup.exe", L"r\\setup.exe", L"d\\x64", L"f\\x64\\setup.dll",
                                      L"r\\x64", L"d\\" PIECE PIECE, L"f\\" PIECE PIECE L"\\" PIECE PIECE};

/* Into SQLEXPRADV_x64_JPN in its current folder, or beside itself: 0, or why not all was unpacked. */
static DWORD unpack(const wchar_t *module, const wchar_t *current)
{
    wchar_t root[MAX_PATH * 2], windows[MAX_PATH], path[1024], buffer[8];
    BOOL beside = env(L"DBSETUP_STANDIN_UNPACK_BESIDE", buffer, 8) != NULL;
    wcscpy(root, beside ? module : current);
    wcscpy(beside ? wcsrchr(root, L'\\') : root + wcslen(root), L"\\SQLEXPRADV_x64_JPN");
    UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    DWORD error = length && !_wcsnicmp(root, windows, length) && root[length] == L'\\' ? 0x8007010b : 0;
    for (size_t i = 0; !error && i < sizeof TREE / sizeof *TREE; ++i) {
        swprintf(path, 1024, L"\\\\?\\%ls%ls", root, TREE[i] + 1);
        BOOL made = *TREE[i] == L'd' ? CreateDirectoryW(path, NULL) : *TREE[i] == L'f' ? CopyFileW(module, path, TRUE)
                                     : SetFileAttributesW(path, FILE_ATTRIBUTE_READONLY);
        error = made ? 0 : GetLastError();
    }
    log_line(error ? L"not unpacked %ls: 0x%08lx" : L"unpacked %ls", root, error);
    return error;
}

int wmain(void)
{
    log_line(L"start %llu", now_ms());
    const wchar_t *command_line = GetCommandLineW();
    log_line(L"command %ls", command_line);
    wchar_t module[MAX_PATH * 2];
    if (GetModuleFileNameW(NULL, module, MAX_PATH * 2))
        log_line(L"module %ls", module);
    wchar_t current[MAX_PATH * 2] = L"";
    if (GetCurrentDirectoryW(MAX_PATH * 2, current))
        log_line(L"current %ls", current);
    DWORD refused = unpack(module, current);

    wchar_t buffer[64];
    const wchar_t *delay = env(L"DBSETUP_STANDIN_DELAY_MS", buffer, 64);
    if (delay)
        Sleep((DWORD)_wtoi(delay));

    const wchar_t *code = env(L"DBSETUP_STANDIN_EXIT_CODE", buffer, 64);
    int exit_code = code ? _wtoi(code) : 0;

    /* The answer file as Windows holds its path: GetCommandLineA's would be a best fit of it. */
    wchar_t file[MAX_PATH * 2], name[128], copy[MAX_PATH + 4];
    BOOL handed = answer_file_path(command_line, file, MAX_PATH * 2);
    /* For tests to compare, byte for byte, with the answer file the installer carries. */
    if (handed && env(L"DBSETUP_STANDIN_LOG", copy, MAX_PATH))
        CopyFileW(file, wcscat(copy, L".ini"), FALSE);
    /* Not unpacked, or no answer file naming the instance: nothing registered, the installer reports a failure. */
    if (!refused && handed && GetPrivateProfileStringW(L"OPTIONS", L"INSTANCENAME", L"", name, 128, file) &&
        !env(L"DBSETUP_STANDIN_WRITE_NOTHING", buffer, 64)) {
        wchar_t key[512], sql_path[512];
        swprintf(sql_path, 512, L"C:\\Program Files\\Microsoft SQL Server\\MSSQL14.%ls\\MSSQL", name);
        swprintf(key, 512, L"SOFTWARE\\Microsoft\\Microsoft SQL Server\\%ls\\Setup", name);
        set_string(key, L"SQLPath", sql_path);
        swprintf(key, 512, L"SOFTWARE\\Microsoft\\Microsoft SQL Server\\%ls\\MSSQLServer\\CurrentVersion", name);
        set_string(key, L"CurrentVersion", L"14.0.1000.169");
    }
    log_line(L"end %llu", now_ms());
    return refused ? (int)refused : exit_code;
}
