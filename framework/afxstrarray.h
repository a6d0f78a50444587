// A growable array of strings of either character type.
#pragma once

#include <string.h>

#include "afxmem.h"

template <class TString>
class CStringArrayOf {
public:
    CStringArrayOf() : m_pData(NULL), m_nSize(0), m_nCapacity(0) {}
    ~CStringArrayOf()
    {
        SetSize(0);
        AfxFreeMemory(m_pData);
    }
    CStringArrayOf(const CStringArrayOf&) = delete;
    CStringArrayOf& operator=(const CStringArrayOf&) = delete;

    int GetSize() const { return m_nSize; }
    // Shrinking destroys the elements past newSize; growBy is accepted for
    // compatibility and the array grows geometrically.
    void SetSize(int newSize, int growBy = -1);
    void SetAtGrow(int index, const TString& value);
    const TString& operator[](int index) const { return m_pData[index]; }

private:
    TString* m_pData;
    int m_nSize;
    int m_nCapacity;
};

template <class TString>
void CStringArrayOf<TString>::SetSize(int newSize, int /*growBy*/)
{
    if (newSize < 0)
        newSize = 0;
    while (m_nSize > newSize)
        m_pData[--m_nSize].~TString();
    if (newSize > m_nCapacity) {
        int capacity = m_nCapacity < 4 ? 4 : m_nCapacity * 2;
        if (capacity < newSize)
            capacity = newSize;
        // A string holds no pointer into itself, so its bytes can move.
        m_pData = (TString*)AfxReallocMemory((void*)m_pData, sizeof(TString) * (size_t)capacity);
        m_nCapacity = capacity;
    }
    // All-zero bytes are an empty string.
    if (newSize > m_nSize)
        memset((void*)(m_pData + m_nSize), 0, sizeof(TString) * (size_t)(newSize - m_nSize));
    m_nSize = newSize;
}

template <class TString>
void CStringArrayOf<TString>::SetAtGrow(int index, const TString& value)
{
    if (index < 0)
        return;
    const TString copy(value);  // value may be an element that growing moves
    if (index >= m_nSize)
        SetSize(index + 1);
    m_pData[index] = copy;
}
