#include "afxstr.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "afxmbcs.h"
#include "afxmem.h"

namespace {

bool SetContains(const char* set, const char* ch, int length)
{
    for (int n; (n = AfxMbcsCharLength(set)) != 0; set += n) {
        if (n == length && memcmp(set, ch, n) == 0)
            return true;
    }
    return false;
}

}  // namespace

template class CStringStorage<char, CString>;

CString& CString::operator=(const char* text)
{
    Assign(text, text != NULL ? (int)strlen(text) : 0);
    return *this;
}

void CString::Format(const char* format, ...)
{
    // Into a string of its own: the arguments may point into this one.
    CString result;
    for (int room = 128; ; room *= 2) {
        va_list args;
        va_start(args, format);
        // The system runtime's formatter: -1 when the text does not fit.
        const int written = _vsnprintf(result.GetBuffer(room), (size_t)room + 1, format, args);
        va_end(args);
        if (written >= 0 && written <= room) {
            result.ReleaseBuffer(written);
            break;
        }
    }
    *this = result;
}

int CString::Find(const char* sub) const
{
    const char* text = *this;
    const int subLength = (int)strlen(sub);
    for (const char* p = text; ; p += AfxMbcsCharLength(p)) {
        if (GetLength() - (p - text) < subLength)
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
        int n = AfxMbcsCharLength(p);
        if (n == 0)
            return -1;
        if (SetContains(set, p, n))
            return (int)(p - text);
        p += n;
    }
}
