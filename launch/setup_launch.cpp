#include "setup_launch.h"

#include <string.h>

#include "afxmodule.h"
#include "afxmsgbox.h"

namespace {

const char kSetupPackage[] = "SQLEXPRADV_x64_JPN.exe";
// Plain ASCII: filled with the folder as Windows holds it.
const char kSetupCommandFormat[] = "\"%s\\SQLEXPRADV_x64_JPN.exe\" /ConfigurationFile=\"%s\\ConfigurationFile.ini\"";

const char kLaunchErrorCaption[] = "起動エラー";
// After what could not be started, as Windows holds it.
const char kLaunchErrorSuffix[] = " 起動エラー";

// Real-time (0x100), not high (0x80), as the package has always been started:
// Windows grants it to callers that may raise priorities, as our elevated
// process may, and starts the package at high priority for others.
const DWORD kSetupCreationFlags = CREATE_DEFAULT_ERROR_MODE | REALTIME_PRIORITY_CLASS | CREATE_NEW_CONSOLE;
static_assert(kSetupCreationFlags == 0x04000110, "creation flags");
const DWORD kPollIntervalMs = 500;
// Input, posted messages, timers, paint and hot keys wake the wait early;
// messages sent from other threads wait for the next poll.
const DWORD kWakeMask =
    QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY;
static_assert(kWakeMask == 0xBF, "wake mask");
static_assert(MB_ICONEXCLAMATION == 0x30, "launch error box style");

void ReportLaunchError(const CStringW& what)
{
    AfxShowMessageBox(CBoxText(what, kLaunchErrorSuffix), kLaunchErrorCaption, MB_ICONEXCLAMATION);
}

// ASCII text as Windows holds text, with each %s replaced by fill.
CStringW Fill(const char* text, const CStringW& fill)
{
    CStringW filled;
    for (const char* p = text; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            filled += fill;
            ++p;
        } else {
            filled += (WCHAR)*p;
        }
    }
    return filled;
}

// A child that exits with 259 reports the same code as a running one, and a
// failing query reports nothing: the handle's signalled state settles both.
bool IsStillRunning(HANDLE process)
{
    DWORD exitCode;
    if (GetExitCodeProcess(process, &exitCode) && exitCode != STILL_ACTIVE)
        return false;
    return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

// Through the "W" entry point: the "A" one would take the line in the ANSI
// code page, where best fit or '?' may name another file. A failure to start
// is reported in a box.
BOOL StartSetup(const CStringW& commandLine, PROCESS_INFORMATION& info)
{
    memset(&info, 0, sizeof(info));
    STARTUPINFOW startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    CStringW writable(commandLine);  // CreateProcessW may write to it
    const BOOL started = CreateProcessW(NULL, writable.GetBuffer(0), NULL, NULL, FALSE, kSetupCreationFlags, NULL,
                                        NULL, &startup, &info);
    if (!started)
        ReportLaunchError(commandLine);
    return started;
}

}  // namespace

void LaunchSqlSetup()
{
    const CStringW path = AfxGetModuleFileName();
    const int lastSlash = path.ReverseFind('\\');
    if (lastSlash < 0) {
        // Without our folder the package's path would be taken from the root of
        // the current drive or from the current folder, and whatever lies there
        // would run with our rights.
        ReportLaunchError(Fill(kSetupPackage, CStringW()));
        return;
    }
    RunAndWait(Fill(kSetupCommandFormat, path.Left(lastSlash)));
}

void RunAndWait(const CStringW& commandLine)
{
    PROCESS_INFORMATION info;
    if (!StartSetup(commandLine, info))
        return;
    do {
        MsgWaitForMultipleObjects(0, NULL, FALSE, kPollIntervalMs, kWakeMask);
        PumpWaitingMessages();
    } while (IsStillRunning(info.hProcess));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

void PumpWaitingMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
