#include "setup_launch.h"

#include <string.h>

#include "afxmbcs.h"
#include "afxmodule.h"
#include "afxstr.h"

namespace {

const char kSetupPackage[] = "SQLEXPRADV_x64_JPN.exe";
const char kSetupCommandFormat[] = "\"%s\\%s\" /ConfigurationFile=\"%s\\ConfigurationFile.ini\"";

const char kLaunchErrorCaption[] = "起動エラー";
const char kLaunchErrorFormat[] = "%s 起動エラー";

// CREATE_DEFAULT_ERROR_MODE | REALTIME_PRIORITY_CLASS | CREATE_NEW_CONSOLE.
const DWORD kSetupCreationFlags = 0x04000110;
const DWORD kPollIntervalMs = 500;
// Input, posted messages, timers, paint and hot keys wake the wait early;
// messages sent from other threads wait for the next poll.
const DWORD kWakeMask = 0xBF;

void ReportLaunchError(const char* what)
{
    CString body;
    body.Format(kLaunchErrorFormat, what);
    MessageBoxA(NULL, body, kLaunchErrorCaption, MB_ICONEXCLAMATION);
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

}  // namespace

void LaunchSqlSetup()
{
    CString folder = AfxGetModuleFileName();
    // A byte-wise search would cut inside a double-byte name whose second byte is '\\'.
    const char* lastSlash = AfxMbcsFindLast(folder, '\\');
    if (lastSlash == NULL) {
        // Without our folder the package's path would be taken from the root of
        // the current drive or from the current folder, and whatever lies there
        // would run with our rights.
        ReportLaunchError(kSetupPackage);
        return;
    }
    folder = folder.Left((int)(lastSlash - (const char*)folder));
    // Sized to the folder: a fixed buffer would cut or overrun a long one.
    CString commandLine;
    commandLine.Format(kSetupCommandFormat, (const char*)folder, kSetupPackage, (const char*)folder);
    RunAndWait(commandLine.GetBuffer(0));
}

void RunAndWait(char* commandLine)
{
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info;
    memset(&info, 0, sizeof(info));
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, kSetupCreationFlags, NULL, NULL,
                        &startup, &info)) {
        ReportLaunchError(commandLine);
        return;
    }
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
