// Where the machine keeps programs' data, outside the Windows folder.
#pragma once

#include <windows.h>

#include "afxstrw.h"

// The machine's ProgramData folder as the machine records it, never as the
// environment names it: a user may set ProgramData or SystemDrive for the
// session that starts us elevated. FALSE unless it is a full path on a drive.
BOOL GetProgramDataFolder(CStringW& folder);
