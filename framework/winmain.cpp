// Windows entry: the application object is already constructed by static
// initialisation; the command line is not read.
#include <windows.h>

#include "afxwin.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return AfxWinMain();
}
