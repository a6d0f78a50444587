// Pins each Windows behaviour the product's decisions rely on, so that the
// simulated Windows (host build) and Wine (Windows build) answer the same checks.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <initializer_list>
#include <string>

#include "conformance.h"

#include <sddl.h>
#include <softpub.h>
#include <wintrust.h>

namespace {

int g_passed, g_failed;

// Where the checks run, as Windows holds it: Japanese, "¥", "é", and "한",
// which code page 932 lacks.
const char16_t kFolder[] = u"\\表ソa能 表b¥é한\\conformance.exe";

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
    {"GetModuleFileNameW, a path that does not fit the buffer",
     "Vista and later (Wine reports 6.2) copy nSize-1 units and a terminator and return nSize",
     "GetModuleFileNameW function (libloaderapi.h)", "copies nSize units, no terminator, returns nSize (as XP)", false},
    {"AdjustTokenPrivileges(token, FALSE, new, size, &previous, &length) enabling an enabled privilege",
     "the previous state holds only the privileges the call changed: none", "AdjustTokenPrivileges function "
     "(securitybaseapi.h)", "holds every privilege it was given, changed or not", false},
    {"WinVerifyTrust(WINTRUST_ACTION_GENERIC_VERIFY_V2) of a file signed under a root that Windows does not trust",
     "fails with CERT_E_UNTRUSTEDROOT (0x800B0109)", "WinVerifyTrust function (wintrust.h)",
     "gives 0 for a SHA-256 signature: it skips the chain policy", false},
    {"RemoveDirectoryW of a read-only folder", "fails with ERROR_ACCESS_DENIED until the attribute is cleared",
     "not on RemoveDirectoryW's page; rd, rimraf (#161) and Crystal (#13626) clear it first", "removes it", false},
    {"RemoveDirectoryW of a path of MAX_PATH units or more without \\\\?\\",
     "fails: such a path needs the \\\\?\\ form (the limit lifted only for programs that declare long paths)",
     "Maximum Path Length Limitation (fileio)", "removes it", false},
    // The last record: CheckSetupFolder marks it.
    {"CreateDirectoryW(path, security attributes with a protected DACL), then GetNamedSecurityInfoW",
     "the folder keeps the DACL it was made with and Windows enforces it", "CreateDirectoryW function (fileapi.h)",
     "keeps no descriptor: reads back a default list made from the Unix mode, and enforces none", false},
};

// What the product relies on in each ANSI code page the simulation knows.
struct CodePageRow {
    UINT id, maxCharSize;
    BYTE leadBytes[4];
    // A box through the "A" entry point with the code page 932 bytes of kBoxText and kBoxCaption shows these;
    // NULL where the product never shows one (Windows there always has code page 932's table).
    const char16_t *boxText, *boxCaption;
} const kCodePages[] = {
    {932, 2, {0x81, 0x9F, 0xE0, 0xFC}, u"再起動しますか？", u"起動エラー"},
    // The five bytes that code page 1252 leaves out (0x81, 0x8D, ...) become the control characters of their number.
    {1252, 1, {0}, u"\u008DÄ‹N“®‚µ‚Ü‚·‚©\u0081H", u"‹N“®ƒGƒ‰\u0081["},
    {CP_UTF8, 4, {0}, NULL, NULL},
};
const char kBoxText[] = "\x8D\xC4\x8B\x4E\x93\xAE\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81\x48";  // 再起動しますか？
const char kBoxCaption[] = "\x8B\x4E\x93\xAE\x83\x47\x83\x89\x81\x5B";  // 起動エラー

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

