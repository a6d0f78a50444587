#include "package_trust.h"

#include <string.h>

#include <softpub.h>
#include <wintrust.h>

#include "ascii_text.h"
#include "setup_files.h"

namespace {

const char kMicrosoftSigner[] = "Microsoft Corporation";
const char kErrorReason[] = "エラー 0x%08X";
const char kSignerReason[] = "署名者: ";
// The pin's resource (RCDATA), as the resource script numbers it.
const WORD kPackagePinResource = 2;

// No revocation check and no network: the package may be installed offline.
const DWORD kCacheOnlyFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
// After a chain error only: an online Windows then fetches a Microsoft root it lacks.
const DWORD kRetrievalFlags = WTD_REVOCATION_CHECK_NONE;

typedef decltype(&WinVerifyTrust) WinVerifyTrustFn;
typedef decltype(&WTHelperProvDataFromStateData) ProvDataFromStateDataFn;
typedef decltype(&WTHelperGetProvSignerFromChain) GetProvSignerFromChainFn;
typedef decltype(&CertGetNameStringW) CertGetNameStringWFn;

struct TrustCalls {
    WinVerifyTrustFn verify;
    ProvDataFromStateDataFn providerData;
    GetProvSignerFromChainFn signer;
    CertGetNameStringWFn nameString;
};

// A DLL from the system folder only: neither is a known DLL, so the standard
// search would take a copy planted in our (download) folder. After a failure
// nothing more is loaded, and error keeps the first failure's code.
HMODULE LoadSystemDll(const char* name, DWORD& error)
{
    HMODULE module = error == 0 ? LoadLibraryExW(WidenAscii(name), NULL, LOAD_LIBRARY_SEARCH_SYSTEM32) : NULL;
    if (module == NULL && error == 0)
        error = GetLastError();
    return module;
}

FARPROC FindEntry(HMODULE module, const char* name, DWORD& error)
{
    FARPROC entry = module != NULL && error == 0 ? GetProcAddress(module, name) : NULL;
    if (entry == NULL && error == 0)
        error = GetLastError();
    return entry;
}

// Common name of the primary signature's signer, as its certificate holds it.
CStringW SignerName(const TrustCalls& calls, HANDLE state)
{
    CStringW name;
    CRYPT_PROVIDER_DATA* provider = calls.providerData(state);
    CRYPT_PROVIDER_SGNR* signer = provider != NULL ? calls.signer(provider, 0, FALSE, 0) : NULL;
    if (signer == NULL || signer->csCertChain == 0 || signer->pasCertChain == NULL)
        return name;
    PCCERT_CONTEXT certificate = signer->pasCertChain[0].pCert;
    char commonName[] = szOID_COMMON_NAME;
    const DWORD size = calls.nameString(certificate, CERT_NAME_ATTR_TYPE, 0, commonName, NULL, 0);
    if (size <= 1)
        return name;
    const DWORD copied = calls.nameString(certificate, CERT_NAME_ATTR_TYPE, 0, commonName, name.GetBuffer(size - 1),
                                          size);
    // The count, not the first NUL: a name with a NUL inside is not Microsoft's.
    name.ReleaseBuffer(copied > 0 && copied <= size ? (int)copied - 1 : 0);
    return name;
}

// One verification, always closed; signer is read while its state is open.
LONG Verify(const TrustCalls& calls, WINTRUST_DATA& data, DWORD provFlags, CStringW& signer)
{
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.hWVTStateData = NULL;
    data.dwProvFlags = provFlags;
    const LONG result = calls.verify((HWND)INVALID_HANDLE_VALUE, &action, &data);
    if (result == ERROR_SUCCESS)
        signer = SignerName(calls, data.hWVTStateData);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    calls.verify((HWND)INVALID_HANDLE_VALUE, &action, &data);
    return result;
}

BOOL IsChainError(LONG result)
{
    return result == CERT_E_UNTRUSTEDROOT || result == CERT_E_CHAINING || result == CERT_E_EXPIRED;
}

BOOL IsMicrosoft(const CStringW& signer)
{
    const WCHAR* name = signer;
    int i = 0;
    while (kMicrosoftSigner[i] != '\0' && name[i] == (WCHAR)kMicrosoftSigner[i])
        ++i;
    return kMicrosoftSigner[i] == '\0' && signer.GetLength() == i;
}

BOOL CheckSignature(const TrustCalls& calls, HANDLE file, const CStringW& path, CTrustRefusal& refusal)
{
    // The primary signature, the one whose publisher the elevation prompt names;
    // no lifetime signing, since the time stamp keeps an expired certificate valid.
    WINTRUST_FILE_INFO fileInfo;
    memset(&fileInfo, 0, sizeof(fileInfo));
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = path;
    fileInfo.hFile = file;
    WINTRUST_DATA data;
    memset(&data, 0, sizeof(data));
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    CStringW signer;
    LONG result = Verify(calls, data, kCacheOnlyFlags, signer);
    if (IsChainError(result))
        result = Verify(calls, data, kRetrievalFlags, signer);
    if (result != ERROR_SUCCESS) {
        refusal.strReason.Format(kErrorReason, (unsigned)result);
        return FALSE;
    }
    if (IsMicrosoft(signer))
        return TRUE;
    refusal.strReason = kSignerReason;
    refusal.strSigner = signer;
    return FALSE;
}

HRSRC FindPackagePin()
{
    return FindResourceA(NULL, MAKEINTRESOURCEA(kPackagePinResource), (LPCSTR)RT_RCDATA);
}

}  // namespace

BOOL IsPackagePinned()
{
    return FindPackagePin() != NULL;
}

// A pin that cannot be read, or is not a SHA-256, matches nothing.
BOOL MatchesPackagePin(const BYTE* digest, CTrustRefusal& refusal)
{
    HRSRC resource = FindPackagePin();
    HGLOBAL loaded = resource != NULL ? LoadResource(NULL, resource) : NULL;
    const BYTE* pin = loaded != NULL ? (const BYTE*)LockResource(loaded) : NULL;
    if (pin != NULL && SizeofResource(NULL, resource) == kSha256Size &&
        memcmp(pin, digest, kSha256Size) == 0)
        return TRUE;
    refusal.strReason.Format(kErrorReason, (unsigned)TRUST_E_BAD_DIGEST);
    return FALSE;
}

BOOL IsSignedByMicrosoft(HANDLE file, const CStringW& path, CTrustRefusal& refusal)
{
    DWORD error = 0;
    HMODULE wintrust = LoadSystemDll("wintrust.dll", error);
    HMODULE crypt32 = LoadSystemDll("crypt32.dll", error);
    TrustCalls calls;
    calls.verify = (WinVerifyTrustFn)(void*)FindEntry(wintrust, "WinVerifyTrust", error);
    calls.providerData = (ProvDataFromStateDataFn)(void*)FindEntry(wintrust, "WTHelperProvDataFromStateData", error);
    calls.signer = (GetProvSignerFromChainFn)(void*)FindEntry(wintrust, "WTHelperGetProvSignerFromChain", error);
    calls.nameString = (CertGetNameStringWFn)(void*)FindEntry(crypt32, "CertGetNameStringW", error);
    BOOL trusted = FALSE;
    if (calls.verify && calls.providerData && calls.signer && calls.nameString)
        trusted = CheckSignature(calls, file, path, refusal);
    else  // a check that cannot be made refuses the package
        refusal.strReason.Format(kErrorReason, (unsigned)error);
    if (crypt32 != NULL)
        FreeLibrary(crypt32);
    if (wintrust != NULL)
        FreeLibrary(wintrust);
    return trusted;
}
