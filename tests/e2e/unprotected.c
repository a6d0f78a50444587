/* Control for the planted-DLL test: a program that shows a box and does
 * nothing to keep DLLs beside it from loading. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR arguments, int show)
{
    (void)instance; (void)previous; (void)arguments; (void)show;
    MessageBoxW(NULL, L"unprotected", L"unprotected", MB_OK);
    return 0;
}
