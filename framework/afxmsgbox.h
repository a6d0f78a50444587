// Message boxes that read as Japanese whatever the ANSI code page of Windows.
#pragma once

#include "afxstrw.h"

// The words of a box: text as Windows holds it (our name, a command line),
// then text of our own in code page 932, as our literals are built, then
// again text as Windows holds it (a name read from a certificate).
struct CBoxText {
    CBoxText(const char* ownText) : ownText(ownText) {}
    CBoxText(const CStringW& heldText, const char* ownText = "", const CStringW& heldTail = CStringW())
        : heldText(heldText), ownText(ownText), heldTail(heldTail)
    {
    }

    CStringW heldText;
    const char* ownText;
    CStringW heldTail;
};

// A box owned by no window, shown in UTF-16: our own text is converted from
// code page 932, never from the ANSI code page, in which it would read as
// mojibake on any Windows but a Japanese one. Where Windows has no table for
// code page 932, the box is shown through the "A" entry point as it always was.
int AfxShowMessageBox(const CBoxText& text, const CBoxText& caption, UINT type);
