// wintrust and crypt32: a file's Authenticode signature as Windows's trust
// provider judges it (machine.h's Signature), and its signer's name.
#include <string.h>

#include <deque>

#include <softpub.h>

#include "state.h"

using namespace winsim;

namespace {

// What one verification leaves for the helpers to read, at a fixed address.
// The chain from the signer's certificate up: a reader of the wrong one reads another name.
struct TrustState {
    std::u16string names[3];
    CRYPT_PROVIDER_CERT certificates[3];
    CRYPT_PROVIDER_SGNR signerRecord;
    CRYPT_PROVIDER_DATA data;
};

std::deque<TrustState>& states()
{
    static std::deque<TrustState> instance;
    return instance;
}

// How the product must ask: no interface, no revocation, the file by its
// held handle and its path, and the time stamp allowed to outlive the certificate.
std::string Misuse(const GUID* action, const WINTRUST_DATA& data)
{
    const GUID verifyV2 = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const WINTRUST_FILE_INFO* file = data.pFile;
    const KernelObject* held = file != NULL ? FindObject(file->hFile, ObjectKind::FILE) : NULL;
    if (memcmp(action, &verifyV2, sizeof(GUID)) != 0 || data.cbStruct != sizeof(data))
        return "not Authenticode verification";
    if (data.dwUIChoice != WTD_UI_NONE || data.fdwRevocationChecks != WTD_REVOKE_NONE ||
        (data.dwProvFlags & (WTD_REVOCATION_CHECK_NONE | WTD_LIFETIME_SIGNING_FLAG)) != WTD_REVOCATION_CHECK_NONE)
        return "an interface, a revocation check or lifetime signing";
    if (data.dwUnionChoice != WTD_CHOICE_FILE || file->cbStruct != sizeof(*file) || held == NULL ||
        held->path != Utf8(UpperName(std::u16string(file->pcwszFilePath))))
        return "not the held file by its path";
    if (WritableByOthers(file->pcwszFilePath))
        return "a file that could be rewritten while it is checked";
    return "";
}

}  // namespace

LONG WinVerifyTrust(HWND, GUID* action, LPVOID data)
{
    WINTRUST_DATA& trust = *(WINTRUST_DATA*)data;
    if (trust.dwStateAction == WTD_STATEACTION_CLOSE) {
        if (!CloseObject(trust.hWVTStateData, ObjectKind::TRUST_STATE))
            Fault("WinVerifyTrust closed a state that is not open");
        trust.hWVTStateData = NULL;
        return ERROR_SUCCESS;
    }
    const std::string misuse = Misuse(action, trust);
    if (!misuse.empty() || trust.dwStateAction != WTD_STATEACTION_VERIFY) {
        Fault("WinVerifyTrust: " + misuse);
        return TRUST_E_NOSIGNATURE;
    }
    // What the held handle reads: an image known by its bytes, or no program at all.
    const auto image = machine().images.find(*FindObject(trust.pFile->hFile, ObjectKind::FILE)->bytes);
    const Signature signature = image != machine().images.end() ? image->second.signature
                                                                : Signature{TRUST_E_NOSIGNATURE, TRUST_E_NOSIGNATURE};
    const LONG result =
        trust.dwProvFlags & WTD_CACHE_ONLY_URL_RETRIEVAL ? signature.cacheOnly : signature.withRetrieval;
    // A state is left behind whatever the verdict, until it is closed.
    TrustState& state = states().emplace_back();
    const std::u16string names[] = {signature.signer, u"Microsoft Code Signing PCA 2011",
                                    u"Microsoft Root Certificate Authority 2011"};
    for (int i = 0; i < 3; ++i) {
        state.names[i] = names[i];
        state.certificates[i] = {sizeof(CRYPT_PROVIDER_CERT), (PCCERT_CONTEXT)&state.names[i]};
    }
    state.signerRecord = {sizeof(CRYPT_PROVIDER_SGNR), 3, state.certificates};
    state.data = {sizeof(CRYPT_PROVIDER_DATA), result == ERROR_SUCCESS ? 1u : 0u, &state.signerRecord};
    KernelObject object{ObjectKind::TRUST_STATE};
    object.process = states().size() - 1;
    trust.hWVTStateData = NewObject(object);
    Log("WinVerifyTrust", Format("VERIFY 0x%x", (unsigned)trust.dwProvFlags));
    return result;
}

CRYPT_PROVIDER_DATA* WTHelperProvDataFromStateData(HANDLE state)
{
    const KernelObject* object = FindObject(state, ObjectKind::TRUST_STATE);
    return object != NULL ? &states()[object->process].data : NULL;
}

CRYPT_PROVIDER_SGNR* WTHelperGetProvSignerFromChain(CRYPT_PROVIDER_DATA* data, DWORD signer, BOOL counterSigner,
                                                    DWORD)
{
    return signer < data->csSigners && !counterSigner ? &data->pasSigners[signer] : NULL;
}

// The attribute as its certificate holds it, cut to size units with a terminator;
// the units it takes when name is NULL.
DWORD CertGetNameStringW(PCCERT_CONTEXT certificate, DWORD type, DWORD, void* typePara, LPWSTR name, DWORD size)
{
    if (type != CERT_NAME_ATTR_TYPE || strcmp((const char*)typePara, szOID_COMMON_NAME) != 0)
        Fault("CertGetNameStringW: only the common name is simulated");
    const std::u16string& signer = *(const std::u16string*)certificate;
    if (name == NULL || size == 0)
        return (DWORD)signer.size() + 1;
    const size_t copied = signer.copy(name, size - 1);
    name[copied] = u'\0';
    return (DWORD)copied + 1;
}
