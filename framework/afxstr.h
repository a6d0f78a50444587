// Multibyte string and string array with the behaviour the installer relies
// on: printf-style Format, double-byte aware searches, byte-position slices and
// a writable buffer for Windows calls.
#pragma once

#include <windows.h>

class CString {
public:
    CString();
    CString(const char* text);
    CString(const CString& other);
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(const char* text);

    operator const char*() const { return m_pch != NULL ? m_pch : ""; }
    int GetLength() const { return m_nLength; }
    BOOL IsEmpty() const { return m_nLength == 0; }
    void Empty();

    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Byte offset of the first match that starts on a character boundary, or -1.
    int Find(const char* sub) const;
    // Byte offset of the first character that is also in set, or -1. The second
    // byte of a double-byte character never matches.
    int FindOneOf(const char* set) const;

    CString Left(int count) const;
    CString Mid(int first) const;

    // Room for length bytes plus a terminator that stays at [length]; the
    // current text is kept.
    char* GetBuffer(int length);
    // newLength -1: the text ends at the first NUL of the buffer.
    void ReleaseBuffer(int newLength = -1);

private:
    void Assign(const char* text, int length);
    void Swap(CString& other);
    void Reserve(int length);

    // All members zero is the empty string, with nothing allocated.
    char* m_pch;
    int m_nLength;
    int m_nCapacity;  // bytes usable for text, not counting the terminator
};

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
