#include "afxmsgbox.h"

#include <string.h>

namespace {

// The code page our literals are built in (-fexec-charset=CP932).
const UINT kOwnCodePage = 932;

// The whole text in UTF-16; FALSE where Windows cannot convert from code page 932.
BOOL Widen(const CBoxText& text, CStringW& wide)
{
    wide = text.heldText;
    const int length = (int)strlen(text.ownText);
    int units = 0, written = 0;
    if (length > 0) {
        units = MultiByteToWideChar(kOwnCodePage, 0, text.ownText, length, NULL, 0);
        if (units <= 0)
            return FALSE;
        const int at = wide.GetLength();
        written = MultiByteToWideChar(kOwnCodePage, 0, text.ownText, length, wide.GetBuffer(at + units) + at, units);
        wide.ReleaseBuffer(at + written);
    }
    wide += text.heldTail;
    return written == units;
}

// The bytes the "A" entry point has always been given.
CString Narrow(const CBoxText& text)
{
    CString narrow;
    narrow.Format("%s%s%s", (const char*)AfxConvertToAnsi(text.heldText), text.ownText,
                  (const char*)AfxConvertToAnsi(text.heldTail));
    return narrow;
}

}  // namespace

int AfxShowMessageBox(const CBoxText& text, const CBoxText& caption, UINT type)
{
    CStringW wideText, wideCaption;
    if (Widen(text, wideText) && Widen(caption, wideCaption))
        return MessageBoxW(NULL, wideText, wideCaption, type);
    return MessageBoxA(NULL, Narrow(text), Narrow(caption), type);
}
