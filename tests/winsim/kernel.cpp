// kernel32: version, modules, processes, handles, code pages.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <map>
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

const char* const kObjectKindNames[] = {"process", "thread", "token", "key", "file", "module", "trust state"};

// The share-mode bits that an open's access needs of every other open of the file.
DWORD ShareNeeded(DWORD access)
{
    return (access & GENERIC_READ ? FILE_SHARE_READ : 0) | (access & GENERIC_WRITE ? FILE_SHARE_WRITE : 0) |
           (access & DELETE ? FILE_SHARE_DELETE : 0);
}

// Whether an open of the file at upper with access and share fits every open
// of it held now, ours and another program's, as Windows checks share modes.
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

// What the system DLLs that the product loads at run time export to it.
const struct {
    const char *module, *name;
    FARPROC entry;
} kSystemExports[] = {
    {"WINTRUST.DLL", "WinVerifyTrust", (FARPROC)(void*)&WinVerifyTrust},
    {"WINTRUST.DLL", "WTHelperProvDataFromStateData", (FARPROC)(void*)&WTHelperProvDataFromStateData},
    {"WINTRUST.DLL", "WTHelperGetProvSignerFromChain", (FARPROC)(void*)&WTHelperGetProvSignerFromChain},
    {"CRYPT32.DLL", "CertGetNameStringW", (FARPROC)(void*)&CertGetNameStringW},
};

// The program of a command line whose first token is quoted, as the
// product's is; an unquoted one is taken up to its first space.
std::u16string ProgramOf(const std::u16string& commandLine)
{
    if (commandLine.empty() || commandLine[0] != u'"')
        return commandLine.substr(0, commandLine.find(u' '));
    const size_t end = commandLine.find(u'"', 1);
    return commandLine.substr(1, end == std::u16string::npos ? std::u16string::npos : end - 1);
}

}  // namespace

std::string Format(const char* format, ...)
{
    va_list args, measure;
    va_start(args, format);
    va_copy(measure, args);
    std::string text((size_t)vsnprintf(NULL, 0, format, measure) + 1, '\0');
    va_end(measure);
    vsnprintf(&text[0], text.size(), format, args);
    va_end(args);
    text.pop_back();
    return text;
}

std::string Text(const char* text)
{
    return text != NULL ? std::string(text) : std::string("NULL");
}

void Log(const char* function, const std::string& args, const std::string& result)
{
    machine().calls.push_back(ApiCall{function, args, result});
}

void SetLastErrorCode(DWORD error)
{
    objects().lastError = error;
}

bool WritableByOthers(const std::u16string& path)
{
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    return CanOpen(UpperName(path), GENERIC_WRITE, all) || CanOpen(UpperName(path), DELETE, all);
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
    if (m.nowMs > m.hangAfterMs)
        throw Hang{Format("still waiting at %u ms", (unsigned)m.nowMs)};
}

void ResetKernelObjects()
{
    objects() = Objects();
}

int OpenKernelObjectCount()
{
    return (int)objects().handles.size() + objects().kernel32References;
}

}  // namespace winsim

using namespace winsim;

BOOL GetVersionExA(LPOSVERSIONINFOA info)
{
    Machine& m = machine();
    const DWORD size = info->dwOSVersionInfoSize;
    if (m.getVersionFails || (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA))) {
        Log("GetVersionExA", Format("size=%u", (unsigned)size), "FALSE");
        return FALSE;
    }
    info->dwMajorVersion = m.majorVersion;
    info->dwMinorVersion = m.minorVersion;
    info->dwBuildNumber = m.buildNumber;
    info->dwPlatformId = 2;
    info->szCSDVersion[0] = '\0';
    Log("GetVersionExA", Format("size=%u", (unsigned)size),
        Format("TRUE %u.%u", (unsigned)m.majorVersion, (unsigned)m.minorVersion));
    return TRUE;
}

HMODULE LoadLibraryA(LPCSTR name)
{
    const std::string upper = UpperName(Text(name));
    if (machine().loadLibraryFails || (upper != "KERNEL32.DLL" && upper != "KERNEL32")) {
        Log("LoadLibraryA", Text(name), "NULL");
        return NULL;
    }
    ++objects().kernel32References;
    Log("LoadLibraryA", Text(name), "kernel32");
    return kKernel32;
}

HMODULE GetModuleHandleA(LPCSTR name)
{
    // Kernel32 is in every process; a handle from here takes no reference.
    const std::string upper = UpperName(Text(name));
    const HMODULE found = upper == "KERNEL32.DLL" || upper == "KERNEL32" ? kKernel32 : NULL;
    Log("GetModuleHandleA", Text(name), found != NULL ? "kernel32" : "NULL");
    return found;
}

