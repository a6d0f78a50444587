// kernel32: version, modules, processes, handles, code pages.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <stdexcept>
#include <vector>

#include <wintrust.h>

#include "state.h"

namespace winsim {

namespace {

HMODULE const kKernel32 = (HMODULE)(uintptr_t)0x7C800000;
HANDLE const kCurrentProcess = (HANDLE)(intptr_t)-1;

struct SimProcess {
    DWORD endMs;
    DWORD exitCode;
    bool exited;
    std::function<void()> onExit;
};

struct Objects {
    std::map<uintptr_t, KernelObject> handles;
    uintptr_t nextHandle = 0x100;
    std::vector<SimProcess> processes;
    int kernel32References = 0;
    DWORD lastError = 0;
};

Objects& objects()
{
    static Objects instance;
    return instance;
}

const char* const kObjectKindNames[] = {"process", "thread", "token", "key", "file", "module", "trust state", "search",
                                        "memory", "crypto context", "hash"};
static_assert(std::size(kObjectKindNames) == (size_t)ObjectKind::CRYPT_HASH + 1, "a name for every kind");

// The share-mode bits that an open's access needs of every other open of the file.
DWORD ShareNeeded(DWORD access)
{
    return (access & GENERIC_READ ? FILE_SHARE_READ : 0) | (access & GENERIC_WRITE ? FILE_SHARE_WRITE : 0) |
           (access & DELETE ? FILE_SHARE_DELETE : 0);
}

// The entries the product looks up at run time, in Kernel32 and the system DLLs it loads.
const struct {
    const char *module, *name;
    FARPROC entry;
} kExports[] = {
    {"KERNEL32.DLL", "IsWow64Process", (FARPROC)(void*)&IsWow64Process},
    {"KERNEL32.DLL", "SetDefaultDllDirectories", (FARPROC)(void*)&SetDefaultDllDirectories},
    {"KERNEL32.DLL", "SetDllDirectoryA", (FARPROC)(void*)&SetDllDirectoryA},
    {"WINTRUST.DLL", "WinVerifyTrust", (FARPROC)(void*)&WinVerifyTrust},
    {"WINTRUST.DLL", "WTHelperProvDataFromStateData", (FARPROC)(void*)&WTHelperProvDataFromStateData},
    {"WINTRUST.DLL", "WTHelperGetProvSignerFromChain", (FARPROC)(void*)&WTHelperGetProvSignerFromChain},
    {"CRYPT32.DLL", "CertGetNameStringW", (FARPROC)(void*)&CertGetNameStringW},
};

}  // namespace

std::string FormatList(const char* format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    std::string text((size_t)vsnprintf(NULL, 0, format, measure) + 1, '\0');
    va_end(measure);
    vsnprintf(&text[0], text.size(), format, args);
    text.pop_back();
    return text;
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = FormatList(format, args);
    va_end(args);
    return text;
}

void Log(const char* function, const std::string& args)
{
    machine().calls.push_back(ApiCall{function, args});
}

void SetLastErrorCode(DWORD error)
{
    objects().lastError = error;
}

// Ours and another program's opens, as Windows checks share modes.
bool CanOpen(const std::u16string& upper, DWORD access, DWORD share)
{
    std::vector<std::pair<DWORD, DWORD>> held;
    const auto other = machine().openedByOthers.find(upper);
    if (other != machine().openedByOthers.end())
        held.push_back(other->second);
    for (const auto& entry : objects().handles) {
        if (entry.second.kind == ObjectKind::FILE && entry.second.path == Utf8(upper))
            held.push_back({entry.second.access, entry.second.share});
    }
    for (const auto& open : held) {
        if ((ShareNeeded(access) & ~open.second) != 0 || (ShareNeeded(open.first) & ~share) != 0)
            return false;
    }
    return true;
}

bool WritableByOthers(const std::u16string& path)
{
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    return CanOpen(Key(path), GENERIC_WRITE, all) || CanOpen(Key(path), DELETE, all);
}

void Fault(const std::string& what)
{
    machine().faults.push_back(what);
}

HANDLE NewObject(const KernelObject& object)
{
    uintptr_t value = objects().nextHandle;
    objects().nextHandle += 4;
    objects().handles.emplace(value, object);
    return (HANDLE)value;
}

KernelObject* FindObject(HANDLE handle, ObjectKind kind)
{
    auto found = objects().handles.find((uintptr_t)handle);
    if (found == objects().handles.end() || found->second.kind != kind)
        return NULL;
    return &found->second;
}

bool CloseObject(HANDLE handle, ObjectKind kind)
{
    if (FindObject(handle, kind) == NULL)
        return false;
    objects().handles.erase((uintptr_t)handle);
    return true;
}

std::string HandleName(HANDLE handle)
{
    if (handle == kCurrentProcess)
        return "current-process";
    auto found = objects().handles.find((uintptr_t)handle);
    if (found == objects().handles.end())
        return "invalid";
    const KernelObject& object = found->second;
    if (object.kind == ObjectKind::REGKEY)
        return "key " + object.path;
    return kObjectKindNames[(int)object.kind];
}


void AdvanceTo(DWORD ms)
{
    Machine& m = machine();
    if (ms < m.nowMs)
        return;
    m.nowMs = ms;
    for (SimProcess& process : objects().processes) {
        if (!process.exited && process.endMs <= ms) {
            process.exited = true;
            if (process.onExit)
                process.onExit();
        }
    }
    // A day of simulated time: the product is waiting forever.
    if (m.nowMs > 24u * 3600u * 1000u)
        throw std::runtime_error(Format("still waiting at %u ms", (unsigned)m.nowMs));
}

void ResetKernelObjects()
{
    objects() = Objects();
}

int Machine::OpenHandleCount() const
{
    return (int)objects().handles.size() + objects().kernel32References;
}

}  // namespace winsim

