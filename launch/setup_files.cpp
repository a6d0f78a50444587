#include "setup_files.h"

#include "afxmem.h"

namespace {

// Few calls for a package of hundreds of megabytes, little memory.
const DWORD kCopyChunk = 1 << 20;
// The answer file's resource (RCDATA), as the resource script numbers it.
const WORD kAnswerFileResource = 1;

// A file of our own: CREATE_NEW never opens one that someone else made.
HANDLE CreateNewFile(const CStringW& path)
{
    return CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
}

BOOL WriteAll(HANDLE file, const void* bytes, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, bytes, size, &written, NULL) && written == size;
}

}  // namespace

BOOL CopyOpenFile(HANDLE file, const CStringW& target, BYTE* digest)
{
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BOOL copied = digest == NULL || (CryptAcquireContextW(&provider, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
                                     CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash));
    HANDLE copy = copied ? CreateNewFile(target) : INVALID_HANDLE_VALUE;
    copied = copy != INVALID_HANDLE_VALUE;
    BYTE* buffer = (BYTE*)AfxAllocMemory(kCopyChunk);
    // Until a read gives nothing more, or a read, write or hash fails (a full disk).
    DWORD read = 0;
    while (copied && (copied = ReadFile(file, buffer, kCopyChunk, &read, NULL)) && read > 0)
        copied = WriteAll(copy, buffer, read) && (hash == 0 || CryptHashData(hash, buffer, read, 0));
    DWORD size = kSha256Size;
    if (copied && hash != 0)
        copied = CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == kSha256Size;
    AfxFreeMemory(buffer);
    if (copy != INVALID_HANDLE_VALUE)
        CloseHandle(copy);
    if (hash != 0)
        CryptDestroyHash(hash);
    if (provider != 0)
        CryptReleaseContext(provider, 0);
    return copied;
}

BOOL WriteAnswerFile(const CStringW& target)
{
    HRSRC resource = FindResourceA(NULL, MAKEINTRESOURCEA(kAnswerFileResource), (LPCSTR)RT_RCDATA);
    HGLOBAL loaded = resource != NULL ? LoadResource(NULL, resource) : NULL;
    const void* bytes = loaded != NULL ? LockResource(loaded) : NULL;
    if (bytes == NULL)
        return FALSE;
    HANDLE file = CreateNewFile(target);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    const BOOL written = WriteAll(file, bytes, SizeofResource(NULL, resource));
    CloseHandle(file);
    return written;
}
