// advapi32: the registry with its two views, and the process token.
#include <string.h>

#include <openssl/evp.h>

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

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD /*options*/, REGSAM desired, HKEY* result)
{
    const std::string path = subKey;
    if (key != HKEY_LOCAL_MACHINE || UpperName(path).compare(0, 9, "SOFTWARE\\") != 0) {
        Fault("RegOpenKeyExA outside HKEY_LOCAL_MACHINE\\SOFTWARE is not simulated");
        return ERROR_INVALID_HANDLE;
    }
    const RegView view = ViewFor(desired);
    auto found = machine().keys.find(KeyId(view, path));
    if (found == machine().keys.end())
        return ERROR_FILE_NOT_FOUND;
    if ((desired & ~kViewFlags) & ~found->second.allowedAccess)
        return ERROR_ACCESS_DENIED;
    KernelObject object{ObjectKind::REGKEY};
    object.access = desired & ~kViewFlags;
    object.view = view;
    object.path = path;
    *result = (HKEY)NewObject(object);
    return ERROR_SUCCESS;
}

namespace {

// The bytes as stored: for a value read through the "W" entry point, UTF-16.
LONG QueryValue(const char* function, HKEY key, const std::string& name, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    KernelObject* object = FindObject((HANDLE)key, ObjectKind::REGKEY);
    if (object == NULL || type != NULL || data == NULL || dataSize == NULL) {
        Fault(std::string(function) + ": only a value read into a buffer, without its type, from an open key is simulated");
        return ERROR_INVALID_HANDLE;
    }
    if (!(object->access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    const RegKey& regKey = machine().keys[KeyId(object->view, object->path)];
    auto found = regKey.values.find(UpperName(name));
    if (found == regKey.values.end())
        return ERROR_FILE_NOT_FOUND;
    const std::string& bytes = found->second;
    const bool fits = bytes.size() <= *dataSize;
    if (fits)
        memcpy(data, bytes.data(), bytes.size());
    else
        memset(data, 0xCC, *dataSize);  // undefined then: make any reliance on it visible
    *dataSize = (DWORD)bytes.size();
    return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

}  // namespace

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    return QueryValue("RegQueryValueExA", key, valueName, type, data, dataSize);
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    return QueryValue("RegQueryValueExW", key, Utf8(valueName), type, data, dataSize);
}

LONG RegCloseKey(HKEY key)
{
    if (!CloseObject((HANDLE)key, ObjectKind::REGKEY)) {
        Fault("RegCloseKey of " + HandleName((HANDLE)key));
        return ERROR_INVALID_HANDLE;
    }
    return ERROR_SUCCESS;
}

BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token)
{
    if (process != GetCurrentProcess())
        Fault("OpenProcessToken: only the current process's token is simulated");
    KernelObject object{ObjectKind::TOKEN};
    object.access = desiredAccess;
    *token = NewObject(object);
    return TRUE;
}

BOOL LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid)
{
    if (systemName != NULL || strcmp(name, "SeShutdownPrivilege") != 0)
        Fault("LookupPrivilegeValueA: only SeShutdownPrivilege on this computer is simulated");
    if (!machine().lookupPrivilegeFails)
        *luid = kShutdownPrivilege;
    return !machine().lookupPrivilegeFails;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                           DWORD bufferLength, PTOKEN_PRIVILEGES previousState, LPDWORD returnLength)
{
    Machine& m = machine();
    // The product changes one privilege and asks for its previous state.
    if (newState == NULL || previousState == NULL || returnLength == NULL) {
        Fault("AdjustTokenPrivileges: only a new state, with the previous one and its length, is simulated");
        return FALSE;
    }
    const LUID_AND_ATTRIBUTES& entry = newState->Privileges[0];
    Log("AdjustTokenPrivileges", Format("%s, %d, count=%u luid=%u:%d attributes=0x%x, %u", HandleName(token).c_str(),
                                        disableAll, (unsigned)newState->PrivilegeCount, (unsigned)entry.Luid.LowPart,
                                        (int)entry.Luid.HighPart, (unsigned)entry.Attributes, (unsigned)bufferLength));
    KernelObject* object = FindObject(token, ObjectKind::TOKEN);
    const DWORD needed = (DWORD)sizeof(TOKEN_PRIVILEGES);
    // Asked for the previous state, the token must let us query it as well as adjust it.
    const DWORD rights = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;
    if (object == NULL || (object->access & rights) != rights || bufferLength < needed ||
        newState->PrivilegeCount != 1 || disableAll)
        return FALSE;
    previousState->PrivilegeCount = 1;
    previousState->Privileges[0].Luid = entry.Luid;
    previousState->Privileges[0].Attributes = m.shutdownPrivilegeEnabled ? SE_PRIVILEGE_ENABLED : 0;
    *returnLength = needed;
    if (entry.Luid.LowPart == kShutdownPrivilege.LowPart && entry.Luid.HighPart == kShutdownPrivilege.HighPart)
        m.shutdownPrivilegeEnabled = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    return TRUE;
}

