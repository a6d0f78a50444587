// kernel32: files and folders, and the resources of our own module.
#include <string.h>

#include <algorithm>

#include "state.h"

namespace winsim {

// Without "\\?\", Windows takes no path of MAX_PATH units or more (none is
// found: ""), and one that starts with a single backslash from the root of the
// current drive, here always C:.
std::u16string Key(const std::u16string& path)
{
    if (path.compare(0, 4, u"\\\\?\\") == 0)
        return UpperName(path.substr(4));
    if (path.size() >= MAX_PATH)
        return u"";
    // It also resolves "." and ".." there, and only there.
    const std::u16string full = path.compare(0, 1, u"\\") == 0 && path.compare(0, 2, u"\\\\") != 0 ? u"C:" + path : path;
    std::u16string key;  // ".." never goes above the drive, whose "C:" has no backslash before it
    for (size_t at = 0, next; at <= full.size(); at = next + 1) {
        next = std::min(full.find(u'\\', at), full.size());
        const std::u16string part = full.substr(at, next - at);
        if (part == u"..")
            key.erase(std::min(key.rfind(u'\\'), key.size()));
        else if (part != u".")
            key += (at == 0 ? u"" : u"\\") + part;
    }
    return UpperName(key);
}

}  // namespace winsim

using namespace winsim;

namespace {

std::u16string ParentOf(const std::u16string& key)
{
    const size_t slash = key.rfind(u'\\');
    return slash == std::u16string::npos ? std::u16string() : key.substr(0, slash);
}

// Removal walks a tree: a walk through a link would reach what it points to.
bool ThroughLink(const std::u16string& key)
{
    for (std::u16string up = ParentOf(key); !up.empty(); up = ParentOf(up)) {
        const auto folder = machine().folders.find(up);
        if (folder != machine().folders.end() && folder->second.link) {
            Fault("followed the link " + Utf8(up));
            return true;
        }
    }
    return false;
}

// What a failed call returns, with its error for GetLastError.
template <class Result = bool>
Result Fail(DWORD error, Result result = Result())
{
    SetLastErrorCode(error);
    return result;
}

// Whether the entry at key may go now: no open of it forbids deleting.
bool Removable(const std::u16string& key)
{
    return CanOpen(key, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE) ||
           Fail(ERROR_SHARING_VIOLATION);
}

}  // namespace

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE templateFile)
{
    Machine& m = machine();
    const std::u16string key = Key(name);
    const bool create = disposition == CREATE_NEW;
    if ((!create && disposition != OPEN_EXISTING) || (create && access != GENERIC_WRITE) || security != NULL ||
        templateFile != NULL || flags != FILE_ATTRIBUTE_NORMAL)
        Fault("CreateFileW: only opening a file that exists, or creating a new one to write, is simulated");
    // A folder opened without backup semantics is refused as Windows refuses it.
    const bool exists = m.files.count(key) != 0 || m.folders.count(key) != 0;
    const DWORD error = create && exists                         ? ERROR_FILE_EXISTS
                        : create && !m.folders.count(ParentOf(key)) ? ERROR_PATH_NOT_FOUND
                        : create                                 ? ERROR_SUCCESS
                        : m.folders.count(key) != 0              ? ERROR_ACCESS_DENIED
                        : m.files.count(key) == 0                ? ERROR_FILE_NOT_FOUND
                        : !CanOpen(key, access, share)           ? ERROR_SHARING_VIOLATION
                                                                 : ERROR_SUCCESS;
    if (error != ERROR_SUCCESS)
        return Fail(error, INVALID_HANDLE_VALUE);
    if (create)
        m.AddFile(key, "");
    KernelObject file{ObjectKind::FILE};
    file.path = Utf8(key);
    file.access = access;
    file.share = share;
    file.bytes = m.files[key].bytes;  // the file opened, whatever the path names later
    HANDLE handle = NewObject(file);
    if (m.afterOpen)
        m.afterOpen(key);
    return handle;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPVOID overlapped)
{
    KernelObject* open = FindObject(file, ObjectKind::FILE);
    if (open == NULL || !(open->access & GENERIC_READ) || overlapped != NULL)
        return Fail(ERROR_ACCESS_DENIED);
    if (machine().readFails)
        return Fail(ERROR_READ_FAULT);
    *read = (DWORD)open->bytes->copy((char*)buffer, size, std::min(open->position, open->bytes->size()));
    open->position += *read;
    return TRUE;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD size, LPDWORD written, LPVOID overlapped)
{
    KernelObject* open = FindObject(file, ObjectKind::FILE);
    *written = 0;
    if (open == NULL || !(open->access & GENERIC_WRITE) || overlapped != NULL)
        return Fail(ERROR_ACCESS_DENIED);
    if (size > machine().diskFreeBytes)
        return Fail(ERROR_DISK_FULL);
    machine().diskFreeBytes -= size;
    open->bytes->replace(open->position, size, (const char*)buffer, size);
    open->position += size;
    *written = size;
    return TRUE;
}

