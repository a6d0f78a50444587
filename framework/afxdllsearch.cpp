#include "afxdllsearch.h"

#include <windows.h>

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD directoryFlags);
typedef BOOL(WINAPI* SetDllDirectoryAFn)(LPCSTR path);

struct DllSearchModuleInit {
    DllSearchModuleInit() { AfxRestrictDllSearch(); }
};
DllSearchModuleInit g_dllSearchModuleInit __attribute__((init_priority(101)));

}  // namespace

void AfxRestrictDllSearch()
{
    // Both entries are looked up: Windows 7 without its 2011 update lacks the
    // first, Windows XP before SP1 the second, and importing either would
    // keep the program from starting there.
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    if (kernel32 == NULL)
        return;
    SetDefaultDllDirectoriesFn setDefaultDllDirectories =
        (SetDefaultDllDirectoriesFn)(void*)GetProcAddress(kernel32, "SetDefaultDllDirectories");
    if (setDefaultDllDirectories != NULL && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    SetDllDirectoryAFn setDllDirectory = (SetDllDirectoryAFn)(void*)GetProcAddress(kernel32, "SetDllDirectoryA");
    if (setDllDirectory != NULL)
        setDllDirectory("");
}
