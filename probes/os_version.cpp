#include "os_version.h"

namespace {

struct OsVersionRow {
    int major;
    int minor;
    OsKind kind;
    const char* name;
};

// Only major and minor count: editions and service packs are not told apart.
// Without a manifest, Windows 8.1 and later report 6.2.
const OsVersionRow kOsVersions[] = {
    {5, 0, OS_WIN2000, "Windows 2000"},
    {5, 1, OS_WINXP, "Windows XP"},
    {5, 2, OS_WIN2003, "Windows Server 2003"},
    {6, 0, OS_VISTA, "Windows Vista"},
    {6, 1, OS_WIN7, "Windows 7"},
    {6, 2, OS_WIN8, "Windows 8"},
    {6, 3, OS_WIN81, "Windows 8.1"},
    {10, 0, OS_WIN10, "Windows 10"},
};

const char kUnknownOsName[] = "不明";

typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE process, PBOOL wow64);

}  // namespace

BOOL GetOsVersion(int* pMajor, int* pMinor)
{
    OSVERSIONINFOA info;
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info)) {
        *pMajor = -1;
        *pMinor = -1;
        return FALSE;
    }
    *pMajor = (int)info.dwMajorVersion;
    *pMinor = (int)info.dwMinorVersion;
    return TRUE;
}

OsKind ClassifyOsVersion(int major, int minor)
{
    for (const OsVersionRow& row : kOsVersions) {
        if (row.major == major && row.minor == minor)
            return row.kind;
    }
    return OS_UNKNOWN;
}

OsKind GetOsKind()
{
    int major, minor;
    if (!GetOsVersion(&major, &minor))
        return OS_UNKNOWN;
    return ClassifyOsVersion(major, minor);
}

CString GetOsName(int kind)
{
    for (const OsVersionRow& row : kOsVersions) {
        if (row.kind == kind)
            return CString(row.name);
    }
    return CString(kUnknownOsName);
}

BOOL IsWow64()
{
    BOOL wow64 = FALSE;
    HMODULE kernel32 = LoadLibraryA("Kernel32.dll");
    if (kernel32 == NULL)
        return FALSE;
    // Looked up at run time: Windows before XP SP2 has no such entry.
    IsWow64ProcessFn isWow64Process =
        (IsWow64ProcessFn)(void*)GetProcAddress(kernel32, "IsWow64Process");
    if (isWow64Process != NULL)
        isWow64Process(GetCurrentProcess(), &wow64);
    FreeLibrary(kernel32);
    return wow64;
}