HMODULE LoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags)
{
    const std::string upper = UpperName(Utf8(name));
    const std::string args = Format("%s, %s, 0x%x", Utf8(name).c_str(), file != NULL ? "file" : "NULL", (unsigned)flags);
    if (flags != LOAD_LIBRARY_SEARCH_SYSTEM32)
        Fault("LoadLibraryExW looked beyond the system folder: " + args);
    const bool exists = upper == "WINTRUST.DLL" || upper == "CRYPT32.DLL";
    if (!exists || machine().missingSystemDlls.count(upper) != 0) {
        SetLastErrorCode(ERROR_MOD_NOT_FOUND);
        Log("LoadLibraryExW", args, "NULL");
        return NULL;
    }
    KernelObject module{ObjectKind::MODULE};
    module.path = upper;
    Log("LoadLibraryExW", args, upper);
    return (HMODULE)NewObject(module);
}

DWORD GetLastError()
{
    return objects().lastError;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    if (const KernelObject* loaded = FindObject((HANDLE)module, ObjectKind::MODULE)) {
        FARPROC entry = NULL;
        for (const auto& e : kSystemExports) {
            if (loaded->path == e.module && strcmp(name, e.name) == 0 && machine().missingExports.count(name) == 0)
                entry = e.entry;
        }
        if (entry == NULL)
            SetLastErrorCode(ERROR_PROC_NOT_FOUND);
        Log("GetProcAddress", loaded->path + ", " + name, entry != NULL ? "found" : "NULL");
        return entry;
    }
    if (module != kKernel32) {
        Fault("GetProcAddress on a module that is not loaded");
        return NULL;
    }
    const Machine& m = machine();
    const struct {
        const char* name;
        bool present;
        FARPROC entry;
    } kExports[] = {
        {"IsWow64Process", m.kernel32HasIsWow64Process, (FARPROC)(void*)&IsWow64Process},
        {"SetDefaultDllDirectories", m.kernel32HasSetDefaultDllDirectories,
         (FARPROC)(void*)&SetDefaultDllDirectories},
        {"SetDllDirectoryA", m.kernel32HasSetDllDirectory, (FARPROC)(void*)&SetDllDirectoryA},
    };
    FARPROC entry = NULL;
    for (const auto& export_ : kExports) {
        if (strcmp(name, export_.name) == 0 && export_.present)
            entry = export_.entry;
    }
    Log("GetProcAddress", Format("kernel32, %s", name), entry != NULL ? "found" : "NULL");
    return entry;
}

BOOL SetDefaultDllDirectories(DWORD directoryFlags)
{
    Log("SetDefaultDllDirectories", Format("0x%x", (unsigned)directoryFlags), "");
    if (!machine().kernel32HasSetDefaultDllDirectories)
        Fault("SetDefaultDllDirectories called where Kernel32 has no such entry");
    if (directoryFlags != LOAD_LIBRARY_SEARCH_SYSTEM32)  // the simulation knows this one flag only
        return FALSE;
    machine().dllSearch = "system32 only";
    return TRUE;
}

BOOL SetDllDirectoryA(LPCSTR path)
{
    Log("SetDllDirectoryA", path == NULL ? "NULL" : "\"" + std::string(path) + "\"", "");
    if (!machine().kernel32HasSetDllDirectory)
        Fault("SetDllDirectoryA called where Kernel32 has no such entry");
    machine().dllSearch = path != NULL && path[0] == '\0' ? "without current folder" : "standard";
    return TRUE;
}

