// Text as Windows holds it (UTF-16), for paths that the ANSI code page may
// not be able to show: just what reading, cutting and joining them takes.
#pragma once

#include <windows.h>

#include "afxstr.h"
#include "afxstrstorage.h"

class CStringW : public CStringStorage<WCHAR, CStringW> {
public:
    CStringW& operator+=(const CStringW& other);
    CStringW& operator+=(WCHAR ch);
    CStringW& operator+=(const WCHAR* text);  // up to its terminator

    // Unit position of the last ch, or -1.
    int ReverseFind(WCHAR ch) const;
};
typedef CStringArrayOf<CStringW> CStringWArray;
// One copy of the storage code, in afxstrw.cpp.
extern template class CStringStorage<WCHAR, CStringW>;

// text in the ANSI code page, without best fit: a character that has no form
// of its own there becomes the default character ('?'), never another one
// (best fit would turn "¥" into a backslash). Empty if it cannot be converted.
CString AfxConvertToAnsi(const CStringW& text);