using namespace winsim;

BOOL GetVersionExA(LPOSVERSIONINFOA info)
{
    const Machine& m = machine();
    if (m.getVersionFails || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        return FALSE;
    info->dwMajorVersion = m.majorVersion;
    info->dwMinorVersion = m.minorVersion;
    return TRUE;
}

HMODULE LoadLibraryA(LPCSTR name)
{
    if (machine().loadLibraryFails || UpperName(std::string(name)) != "KERNEL32.DLL")
        return NULL;
    ++objects().kernel32References;
    return kKernel32;
}

HMODULE GetModuleHandleA(LPCSTR name)
{
    // Kernel32 is in every process; a handle from here takes no reference.
    return UpperName(std::string(name)) == "KERNEL32.DLL" ? kKernel32 : NULL;
}

HMODULE LoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags)
{
    const std::string upper = UpperName(Utf8(name));
    if (flags != LOAD_LIBRARY_SEARCH_SYSTEM32 || file != NULL)
        Fault("LoadLibraryExW looked beyond the system folder for " + upper);
    const bool exists = std::any_of(std::begin(kExports), std::end(kExports),
                                    [&](const auto& e) { return upper == e.module; });
    if (!exists || machine().missingSystemDlls.count(upper) != 0) {
        SetLastErrorCode(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    KernelObject module{ObjectKind::MODULE};
    module.path = upper;
    return (HMODULE)NewObject(module);
}

DWORD GetLastError()
{
    return objects().lastError;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    const KernelObject* loaded = FindObject((HANDLE)module, ObjectKind::MODULE);
    if (loaded == NULL && module != kKernel32) {
        Fault("GetProcAddress on a module that is not loaded");
        return NULL;
    }
    const std::string dll = loaded != NULL ? loaded->path : "KERNEL32.DLL";
    for (const auto& e : kExports) {
        if (dll == e.module && strcmp(name, e.name) == 0 && machine().missingExports.count(name) == 0)
            return e.entry;
    }
    SetLastErrorCode(ERROR_PROC_NOT_FOUND);
    return NULL;
}

// Whether the running Windows's Kernel32 lacks the entry being called.
static bool Lacks(const char* entry)
{
    return machine().missingExports.count(entry) != 0;
}

BOOL SetDefaultDllDirectories(DWORD directoryFlags)
{
    if (Lacks("SetDefaultDllDirectories"))
        Fault("SetDefaultDllDirectories called where Kernel32 has no such entry");
    if (directoryFlags != LOAD_LIBRARY_SEARCH_SYSTEM32)
        Fault("SetDefaultDllDirectories: only LOAD_LIBRARY_SEARCH_SYSTEM32 is simulated");
    machine().dllSearch = "system32 only";
    return TRUE;
}

BOOL SetDllDirectoryA(LPCSTR path)
{
    if (Lacks("SetDllDirectoryA") || path[0] != '\0')
        Fault("SetDllDirectoryA: only an empty folder, where Kernel32 has the entry, is simulated");
    machine().dllSearch = "without current folder";
    return TRUE;
}

BOOL FreeLibrary(HMODULE module)
{
    if (CloseObject((HANDLE)module, ObjectKind::MODULE))
        return TRUE;
    if (module != kKernel32 || objects().kernel32References == 0) {
        Fault("FreeLibrary of a module that is not loaded");
        return FALSE;
    }
    --objects().kernel32References;
    return TRUE;
}

HANDLE GetCurrentProcess()
{
    return kCurrentProcess;
}

BOOL IsWow64Process(HANDLE process, PBOOL wow64)
{
    if (Lacks("IsWow64Process") || process != kCurrentProcess)
        Fault("IsWow64Process: only the current process, where Kernel32 has the entry, is simulated");
    *wow64 = machine().is64BitWindows ? TRUE : FALSE;
    return TRUE;
}

DWORD GetModuleFileNameW(HMODULE, LPWSTR fileName, DWORD size)
{
    const std::u16string& path = machine().modulePath;
    const bool fits = path.size() < size;
    const DWORD length = path.empty() ? 0 : fits ? (DWORD)path.size() : size;
    if (length != 0)
        memcpy(fileName, path.c_str(), (fits ? length + 1 : size) * sizeof(WCHAR));
    if (length != 0 && !fits && machine().modulePathCut == PathCut::VISTA)
        fileName[size - 1] = u'\0';
    return length;
}

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation)
{
    Machine& m = machine();
    const auto shown = [](LPCWSTR text) { return text != NULL ? Utf8(text) : std::string("NULL"); };
    Log("CreateProcessW", Format(
        "%s, %s, %s, %s, %d, 0x%x, %s, %s", shown(applicationName).c_str(), shown(commandLine).c_str(),
        processAttributes ? "attributes" : "NULL", threadAttributes ? "attributes" : "NULL", inheritHandles,
        (unsigned)creationFlags, environment ? "environment" : "NULL", shown(currentDirectory).c_str()));
    if (startupInfo->cb != sizeof(*startupInfo))
        Fault("CreateProcessW: the start-up record's cb is not its size");
    // Windows reads every member: a stale one names a desktop, a title or handles, and the package may not start.
    if (std::any_of(std::begin(startupInfo->otherMembers), std::end(startupInfo->otherMembers), [](BYTE b) { return b; }))
        Fault("CreateProcessW: a member of the start-up record other than cb is set");
    if (applicationName == NULL)
        Fault("CreateProcessW: only a program named apart from its command line is simulated");
    const std::u16string program = applicationName != NULL ? applicationName : u"";
    const ProcessScript* image = m.ImageAt(program);
    // Windows opens the image for reading and execution, sharing reading and deletion.
    if (image == NULL || !CanOpen(Key(program), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE))
        return FALSE;
    const ProcessScript& script = *image;
    objects().processes.push_back(SimProcess{m.nowMs + script.runMs, script.exitCode, false, script.onExit});
    const size_t index = objects().processes.size() - 1;
    m.processes.push_back(ProcessStarted{program, commandLine, currentDirectory != NULL ? currentDirectory : u"",
                                         !WritableByOthers(program)});
    KernelObject process{ObjectKind::PROCESS};
    process.process = index;
    KernelObject thread{ObjectKind::THREAD};
    thread.process = index;
    processInformation->hProcess = NewObject(process);
    processInformation->hThread = NewObject(thread);
    // A program that does nothing ends at once.
    AdvanceTo(m.nowMs);
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode)
{
    KernelObject* object = FindObject(process, ObjectKind::PROCESS);
    if (object == NULL || machine().getExitCodeFails)
        return FALSE;
    const SimProcess& sim = objects().processes[object->process];
    *exitCode = sim.exited ? sim.exitCode : STILL_ACTIVE;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    KernelObject* object = FindObject(handle, ObjectKind::PROCESS);
    if (object == NULL) {
        Fault("WaitForSingleObject on " + HandleName(handle) + ": only processes are simulated");
        return WAIT_TIMEOUT;
    }
    Machine& m = machine();
    const SimProcess& process = objects().processes[object->process];
    if (m.waitFails)
        return WAIT_FAILED;
    if (!process.exited && milliseconds != 0)
        AdvanceTo(process.endMs - m.nowMs <= milliseconds ? process.endMs : m.nowMs + milliseconds);
    return process.exited ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL CloseHandle(HANDLE handle)
{
    if (handle == kCurrentProcess || CloseObject(handle, ObjectKind::PROCESS) || CloseObject(handle, ObjectKind::THREAD) ||
        CloseObject(handle, ObjectKind::TOKEN) || CloseObject(handle, ObjectKind::FILE))
        return TRUE;
    Fault("CloseHandle of " + HandleName(handle));
    return FALSE;
}
