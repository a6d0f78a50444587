#include "afxmodule.h"

namespace {

// The longest path Windows has is 32,767 UTF-16 units: at most twice as many
// bytes in a double-byte code page, and a terminator.
const DWORD kMostRoom = 2 * 32768;

}  // namespace

CString AfxGetModuleFileName()
{
    CString path;
    for (DWORD room = MAX_PATH; ; room *= 2) {
        const DWORD length = GetModuleFileNameA(NULL, path.GetBuffer((int)room), room);
        // A path that does not fit comes back as room bytes (Windows), or one
        // byte short where a double-byte character would cross the end (Wine),
        // with or without a terminator: only two bytes to spare prove it whole.
        if (length != 0 && length + 1 < room) {
            path.ReleaseBuffer((int)length);
            return path;
        }
        if (length == 0 || room > kMostRoom)
            break;
    }
    path.ReleaseBuffer(0);
    return path;
}
