/* A DLL planted beside the installer under the name of one Windows loads
 * later: loaded, it leaves a mark named after itself in the folder that
 * DBSETUP_PLANT_MARKS names, and nothing else. */
#include <windows.h>
#include <wchar.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t folder[MAX_PATH], module[MAX_PATH], mark[2 * MAX_PATH];
    if (!GetEnvironmentVariableW(L"DBSETUP_PLANT_MARKS", folder, MAX_PATH) ||
        !GetModuleFileNameW(self, module, MAX_PATH))
        return TRUE;
    const wchar_t *name = wcsrchr(module, L'\\') ? wcsrchr(module, L'\\') + 1 : module;
    _snwprintf(mark, 2 * MAX_PATH - 1, L"%ls\\%ls.loaded", folder, name);
    mark[2 * MAX_PATH - 1] = 0;
    HANDLE file = CreateFileW(mark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return TRUE;
}
