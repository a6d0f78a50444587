// Pins each Windows behaviour the product's decisions rely on, so that the
// simulated Windows (host build) and Wine (Windows build) answer the same checks.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <initializer_list>
#include <string>

#include "conformance.h"

namespace {

int g_passed, g_failed;
bool g_lead[256];

// Where the checks run, as Windows holds it and as "A" calls hand it back:
// U+00A5 best fit to '\\', "é" to 'e', and "한" has no form in code page 932.
const char16_t kFolder[] = u"\\表ソa能 表b¥é한\\conformance.exe";
const char kFolderBestFit[] = "\\表ソa能 表b\\e?\\conformance.exe";

// Counts a check; a failed one prints where it is, the call, and what was seen.
#define ok(cond, call, ...)                                                                              \
    ((cond) ? (void)++g_passed                                                                          \
            : (void)(++g_failed, printf("%s:%d: %s: ", __FILE__, __LINE__, call), printf(__VA_ARGS__), \
                     printf("\n")))

// Where Wine and Windows's documentation disagree; `seen` when Wine did so in this run.
struct Difference {
    const char *call, *documented, *page, *wine;
    bool seen;
} g_differences[] = {
    {"GetModuleFileNameA, a double-byte character crosses the end of the buffer",
     "returns nSize; Vista and later copy nSize-1 bytes and a terminator, XP nSize bytes unterminated",
     "GetModuleFileNameA function (libloaderapi.h)",
     "stops before the character, terminates, returns fewer than nSize", false},
    {"GetModuleFileNameA, the end of the buffer falls between single-byte characters",
     "Vista and later (Wine reports 6.2) copy nSize-1 bytes and a terminator and return nSize",
     "GetModuleFileNameA function (libloaderapi.h)", "copies nSize bytes, no terminator, returns nSize (as XP)", false},
};

// A buffer as a call left it and as it should be, both first filled alike to show untouched units.
template <class Char>
struct Images {
    Char seen[1032], expected[1032];
    explicit Images(char fill) { memset(seen, fill, sizeof(seen)), memset(expected, fill, sizeof(expected)); }
    int Differs(int size) const  // the first unit that differs, or -1
    {
        for (int i = 0; i < size; ++i)
            if (seen[i] != expected[i])
                return i;
        return -1;
    }
};
#define AT(image, at) (at < 0 ? 0u : (unsigned)image[at] & (sizeof(image[0]) == 1 ? 0xFFu : 0xFFFFu))

DWORD ModuleFileName(char* buffer, DWORD size) { return GetModuleFileNameA(NULL, buffer, size); }
DWORD ModuleFileName(WCHAR* buffer, DWORD size) { return GetModuleFileNameW(NULL, buffer, size); }

// Our path at every nSize: in bytes from the "A" call, in units from the "W" one, which cuts as XP where Wine.
template <class Char>
void CheckModuleFileName(CutModel cut, const Char* full, DWORD length)
{
    const bool bytes = sizeof(Char) == 1, wholeCharacters = bytes && cut == CUT_WINE;
    const char* call = bytes ? "GetModuleFileNameA(NULL, buf, nSize)" : "GetModuleFileNameW(NULL, buf, nSize)";
    for (DWORD size = 1; size <= length + 2; ++size) {
        Images<Char> i(0x7F);
        const DWORD result = ModuleFileName(i.seen, size);
        const bool cutShort = size <= length;
        DWORD want = cutShort ? size : length;  // units copied; a terminator follows where size allows
        if (cutShort && wholeCharacters)
            for (want = 0; want + (g_lead[(BYTE)full[want]] ? 2 : 1) <= size;)
                want += g_lead[(BYTE)full[want]] ? 2 : 1;
        memcpy(i.expected, full, want * sizeof(Char));
        if (cutShort && cut == CUT_VISTA)
            i.expected[size - 1] = 0;
        else if (want < size)
            i.expected[want] = 0;
        const DWORD wantResult = cutShort && !wholeCharacters ? size : want;
        const int at = i.Differs((int)length + 8);
        ok(result == wantResult && at < 0, call, "nSize %u: returned %u (expected %u), unit %d is 0x%02X (expected 0x%02X)",
           (unsigned)size, (unsigned)result, (unsigned)wantResult, at, AT(i.seen, at), AT(i.expected, at));
        g_differences[0].seen |= bytes && PlatformWineVersion() && cutShort && result < size;
        g_differences[1].seen |= bytes && PlatformWineVersion() && cutShort && result == size && i.seen[size - 1] != 0;
    }
}

const char* const kKeys[] = {"SOFTWARE\\DBSetupConformance\\Values", "SOFTWARE\\DBSetupConformance\\Only64",
                             "SOFTWARE\\DBSetupConformance\\Only32", "SOFTWARE\\DBSetupConformance\\QueryOnly",
                             "SOFTWARE\\DBSetupConformance"};

void DropTestKeys()
{
    for (bool view64 : {false, true})
        for (const char* path : kKeys)
            PlatformDropKey(view64, path);
}

void CheckRegistry(bool win64)
{
    // RegSetValueExA adds a terminator the count leaves out when the next byte is NUL.
    static char exact[261], longer[261];
    memset(exact, 'x', sizeof(exact));
    memset(longer, 'y', sizeof(longer) - 1);
    const SeedValue values[] = {{"Exact", REG_SZ, exact, 260},         {"Longer", REG_SZ, longer, 261},
                                {"Dword", REG_DWORD, "\x78\x56\x34\x12", 4}, {"Binary", REG_BINARY, "\x01\0\xFF\\", 4},
                                {"Multi", REG_MULTI_SZ, "ab\0cd\0", 7}};
    const SeedValue one = {"V", REG_SZ, "ok", 3};
    DropTestKeys();  // an earlier run may have stopped before cleaning up
    ok(PlatformSeedKey(false, kKeys[0], values, 5, false) && PlatformSeedKey(true, kKeys[1], &one, 1, false) &&
       PlatformSeedKey(false, kKeys[2], &one, 1, false) && PlatformSeedKey(false, kKeys[3], &one, 1, true),
       "seeding the test keys", "failed");
    HKEY key;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeys[0], 0, KEY_READ, &key);
    ok(status == ERROR_SUCCESS, "RegOpenKeyExA(HKLM, Values, 0, KEY_READ)", "%d", (int)status);
    for (const SeedValue& value : values) {
        Images<char> i(0x5A);
        DWORD type = 0, size = 260;
        status = RegQueryValueExA(key, value.name, NULL, &type, (LPBYTE)i.seen, &size);
        const bool fits = value.size <= 260;
        memcpy(i.expected, value.data, fits ? value.size : 0);
        const int at = fits ? i.Differs(261) : -1;  // else the contents are undefined
        ok(status == (fits ? ERROR_SUCCESS : ERROR_MORE_DATA) && type == value.type && size == value.size && at < 0,
           "RegQueryValueExA(260 bytes)", "%s: status %d, type %u, size %u, byte %d is 0x%02X (expected 0x%02X)",
           value.name, (int)status, (unsigned)type, (unsigned)size, at, AT(i.seen, at), AT(i.expected, at));
        if (!fits)
            printf("info: RegQueryValueExA left %d of 260 bytes changed on ERROR_MORE_DATA\n",
                   260 - (int)std::count(i.seen, i.seen + 260, 0x5A));
    }
    RegCloseKey(key);
    // On 32-bit Windows both keys are in its one view and KEY_WOW64_64KEY is ignored.
    const long hidden = win64 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
    const struct { const char* path; REGSAM access; long status; } opens[] = {
        {kKeys[1], KEY_READ | KEY_WOW64_64KEY, ERROR_SUCCESS}, {kKeys[1], KEY_READ, hidden},
        {kKeys[2], KEY_READ, ERROR_SUCCESS},                   {kKeys[2], KEY_READ | KEY_WOW64_64KEY, hidden},
        {kKeys[3], KEY_READ, ERROR_ACCESS_DENIED},             {kKeys[3], KEY_QUERY_VALUE, ERROR_SUCCESS}};
    for (const auto& open : opens) {
        status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, open.path, 0, open.access, &key);
        char text[8] = "";
        DWORD size = sizeof(text);
        const LONG read = status == ERROR_SUCCESS ? RegQueryValueExA(key, "V", NULL, NULL, (LPBYTE)text, &size) : 0;
        ok(status == open.status && read == ERROR_SUCCESS && (status != ERROR_SUCCESS || strcmp(text, "ok") == 0),
           "RegOpenKeyExA, RegQueryValueExA", "%s access 0x%X: %d (expected %ld), then %d \"%s\"", open.path,
           (unsigned)open.access, (int)status, open.status, (int)read, text);
        if (status == ERROR_SUCCESS)
            RegCloseKey(key);
    }
    DropTestKeys();
}

