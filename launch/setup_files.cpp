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

BOOL CopyOpenFile(HANDLE file, const CStringW& target)
{
    HANDLE copy = CreateNewFile(target);
    if (copy == INVALID_HANDLE_VALUE)
        return FALSE;
    BYTE* buffer = (BYTE*)AfxAllocMemory(kCopyChunk);
    // Until a read gives nothing more, or a read or write fails (a full disk).
    BOOL copied = TRUE;
    DWORD read = 0;
    while (copied && (copied = ReadFile(file, buffer, kCopyChunk, &read, NULL)) && read > 0)
        copied = WriteAll(copy, buffer, read);
    AfxFreeMemory(buffer);
    CloseHandle(copy);
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