// Our path at every nSize.
void CheckModuleFileName(CutModel cut, const WCHAR* full, DWORD length)
{
    for (DWORD size = 1; size <= length + 2; ++size) {
        Images<WCHAR> i(0x7F);
        const DWORD result = GetModuleFileNameW(NULL, i.seen, size);
        const bool cutShort = size <= length;
        const DWORD want = cutShort ? size : length;  // units copied; a terminator follows where size allows
        memcpy(i.expected, full, want * sizeof(WCHAR));
        if (cutShort && cut == CUT_VISTA)
            i.expected[size - 1] = 0;
        else if (want < size)
            i.expected[want] = 0;
        const int at = i.Differs((int)length + 8);
        ok(result == want && at < 0, "GetModuleFileNameW(NULL, buf, nSize)",
           "nSize %u: returned %u (expected %u), unit %d is 0x%04X (expected 0x%04X)", (unsigned)size,
           (unsigned)result, (unsigned)want, at, AT(i.seen, at), AT(i.expected, at));
        g_differences[0].seen |= PlatformWineVersion() && cutShort && i.seen[size - 1] != 0;
    }
}

bool Same(const WCHAR* text, const char16_t* expected)
{
    return std::char_traits<char16_t>::compare((const char16_t*)text, expected,
                                               std::char_traits<char16_t>::length(expected) + 1) == 0;
}