void CheckVersion()
{
    for (DWORD size : {148, 156, 0, 147, 149, 157}) {
        OSVERSIONINFOEXA info[2] = {};
        info[0].dwOSVersionInfoSize = size;
        const BOOL result = GetVersionExA((LPOSVERSIONINFOA)info);
        ok(!result == !(size == 148 || size == 156) && (!result || info[0].dwMajorVersion >= 5), "GetVersionExA",
           "dwOSVersionInfoSize %u: %d, major %u", (unsigned)size, result, (unsigned)info[0].dwMajorVersion);
    }
}

int Print(char* buffer, size_t count, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = _vsnprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

// CString::Format's way: exactly filling the buffer returns the length and leaves no terminator.
void CheckFormatter()
{
    const struct { const char* text; size_t count; int result, written; } rows[] = {
        {"abcde", 6, 5, 6}, {"abcde", 5, 5, 5}, {"abcde", 4, -1, 4}, {"表示", 4, 4, 4}, {"表示", 3, -1, 3}};
    for (const auto& row : rows) {
        Images<char> i('#');
        memcpy(i.expected, row.text, row.written);  // the text's own terminator included where it fits
        const int result = Print(i.seen, row.count, "%s", row.text);
        const int at = i.Differs(16);
        ok(result == row.result && at < 0, "_vsnprintf(buf, count, \"%s\")",
           "\"%s\" count %u: %d (expected %d), byte %d", row.text, (unsigned)row.count, result, row.result, at);
    }
}

// The setup package, started through the "W" entry point from where it lies,
// is judged by its handle's state: its exit code may be 259.
void CheckExitCode259(const WCHAR* modulePath)
{
    WCHAR command[1100] = {'"'};
    const WCHAR* const parts[] = {modulePath, (const WCHAR*)u"\" exit259"};
    for (int n = 1, p = 0; p < 2; ++p)
        for (const WCHAR* c = parts[p]; *c != 0 && n < 1099; ++c)
            command[n++] = *c;
    PlatformArrangeChild(modulePath);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info;
    const BOOL started = CreateProcessW(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info);
    ok(started, "CreateProcessW", "from our own folder: failed");
    for (const char* phase : {"running", "ended"}) {
        const bool ended = phase[0] == 'e';
        if (!started || (ended && WaitForSingleObject(info.hProcess, 30000) != WAIT_OBJECT_0))
            break;
        DWORD code = 0;
        const BOOL got = GetExitCodeProcess(info.hProcess, &code);
        const DWORD wait = WaitForSingleObject(info.hProcess, 0);
        ok(got && code == 259 && wait == (ended ? WAIT_OBJECT_0 : WAIT_TIMEOUT),
           "GetExitCodeProcess, WaitForSingleObject(h, 0)", "%s: %d code %u, wait 0x%X", phase, got, (unsigned)code,
           (unsigned)wait);
    }
    ok(started && CloseHandle(info.hProcess) && CloseHandle(info.hThread), "CloseHandle", "failed");
}

// Exact where every character has a form of its own; else '?' and the flag,
// never a best fit. How many '?' a surrogate pair gives is not relied on.
void CheckConversion()
{
    const struct { const char16_t* text; const char* shown; BOOL usedDefault; } rows[] = {
        {u"表ソa能 表b", "表ソa能 表b", FALSE}, {u"¥é한", "???", TRUE}, {u"😀", NULL, TRUE}};
    for (const auto& row : rows) {
        const WCHAR* text = (const WCHAR*)row.text;
        const int length = (int)std::char_traits<char16_t>::length(row.text);
        char out[64] = "";
        BOOL usedDefault = !row.usedDefault;
        const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, NULL, 0, NULL, NULL);
        const int written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, out, size, NULL,
                                                &usedDefault);
        ok(written == size && usedDefault == row.usedDefault &&
               (row.shown == NULL || (written == (int)strlen(row.shown) && memcmp(out, row.shown, written) == 0)),
           "WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS)", "row %d: sized %d, wrote %d \"%.*s\", used default %d",
           (int)(&row - rows), size, written, written, out, usedDefault);
    }
}

