#include "afxmodule.h"

namespace {

// The longest path Windows has: 32,767 units and a terminator.
const DWORD kMostRoom = 32768;

}  // namespace

CStringW AfxGetModuleFileName()
{
    CStringW path;
    for (DWORD room = MAX_PATH; ; room *= 2) {
        const DWORD length = GetModuleFileNameW(NULL, path.GetBuffer((int)room), room);
        // A path that does not fit comes back as room units, with a terminator
        // (Vista and later) or without (XP, Wine): anything shorter is whole.
        if (length != 0 && length < room) {
            path.ReleaseBuffer((int)length);
            return path;
        }
        if (length == 0 || room > kMostRoom)
            break;
    }
    path.ReleaseBuffer(0);
    return path;
}
