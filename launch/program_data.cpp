#include "program_data.h"

#include "ascii_text.h"

namespace {

const char kProfileListKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char kProgramDataValue[] = "ProgramData";
// Windows records "%SystemDrive%\ProgramData" (REG_EXPAND_SZ), Wine
// "C:\ProgramData" (REG_SZ). The system drive is the Windows folder's.
const char kSystemDrive[] = "%systemdrive%";

WCHAR LowerAscii(WCHAR ch)
{
    return ch >= 'A' && ch <= 'Z' ? (WCHAR)(ch + ('a' - 'A')) : ch;
}

BOOL IsDriveLetter(WCHAR ch)
{
    return LowerAscii(ch) >= 'a' && LowerAscii(ch) <= 'z';
}

// The text, in UTF-16 as Windows holds it: it names a folder. The type is not
// asked; the text ends at its first NUL or with the buffer.
BOOL ReadProgramData(CStringW& value)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProfileListKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return FALSE;
    DWORD size = MAX_PATH * sizeof(WCHAR);
    const LONG status =
        RegQueryValueExW(key, WidenAscii(kProgramDataValue), NULL, NULL, (LPBYTE)value.GetBuffer(MAX_PATH), &size);
    RegCloseKey(key);
    value.ReleaseBuffer(status == ERROR_SUCCESS ? -1 : 0);
    return status == ERROR_SUCCESS;
}

// "%SystemDrive%" at the start, in any case, as the drive of the Windows folder.
BOOL ExpandSystemDrive(CStringW& path)
{
    const int length = sizeof(kSystemDrive) - 1;
    for (int i = 0; i < length; ++i) {
        if (LowerAscii(path[i]) != kSystemDrive[i])  // the text ends before a NUL could match
            return TRUE;
    }
    CStringW windows;
    const UINT size = GetSystemWindowsDirectoryW(windows.GetBuffer(MAX_PATH), MAX_PATH);
    windows.ReleaseBuffer(size < MAX_PATH ? (int)size : 0);
    if (windows.GetLength() < 2 || !IsDriveLetter(windows[0]) || windows[1] != ':')
        return FALSE;
    CStringW expanded = windows.Left(2);
    expanded += path.Mid(length);
    path = expanded;
    return TRUE;
}

// "X:" and names after backslashes, none empty or ending in a dot or a space
// (so neither "." nor ".."), and no other variable: the path Windows would
// make of it, unchanged, is the one our folder is removed by ("\\?\").
BOOL IsFullDrivePath(const CStringW& path)
{
    if (path.GetLength() < 2 || !IsDriveLetter(path[0]) || path[1] != ':')
        return FALSE;
    for (int i = 2; i < path.GetLength(); ++i) {
        const WCHAR ch = path[i];
        const WCHAR next = i + 1 < path.GetLength() ? path[i + 1] : (WCHAR)'\\';
        if ((i == 2 && ch != '\\') || ch == '/' || ch == '%' ||
            (next == '\\' && (ch == '\\' || ch == '.' || ch == ' ')))
            return FALSE;
    }
    return TRUE;
}

}  // namespace

BOOL GetProgramDataFolder(CStringW& folder)
{
    if (!ReadProgramData(folder) || !ExpandSystemDrive(folder))
        return FALSE;
    // "C:\" names the root as "C:" does: our folder's name follows a backslash.
    while (folder.GetLength() > 2 && folder[folder.GetLength() - 1] == '\\')
        folder = folder.Left(folder.GetLength() - 1);
    return IsFullDrivePath(folder);
}
