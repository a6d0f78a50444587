#include "restart.h"

#include <string.h>

#include <windows.h>

static_assert((TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY) == 0x28 && SE_PRIVILEGE_ENABLED == 2, "privilege flags");
static_assert(EWX_REBOOT == 2 && sizeof(TOKEN_PRIVILEGES) == 16, "restart flags");

void RestartWindows()
{
    HANDLE token = NULL;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
    // Cleared: a failed lookup leaves the identifier unwritten.
    TOKEN_PRIVILEGES newState;
    memset(&newState, 0, sizeof(newState));
    TOKEN_PRIVILEGES previousState;
    DWORD returnedLength = 0;
    LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &newState.Privileges[0].Luid);
    newState.PrivilegeCount = 1;
    newState.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &newState, sizeof(TOKEN_PRIVILEGES), &previousState,
                          &returnedLength);
    // Not forced: running applications may still refuse the restart.
    ExitWindowsEx(EWX_REBOOT, 0);
    if (token != NULL)
        CloseHandle(token);
}