BOOL FreeLibrary(HMODULE module)
{
    if (CloseObject((HANDLE)module, ObjectKind::MODULE)) {
        Log("FreeLibrary", "module", "");
        return TRUE;
    }
    Log("FreeLibrary", module == kKernel32 ? "kernel32" : "unknown", "");
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
    Log("IsWow64Process", HandleName(process), "");
    if (!machine().kernel32HasIsWow64Process)
        Fault("IsWow64Process called where Kernel32 has no such entry");
    if (process != kCurrentProcess)
        return FALSE;
    *wow64 = machine().is64BitWindows ? TRUE : FALSE;
    return TRUE;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size)
{
    const std::u16string& path = machine().modulePath;
    const bool fits = path.size() < size;
    const DWORD length = path.empty() ? 0 : fits ? (DWORD)path.size() : size;
    if (length != 0)
        memcpy(fileName, path.c_str(), (fits ? length + 1 : size) * sizeof(WCHAR));
    if (length != 0 && !fits && machine().modulePathCut == PathCut::VISTA)
        fileName[size - 1] = u'\0';
    Log("GetModuleFileNameW", Format("%s, %u", module == NULL ? "NULL" : "module", (unsigned)size),
        Format("%u", (unsigned)length));
    return length;
}

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation)
{
    Machine& m = machine();
    const auto shown = [](LPCWSTR text) { return text != NULL ? Utf8(text) : std::string("NULL"); };
    const std::string args = Format(
        "%s, %s, %s, %s, %d, 0x%x, %s, %s, cb=%u", shown(applicationName).c_str(), shown(commandLine).c_str(),
        processAttributes ? "attributes" : "NULL", threadAttributes ? "attributes" : "NULL", inheritHandles,
        (unsigned)creationFlags, environment ? "environment" : "NULL", shown(currentDirectory).c_str(),
        (unsigned)startupInfo->cb);
    if (startupInfo->cb != sizeof(*startupInfo))
        Fault("CreateProcessW: the start-up record's cb is not its size");
    const std::u16string program = applicationName != NULL ? applicationName : ProgramOf(commandLine);
    auto found = m.executables.find(UpperName(program));
    // Windows opens the image for reading and execution, sharing reading and deletion.
    if (found == m.executables.end() || !CanOpen(found->first, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE)) {
        Log("CreateProcessW", args, "FALSE");
        return FALSE;
    }
    const ProcessScript& script = found->second;
    objects().processes.push_back(SimProcess{m.nowMs + script.runMs, script.exitCode, false, script.onExit});
    const size_t index = objects().processes.size() - 1;
    m.processes.push_back(ProcessStarted{commandLine, !WritableByOthers(program)});
    KernelObject process{ObjectKind::PROCESS};
    process.process = index;
    KernelObject thread{ObjectKind::THREAD};
    thread.process = index;
    processInformation->hProcess = NewObject(process);
    processInformation->hThread = NewObject(thread);
    processInformation->dwProcessId = (DWORD)(1000 + 4 * index);
    processInformation->dwThreadId = (DWORD)(1002 + 4 * index);
    Log("CreateProcessW", args,
        "TRUE " + HandleName(processInformation->hProcess) + " " + HandleName(processInformation->hThread));
    // A program that does nothing ends at once.
    AdvanceTo(m.nowMs);
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode)
{
    KernelObject* object = FindObject(process, ObjectKind::PROCESS);
    if (object == NULL || machine().getExitCodeFails) {
        Log("GetExitCodeProcess", HandleName(process), "FALSE");
        return FALSE;
    }
    const SimProcess& sim = objects().processes[object->process];
    *exitCode = sim.exited ? sim.exitCode : STILL_ACTIVE;
    Log("GetExitCodeProcess", HandleName(process), Format("TRUE %u", (unsigned)*exitCode));
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    const std::string args = Format("%s, %u", HandleName(handle).c_str(), (unsigned)milliseconds);
    KernelObject* object = FindObject(handle, ObjectKind::PROCESS);
    if (object == NULL) {
        Fault("WaitForSingleObject on " + args + ": only processes are simulated");
        return WAIT_TIMEOUT;
    }
    Machine& m = machine();
    const SimProcess& process = objects().processes[object->process];
    if (m.waitFails) {
        Log("WaitForSingleObject", args, "WAIT_FAILED");
        return WAIT_FAILED;
    }
    if (!process.exited && milliseconds != 0) {
        const DWORD end = process.endMs;
        const bool endsInTime = milliseconds == INFINITE || end - m.nowMs <= milliseconds;
        AdvanceTo(endsInTime ? end : m.nowMs + milliseconds);
    }
    const DWORD result = process.exited ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    Log("WaitForSingleObject", args, result == WAIT_OBJECT_0 ? "WAIT_OBJECT_0" : "WAIT_TIMEOUT");
    return result;
}

BOOL CloseHandle(HANDLE handle)
{
    const std::string name = HandleName(handle);
    Log("CloseHandle", name, "");
    if (handle == kCurrentProcess)
        return TRUE;
    if (CloseObject(handle, ObjectKind::PROCESS) || CloseObject(handle, ObjectKind::THREAD) ||
        CloseObject(handle, ObjectKind::TOKEN) || CloseObject(handle, ObjectKind::FILE))
        return TRUE;
    Fault("CloseHandle of " + name);
    return FALSE;
}

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE templateFile)
{
    Machine& m = machine();
    const std::u16string upper = UpperName(std::u16string(name));
    const std::string args = Format("%s, 0x%x, 0x%x, %s, %u, 0x%x, %s", Utf8(name).c_str(), (unsigned)access,
                                    (unsigned)share, security != NULL ? "security" : "NULL", (unsigned)disposition,
                                    (unsigned)flags, templateFile != NULL ? "template" : "NULL");
    if (disposition != OPEN_EXISTING)
        Fault("CreateFileW: only opening a file that exists is simulated");
    // A folder opened without backup semantics is refused as Windows refuses it.
    const DWORD error = m.folders.count(upper) != 0           ? ERROR_ACCESS_DENIED
                        : m.executables.count(upper) == 0     ? ERROR_FILE_NOT_FOUND
                        : !CanOpen(upper, access, share)      ? ERROR_SHARING_VIOLATION
                                                              : ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) {
        SetLastErrorCode(error);
        Log("CreateFileW", args, Format("INVALID_HANDLE_VALUE %u", (unsigned)error));
        return INVALID_HANDLE_VALUE;
    }
    KernelObject file{ObjectKind::FILE};
    file.path = Utf8(upper);
    file.access = access;
    file.share = share;
    Log("CreateFileW", args, "file");
    return NewObject(file);
}
