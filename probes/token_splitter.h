// Cuts text into tokens at any character of a delimiter set.
#pragma once

#include "afxstr.h"

class CTokenSplitter {
public:
    CTokenSplitter();
    virtual ~CTokenSplitter();

    // n delimiters always give n + 1 tokens: no trimming, quoting or escaping.
    virtual BOOL Split(const CString& input);
    // An empty string for any index out of range.
    CString GetToken(int index) const;

    CString m_strDelimiters;  // single-byte characters, each a delimiter
    CStringArray m_arrTokens;
};
