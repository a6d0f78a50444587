// What the setup package is started with, written into our own folder.
#pragma once

#include <windows.h>

#include "afxstrw.h"

// SHA-256's size, in bytes.
const DWORD kSha256Size = 32;

// Copies all that the open file holds to a new file at target: through the
// handle, so that what was opened is what is copied, whatever its path names
// now. Unless digest is NULL, it receives the SHA-256 of what was copied, from
// Windows's own provider; a failure to make it fails the copy.
BOOL CopyOpenFile(HANDLE file, const CStringW& target, BYTE* digest);
// Writes our own answer file, built into this program, to a new file at target.
BOOL WriteAnswerFile(const CStringW& target);
