// Multibyte string and string array with the behaviour the installer relies
// on: printf-style Format, double-byte aware searches, byte-position slices and
// a writable buffer for Windows calls.
#pragma once

#include <windows.h>

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

class CStringArray {
public:
    CStringArray();
    ~CStringArray();

    int GetSize() const { return m_nSize; }
    // Shrinking destroys the elements past newSize; growBy is accepted for
    // compatibility and the array grows geometrically.
    void SetSize(int newSize, int growBy = -1);
    void SetAtGrow(int index, const CString& value);
    const CString& operator[](int index) const { return m_pData[index]; }

private:
    CStringArray(const CStringArray&);
    CStringArray& operator=(const CStringArray&);

    CString* m_pData;
    int m_nSize;
    int m_nCapacity;
};
