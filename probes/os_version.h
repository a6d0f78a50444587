// Which Windows this is, by its reported version, and whether it is 64-bit.
#pragma once

#include "afxstr.h"

typedef int OsKind;

enum {
    OS_UNKNOWN = -2,
    OS_WIN2000 = 1,
    OS_WINXP = 2,
    OS_WIN2003 = 3,
    OS_VISTA = 4,
    OS_WIN7 = 5,
    OS_WIN8 = 6,
    OS_WIN81 = 7,
    OS_WIN10 = 8,
};

// The reported major and minor version, or -1 and -1 and FALSE.
BOOL GetOsVersion(int* pMajor, int* pMinor);
OsKind ClassifyOsVersion(int major, int minor);
OsKind GetOsKind();
CString GetOsName(int kind);
// TRUE for a 32-bit process on 64-bit Windows.
BOOL IsWow64();
