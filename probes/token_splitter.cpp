#include "token_splitter.h"

CTokenSplitter::CTokenSplitter() : m_strDelimiters(",") {}

CTokenSplitter::~CTokenSplitter() {}

BOOL CTokenSplitter::Split(const CString& input)
{
    m_arrTokens.SetSize(0, -1);
    CString rest = input;
    for (int pos = rest.FindOneOf(m_strDelimiters); pos >= 0; pos = rest.FindOneOf(m_strDelimiters)) {
        m_arrTokens.SetAtGrow(m_arrTokens.GetSize(), rest.Left(pos));
        rest = rest.Mid(pos + 1);
    }
    m_arrTokens.SetAtGrow(m_arrTokens.GetSize(), rest);
    return TRUE;
}

CString CTokenSplitter::GetToken(int index) const
{
    if (index < 0 || index >= m_arrTokens.GetSize())
        return CString();
    return m_arrTokens[index];
}
