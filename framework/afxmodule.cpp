#include "afxmodule.h"

CString AfxGetModuleFileName()
{
    CString path;
    for (DWORD room = MAX_PATH; room <= 32768; room *= 2) {
        const DWORD length = GetModuleFileNameA(NULL, path.GetBuffer((int)room), room);
        // A full buffer means the path was cut: try again with more room.
        path.ReleaseBuffer(length < room ? (int)length : 0);
        if (length < room)
            break;
    }
    return path;
}
