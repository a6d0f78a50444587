// advapi32: the registry with its two views, and the process token.
#include <string.h>

#include "state.h"

using namespace winsim;

namespace {

const DWORD kViewFlags = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
const LUID kShutdownPrivilege = {19, 0};

// A 32-bit process on 64-bit Windows sees HKLM\SOFTWARE through the WOW64
// view unless it asks for the 64-bit one.
RegView ViewFor(REGSAM desired)
{
    return machine().is64BitWindows && !(desired & KEY_WOW64_64KEY) ? RegView::WOW32 : RegView::NATIVE;
}

std::string KeyName(HKEY key)
{
    return key == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : HandleName((HANDLE)key);
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result)
{
    const std::string args =
        Format("%s, %s, %u, 0x%x", KeyName(key).c_str(), Text(subKey).c_str(), (unsigned)options, (unsigned)desired);
    const std::string path = subKey != NULL ? subKey : "";
    LONG status = ERROR_SUCCESS;
    const RegView view = ViewFor(desired);
    if (key != HKEY_LOCAL_MACHINE || UpperName(path).compare(0, 9, "SOFTWARE\\") != 0) {
        Fault("RegOpenKeyExA outside HKEY_LOCAL_MACHINE\\SOFTWARE is not simulated");
        status = ERROR_INVALID_HANDLE;
    } else {
        auto found = machine().keys.find(KeyId(view, path));
        if (found == machine().keys.end())
            status = ERROR_FILE_NOT_FOUND;
        else if ((desired & ~kViewFlags) & ~found->second.allowedAccess)
            status = ERROR_ACCESS_DENIED;
    }
    if (status != ERROR_SUCCESS) {
        Log("RegOpenKeyExA", args, Format("%d", (int)status));
        return status;
    }
    KernelObject object{ObjectKind::REGKEY};
    object.access = desired & ~kViewFlags;
    object.view = view;
    object.path = path;
    *result = (HKEY)NewObject(object);
    Log("RegOpenKeyExA", args, "0 " + HandleName((HANDLE)*result));
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize)
{
    const std::string args = Format("%s, %s, %s, %s, %s, %s", KeyName(key).c_str(), Text(valueName).c_str(),
                                    reserved ? "reserved" : "NULL", type ? "type" : "NULL",
                                    data ? "data" : "NULL",
                                    dataSize ? Format("%u", (unsigned)*dataSize).c_str() : "NULL");
    KernelObject* object = FindObject((HANDLE)key, ObjectKind::REGKEY);
    LONG status = ERROR_SUCCESS;
    const RegValue* value = NULL;
    if (object == NULL) {
        status = ERROR_INVALID_HANDLE;
    } else if (!(object->access & KEY_QUERY_VALUE)) {
        status = ERROR_ACCESS_DENIED;
    } else {
        const RegKey& regKey = machine().keys[KeyId(object->view, object->path)];
        auto found = regKey.values.find(UpperName(Text(valueName != NULL ? valueName : "")));
        if (found == regKey.values.end())
            status = ERROR_FILE_NOT_FOUND;
        else
            value = &found->second;
    }
    if (value != NULL) {
        const DWORD size = (DWORD)value->data.size();
        if (type != NULL)
            *type = value->type;
        if (data != NULL && size > *dataSize) {
            // The buffer's contents are undefined then; make any reliance on them visible.
            memset(data, 0xCC, *dataSize);
            status = ERROR_MORE_DATA;
        } else if (data != NULL) {
            memcpy(data, value->data.data(), size);
        }
        if (dataSize != NULL)
            *dataSize = size;
    }
    Log("RegQueryValueExA", args, Format("%d", (int)status));
    return status;
}

LONG RegCloseKey(HKEY key)
{
    Log("RegCloseKey", KeyName(key), "");
    if (!CloseObject((HANDLE)key, ObjectKind::REGKEY)) {
        Fault("RegCloseKey of " + KeyName(key));
        return ERROR_INVALID_HANDLE;
    }
    return ERROR_SUCCESS;
}

BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token)
{
    const std::string args = Format("%s, 0x%x", HandleName(process).c_str(), (unsigned)desiredAccess);
    if (process != GetCurrentProcess()) {
        Log("OpenProcessToken", args, "FALSE");
        return FALSE;
    }
    KernelObject object{ObjectKind::TOKEN};
    object.access = desiredAccess;
    *token = NewObject(object);
    Log("OpenProcessToken", args, "TRUE " + HandleName(*token));
    return TRUE;
}

BOOL LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid)
{
    if (systemName != NULL || strcmp(name, "SeShutdownPrivilege") != 0)
        Fault("LookupPrivilegeValueA: only SeShutdownPrivilege on this computer is simulated");
    const bool found = !machine().lookupPrivilegeFails;
    if (found)
        *luid = kShutdownPrivilege;
    Log("LookupPrivilegeValueA", Text(systemName) + ", " + name, found ? "TRUE" : "FALSE");
    return found;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                           DWORD bufferLength, PTOKEN_PRIVILEGES previousState, LPDWORD returnLength)
{
    Machine& m = machine();
    std::string args = Format("%s, %d, ", HandleName(token).c_str(), disableAll);
    if (newState != NULL) {
        args += Format("count=%u", (unsigned)newState->PrivilegeCount);
        for (DWORD i = 0; i < newState->PrivilegeCount && i < 1; ++i)
            args += Format(" luid=%u:%d attributes=0x%x", (unsigned)newState->Privileges[i].Luid.LowPart,
                           (int)newState->Privileges[i].Luid.HighPart, (unsigned)newState->Privileges[i].Attributes);
    } else {
        args += "NULL";
    }
    args += Format(", %u, %s, %s", (unsigned)bufferLength, previousState ? "previous" : "NULL",
                   returnLength ? "length" : "NULL");
    KernelObject* object = FindObject(token, ObjectKind::TOKEN);
    const DWORD needed = (DWORD)sizeof(TOKEN_PRIVILEGES);
    // The simulation knows one privilege at a time only.
    const bool refused = object == NULL || !(object->access & TOKEN_ADJUST_PRIVILEGES) ||
                         (previousState != NULL && (!(object->access & TOKEN_QUERY) || bufferLength < needed)) ||
                         newState == NULL || newState->PrivilegeCount != 1 || disableAll;
    if (refused) {
        Log("AdjustTokenPrivileges", args, "FALSE");
        return FALSE;
    }
    const LUID_AND_ATTRIBUTES& entry = newState->Privileges[0];
    const bool isShutdown = entry.Luid.LowPart == kShutdownPrivilege.LowPart &&
                            entry.Luid.HighPart == kShutdownPrivilege.HighPart;
    if (previousState != NULL) {
        previousState->PrivilegeCount = 1;
        previousState->Privileges[0].Luid = entry.Luid;
        previousState->Privileges[0].Attributes = m.shutdownPrivilegeEnabled ? SE_PRIVILEGE_ENABLED : 0;
    }
    if (returnLength != NULL)
        *returnLength = needed;
    if (!isShutdown) {
        Log("AdjustTokenPrivileges", args, "TRUE not all assigned");
        return TRUE;
    }
    m.shutdownPrivilegeEnabled = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    Log("AdjustTokenPrivileges", args, "TRUE");
    return TRUE;
}
