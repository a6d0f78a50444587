// What the setup package is started with, written into our own folder.
#pragma once

#include <windows.h>

#include "afxstrw.h"

// Copies all that the open file holds to a new file at target: through the
// handle, so that what was opened is what is copied, whatever its path names now.
BOOL CopyOpenFile(HANDLE file, const CStringW& target);
// Writes our own answer file, built into this program, to a new file at target.
BOOL WriteAnswerFile(const CStringW& target);
