// user32: message boxes, the thread's message queue, shutdown.
#include <algorithm>
#include <deque>

#include "state.h"

using namespace winsim;

namespace {

std::deque<MSG>& queue()
{
    static std::deque<MSG> instance;
    return instance;
}

// Whether a scripted answer is a button of a box: the product shows OK and
// OK/Cancel boxes only.
bool IsButtonOf(UINT type, int answer)
{
    switch (type & MB_TYPEMASK) {
    case MB_OK:
        return answer == IDOK;
    case MB_OKCANCEL:
        return answer == IDOK || answer == IDCANCEL;
    default:
        return false;
    }
}

// Moves the messages posted by now into the queue.
void DeliverDueMessages()
{
    Machine& m = machine();
    std::stable_sort(m.incoming.begin(), m.incoming.end(),
                     [](const PostedMessage& a, const PostedMessage& b) { return a.atMs < b.atMs; });
    while (!m.incoming.empty() && m.incoming.front().atMs <= m.nowMs) {
        MSG msg = {};
        msg.message = m.incoming.front().message;
        msg.time = m.incoming.front().atMs;
        queue().push_back(msg);
        m.incoming.erase(m.incoming.begin());
    }
}

}  // namespace

namespace winsim {

void ResetQueue()
{
    queue().clear();
}

}  // namespace winsim

namespace {

// Both entry points: text and caption as the user reads them.
int ShowBox(const char* function, HWND owner, const std::u16string& text, const std::u16string& caption, UINT type)
{
    Machine& m = machine();
    int answer = IDOK;
    if (!m.boxAnswers.empty()) {
        answer = m.boxAnswers.front();
        m.boxAnswers.pop_front();
    }
    if (answer != 0 && !IsButtonOf(type, answer))
        Fault(Format("answer %d is not a button of a box of type 0x%x", answer, type));
    if (answer != 0)
        m.boxes.push_back(MessageBoxShown{Utf8(text), Utf8(caption), type, answer, m.FoldersMade()});
    Log(function, Format("%s, %s, %s, 0x%x", owner == NULL ? "NULL" : "owner", Utf8(text).c_str(),
                         Utf8(caption).c_str(), type));
    return answer;
}

}  // namespace

// Its text is taken in the ANSI code page.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    const UINT codePage = machine().ansiCodePage;
    return ShowBox("MessageBoxA", owner, Decode(text, codePage), Decode(caption, codePage), type);
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    return ShowBox("MessageBoxW", owner, text, caption, type);
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask)
{
    Machine& m = machine();
    Log("MsgWaitForMultipleObjects", Format("%u, %s, %d, %u, 0x%x", (unsigned)count, handles ? "handles" : "NULL",
                                            waitAll, (unsigned)milliseconds, (unsigned)wakeMask));
    if (count != 0 || handles != NULL || milliseconds == INFINITE || !(wakeMask & QS_POSTMESSAGE))
        Fault("MsgWaitForMultipleObjects: only a timed wait for posted messages, on no handle, is simulated");
    // Every simulated message is posted: one in the queue, or posted before the timeout, wakes the wait.
    DeliverDueMessages();
    const DWORD timeoutAt = m.nowMs + milliseconds;
    const bool woken = !queue().empty() || (!m.incoming.empty() && m.incoming.front().atMs <= timeoutAt);
    AdvanceTo(!woken ? timeoutAt : queue().empty() ? m.incoming.front().atMs : m.nowMs);
    return woken ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg)
{
    Log("PeekMessageA", Format("msg, %s, %u, %u, %u", window ? "window" : "NULL", filterMin, filterMax, removeMsg));
    DeliverDueMessages();
    if (queue().empty())
        return FALSE;
    *msg = queue().front();
    if (removeMsg & PM_REMOVE)
        queue().pop_front();
    return TRUE;
}

// Translation makes characters for a window; the waiting thread owns none.
BOOL TranslateMessage(const MSG*)
{
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    machine().dispatched.push_back(*msg);
    return 0;
}

// Windows documents that it refuses a caller whose shutdown privilege is not
// enabled; Wine does not refuse, and trying would end the session. So it is
// not refused here: the request is recorded with the privilege's state.
BOOL ExitWindowsEx(UINT flags, DWORD reason)
{
    Machine& m = machine();
    m.restartRequested = (flags & EWX_REBOOT) != 0;
    m.privilegeEnabledAtRestart = m.shutdownPrivilegeEnabled;
    m.foldersMadeAtRestart = m.FoldersMade();
    Log("ExitWindowsEx", Format("0x%x, 0x%x", flags, (unsigned)reason));
    return TRUE;
}
