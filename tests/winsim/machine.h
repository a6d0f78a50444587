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

struct RegValue {
    DWORD type;
    std::string data;  // raw bytes, exactly as stored
};

struct RegKey {
    // Access rights this process may be granted on the key.
    DWORD allowedAccess = KEY_ALL_ACCESS | STANDARD_RIGHTS_ALL;
    std::map<std::string, RegValue> values;  // by upper-case name
};

struct ApiCall {
    std::string function;
    std::string args;  // the arguments as the product passed them, comma-separated
};

// Thrown when simulated time passes a limit: the product is waiting forever.
struct Hang {
    std::string where;
};

// A box as the user reads it: text and caption in UTF-8.
struct MessageBoxShown {
    std::string text;
    std::string caption;
    UINT type;
    int answer;
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
};

struct ProcessStarted {
    std::u16string program, commandLine;
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
    bool kernel32HasIsWow64Process = true;
    bool loadLibraryFails = false;
    // Windows 8 and 7 with its 2011 update have the first; XP SP1 and later the second.
    bool kernel32HasSetDefaultDllDirectories = true;
    bool kernel32HasSetDllDirectory = true;
    UINT ansiCodePage = 932;  // 932, 1252 or 65001 (CP_UTF8)
    bool hasCodePage932 = true;  // a Windows without its table cannot convert from it
    // As Windows holds it, in UTF-16; empty: Windows cannot tell it
    std::u16string modulePath = u"C:\\Setup\\DBSetup.exe";
    PathCut modulePathCut = PathCut::VISTA;

    // Files and folders that exist, by upper-case full path ("\\?\" taken off)
    std::map<std::u16string, File> files;
    std::map<std::u16string, Folder> folders;
    // How a program runs, by the bytes of its file
    std::map<std::string, ProcessScript> images;
    std::u16string windowsFolder = u"C:\\Windows";
    uint64_t diskFreeBytes = UINT64_MAX;
    uint64_t nextRandom = 0x0123456789ABCDEF;  // the next 8 random bytes, big-endian; then one more
    std::string answerFileResource = "[OPTIONS]\r\nINSTANCENAME=\"VALTERNADB\"\r\n";  // RCDATA 1
    // Another program's open of a file, by upper-case full path: its access and share mode
    std::map<std::u16string, std::pair<DWORD, DWORD>> openedByOthers;
    std::set<std::string> missingSystemDlls, missingExports;  // by upper-case name; exports as named
    bool getExitCodeFails = false;
    bool waitFails = false;  // waiting on a process handle fails

    // Answers to message boxes, in order; IDOK when none is left; 0: the box
    // cannot be shown, and MessageBox returns 0
    std::deque<int> boxAnswers;
    // Messages posted to our thread at a simulated time
    std::vector<PostedMessage> incoming;

    bool lookupPrivilegeFails = false;

    DWORD hangAfterMs = 24u * 3600u * 1000u;

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
    void SetString(RegView view, const std::string& path, const std::string& name,
                   const std::string& text, DWORD type = REG_SZ);
    void SetBytes(RegView view, const std::string& path, const std::string& name,
                  const std::string& bytes, DWORD type);

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
std::u16string Utf16(const std::string& utf8);

Machine& machine();
// A fresh machine: 64-bit Windows 10 in code page 932, nothing installed.
void Reset();

}  // namespace winsim