// Our words, in code page 932 whatever the ANSI code page, and the boxes that show them.
void CheckBoxes(const CodePageRow& row)
{
    WCHAR text[64] = {};
    const int size = MultiByteToWideChar(932, 0, kBoxText, (int)strlen(kBoxText), NULL, 0);
    const int written = MultiByteToWideChar(932, 0, kBoxText, (int)strlen(kBoxText), text, size);
    ok(size == 8 && written == 8 && Same(text, u"再起動しますか？"), "MultiByteToWideChar(932, 0)",
       "sized %d, wrote %d", size, written);
    WCHAR shownText[64], shownCaption[64];
    PlatformShowBox(true, text, u"起動エラー", shownText, shownCaption, 64);
    ok(Same(shownText, u"再起動しますか？") && Same(shownCaption, u"起動エラー"), "MessageBoxW", "shown otherwise");
    if (row.boxText == NULL)
        return;
    PlatformShowBox(false, kBoxText, kBoxCaption, shownText, shownCaption, 64);
    ok(Same(shownText, row.boxText) && Same(shownCaption, row.boxCaption), "MessageBoxA",
       "code page 932 bytes shown otherwise in code page %u", row.id);
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
        DWORD size = 260;
        status = RegQueryValueExA(key, value.name, NULL, NULL, (LPBYTE)i.seen, &size);
        const bool fits = value.size <= 260;
        memcpy(i.expected, value.data, fits ? value.size : 0);
        const int at = fits ? i.Differs(261) : -1;  // else the contents are undefined
        ok(status == (fits ? ERROR_SUCCESS : ERROR_MORE_DATA) && size == value.size && at < 0,
           "RegQueryValueExA(260 bytes)", "%s: status %d, size %u, byte %d is 0x%02X (expected 0x%02X)",
           value.name, (int)status, (unsigned)size, at, AT(i.seen, at), AT(i.expected, at));
    }
    RegCloseKey(key);
    // On 32-bit Windows both keys are in its one view and KEY_WOW64_64KEY is ignored. Key and value
    // names match whatever their case.
    const long hidden = win64 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
    const struct { const char* path; REGSAM access; long status; } opens[] = {
        {kKeys[1], KEY_READ | KEY_WOW64_64KEY, ERROR_SUCCESS}, {kKeys[1], KEY_READ, hidden},
        {kKeys[2], KEY_READ, ERROR_SUCCESS},                   {kKeys[2], KEY_READ | KEY_WOW64_64KEY, hidden},
        {kKeys[3], KEY_READ, ERROR_ACCESS_DENIED},             {kKeys[3], KEY_QUERY_VALUE, ERROR_SUCCESS},
        {"software\\dbsetupCONFORMANCE\\oNLY32", KEY_READ, ERROR_SUCCESS}};
    for (const auto& open : opens) {
        status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, open.path, 0, open.access, &key);
        char text[8] = "";
        DWORD size = sizeof(text);
        const LONG read = status == ERROR_SUCCESS ? RegQueryValueExA(key, "v", NULL, NULL, (LPBYTE)text, &size) : 0;
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
    for (DWORD size : {148, 0, 147, 149}) {
        OSVERSIONINFOA info[2] = {};
        info[0].dwOSVersionInfoSize = size;
        const BOOL result = GetVersionExA(info);
        ok(!result == !(size == 148) && (!result || info[0].dwMajorVersion >= 5), "GetVersionExA",
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

// The setup package, started through the "W" entry point from where it lies, named apart from its command line,
// is judged by its handle's state: its exit code may be 259.
void CheckExitCode259(const WCHAR* modulePath)
{
    WCHAR command[1100] = {'"'};
    const WCHAR* const parts[] = {modulePath, (const WCHAR*)u"\" exit259"};
    for (int n = 1, p = 0; p < 2; ++p)
        for (const WCHAR* c = parts[p]; *c != 0 && n < 1099; ++c)
            command[n++] = *c;
    PlatformArrangeChild(modulePath, false);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info;
    // Held as the installer holds the package it starts.
    const HANDLE held = CreateFileW(modulePath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    const BOOL started = CreateProcessW(modulePath, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info);
    ok(held != INVALID_HANDLE_VALUE && started, "CreateFileW(GENERIC_READ, FILE_SHARE_READ), CreateProcessW",
       "from our own folder, held: %d, started: %d", held != INVALID_HANDLE_VALUE, started);
    CloseHandle(held);
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
// never a best fit. How many '?' a surrogate pair gives is not relied on. None
// in code page 65001: the product converts only where code page 932's table is
// missing, which a Windows of that code page always has.
void CheckConversion(UINT codePage)
{
    const struct { UINT codePage; const char16_t* text; const char* shown; BOOL usedDefault; } rows[] = {
        {932, u"表ソa能 表b", "\x95\x5C\x83\x5C\x61\x94\x5C\x20\x95\x5C\x62", FALSE},
        {932, u"¥é한", "???", TRUE},
        {932, u"😀", NULL, TRUE},
        {1252, u"Café¥", "Caf\xE9\xA5", FALSE},
        {1252, u"表é한", "?\xE9?", TRUE},
    };
    for (const auto& row : rows) {
        if (row.codePage != codePage)
            continue;
        const WCHAR* text = (const WCHAR*)row.text;
        const int length = (int)std::char_traits<char16_t>::length(row.text);
        char out[64] = "";
        BOOL usedDefault = !row.usedDefault;
        const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, NULL, 0, NULL, NULL);
        const int written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, out, size, NULL,
                                                &usedDefault);
        const bool same = written == size && usedDefault == row.usedDefault &&
                          (row.shown == NULL || (written == (int)strlen(row.shown) && memcmp(out, row.shown, written) == 0));
        ok(same, "WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS)", "row %d: sized %d, wrote %d, used default %d",
           (int)(&row - rows), size, written, usedDefault);
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


// Beside us (laid out by the run): the stand-in signed as "Microsoft Corporation" under a throwaway
// root, the same unsigned, and the signed one with one byte changed.
struct PackageFile {
    const char16_t* name;
    LONG result;  // from the cache only, without retrieval
} const kPackageFiles[] = {{u"unsigned.exe", TRUST_E_NOSIGNATURE}, {u"tampered.exe", TRUST_E_BAD_DIGEST},
                           {u"signed.exe", CERT_E_UNTRUSTEDROOT}};

void Beside(const WCHAR* modulePath, const char16_t* name, WCHAR* path)
{
    const size_t folder = std::char_traits<char16_t>::length((const char16_t*)modulePath) - 15;  // "conformance.exe"
    memcpy(path, modulePath, folder * sizeof(WCHAR));
    memcpy(path + folder, name, (std::char_traits<char16_t>::length(name) + 1) * sizeof(WCHAR));
}

// WinVerifyTrust as the installer asks it, by the file's handle and path; the signer's name where it passes.
LONG VerifyHeld(const WCHAR* path, WCHAR* signer, DWORD size)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    WINTRUST_FILE_INFO fileInfo = {sizeof(fileInfo), path, file, NULL};
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG result = WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
    CRYPT_PROVIDER_SGNR* signerRecord = result == 0 ? WTHelperGetProvSignerFromChain(
                                                          WTHelperProvDataFromStateData(data.hWVTStateData), 0, FALSE, 0)
                                                    : NULL;
    char commonName[] = szOID_COMMON_NAME;
    signer[0] = 0;
    if (signerRecord != NULL)
        CertGetNameStringW(signerRecord->pasCertChain[0].pCert, CERT_NAME_ATTR_TYPE, 0, commonName, signer, size);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
    CloseHandle(file);
    return result;
}

// The error of an open, or 0 for one that succeeded (and is closed).
DWORD OpenError(const WCHAR* path, DWORD access, DWORD share)
{
    HANDLE file = CreateFileW(path, access, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    return file == INVALID_HANDLE_VALUE ? GetLastError() : (CloseHandle(file), 0);
}

void CheckPackageTrust(const WCHAR* modulePath)
{
    WCHAR path[1100], signer[64];
    for (const PackageFile& file : kPackageFiles) {
        Beside(modulePath, file.name, path);
        const LONG result = VerifyHeld(path, signer, 64);
        const bool untrustedRoot = file.result == CERT_E_UNTRUSTEDROOT;
        g_differences[2].seen |= PlatformWineVersion() && untrustedRoot && result == 0;
        ok((result == file.result || (untrustedRoot && result == 0)) &&
               (result != 0 || Same(signer, u"Microsoft Corporation")),
           "WinVerifyTrust(GENERIC_VERIFY_V2, by handle, cache only), CertGetNameStringW(CERT_NAME_ATTR_TYPE, CN)",
           "%s: 0x%08X, expected 0x%08X", file.name == kPackageFiles[0].name ? "unsigned" : "signed or tampered",
           (unsigned)result, (unsigned)file.result);
    }
    // Held as the installer holds it, the file can be neither written nor deleted; let go, it can be written.
    // A folder and a missing file are what the installer reports as a launch error.
    Beside(modulePath, u"signed.exe", path);
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE held = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    const DWORD write = OpenError(path, GENERIC_WRITE, all), remove = OpenError(path, DELETE, all);
    char start[2] = {};  // and it is read from its start, as the copy reads it
    DWORD got = 0;
    const BOOL readStart = ReadFile(held, start, sizeof(start), &got, NULL) && got == 2 && start[0] == 'M' && start[1] == 'Z';
    CloseHandle(held);
    const DWORD letGo = OpenError(path, GENERIC_WRITE, all);
    Beside(modulePath, u"", path);
    path[std::char_traits<char16_t>::length((const char16_t*)path) - 1] = 0;  // our folder, without its backslash
    const DWORD folder = OpenError(path, GENERIC_READ, FILE_SHARE_READ);
    const DWORD missing = OpenError((const WCHAR*)u"C:\\dbsetup-missing.exe", GENERIC_READ, FILE_SHARE_READ);
    ok(write == ERROR_SHARING_VIOLATION && remove == ERROR_SHARING_VIOLATION && readStart && letGo == 0 &&
           folder == ERROR_ACCESS_DENIED && missing == ERROR_FILE_NOT_FOUND,
       "CreateFileW: a held file written and deleted, read from its start, let go and written; a folder; a missing file",
       "errors %u %u, read %d, %u; %u; %u", (unsigned)write, (unsigned)remove, readStart, (unsigned)letGo,
       (unsigned)folder, (unsigned)missing);
    HMODULE wintrust = LoadLibraryExW((const WCHAR*)u"wintrust.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const bool found = wintrust != NULL && GetProcAddress(wintrust, "WTHelperGetProvSignerFromChain") != NULL;
    const bool missingEntry = wintrust != NULL && GetProcAddress(wintrust, "DBSetupNoSuchEntry") == NULL &&
                              GetLastError() == ERROR_PROC_NOT_FOUND;
    const bool missingDll = LoadLibraryExW((const WCHAR*)u"dbsetup-missing.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32) ==
                                NULL && GetLastError() == ERROR_MOD_NOT_FOUND;
    ok(found && missingEntry && missingDll, "LoadLibraryExW(LOAD_LIBRARY_SEARCH_SYSTEM32), GetProcAddress",
       "wintrust.dll's entry found: %d; a missing entry gives 127: %d; a missing DLL gives 126: %d", found,
       missingEntry, missingDll);
    if (wintrust != NULL)
        FreeLibrary(wintrust);
}

// The installer's own folder: its access list made from SDDL and read back unchanged (the simulation keeps the
// text), the folder made with it in ProgramData as the machine records it and refused when the name exists, a
// read-only folder in it, paths past MAX_PATH, its removal at the next restart accepted for an administrator; a
// child started there finds its files there.
void CheckSetupFolder(const WCHAR* modulePath)
{
    const char16_t sddl[] = u"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    PSECURITY_DESCRIPTOR descriptor = NULL;
    const BOOL made =
        ConvertStringSecurityDescriptorToSecurityDescriptorW((const WCHAR*)sddl, SDDL_REVISION_1, &descriptor, NULL);
    ok(made && PlatformReadsBack(descriptor, (const WCHAR*)sddl), "ConvertStringSecurityDescriptorToSecurityDescriptorW, and back",
       "made %d", made);
    // Wine records "C:\ProgramData", Windows "%SystemDrive%\ProgramData".
    char16_t value[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH * sizeof(WCHAR);
    HKEY key;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0,
                                KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key);
    if (status == ERROR_SUCCESS)
        status = RegQueryValueExW(key, (const WCHAR*)u"ProgramData", NULL, NULL, (LPBYTE)value, &size), RegCloseKey(key);
    std::u16string ours = value;
    const bool expandable = ours == u"%SystemDrive%\\ProgramData";
    ok(status == ERROR_SUCCESS && (ours == u"C:\\ProgramData" || expandable), "RegQueryValueExW(ProfileList, ProgramData)",
       "%d, %u bytes", (int)status, (unsigned)size);
    ours = (expandable ? u"C:" + ours.substr(13) : ours) + u"\\DBSetup-conformance";
    const auto W = [](const std::u16string& text) { return (const WCHAR*)text.c_str(); };
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    const BOOL created = CreateDirectoryW(W(ours), &attributes), again = CreateDirectoryW(W(ours), &attributes);
    const DWORD error = GetLastError();
    g_differences[std::size(g_differences) - 1].seen |= PlatformWineVersion() && created && !PlatformKeepsAccessList(W(ours));
    // A read-only folder stays until the bit is cleared.
    const std::u16string readOnly = ours + u"\\read-only";
    const BOOL roMade = CreateDirectoryW(W(readOnly), &attributes) && SetFileAttributesW(W(readOnly), FILE_ATTRIBUTE_READONLY);
    const BOOL roRemoved = RemoveDirectoryW(W(readOnly));
    const DWORD roError = GetLastError();
    g_differences[3].seen |= PlatformWineVersion() && roRemoved;
    const BOOL roGone = roRemoved || (SetFileAttributesW(W(readOnly), FILE_ATTRIBUTE_NORMAL) && RemoveDirectoryW(W(readOnly)));
    ok(roMade && (roRemoved ? PlatformWineVersion() != NULL : roError == ERROR_ACCESS_DENIED) && roGone,
       "SetFileAttributesW(a folder, READONLY), RemoveDirectoryW, cleared and again", "made %d, removed %d (%u), then %d",
       roMade, roRemoved, (unsigned)roError, roGone);
    // Past MAX_PATH only through "\\\\?\\", where "." and ".." are names; without it, a single backslash starts at
    // the current drive's root (the run's is C:, where its folder lies).
    const std::u16string deep = u"\\\\?\\" + ours + u"\\" + std::u16string(200, u'L'), deeper = deep + u"\\" + std::u16string(200, u'M');
    const BOOL longMade = CreateDirectoryW(W(deep), &attributes) && CreateDirectoryW(W(deeper), &attributes);
    const BOOL plainLong = RemoveDirectoryW(W(deeper) + 4);
    g_differences[4].seen |= PlatformWineVersion() && plainLong;
    const BOOL longGone = (plainLong || RemoveDirectoryW(W(deeper))) && RemoveDirectoryW(W(deep));
    const BOOL fromRoot = CreateDirectoryW((const WCHAR*)u"\\DBSetup-conformance-root", &attributes) &&
                          RemoveDirectoryW((const WCHAR*)u"C:\\DBSetup-conformance-root");
    ok(longMade && (!plainLong || PlatformWineVersion()) && longGone && fromRoot,
       "CreateDirectoryW, RemoveDirectoryW: \\\\?\\ past MAX_PATH, the same without it; \\name",
       "made %d, removed without \\\\?\\ %d, removed %d; at the root %d", longMade, plainLong, longGone, fromRoot);
    // Started with our folder as its current folder, the child makes a file by a relative name: it lands there.
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info;
    std::u16string command = u"child cwd";
    PlatformArrangeChild(modulePath, true);
    const BOOL started = CreateProcessW(modulePath, (WCHAR*)&command[0], NULL, NULL, FALSE, 0, NULL, W(ours), &startup, &info);
    const bool ended = started && WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0;
    if (started)
        CloseHandle(info.hProcess), CloseHandle(info.hThread);
    ok(ended && DeleteFileW(W(ours + u"\\cwd.txt")), "CreateProcessW(..., lpCurrentDirectory), a relative name in the child",
       "ended %d", ended);
    const BOOL atRestart = MoveFileExW(W(ours), NULL, MOVEFILE_DELAY_UNTIL_REBOOT), removed = RemoveDirectoryW(W(ours));
    ok(created && !again && error == ERROR_ALREADY_EXISTS && atRestart && removed,
       "CreateDirectoryW(<ProgramData>\\..., protected DACL) twice, MoveFileExW(DELAY_UNTIL_REBOOT), RemoveDirectoryW",
       "made %d, again %d with %u; at restart %d; removed %d", created, again, (unsigned)error, atRestart, removed);
    LocalFree(descriptor);
    WCHAR path[1100];
    // A link to a folder (laid out beside us) is listed as a folder and a reparse point: removal never enters it.
    Beside(modulePath, u"*", path);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path, &found);
    DWORD linkAttributes = 0;
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        if (Same(found.cFileName, u"LINK"))
            linkAttributes = found.dwFileAttributes;
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    ok(linkAttributes == (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT), "FindFirstFileW, FindNextFileW: a link",
       "attributes 0x%X", (unsigned)linkAttributes);
}

// SHA-256 through CryptoAPI, as the copy of a pinned package is hashed, against libcrypto's (Python's hashlib gave
// the same): nothing, "abc", and 1 MiB + 1 of i % 251 fed as 1 MiB, then 1 byte.
void CheckSha256()
{
    static BYTE data[(1 << 20) + 1];
    for (size_t i = 0; i < sizeof(data); ++i)
        data[i] = (BYTE)(i % 251);
    const struct { const BYTE* data; DWORD first, second; const char* hex; } rows[] = {
        {data, 0, 0, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {(const BYTE*)"abc", 3, 0, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {data, 1 << 20, 1, "5769f52bc3eef28afa39c6fc68cadb7d0bd69812ae3a3d71452f519ec3c7aa56"}};
    for (const auto& row : rows) {
        HCRYPTPROV provider = 0;
        HCRYPTHASH hash = 0;
        BYTE digest[32] = {};
        DWORD size = sizeof(digest);
        const BOOL made = CryptAcquireContextW(&provider, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
                          CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash) && CryptHashData(hash, row.data, row.first, 0) &&
                          CryptHashData(hash, row.data + row.first, row.second, 0) &&
                          CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
        char hex[65] = "";
        for (DWORD i = 0; made && i < size && i < 32; ++i)
            sprintf(hex + 2 * i, "%02x", digest[i]);
        ok(made && size == 32 && strcmp(hex, row.hex) == 0, "CryptCreateHash(CALG_SHA_256), CryptHashData twice, CryptGetHashParam",
           "%u + %u bytes: %d, %u bytes %s", (unsigned)row.first, (unsigned)row.second, made, (unsigned)size, hex);
        if (hash != 0)
            CryptDestroyHash(hash);
        if (provider != 0)
            CryptReleaseContext(provider, 0);
    }
}

// The restart's privilege: found by its name and enabled, as the restart enables it. The first call
// changes it (it was disabled), so that asked again it is enabled already.
void CheckShutdownPrivilege()
{
    TOKEN_PRIVILEGES enable = {1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
    const LUID& luid = enable.Privileges[0].Luid;
    const BOOL found = LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &enable.Privileges[0].Luid);
    ok(found && luid.LowPart == 19 && luid.HighPart == 0, "LookupPrivilegeValueA(NULL, \"SeShutdownPrivilege\")",
       "%d, %u:%d", found, (unsigned)luid.LowPart, (int)luid.HighPart);
    HANDLE token = NULL;
    ok(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token), "OpenProcessToken", "failed");
    TOKEN_PRIVILEGES previous = {}, again = {};
    DWORD length = 0;
    const BOOL enabled = AdjustTokenPrivileges(token, FALSE, &enable, sizeof(previous), &previous, &length);
    AdjustTokenPrivileges(token, FALSE, &enable, sizeof(again), &again, &length);
    const auto enabledIn = [](const TOKEN_PRIVILEGES& state) { return state.Privileges[0].Attributes & SE_PRIVILEGE_ENABLED; };
    ok(enabled && previous.PrivilegeCount == 1 && previous.Privileges[0].Luid.LowPart == luid.LowPart &&
           !enabledIn(previous) && (again.PrivilegeCount == 0 || enabledIn(again)),
       "AdjustTokenPrivileges(enable, then enable again)", "%d, counts %u %u", enabled,
       (unsigned)previous.PrivilegeCount, (unsigned)again.PrivilegeCount);
    g_differences[1].seen |= PlatformWineVersion() && again.PrivilegeCount == 1;
    CloseHandle(token);
}

}  // namespace

void RunConformance(CutModel cut, const char* label)
{
    const int passedBefore = g_passed, failedBefore = g_failed;
    const CodePageRow* row = std::find_if(std::begin(kCodePages), std::end(kCodePages),
                                          [](const CodePageRow& r) { return r.id == GetACP(); });
    CPINFO info = {};
    ok(row != std::end(kCodePages) && GetCPInfo(GetACP(), &info) && info.MaxCharSize == row->maxCharSize &&
           info.DefaultChar[0] == '?' && memcmp(info.LeadByte, row->leadBytes, 4) == 0 && info.LeadByte[4] == 0,
       "GetACP, GetCPInfo(GetACP())", "code page %u: %u bytes at most, lead bytes %02X-%02X %02X-%02X", GetACP(),
       (unsigned)info.MaxCharSize, info.LeadByte[0], info.LeadByte[1], info.LeadByte[2], info.LeadByte[3]);
    BOOL wow64 = FALSE;
    ok(IsWow64Process(GetCurrentProcess(), &wow64), "IsWow64Process", "failed");
    WCHAR wide[1024];
    const DWORD wideLength = GetModuleFileNameW(NULL, wide, 1024);
    const size_t wideTail = std::char_traits<char16_t>::length(kFolder);
    ok(wideLength > wideTail && wideLength < 1000 &&
           memcmp(wide + wideLength - wideTail, kFolder, wideTail * sizeof(WCHAR)) == 0,
       "GetModuleFileNameW(NULL, buf, 1024)", "%u units, not ending in our folder", (unsigned)wideLength);
    CheckModuleFileName(cut, wide, wideLength);
    if (row != std::end(kCodePages)) {
        CheckConversion(row->id);
        CheckBoxes(*row);
    }
    CheckRegistry(wow64 != FALSE);
    CheckVersion();
    CheckFormatter();
    CheckExitCode259(wide);
    CheckPackageTrust(wide);
    CheckSetupFolder(wide);
    CheckMessageWait();
    CheckShutdownPrivilege();
    CheckSha256();
    printf("%s, code page %u: %d passed, %d failed\n", label, GetACP(), g_passed - passedBefore,
           g_failed - failedBefore);
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