UINT GetSystemWindowsDirectoryW(LPWSTR buffer, UINT size)
{
    const std::u16string& folder = machine().windowsFolder;
    if (folder.size() >= size)
        return (UINT)folder.size() + 1;
    buffer[folder.copy(buffer, size)] = 0;
    return (UINT)folder.size();
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security)
{
    Machine& m = machine();
    const std::u16string key = Key(path);
    const KernelObject* descriptor = security != NULL ? FindObject(security->lpSecurityDescriptor, ObjectKind::LOCAL) : NULL;
    if (descriptor == NULL || security->nLength != sizeof(*security))
        Fault("CreateDirectoryW: only a folder with an access list of its own is simulated");
    if (m.folders.count(key) != 0 || m.files.count(key) != 0)
        return Fail(ERROR_ALREADY_EXISTS);
    if (m.folders.count(ParentOf(key)) == 0)
        return Fail(ERROR_PATH_NOT_FOUND);
    m.folders[key].sddl = descriptor != NULL ? Utf8(descriptor->text) : "";
    return TRUE;
}

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW found)
{
    const Machine& m = machine();
    const std::u16string key = Key(pattern);
    if (key.empty())
        return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    const std::u16string folder = key.substr(0, key.size() - 2);
    if (key.size() < 2 || key.compare(key.size() - 2, 2, u"\\*") != 0)
        Fault("FindFirstFileW: only all of a folder is simulated");
    if (m.folders.count(folder) == 0 || ThroughLink(key))
        return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    // Windows gives a folder's own two entries first.
    KernelObject search{ObjectKind::SEARCH};
    search.entries = {{u".", FILE_ATTRIBUTE_DIRECTORY}, {u"..", FILE_ATTRIBUTE_DIRECTORY}};
    for (const auto& file : m.files) {
        if (ParentOf(file.first) == folder)
            search.entries.push_back({file.first.substr(folder.size() + 1), file.second.attributes});
    }
    for (const auto& sub : m.folders) {
        if (ParentOf(sub.first) == folder)
            search.entries.push_back({sub.first.substr(folder.size() + 1), FILE_ATTRIBUTE_DIRECTORY | sub.second.attributes |
                                                                       (sub.second.link ? FILE_ATTRIBUTE_REPARSE_POINT : 0)});
    }
    HANDLE handle = NewObject(search);
    FindNextFileW(handle, found);
    return handle;
}

BOOL FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW found)
{
    KernelObject* open = FindObject(search, ObjectKind::SEARCH);
    if (open == NULL || open->entries.empty())
        return FALSE;
    found->dwFileAttributes = open->entries.front().second;
    found->cFileName[open->entries.front().first.copy(found->cFileName, MAX_PATH - 1)] = 0;
    open->entries.erase(open->entries.begin());
    return TRUE;
}

BOOL FindClose(HANDLE search)
{
    if (CloseObject(search, ObjectKind::SEARCH))
        return TRUE;
    Fault("FindClose of " + HandleName(search));
    return FALSE;
}

// Of a file or a folder; of a folder only whether it is read-only is kept.
BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes)
{
    Machine& m = machine();
    const std::u16string key = Key(path);
    const auto file = m.files.find(key);
    const auto folder = m.folders.find(key);
    if (ThroughLink(key) || (file == m.files.end() && folder == m.folders.end()))
        return Fail(ERROR_FILE_NOT_FOUND);
    if (file != m.files.end())
        file->second.attributes = attributes;
    else
        folder->second.attributes = attributes & FILE_ATTRIBUTE_READONLY;
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR path)
{
    const auto file = machine().files.find(Key(path));
    if (file == machine().files.end() || ThroughLink(file->first))
        return Fail(ERROR_FILE_NOT_FOUND);
    if (file->second.attributes & FILE_ATTRIBUTE_READONLY)
        return Fail(ERROR_ACCESS_DENIED);
    return Removable(file->first) && machine().files.erase(file->first);
}

// A link goes as itself; what it points to is elsewhere and stays.
BOOL RemoveDirectoryW(LPCWSTR path)
{
    Machine& m = machine();
    const auto folder = m.folders.find(Key(path));
    if (folder == m.folders.end() || ThroughLink(folder->first))
        return Fail(ERROR_FILE_NOT_FOUND);
    const auto inside = [&](const auto& entry) { return ParentOf(entry.first) == folder->first; };
    if (std::any_of(m.files.begin(), m.files.end(), inside) || std::any_of(m.folders.begin(), m.folders.end(), inside))
        return Fail(ERROR_DIR_NOT_EMPTY);
    if (folder->second.attributes & FILE_ATTRIBUTE_READONLY)
        return Fail(ERROR_ACCESS_DENIED);
    return Removable(folder->first) && m.folders.erase(folder->first);
}

BOOL MoveFileExW(LPCWSTR path, LPCWSTR newPath, DWORD flags)
{
    if (newPath != NULL || flags != MOVEFILE_DELAY_UNTIL_REBOOT)
        Fault("MoveFileExW: only a removal at the next restart is simulated");
    const std::u16string key = Key(path);
    if (key.empty())
        return Fail(ERROR_PATH_NOT_FOUND);
    machine().removedAtRestart.push_back(key);
    return TRUE;
}

void* LocalFree(void* memory)
{
    if (memory != NULL && !CloseObject(memory, ObjectKind::LOCAL))
        Fault("LocalFree of memory that is not LocalAlloc's");
    return NULL;
}

// Our module's resources: the answer file, and the package's pin where a build has one.
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type)
{
    if (module != NULL || (name != MAKEINTRESOURCEA(1) && name != MAKEINTRESOURCEA(2)) || type != RT_RCDATA) {
        Fault("FindResourceA: only our own answer file and pin are simulated");
        return NULL;
    }
    Machine& m = machine();
    if (name == MAKEINTRESOURCEA(2) && m.packagePin.empty())
        return Fail(ERROR_RESOURCE_NAME_NOT_FOUND, (HRSRC)NULL);
    return (HRSRC)(name == MAKEINTRESOURCEA(1) ? &m.answerFileResource : &m.packagePin);
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) { return resource; }
LPVOID LockResource(HGLOBAL loaded) { return &(*(std::string*)loaded)[0]; }
DWORD SizeofResource(HMODULE, HRSRC resource) { return (DWORD)((std::string*)resource)->size(); }