void CheckMessageWait()
{
    for (bool posted : {true, false}) {
        if (posted)
            PlatformPostToSelf(WM_USER + 7);
        const DWORD start = PlatformNowMs();
        const DWORD result = MsgWaitForMultipleObjects(0, NULL, FALSE, 500, 0xBF);
        const DWORD took = PlatformNowMs() - start;
        MSG msg = {};
        const BOOL got = PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE);
        ok(posted ? result == WAIT_OBJECT_0 && took < 250 && got && msg.message == WM_USER + 7
                  : result == WAIT_TIMEOUT && took >= 450 && took < 1500 && !got,
           "MsgWaitForMultipleObjects(0, NULL, FALSE, 500, 0xBF), PeekMessageA(PM_REMOVE)",
           "%s: 0x%X after %u ms, then %d message 0x%X", posted ? "posted" : "empty queue", (unsigned)result,
           (unsigned)took, got, msg.message);
    }
}

}  // namespace

void RunConformance(CutModel cut, const char* label)
{
    const int passedBefore = g_passed, failedBefore = g_failed;
    CPINFO info = {};
    ok(GetACP() == 932 && GetCPInfo(CP_ACP, &info), "GetACP, GetCPInfo", "code page %u", GetACP());
    memset(g_lead, 0, sizeof(g_lead));
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2)
        memset(g_lead + info.LeadByte[i], 1, info.LeadByte[i + 1] - info.LeadByte[i] + 1);
    BOOL wow64 = FALSE;
    ok(IsWow64Process(GetCurrentProcess(), &wow64), "IsWow64Process", "failed");
    // Run from kFolder: the "A" call hands back its best fit.
    char path[1024];
    const DWORD length = GetModuleFileNameA(NULL, path, sizeof(path));
    const size_t tail = strlen(kFolderBestFit);
    bool trailBackslash = false;
    for (DWORD i = 0; i + 1 < length; i += g_lead[(BYTE)path[i]] ? 2 : 1)
        trailBackslash |= g_lead[(BYTE)path[i]] && path[i + 1] == '\\';
    ok(trailBackslash && length > tail && length + 1 < sizeof(path) && strcmp(path + length - tail, kFolderBestFit) == 0,
       "GetModuleFileNameA(NULL, buf, 1024)", "%u \"%s\"", (unsigned)length, path);
    CheckModuleFileName(cut, path, length);
    WCHAR wide[1024];
    const DWORD wideLength = GetModuleFileNameW(NULL, wide, 1024);
    const size_t wideTail = std::char_traits<char16_t>::length(kFolder);
    ok(wideLength > wideTail && wideLength < 1000 &&
           memcmp(wide + wideLength - wideTail, kFolder, wideTail * sizeof(WCHAR)) == 0,
       "GetModuleFileNameW(NULL, buf, 1024)", "%u units, not ending in our folder", (unsigned)wideLength);
    CheckModuleFileName(cut, wide, wideLength);
    CheckConversion();
    CheckRegistry(wow64 != FALSE);
    CheckVersion();
    CheckFormatter();
    CheckExitCode259(wide);
    CheckMessageWait();
    printf("%s: %d passed, %d failed\n", label, g_passed - passedBefore, g_failed - failedBefore);
}

void PlatformOnlyCheck(bool cond, const char* call, const char* seen)
{
    ok(cond, call, "%s", seen);
}

int FinishConformance()
{
    printf("recorded differences between Windows's documentation and Wine:\n");
    for (const Difference& d : g_differences)
        printf("- %s\n  documented (%s): %s\n  Wine: %s\n  seen in this run: %s\n", d.call, d.page, d.documented,
               d.wine, d.seen ? "yes" : "no");
    printf("conformance: %d passed, %d failed\n", g_passed, g_failed);
    return g_failed != 0;
}
