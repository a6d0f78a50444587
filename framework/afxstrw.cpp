#include "afxstrw.h"

#include <string.h>

#include "afxmem.h"

CStringW::CStringW() : m_pch(NULL), m_nLength(0), m_nCapacity(0) {}

CStringW::CStringW(const CStringW& other) : m_pch(NULL), m_nLength(0), m_nCapacity(0)
{
    *this += other;
}

CStringW::~CStringW()
{
    AfxFreeMemory(m_pch);
}

CStringW& CStringW::operator=(const CStringW& other)
{
    if (this != &other) {
        m_nLength = 0;
        *this += other;
    }
    return *this;
}

CStringW& CStringW::operator+=(const CStringW& other)
{
    Append(other, other.m_nLength);
    return *this;
}

CStringW& CStringW::operator+=(WCHAR ch)
{
    Append(&ch, 1);
    return *this;
}

CStringW::operator const WCHAR*() const
{
    static const WCHAR empty = 0;
    return m_pch != NULL ? m_pch : &empty;
}

int CStringW::ReverseFind(WCHAR ch) const
{
    for (int i = m_nLength - 1; i >= 0; --i) {
        if (m_pch[i] == ch)
            return i;
    }
    return -1;
}

CStringW CStringW::Left(int count) const
{
    CStringW result;
    result.Append(*this, count < 0 ? 0 : count < m_nLength ? count : m_nLength);
    return result;
}

CStringW CStringW::Mid(int first) const
{
    CStringW result;
    if (first < 0)
        first = 0;
    if (first < m_nLength)
        result.Append(m_pch + first, m_nLength - first);
    return result;
}

WCHAR* CStringW::GetBuffer(int length)
{
    if (m_pch == NULL || length > m_nCapacity) {
        // Never smaller than the text, which stays.
        const int capacity = length > m_nLength ? length : m_nLength;
        m_pch = (WCHAR*)AfxReallocMemory(m_pch, sizeof(WCHAR) * ((size_t)capacity + 1));
        m_nCapacity = capacity;
    }
    m_pch[length > m_nLength ? length : m_nLength] = 0;
    return m_pch;
}

void CStringW::ReleaseBuffer(int newLength)
{
    if (m_pch == NULL)
        return;
    m_nLength = newLength < 0 ? 0 : newLength < m_nCapacity ? newLength : m_nCapacity;
    m_pch[m_nLength] = 0;
}

void CStringW::Append(const WCHAR* text, int length)
{
    if (length <= 0)
        return;
    const int total = m_nLength + length;
    if (total > m_nCapacity) {
        // Geometric: a command line grows a unit at a time.
        const int grown = 2 * m_nCapacity > total ? 2 * m_nCapacity : total;
        // text may lie in this string's own buffer, which moving would free.
        WCHAR* block = (WCHAR*)AfxAllocMemory(sizeof(WCHAR) * ((size_t)grown + 1));
        if (m_pch != NULL)
            memcpy(block, m_pch, sizeof(WCHAR) * (size_t)m_nLength);
        memcpy(block + m_nLength, text, sizeof(WCHAR) * (size_t)length);
        AfxFreeMemory(m_pch);
        m_pch = block;
        m_nCapacity = grown;
    } else {
        memmove(m_pch + m_nLength, text, sizeof(WCHAR) * (size_t)length);
    }
    m_nLength = total;
    m_pch[total] = 0;
}

CString AfxConvertToAnsi(const CStringW& text)
{
    CString ansi;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, text.GetLength(), NULL, 0, NULL, NULL);
    const int written = size > 0 ? WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, text.GetLength(),
                                                       ansi.GetBuffer(size), size, NULL, NULL)
                                 : 0;
    ansi.ReleaseBuffer(written);
    return ansi;
}
