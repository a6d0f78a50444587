/* Reference for the cost of the package's signature check: reads the setup
 * package beside it once and hashes it with SHA-256 through CryptoAPI, as the
 * check must hash the whole image, then shows the digest (in hex) in a box at
 * once. The time from its start to that box, for a large package against a
 * small one, is what reading and hashing the difference needs at the least. */
#include <windows.h>
#include <wincrypt.h>
#include <wchar.h>

#define CHUNK (1 << 20)

static BOOL hash_file(const wchar_t *path, BYTE digest[32])
{
    static BYTE buffer[CHUNK];
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
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
    wchar_t *slash = n < MAX_PATH ? wcsrchr(path, L'\\') : NULL;
    if (!slash || (size_t)(slash + 1 - path) + sizeof package / sizeof *package > MAX_PATH)
        return 1;
    wcscpy(slash + 1, package);
    BYTE digest[32];
    if (!hash_file(path, digest))
        return 1;
    wchar_t text[65];
    for (int i = 0; i < 32; i++) {
        text[2 * i] = L"0123456789abcdef"[digest[i] >> 4];
        text[2 * i + 1] = L"0123456789abcdef"[digest[i] & 15];
    }
    text[64] = 0;
    MessageBoxW(NULL, text, L"sha256", MB_OK);
    return 0;
}
