// The checks on Windows or Wine: seeding through the real API; started with "exit259" it is the child.
#include <stdio.h>
#include <string.h>

#include <aclapi.h>
#include <sddl.h>
#include <wchar.h>

#include "conformance.h"

static REGSAM ViewFlag(bool view64) { return view64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

static bool SetDacl(HKEY key, PACL dacl)
{
    SECURITY_DESCRIPTOR descriptor;
    return InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE) &&
           RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
}

bool PlatformSeedKey(bool view64, const char* path, const SeedValue* values, int count, bool queryOnly)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, 0, KEY_ALL_ACCESS | ViewFlag(view64), NULL, &key, NULL))
        return false;
    bool done = true;
    for (int i = 0; i < count; ++i)
        done &= !RegSetValueExA(key, values[i].name, 0, values[i].type, (const BYTE*)values[i].data, values[i].size);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = NULL;
    DWORD acl[64];
    if (queryOnly)
        done &= AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone) &&
                InitializeAcl((PACL)acl, sizeof(acl), ACL_REVISION) &&
                AddAccessAllowedAce((PACL)acl, ACL_REVISION, KEY_QUERY_VALUE, everyone) && SetDacl(key, (PACL)acl);
    FreeSid(everyone);
    RegCloseKey(key);
    return done;
}

void PlatformDropKey(bool view64, const char* path)
{
    HKEY key;  // the owner may always rewrite the DACL: a null one lets the key be deleted
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, WRITE_DAC | ViewFlag(view64), &key) != ERROR_SUCCESS)
        return;
    SetDacl(key, NULL);
    RegCloseKey(key);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path, ViewFlag(view64), 0);
}

void PlatformArrangeChild(const WCHAR*, bool) {}
void PlatformPostToSelf(UINT message) { PostThreadMessageA(GetCurrentThreadId(), message, 0, 0); }
DWORD PlatformNowMs() { return GetTickCount(); }

static bool HasDacl(PSECURITY_DESCRIPTOR descriptor, bool (*is)(const WCHAR*, const WCHAR*), const WCHAR* sddl)
{
    WCHAR* read = NULL;
    const bool has = descriptor != NULL && ConvertSecurityDescriptorToStringSecurityDescriptorW(
                                               descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &read, NULL) &&
                     is(read, sddl);
    LocalFree(read);
    return has;
}

bool PlatformReadsBack(PSECURITY_DESCRIPTOR descriptor, const WCHAR* sddl)
{
    return HasDacl(descriptor, [](const WCHAR* read, const WCHAR* made) { return wcscmp(read, made) == 0; }, sddl);
}

// Windows may add its auto-inherited flag: "D:PAI(...)".
bool PlatformKeepsAccessList(const WCHAR* folder)
{
    PSECURITY_DESCRIPTOR descriptor = NULL;
    GetNamedSecurityInfoW(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, NULL, NULL, NULL, NULL, &descriptor);
    const bool kept = HasDacl(descriptor, [](const WCHAR* read, const WCHAR* aces) {
        return wcsncmp(read, L"D:P", 3) == 0 && wcschr(read, L'(') && wcscmp(wcschr(read, L'('), aces) == 0;
    }, L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    LocalFree(descriptor);
    return kept;
}

struct Shown {
    WCHAR *text, *caption;
    int size;
};

// Reads the box that this process's main thread shows, once its text is set (or after a second), then answers it.
static DWORD WINAPI ReadBox(LPVOID shown)
{
    Shown* out = (Shown*)shown;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(20)) {
        HWND box = NULL;
        while ((box = FindWindowExW(NULL, box, L"#32770", NULL)) != NULL) {
            DWORD pid = 0;
            GetWindowThreadProcessId(box, &pid);
            if (pid == GetCurrentProcessId() && IsWindowVisible(box))
                break;
        }
        if (box == NULL || (!GetDlgItemTextW(box, 0xFFFF, out->text, out->size) && GetTickCount() - start < 1000))
            continue;
        GetWindowTextW(box, out->caption, out->size);
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(box, IDOK));
        return 0;
    }
    return 1;
}

void PlatformShowBox(bool wide, const void* text, const void* caption, WCHAR* shownText, WCHAR* shownCaption, int size)
{
    Shown shown = {shownText, shownCaption, size};
    shownText[0] = shownCaption[0] = 0;
    HANDLE reader = CreateThread(NULL, 0, ReadBox, &shown, 0, NULL);
    if (wide)
        MessageBoxW(NULL, (const WCHAR*)text, (const WCHAR*)caption, MB_OK);
    else
        MessageBoxA(NULL, (const char*)text, (const char*)caption, MB_OK);
    WaitForSingleObject(reader, INFINITE);
    CloseHandle(reader);
}

const char* PlatformWineVersion()
{
    const FARPROC found = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");
    return found != NULL ? ((const char*(CDECL*)())(void*)found)() : NULL;
}

int main(int argc, char** argv)
{
    if (argc == 2 && strcmp(argv[1], "exit259") == 0) {
        Sleep(1000);
        ExitProcess(259);
    }
    if (argc == 2 && strcmp(argv[1], "cwd") == 0)
        return CloseHandle(CreateFileW(L"cwd.txt", GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL)) ? 0 : 1;
    MSG msg;
    PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);  // gives the thread its message queue
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    const char* wine = PlatformWineVersion();
    char label[64];
    sprintf(label, "%s %.16s, %s-bit Windows %u.%u", wine ? "Wine" : "Windows", wine ? wine : "", wow64 ? "64" : "32",
            (unsigned)version.dwMajorVersion, (unsigned)version.dwMinorVersion);
    RunConformance(wine || version.dwMajorVersion < 6 ? CUT_XP : CUT_VISTA, label);
    return FinishConformance();
}
