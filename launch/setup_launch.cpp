#include "setup_launch.h"

#include <string.h>

#include "afxmodule.h"
#include "afxmsgbox.h"
#include "ascii_text.h"
#include "package_trust.h"

namespace {

const char kSetupPackage[] = "SQLEXPRADV_x64_JPN.exe";
// Plain ASCII: filled with the package's path and our folder, as Windows holds them.
const char kSetupCommandFormat[] = "\"%s\" /ConfigurationFile=\"%s\\ConfigurationFile.ini\"";

const char kLaunchErrorCaption[] = "起動エラー";
// After what could not be started, as Windows holds it.
const char kLaunchErrorSuffix[] = " 起動エラー";
// After the refused package's path; the reason follows.
const char kRefusalText[] =
    "\n\nこのファイルには Microsoft Corporation の有効なデジタル署名がないため、起動しませんでした。"
    "\nファイルが壊れているか、別のファイルに置き換えられている可能性があります。"
    "\nMicrosoft のサイトから入手し直して、このプログラムと同じフォルダに置いてください。\n\n(";

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

void ReportRefusal(const CStringW& package, const CTrustRefusal& refusal)
{
    CString text;
    text.Format("%s%s", kRefusalText, (const char*)refusal.strReason);
    // A NUL inside the name would end the box's text there, showing what may
    // read as Microsoft's name alone.
    CStringW signer(refusal.strSigner);
    const int length = signer.GetLength();
    WCHAR* units = signer.GetBuffer(length);
    for (int i = 0; i < length; ++i)
        units[i] = units[i] == 0 ? (WCHAR)'?' : units[i];
    signer.ReleaseBuffer(length);
    signer += (WCHAR)')';
    AfxShowMessageBox(CBoxText(package, text, signer), kLaunchErrorCaption, MB_ICONEXCLAMATION);
}

// ASCII text as Windows holds text, with each %s replaced by the next fill.
CStringW Fill(const char* text, const CStringW& first, const CStringW& second)
{
    const CStringW* fills[] = {&first, &second};
    int next = 0;
    CStringW filled;
    for (const char* p = text; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's' && next < 2) {
            filled += *fills[next++];
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

// The handles a start hands us, closed when the wait is over.
struct CProcessHandles : PROCESS_INFORMATION {
    CProcessHandles() { memset(static_cast<PROCESS_INFORMATION*>(this), 0, sizeof(PROCESS_INFORMATION)); }
    ~CProcessHandles()
    {
        if (hProcess != NULL)
            CloseHandle(hProcess);
        if (hThread != NULL)
            CloseHandle(hThread);
    }
};

// Through the "W" entry point: the "A" one would take the line in the ANSI
// code page, where best fit or '?' may name another file.
BOOL StartProcess(const CStringW& commandLine, CProcessHandles& process)
{
    STARTUPINFOW startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    CStringW writable(commandLine);  // CreateProcessW may write to it
    return CreateProcessW(NULL, writable.GetBuffer(0), NULL, NULL, FALSE, kSetupCreationFlags, NULL, NULL, &startup,
                          &process);
}

// The package runs with our administrator rights: it starts only if Microsoft
// signed it. It is held from before the check until it has started, so that
// nothing can write, delete or rename it in between. A package that cannot be
// opened (missing, a folder, still being written) or started is reported with
// the command line, a refused one with its path and the reason.
BOOL StartSetup(const CStringW& package, const CStringW& commandLine, CProcessHandles& process)
{
    HANDLE file = CreateFileW(package, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        ReportLaunchError(commandLine);
        return FALSE;
    }
    CTrustRefusal refusal;
    const BOOL trusted = IsSignedByMicrosoft(file, package, refusal);
    const BOOL started = trusted && StartProcess(commandLine, process);
    CloseHandle(file);
    if (!trusted)
        ReportRefusal(package, refusal);
    else if (!started)
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
        ReportLaunchError(WidenAscii(kSetupPackage));
        return;
    }
    CStringW package = path.Left(lastSlash + 1);
    package += WidenAscii(kSetupPackage);
    RunAndWait(package, Fill(kSetupCommandFormat, package, path.Left(lastSlash)));
}

void RunAndWait(const CStringW& package, const CStringW& commandLine)
{
    CProcessHandles process;
    if (!StartSetup(package, commandLine, process))
        return;
    do {
        MsgWaitForMultipleObjects(0, NULL, FALSE, kPollIntervalMs, kWakeMask);
        PumpWaitingMessages();
    } while (IsStillRunning(process.hProcess));
}

void PumpWaitingMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
