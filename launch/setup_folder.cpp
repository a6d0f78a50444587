#include "setup_folder.h"

#include <ntsecapi.h>
#include <sddl.h>

#include "ascii_text.h"
#include "program_data.h"

namespace {

// Full access for SYSTEM and Administrators, inherited by all within, and
// nothing inherited from ProgramData, where ordinary users may make folders.
const char kSetupFolderSddl[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
const char kSetupFolderPrefix[] = "\\DBSetup-";
const char kHexDigits[] = "0123456789ABCDEF";
// A clash of 64 random bits means someone made the name: a few draws suffice.
const int kNameDraws = 4;

// Removes what the package extracted too, however deep: past MAX_PATH.
const char kLongPathPrefix[] = "\\\\?\\";

BOOL IsDotEntry(const WCHAR* name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// One entry, as itself; what cannot go now goes at the next restart. Windows
// removes neither a read-only file nor a read-only folder.
void RemoveEntry(const CStringW& path, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    const BOOL removed = attributes & FILE_ATTRIBUTE_DIRECTORY ? RemoveDirectoryW(path) : DeleteFileW(path);
    if (!removed)
        MoveFileExW(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Removes the files in folder and adds the folders in it to folders. A link
// to a folder is a folder and a reparse point: it is removed as an entry, so
// that nothing it points to is touched.
void EmptyFolder(const CStringW& folder, CStringWArray& folders)
{
    CStringW pattern(folder);
    pattern += WidenAscii("\\*");
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (IsDotEntry(found.cFileName))
            continue;
        CStringW path(folder);
        path += (WCHAR)'\\';
        path += (const WCHAR*)found.cFileName;
        const DWORD kind = found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
        if (kind == FILE_ATTRIBUTE_DIRECTORY)
            folders.SetAtGrow(folders.GetSize(), path);
        else
            RemoveEntry(path, found.dwFileAttributes);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

BOOL CSetupFolder::Create()
{
    CStringW programData;
    if (!GetProgramDataFolder(programData))
        return FALSE;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(WidenAscii(kSetupFolderSddl), SDDL_REVISION_1,
                                                              &descriptor, NULL))
        return FALSE;
    SECURITY_ATTRIBUTES attributes;
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = descriptor;
    attributes.bInheritHandle = FALSE;
    BOOL created = FALSE;
    for (int draw = 0; draw < kNameDraws && !created; ++draw) {
        BYTE random[8];
        if (!RtlGenRandom(random, sizeof(random)))
            break;
        CStringW path(programData);
        path += WidenAscii(kSetupFolderPrefix);
        for (BYTE byte : random) {
            path += (WCHAR)kHexDigits[byte >> 4];
            path += (WCHAR)kHexDigits[byte & 15];
        }
        created = CreateDirectoryW(path, &attributes);
        if (created)
            m_strPath = path;
        else if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    LocalFree(descriptor);
    return created;
}

CStringW CSetupFolder::PathOf(const char* name) const
{
    CStringW path(m_strPath);
    path += (WCHAR)'\\';
    path += WidenAscii(name);
    return path;
}

void CSetupFolder::Remove()
{
    if (m_strPath.IsEmpty())
        return;
    // Each folder after the one it is in: emptied in that order and removed in
    // the reverse, so that any depth takes no more than this loop.
    CStringWArray folders;
    CStringW path = WidenAscii(kLongPathPrefix);
    path += m_strPath;
    folders.SetAtGrow(0, path);
    for (int i = 0; i < folders.GetSize(); ++i) {
        const CStringW folder(folders[i]);  // adding to folders may move it
        EmptyFolder(folder, folders);
    }
    // Whether a folder is read-only is not asked: the package may have made any so.
    for (int i = folders.GetSize() - 1; i >= 0; --i)
        RemoveEntry(folders[i], FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
    m_strPath.Empty();
}
