#include "afxstr.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "afxmbcs.h"
#include "afxmem.h"

namespace {

// Byte length of the character at text, for searching: a lone trailing lead
// byte counts as one byte.
int CharLength(const char* text)
{
    return AfxMbcsCharLength(text);
}

bool SetContains(const char* set, const char* ch, int length)
{
    for (int n; (n = CharLength(set)) != 0; set += n) {
        if (n == length && memcmp(set, ch, n) == 0)
            return true;
    }
    return false;
}

}  // namespace

CString::CString() : m_pch(NULL), m_nLength(0), m_nCapacity(0) {}

CString::CString(const char* text) : m_pch(NULL), m_nLength(0), m_nCapacity(0)
{
    *this = text;
}

CString::CString(const CString& other) : m_pch(NULL), m_nLength(0), m_nCapacity(0)
{
    Assign(other.m_pch, other.m_nLength);
}

CString::~CString()
{
    AfxFreeMemory(m_pch);
}

CString& CString::operator=(const CString& other)
{
    if (this != &other)
        Assign(other.m_pch, other.m_nLength);
    return *this;
}

CString& CString::operator=(const char* text)
{
    Assign(text, text != NULL ? (int)strlen(text) : 0);
    return *this;
}

void CString::Empty()
{
    m_nLength = 0;
    if (m_pch != NULL)
        m_pch[0] = '\0';
}

void CString::Assign(const char* text, int length)
{
    if (length == 0) {
        Empty();
        return;
    }
    // The source may live inside this string's own buffer.
    if (m_pch != NULL && text >= m_pch && text <= m_pch + m_nLength) {
        memmove(m_pch, text, length);
    } else {
        Reserve(length);
        memcpy(m_pch, text, length);
    }
    m_nLength = length;
    m_pch[length] = '\0';
}

void CString::Reserve(int length)
{
    if (m_pch != NULL && length <= m_nCapacity)
        return;
    const bool fresh = m_pch == NULL;
    m_pch = (char*)AfxReallocMemory(m_pch, (size_t)length + 1);
    if (fresh)
        m_pch[0] = '\0';
    m_nCapacity = length;
}

void CString::Format(const char* format, ...)
{
    // Into a string of its own: the arguments may point into this one.
    CString result;
    for (int room = 128; ; room *= 2) {
        result.Reserve(room);
        va_list args;
        va_start(args, format);
        // The system runtime's formatter: -1 when the text does not fit.
        const int written = _vsnprintf(result.m_pch, (size_t)room + 1, format, args);
        va_end(args);
        if (written >= 0 && written <= room) {
            result.m_nLength = written;
            result.m_pch[written] = '\0';
            break;
        }
    }
    Swap(result);
}

void CString::Swap(CString& other)
{
    char* pch = m_pch;
    m_pch = other.m_pch;
    other.m_pch = pch;
    const int length = m_nLength;
    m_nLength = other.m_nLength;
    other.m_nLength = length;
    const int capacity = m_nCapacity;
    m_nCapacity = other.m_nCapacity;
    other.m_nCapacity = capacity;
}

int CString::Find(const char* sub) const
{
    const char* text = *this;
    const int subLength = (int)strlen(sub);
    for (const char* p = text; ; p += CharLength(p)) {
        if (m_nLength - (p - text) < subLength)
            return -1;
        if (memcmp(p, sub, subLength) == 0)
            return (int)(p - text);
        if (*p == '\0')
            return -1;
    }
}

int CString::FindOneOf(const char* set) const
{
    const char* text = *this;
    for (const char* p = text; ; ) {
        int n = CharLength(p);
        if (n == 0)
            return -1;
        if (SetContains(set, p, n))
            return (int)(p - text);
        p += n;
    }
}

CString CString::Left(int count) const
{
    if (count < 0)
        count = 0;
    if (count > m_nLength)
        count = m_nLength;
    CString result;
    result.Assign(*this, count);
    return result;
}

CString CString::Mid(int first) const
{
    if (first < 0)
        first = 0;
    if (first > m_nLength)
        first = m_nLength;
    CString result;
    result.Assign((const char*)*this + first, m_nLength - first);
    return result;
}

char* CString::GetBuffer(int length)
{
    if (length < m_nLength)
        length = m_nLength;
    Reserve(length);
    memset(m_pch + m_nLength, 0, (size_t)(length - m_nLength) + 1);
    return m_pch;
}

void CString::ReleaseBuffer(int newLength)
{
    if (m_pch == NULL)
        return;
    if (newLength < 0 || newLength > m_nCapacity)
        newLength = (int)strnlen(m_pch, (size_t)m_nCapacity);
    m_nLength = newLength;
    m_pch[newLength] = '\0';
}

CStringArray::CStringArray() : m_pData(NULL), m_nSize(0), m_nCapacity(0) {}

CStringArray::~CStringArray()
{
    SetSize(0);
    AfxFreeMemory(m_pData);
}

void CStringArray::SetSize(int newSize, int /*growBy*/)
{
    if (newSize < 0)
        newSize = 0;
    while (m_nSize > newSize)
        m_pData[--m_nSize].~CString();
    if (newSize > m_nCapacity) {
        int capacity = m_nCapacity < 4 ? 4 : m_nCapacity * 2;
        if (capacity < newSize)
            capacity = newSize;
        // CString holds no pointer into itself, so its bytes can move.
        m_pData = (CString*)AfxReallocMemory((void*)m_pData, sizeof(CString) * (size_t)capacity);
        m_nCapacity = capacity;
    }
    // All-zero bytes are an empty CString.
    if (newSize > m_nSize)
        memset((void*)(m_pData + m_nSize), 0, sizeof(CString) * (size_t)(newSize - m_nSize));
    m_nSize = newSize;
}

void CStringArray::SetAtGrow(int index, const CString& value)
{
    if (index < 0)
        return;
    const CString copy(value);  // value may be an element that growing moves
    if (index >= m_nSize)
        SetSize(index + 1);
    m_pData[index] = copy;
}
