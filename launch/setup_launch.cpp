#include "setup_launch.h"

#include <string.h>

#include "afxmodule.h"
#include "afxmsgbox.h"
#include "ascii_text.h"
#include "package_trust.h"
#include "setup_files.h"

namespace {

const char kSetupPackage[] = "SQLEXPRADV_x64_JPN.exe";
const char kAnswerFile[] = "ConfigurationFile.ini";
// Plain ASCII: filled with the package's path and its folder, as Windows holds them.
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

// The handles a start hands us, closed when the wait is over; never copied,
// which would close them twice.
struct CProcessHandles : PROCESS_INFORMATION {
    CProcessHandles() { memset(static_cast<PROCESS_INFORMATION*>(this), 0, sizeof(PROCESS_INFORMATION)); }
    CProcessHandles(const CProcessHandles&) = delete;
    CProcessHandles& operator=(const CProcessHandles&) = delete;
    ~CProcessHandles()
    {
        if (hProcess != NULL)
            CloseHandle(hProcess);
        if (hThread != NULL)
            CloseHandle(hThread);
    }
};

HANDLE OpenHeld(const CStringW& path)
{
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

// Through the "W" entry point: the "A" one would take the line in the ANSI
// code page, where best fit or '?' may name another file. The program is
// named apart from the line, so that nothing is looked up from the line. It
// unpacks into its current folder: ours, so that what runs from there is ours.
BOOL StartProcess(const CStringW& program, const CStringW& commandLine, const CStringW& currentFolder,
                  CProcessHandles& process)
{
    STARTUPINFOW startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    CStringW writable(commandLine);  // CreateProcessW may write to it
    return CreateProcessW(program, writable.GetBuffer(0), NULL, NULL, FALSE, kSetupCreationFlags, NULL, currentFolder,
                          &startup, &process);
}

// The package and our answer file in our own folder: the package is read
// through the handle opened on it beside us, so that a folder or link
// re-pointed meanwhile changes nothing; digest, unless NULL, gets its SHA-256.
BOOL StageSetup(const CStringW& package, CSetupFolder& folder, BYTE* digest)
{
    HANDLE file = OpenHeld(package);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    const BOOL copied = folder.Create() && CopyOpenFile(file, folder.PathOf(kSetupPackage), digest);
    CloseHandle(file);
    return copied && WriteAnswerFile(folder.PathOf(kAnswerFile));
}

// The package runs with our administrator rights: it starts only if Microsoft
// signed it and, in a build that pins it, only if it is the one pinned. The
// copy in our folder is what is checked and started, held from before the
// check until it has started. A package that cannot be opened
// (missing, a folder, still being written), copied (a full disk) or started is
// reported with the command line of the package beside us, a refused one with
// its path beside us and the reason: those are the names the user knows. The
// folder goes before the box.
BOOL StartSetup(const CStringW& package, const CStringW& shownLine, CSetupFolder& folder, CProcessHandles& process)
{
    BYTE digest[kSha256Size];
    const BOOL pinned = IsPackagePinned();
    const CStringW copy = StageSetup(package, folder, pinned ? digest : NULL) ? folder.PathOf(kSetupPackage) : CStringW();
    CTrustRefusal refusal;
    // A pinned build takes no other package, whoever signed it: the signature is not even asked.
    const BOOL pinMatched = copy.IsEmpty() || !pinned || MatchesPackagePin(digest, refusal);
    HANDLE held = copy.IsEmpty() || !pinMatched ? INVALID_HANDLE_VALUE : OpenHeld(copy);
    const BOOL trusted = held != INVALID_HANDLE_VALUE && IsSignedByMicrosoft(held, copy, refusal);
    const BOOL started =
        trusted && StartProcess(copy, Fill(kSetupCommandFormat, copy, folder.GetPath()), folder.GetPath(), process);
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    if (started)
        return TRUE;
    folder.Remove();
    if (!pinMatched || (held != INVALID_HANDLE_VALUE && !trusted))
        ReportRefusal(package, refusal);
    else
        ReportLaunchError(shownLine);
    return FALSE;
}

}  // namespace

void LaunchSqlSetup(CSetupFolder& folder)
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
    RunAndWait(package, Fill(kSetupCommandFormat, package, path.Left(lastSlash)), folder);
}

void RunAndWait(const CStringW& package, const CStringW& shownLine, CSetupFolder& folder)
{
    CProcessHandles process;
    if (!StartSetup(package, shownLine, folder, process))
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
