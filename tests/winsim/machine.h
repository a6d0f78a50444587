// The simulated machine behind windows.h. Each test sets one up (Reset, then
// the fields it cares about) and reads back what the product did through the
// call log, the boxes shown, the processes started and the open handles.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace winsim {

// The registry view a key lives in. On 32-bit Windows only NATIVE exists.
enum class RegView { NATIVE, WOW32 };

struct RegKey {
    // Access rights this process may be granted on the key.
    DWORD allowedAccess = KEY_ALL_ACCESS;
    // Raw bytes, exactly as stored, by upper-case name; the product never asks a value's type.
    std::map<std::string, std::string> values;
};

struct ApiCall {
    std::string function;
    std::string args;  // the arguments as the product passed them, comma-separated
};

// A box as the user reads it: text and caption in UTF-8.
struct MessageBoxShown {
    std::string text;
    std::string caption;
    UINT type;
    size_t foldersMade;  // the folders made here that were there while it showed
};

// How GetModuleFileNameW answers when the path does not fit its nSize units:
// it returns nSize, and Vista and later cut the last unit for a terminator.
enum class PathCut {
    VISTA,  // documented since Vista: nSize - 1 units and a terminator
    XP,     // documented for XP, and what Wine does: nSize units, no terminator
};

// What WinVerifyTrust finds in a file: its verdict from the cache alone and
// with retrieval allowed (an online Windows fetches a root it lacks), and the
// common name in the signer's certificate.
struct Signature {
    LONG cacheOnly = 0, withRetrieval = 0;
    std::u16string signer = u"Microsoft Corporation";
};

// How a started process behaves: it ends runMs after it starts.
struct ProcessScript {
    DWORD runMs = 0;
    DWORD exitCode = 0;
    std::function<void()> onExit;  // e.g. what it leaves in the registry
    Signature signature;
};

struct File {
    std::shared_ptr<std::string> bytes;  // shared with the handles open on it
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
};

struct Folder {
    std::string sddl;   // the access list it was created with; empty: it was there
    bool link = false;  // a junction or symbolic link to a folder elsewhere
    DWORD attributes = 0;  // FILE_ATTRIBUTE_READONLY, or none
};

struct ProcessStarted {
    std::u16string program, commandLine, currentFolder;
    bool heldAgainstWriting;  // while it started, no one could open its file for writing
};

struct PostedMessage {
    DWORD atMs;
    UINT message;
};

struct Machine {
    // Windows as reported
    DWORD majorVersion = 6, minorVersion = 2;
    bool getVersionFails = false;
    bool is64BitWindows = true;  // our process is 32-bit, so this means WOW64
    bool loadLibraryFails = false;
    UINT ansiCodePage = 932;  // 932, 1252 or 65001 (CP_UTF8)
    bool hasCodePage932 = true;  // a Windows without its table cannot convert from it
    // As Windows holds it, in UTF-16; empty: Windows cannot tell it
    std::u16string modulePath = u"C:\\Setup\\DBSetup.exe";
    PathCut modulePathCut = PathCut::VISTA;

    // Files and folders that exist, by upper-case full path ("\\?\" taken off; a drive's root is "C:")
    std::map<std::u16string, File> files;
    std::map<std::u16string, Folder> folders;
    // How a program runs, by the bytes of its file
    std::map<std::string, ProcessScript> images;
    std::u16string windowsFolder = u"C:\\Windows";  // the system drive is its drive
    bool readFails = false;  // every ReadFile of a file fails, as on a failing disk
    uint64_t diskFreeBytes = UINT64_MAX;
    uint64_t nextRandom = 0x0123456789ABCDEF;  // the next 8 random bytes, big-endian; then one more
    std::string answerFileResource = "[OPTIONS]\r\nINSTANCENAME=\"VALTERNADB\"\r\n";  // RCDATA 1
    std::string packagePin;  // RCDATA 2, the package's SHA-256 in a build that pins it; empty: none
    bool cryptFails = false;  // no CryptoAPI context can be had
    // Another program's open of a file, by upper-case full path: its access and share mode
    std::map<std::u16string, std::pair<DWORD, DWORD>> openedByOthers;
    // System DLLs missing, by upper-case name, and entries missing from Kernel32 or them, as named
    // (Kernel32 has SetDllDirectoryA since XP SP1, IsWow64Process since XP SP2, SetDefaultDllDirectories
    // since Windows 8, and on 7 with its 2011 update)
    std::set<std::string> missingSystemDlls, missingExports;
    bool getExitCodeFails = false;
    bool waitFails = false;  // waiting on a process handle fails

    // Answers to message boxes, in order; IDOK when none is left; 0: the box
    // cannot be shown, and MessageBox returns 0
    std::deque<int> boxAnswers;
    // Messages posted to our thread at a simulated time, and those due not yet peeked
    std::vector<PostedMessage> incoming;
    std::deque<MSG> queue;

    bool lookupPrivilegeFails = false;

    // State the product changes
    DWORD nowMs = 0;
    std::map<std::string, RegKey> keys;  // by view prefix and upper-case path
    std::vector<ApiCall> calls;
    std::vector<MessageBoxShown> boxes;
    std::vector<ProcessStarted> processes;
    std::vector<MSG> dispatched;
    bool shutdownPrivilegeEnabled = false;
    // Where later DLL loads look: "standard", "system32 only", "without current folder"
    std::string dllSearch = "standard";
    std::vector<std::u16string> removedAtRestart;  // upper-case, in the order asked
    bool restartRequested = false;
    bool privilegeEnabledAtRestart = false;
    size_t foldersMadeAtRestart = 0;
    std::vector<std::string> faults;  // product misuse the simulation noticed
    std::function<void(const std::u16string&)> afterOpen;  // each file opened, by upper-case path

    // Registry set-up
    RegKey& Key(RegView view, const std::string& path);
    void SetString(RegView view, const std::string& path, const std::string& name, const std::string& text);
    // As the "W" entry point reads it: UTF-16 with its terminator.
    void SetWideString(RegView view, const std::string& path, const std::string& name, const std::u16string& text);
    void SetBytes(RegView view, const std::string& path, const std::string& name, const std::string& bytes);

    // A program of more than two reads' worth of bytes of its own, as it runs.
    void AddExecutable(const std::u16string& path, const ProcessScript& script);
    void AddFile(const std::u16string& path, const std::string& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
    // The bytes of the file at path; empty if there is none.
    std::string BytesOf(const std::u16string& path) const;
    // The program the file at path holds, or NULL.
    const ProcessScript* ImageAt(const std::u16string& path) const;

    // Log queries
    std::vector<std::string> ArgsOf(const std::string& function) const;
    int OpenHandleCount() const;
    // Folders the product made (with an access list of its own) that are there now, and stay at the next restart.
    size_t FoldersMade() const;
};

// Text in a code page (932, 1252 or 65001) as Windows converts it to UTF-16;
// and between UTF-16 and UTF-8.
std::u16string Decode(const std::string& bytes, UINT codePage);
std::string Utf8(const std::u16string& text);
std::string Sha256(const std::string& bytes);  // libcrypto's, the 32 bytes
std::u16string Utf16(const std::string& utf8);

// Where the machine records its ProgramData folder (a fresh one as Windows does, "%SystemDrive%\ProgramData").
const char kProfileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

Machine& machine();
// A fresh machine: 64-bit Windows 10 in code page 932, nothing installed.
void Reset();

}  // namespace winsim
