// Text as Windows holds it (UTF-16), for paths that the ANSI code page may
// not be able to show: just what reading, cutting and joining them takes.
#pragma once

#include <windows.h>

#include "afxstr.h"

class CStringW {
public:
    CStringW();
    CStringW(const CStringW& other);
    ~CStringW();

    CStringW& operator=(const CStringW& other);
    CStringW& operator+=(const CStringW& other);
    CStringW& operator+=(WCHAR ch);

    operator const WCHAR*() const;
    int GetLength() const { return m_nLength; }

    // Unit position of the last ch, or -1.
    int ReverseFind(WCHAR ch) const;
    CStringW Left(int count) const;
    CStringW Mid(int first) const;

    // Room for length units plus a terminator; the current text is kept.
    WCHAR* GetBuffer(int length);
    void ReleaseBuffer(int newLength);

private:
    void Append(const WCHAR* text, int length);

    WCHAR* m_pch;
    int m_nLength;
    int m_nCapacity;  // units usable for text, not counting the terminator
};

// text in the ANSI code page, without best fit: a character that has no form
// of its own there becomes the default character ('?'), never another one
// (best fit would turn "¥" into a backslash). Empty if it cannot be converted.
CString AfxConvertToAnsi(const CStringW& text);
