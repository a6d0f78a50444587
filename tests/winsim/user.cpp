// user32: message boxes, the thread's message queue, shutdown.
#include <algorithm>
#include <deque>

#include "state.h"

using namespace winsim;

namespace {

struct QueuedMessage {
    MSG msg;
    DWORD queueBits;
};

struct Queue {
    std::deque<QueuedMessage> messages;
    bool newInput = false;  // arrived since the queue was last looked at
};

Queue& queue()
{
    static Queue instance;
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

// Moves the messages due by now into the queue.
void DeliverDueMessages()
{
    Machine& m = machine();
    std::stable_sort(m.incoming.begin(), m.incoming.end(),
                     [](const PostedMessage& a, const PostedMessage& b) { return a.atMs < b.atMs; });
    while (!m.incoming.empty() && m.incoming.front().atMs <= m.nowMs) {
        MSG msg = {};
        msg.message = m.incoming.front().message;
        msg.time = m.incoming.front().atMs;
        queue().messages.push_back(QueuedMessage{msg, m.incoming.front().queueBits});
        queue().newInput = true;
        m.incoming.erase(m.incoming.begin());
    }
}

}  // namespace

namespace winsim {

void ResetQueue()
{
    queue() = Queue();
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
        m.boxes.push_back(MessageBoxShown{Utf8(text), Utf8(caption), type, answer});
    Log(function, Format("%s, %s, %s, 0x%x", owner == NULL ? "NULL" : "owner", Utf8(text).c_str(),
                         Utf8(caption).c_str(), type),
        Format("%d", answer));
    return answer;
}

}  // namespace

// Its text is taken in the ANSI code page; a null text or caption shows as "NULL".
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    const UINT codePage = machine().ansiCodePage;
    return ShowBox("MessageBoxA", owner, Decode(Text(text), codePage), Decode(Text(caption), codePage), type);
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    return ShowBox("MessageBoxW", owner, text != NULL ? text : u"NULL", caption != NULL ? caption : u"NULL", type);
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask)
{
    Machine& m = machine();
    const std::string args = Format("%u, %s, %d, %u, 0x%x", (unsigned)count, handles ? "handles" : "NULL",
                                    waitAll, (unsigned)milliseconds, (unsigned)wakeMask);
    if (count != 0 || handles != NULL)
        Fault("waiting on handles in MsgWaitForMultipleObjects is not simulated");
    DeliverDueMessages();
    DWORD wakeAt = milliseconds == INFINITE ? 0xFFFFFFFF : m.nowMs + milliseconds;
    DWORD result = WAIT_TIMEOUT;
    // Only input that is new since the queue was last looked at wakes the wait.
    for (const QueuedMessage& queued : queue().messages) {
        if (queue().newInput && (queued.queueBits & wakeMask) != 0)
            wakeAt = m.nowMs, result = WAIT_OBJECT_0;
    }
    for (const PostedMessage& incoming : m.incoming) {
        if (result == WAIT_TIMEOUT && (incoming.queueBits & wakeMask) != 0 && incoming.atMs <= wakeAt)
            wakeAt = std::max(incoming.atMs, m.nowMs), result = WAIT_OBJECT_0;
    }
    if (result == WAIT_TIMEOUT && milliseconds == INFINITE) {
        Log("MsgWaitForMultipleObjects", args, "hang");
        throw Hang{"MsgWaitForMultipleObjects with nothing to wake it"};
    }
    AdvanceTo(wakeAt);
    DeliverDueMessages();
    Log("MsgWaitForMultipleObjects", args, result == WAIT_TIMEOUT ? "WAIT_TIMEOUT" : "WAIT_OBJECT_0");
    return result;
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg)
{
    const std::string args = Format("msg, %s, %u, %u, %u", window ? "window" : "NULL", filterMin, filterMax, removeMsg);
    DeliverDueMessages();
    queue().newInput = false;
    if (queue().messages.empty()) {
        Log("PeekMessageA", args, "FALSE");
        return FALSE;
    }
    *msg = queue().messages.front().msg;
    if (removeMsg & PM_REMOVE)
        queue().messages.pop_front();
    Log("PeekMessageA", args, Format("TRUE 0x%x", msg->message));
    return TRUE;
}

BOOL TranslateMessage(const MSG* msg)
{
    Log("TranslateMessage", Format("0x%x", msg->message), "");
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    machine().dispatched.push_back(*msg);
    Log("DispatchMessageA", Format("0x%x", msg->message), "");
    return 0;
}

BOOL ExitWindowsEx(UINT flags, DWORD reason)
{
    Machine& m = machine();
    const std::string args = Format("0x%x, 0x%x", flags, (unsigned)reason);
    if (!m.shutdownPrivilegeEnabled) {
        Log("ExitWindowsEx", args, "FALSE");
        return FALSE;
    }
    m.restartRequested = (flags & EWX_REBOOT) != 0;
    m.restartFlags = flags;
    Log("ExitWindowsEx", args, "TRUE");
    return TRUE;
}
