/* Reference for the cost of staging and checking the setup package: copies the
 * package beside it once into a new folder of its own under ProgramData, as
 * the installer does (1 MiB ReadFile/WriteFile through handles, not CopyFileW,
 * so that both do the same copying), hashes the copy with SHA-256 through
 * CryptoAPI, as the check must hash the whole image, then shows the digest (in
 * hex) in a box at once. The time from its start to that box, for a large
 * package against a small one, is what copying and hashing the difference
 * needs at the least. The folder goes once the box is answered. */
#include <windows.h>
#include <wincrypt.h>
#include <stdlib.h>
#include <wchar.h>

#define CHUNK (1 << 20)

/* From the heap, as the installer takes its buffer: a static one would sit in
 * the image as a megabyte of zeros to load. */
static BYTE *buffer;

/* ProgramData on the Windows folder's drive: the folder (and so the disk) the
 * installer stages in; where it is recorded only the installer needs to ask. */
static BOOL program_data(wchar_t folder[MAX_PATH])
{
    UINT w = GetSystemWindowsDirectoryW(folder, MAX_PATH);
    if (w < 2 || w >= MAX_PATH || folder[1] != L':')
        return FALSE;
    wcscpy(folder + 2, L"\\ProgramData");
    return TRUE;
}

static BOOL copy_file(const wchar_t *from, const wchar_t *to)
{
    HANDLE source = CreateFileW(from, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (source == INVALID_HANDLE_VALUE)
        return FALSE;
    HANDLE copy = CreateFileW(to, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    BOOL ok = copy != INVALID_HANDLE_VALUE;
    DWORD read, written;
    while (ok && (ok = ReadFile(source, buffer, CHUNK, &read, NULL)) && read > 0)
        ok = WriteFile(copy, buffer, read, &written, NULL) && written == read;
    if (copy != INVALID_HANDLE_VALUE)
        CloseHandle(copy);
    CloseHandle(source);
    return ok;
}

static BOOL hash_file(const wchar_t *path, BYTE digest[32])
{
    BOOL ok = FALSE;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    HCRYPTPROV provider;
    if (CryptAcquireContextW(&provider, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        HCRYPTHASH hash;
        if (CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash)) {
            DWORD read, size = 32;
            while ((ok = ReadFile(file, buffer, CHUNK, &read, NULL)) && read > 0)
                if (!(ok = CryptHashData(hash, buffer, read, 0)))
                    break;
            ok = ok && CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
            CryptDestroyHash(hash);
        }
        CryptReleaseContext(provider, 0);
    }
    CloseHandle(file);
    return ok;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR arguments, int show)
{
    (void)instance; (void)previous; (void)arguments; (void)show;
    static const wchar_t package[] = L"SQLEXPRADV_x64_JPN.exe";
    wchar_t path[MAX_PATH], folder[MAX_PATH], copy[MAX_PATH];
    DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
    wchar_t *slash = n < MAX_PATH ? wcsrchr(path, L'\\') : NULL;
    if (!slash || (size_t)(slash + 1 - path) + sizeof package / sizeof *package > MAX_PATH)
        return 1;
    wcscpy(slash + 1, package);
    static const wchar_t name[] = L"\\sha256ref-";
    size_t w = program_data(folder) ? wcslen(folder) : 0;
    if (w == 0 || w + sizeof name / sizeof *name + 8 + 1 + sizeof package / sizeof *package > MAX_PATH)
        return 1;
    /* A new folder per process, as the installer makes one per run. */
    wcscpy(folder + w, name);
    wchar_t *hex = folder + wcslen(folder);
    for (DWORD id = GetCurrentProcessId(), i = 0; i < 8; i++)
        hex[i] = L"0123456789abcdef"[(id >> (28 - 4 * i)) & 15];
    hex[8] = 0;
    wcscpy(copy, folder);
    wcscat(copy, L"\\");
    wcscat(copy, package);
    BYTE digest[32];
    if (!(buffer = malloc(CHUNK)) || !CreateDirectoryW(folder, NULL))
        return 1;
    BOOL ok = copy_file(path, copy) && hash_file(copy, digest);
    if (ok) {
        wchar_t text[65];
        for (int i = 0; i < 32; i++) {
            text[2 * i] = L"0123456789abcdef"[digest[i] >> 4];
            text[2 * i + 1] = L"0123456789abcdef"[digest[i] & 15];
        }
        text[64] = 0;
        MessageBoxW(NULL, text, L"sha256", MB_OK);
    }
    DeleteFileW(copy);
    RemoveDirectoryW(folder);
    return ok ? 0 : 1;
}
