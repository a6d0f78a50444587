// The least a program that shows one box can do: the yardstick for how soon
// DBSetup.exe shows its first box. Built exactly as DBSetup.exe is, next to it
// (cmake/windows_flags.cmake).
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    MessageBoxA(NULL, "minimal", "minimal", MB_OK);
    return 0;
}
