// The simulated wintrust and crypt32 calls of a signature check, with the
// members the product reads; the provider's records keep Windows' names.
#pragma once

#include <windows.h>

typedef struct _GUID {
    DWORD Data1;
    WORD Data2, Data3;
    BYTE Data4[8];
} GUID;

#define WTD_UI_NONE 2
#define WTD_REVOKE_NONE 0x00000000
#define WTD_CHOICE_FILE 1
#define WTD_STATEACTION_VERIFY 0x00000001
#define WTD_STATEACTION_CLOSE 0x00000002
#define WTD_REVOCATION_CHECK_NONE 0x00000010
#define WTD_LIFETIME_SIGNING_FLAG 0x00000800
#define WTD_CACHE_ONLY_URL_RETRIEVAL 0x00001000
#define CERT_NAME_ATTR_TYPE 3
#define szOID_COMMON_NAME "2.5.4.3"

typedef struct WINTRUST_FILE_INFO_ {
    DWORD cbStruct;
    LPCWSTR pcwszFilePath;
    HANDLE hFile;
    GUID* pgKnownSubject;
} WINTRUST_FILE_INFO;

typedef struct _WINTRUST_DATA {
    DWORD cbStruct;
    LPVOID pPolicyCallbackData, pSIPClientData;
    DWORD dwUIChoice, fdwRevocationChecks, dwUnionChoice;
    WINTRUST_FILE_INFO* pFile;
    DWORD dwStateAction;
    HANDLE hWVTStateData;
    WCHAR* pwszURLReference;
    DWORD dwProvFlags, dwUIContext;
} WINTRUST_DATA;

typedef const struct _CERT_CONTEXT* PCCERT_CONTEXT;  // opaque here
typedef struct _CRYPT_PROVIDER_CERT {
    DWORD cbStruct;
    PCCERT_CONTEXT pCert;
} CRYPT_PROVIDER_CERT;
typedef struct _CRYPT_PROVIDER_SGNR {
    DWORD cbStruct, csCertChain;
    CRYPT_PROVIDER_CERT* pasCertChain;
} CRYPT_PROVIDER_SGNR;
typedef struct _CRYPT_PROVIDER_DATA {
    DWORD cbStruct, csSigners;
    CRYPT_PROVIDER_SGNR* pasSigners;
} CRYPT_PROVIDER_DATA;

LONG WinVerifyTrust(HWND window, GUID* action, LPVOID data);
CRYPT_PROVIDER_DATA* WTHelperProvDataFromStateData(HANDLE state);
CRYPT_PROVIDER_SGNR* WTHelperGetProvSignerFromChain(CRYPT_PROVIDER_DATA* data, DWORD signer, BOOL counterSigner,
                                                    DWORD counterSignerIndex);
DWORD CertGetNameStringW(PCCERT_CONTEXT certificate, DWORD type, DWORD flags, void* typePara, LPWSTR name,
                         DWORD size);
