// Whether the setup package, which runs with our administrator rights, is
// Microsoft's own: asked of Windows's trust provider, never of the file alone.
#pragma once

#include <windows.h>

#include "afxstrw.h"

// Why a package was refused: our words in code page 932, then, where another
// publisher signed it, that publisher's name as its certificate holds it.
struct CTrustRefusal {
    CString strReason;
    CStringW strSigner;
};

// TRUE if the open file at path carries a valid signature whose signer's
// common name is exactly "Microsoft Corporation". Otherwise fills refusal.
BOOL IsSignedByMicrosoft(HANDLE file, const CStringW& path, CTrustRefusal& refusal);

// A build for given media may pin the one package it ships by its SHA-256
// (built in as RCDATA 2): then no other file starts, whoever signed it.
BOOL IsPackagePinned();
// Whether digest, the SHA-256 (kSha256Size bytes) of the package as it was copied, is the pinned
// one. Otherwise fills refusal as for a file changed since it was signed.
BOOL MatchesPackagePin(const BYTE* digest, CTrustRefusal& refusal);
