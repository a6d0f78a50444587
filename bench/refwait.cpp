// Reference for the installer's wait: starts the setup package beside it,
// waits on its process handle (no polling) and shows a box at once. The time
// from the package's end to this box is what any waiter needs at the least.
// Built as DBSetup.exe is, next to it (cmake/windows_flags.cmake).
#include <wchar.h>
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    wchar_t folder[MAX_PATH], command[3 * MAX_PATH];
    GetModuleFileNameW(NULL, folder, MAX_PATH);
    wchar_t* slash = wcsrchr(folder, L'\\');
    if (slash)
        *slash = 0;
    _snwprintf(command, 3 * MAX_PATH - 1,
               L"\"%ls\\SQLEXPRADV_x64_JPN.exe\" /ConfigurationFile=\"%ls\\ConfigurationFile.ini\"", folder, folder);
    command[3 * MAX_PATH - 1] = 0;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessW(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return 1;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    MessageBoxW(NULL, L"reference", L"reference", MB_OK);
    return 0;
}