// The descriptor holds the text it was made from: what a folder made with it records.
BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR sddl, DWORD revision,
                                                          PSECURITY_DESCRIPTOR* descriptor, ULONG* size)
{
    if (revision != SDDL_REVISION_1 || size != NULL)
        Fault("ConvertStringSecurityDescriptorToSecurityDescriptorW: only revision 1, without its size, is simulated");
    KernelObject block{ObjectKind::LOCAL};
    block.text = sddl;
    *descriptor = NewObject(block);
    return TRUE;
}

BOOLEAN SystemFunction036(void* buffer, ULONG length)
{
    if (length != 8)
        Fault("RtlGenRandom: only 8 bytes at a time are simulated");
    for (ULONG i = 0; i < length && i < 8; ++i)
        ((BYTE*)buffer)[i] = (BYTE)(machine().nextRandom >> (56 - 8 * i));
    ++machine().nextRandom;
    return TRUE;
}

std::string winsim::Sha256(const std::string& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), NULL);
    return std::string((const char*)digest, size);
}

BOOL CryptAcquireContextW(HCRYPTPROV* provider, LPCWSTR container, LPCWSTR providerName, DWORD type, DWORD flags)
{
    if (container != NULL || providerName != NULL || type != PROV_RSA_AES || flags != CRYPT_VERIFYCONTEXT)
        Fault("CryptAcquireContextW: only the AES provider's verify-only context is simulated");
    if (machine().cryptFails)
        return FALSE;
    *provider = (HCRYPTPROV)NewObject(KernelObject{ObjectKind::CRYPT_PROV});
    return TRUE;
}

BOOL CryptCreateHash(HCRYPTPROV provider, ALG_ID algorithm, HCRYPTHASH key, DWORD flags, HCRYPTHASH* hash)
{
    if (FindObject((HANDLE)provider, ObjectKind::CRYPT_PROV) == NULL || algorithm != CALG_SHA_256 || key != 0 || flags != 0)
        Fault("CryptCreateHash: only SHA-256 from an open context is simulated");
    KernelObject object{ObjectKind::CRYPT_HASH};
    object.bytes = std::make_shared<std::string>();
    *hash = (HCRYPTHASH)NewObject(object);
    return TRUE;
}

BOOL CryptHashData(HCRYPTHASH hash, const BYTE* data, DWORD length, DWORD flags)
{
    KernelObject* object = FindObject((HANDLE)hash, ObjectKind::CRYPT_HASH);
    if (object == NULL || flags != 0)
        Fault("CryptHashData: only data for an open hash is simulated");
    else
        object->bytes->append((const char*)data, length);
    return object != NULL;
}

BOOL CryptGetHashParam(HCRYPTHASH hash, DWORD param, BYTE* data, DWORD* length, DWORD flags)
{
    KernelObject* object = FindObject((HANDLE)hash, ObjectKind::CRYPT_HASH);
    if (object == NULL || param != HP_HASHVAL || flags != 0 || *length < 32) {
        Fault("CryptGetHashParam: only the value of an open hash, into room for it, is simulated");
        return FALSE;
    }
    *length = (DWORD)Sha256(*object->bytes).copy((char*)data, 32);
    return TRUE;
}

BOOL CryptDestroyHash(HCRYPTHASH hash)
{
    return CloseObject((HANDLE)hash, ObjectKind::CRYPT_HASH) || (Fault("CryptDestroyHash of " + HandleName((HANDLE)hash)), FALSE);
}

BOOL CryptReleaseContext(HCRYPTPROV provider, DWORD flags)
{
    return (CloseObject((HANDLE)provider, ObjectKind::CRYPT_PROV) && flags == 0) ||
           (Fault("CryptReleaseContext of " + HandleName((HANDLE)provider)), FALSE);
}

