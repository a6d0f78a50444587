// The text of a string of either character type: held, cut and lent to
// Windows calls the same way for both.
#pragma once

#include <string.h>
#include <windows.h>

#include "afxmem.h"

// TString is the string built on it, which Left and Mid return.
template <typename TChar, typename TString>
class CStringStorage {
public:
    operator const TChar*() const;
    int GetLength() const { return m_nLength; }
    BOOL IsEmpty() const { return m_nLength == 0; }
    void Empty()
    {
        m_nLength = 0;
        if (m_pch != NULL)
            m_pch[0] = 0;
    }

    // Both clamp to the text.
    TString Left(int count) const;
    TString Mid(int first) const;

    // Room for length units, never less than the text, which is kept; the
    // room past the text is zero-filled and a terminator stays at [length].
    TChar* GetBuffer(int length);
    // newLength -1: the text ends at the first NUL of the buffer.
    void ReleaseBuffer(int newLength = -1);

protected:
    CStringStorage() : m_pch(NULL), m_nLength(0), m_nCapacity(0) {}
    CStringStorage(const CStringStorage& other) : m_pch(NULL), m_nLength(0), m_nCapacity(0) { *this = other; }
    ~CStringStorage() { AfxFreeMemory(m_pch); }
    CStringStorage& operator=(const CStringStorage& other)
    {
        Assign(other, other.m_nLength);
        return *this;
    }

    // text may lie in this string's own buffer.
    void Assign(const TChar* text, int length);
    void Append(const TChar* text, int length);

private:
    // Moves the text to a block with room for capacity units and a terminator,
    // and returns the old block, for the caller to free once done reading it.
    TChar* Grow(int capacity);

    // All members zero is the empty string, with nothing allocated.
    TChar* m_pch;
    int m_nLength;
    int m_nCapacity;  // units usable for text, not counting the terminator
};

template <typename TChar, typename TString>
CStringStorage<TChar, TString>::operator const TChar*() const
{
    static const TChar empty = 0;
    return m_pch != NULL ? m_pch : &empty;
}

template <typename TChar, typename TString>
TChar* CStringStorage<TChar, TString>::GetBuffer(int length)
{
    if (length < m_nLength)
        length = m_nLength;
    if (m_pch == NULL || length > m_nCapacity)
        AfxFreeMemory(Grow(length));
    memset(m_pch + m_nLength, 0, sizeof(TChar) * ((size_t)(length - m_nLength) + 1));
    return m_pch;
}

template <typename TChar, typename TString>
void CStringStorage<TChar, TString>::ReleaseBuffer(int newLength)
{
    if (m_pch == NULL)
        return;
    if (newLength < 0 || newLength > m_nCapacity) {
        newLength = 0;
        while (newLength < m_nCapacity && m_pch[newLength] != 0)
            ++newLength;
    }
    m_nLength = newLength;
    m_pch[newLength] = 0;
}

template <typename TChar, typename TString>
void CStringStorage<TChar, TString>::Assign(const TChar* text, int length)
{
    if (length <= 0) {
        Empty();
        return;
    }
    m_nLength = 0;  // text from our own buffer is moved before anything is written
    Append(text, length);
}

template <typename TChar, typename TString>
void CStringStorage<TChar, TString>::Append(const TChar* text, int length)
{
    if (length <= 0)
        return;
    const int total = m_nLength + length;
    // Geometric: a command line grows a unit at a time.
    TChar* const old = total > m_nCapacity ? Grow(2 * m_nCapacity > total ? 2 * m_nCapacity : total) : NULL;
    memmove(m_pch + m_nLength, text, sizeof(TChar) * (size_t)length);
    AfxFreeMemory(old);  // only now: text may lie in it
    m_nLength = total;
    m_pch[total] = 0;
}

template <typename TChar, typename TString>
TChar* CStringStorage<TChar, TString>::Grow(int capacity)
{
    TChar* const old = m_pch;
    m_pch = (TChar*)AfxAllocMemory(sizeof(TChar) * ((size_t)capacity + 1));
    if (old != NULL)
        memcpy(m_pch, old, sizeof(TChar) * (size_t)m_nLength);
    m_nCapacity = capacity;
    return old;
}

template <typename TChar, typename TString>
TString CStringStorage<TChar, TString>::Left(int count) const
{
    TString left;
    left.Append(*this, count < m_nLength ? count : m_nLength);
    return left;
}

template <typename TChar, typename TString>
TString CStringStorage<TChar, TString>::Mid(int first) const
{
    TString mid;
    if (first < 0)
        first = 0;
    if (first < m_nLength)
        mid.Append(m_pch + first, m_nLength - first);
    return mid;
}
