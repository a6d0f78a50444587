#include "afxstrw.h"

template class CStringStorage<WCHAR, CStringW>;

CStringW& CStringW::operator+=(const CStringW& other)
{
    Append(other, other.GetLength());
    return *this;
}

CStringW& CStringW::operator+=(WCHAR ch)
{
    Append(&ch, 1);
    return *this;
}

CStringW& CStringW::operator+=(const WCHAR* text)
{
    int length = 0;
    while (text[length] != 0)
        ++length;
    Append(text, length);
    return *this;
}

int CStringW::ReverseFind(WCHAR ch) const
{
    const WCHAR* text = *this;
    for (int i = GetLength() - 1; i >= 0; --i) {
        if (text[i] == ch)
            return i;
    }
    return -1;
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
