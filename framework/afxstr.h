// Multibyte string and string array with the behaviour the installer relies
// on: printf-style Format, double-byte aware searches, byte-position slices and
// a writable buffer for Windows calls.
#pragma once

#include <windows.h>

#include "afxstrarray.h"
#include "afxstrstorage.h"

class CString : public CStringStorage<char, CString> {
public:
    CString() {}
    CString(const char* text) { *this = text; }
    CString& operator=(const char* text);

    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Byte offset of the first match that starts on a character boundary, or -1.
    int Find(const char* sub) const;
    // Byte offset of the first character that is also in set, or -1. The second
    // byte of a double-byte character never matches.
    int FindOneOf(const char* set) const;
};
// One copy of the storage code, in afxstr.cpp.
extern template class CStringStorage<char, CString>;

typedef CStringArrayOf<CString> CStringArray;
