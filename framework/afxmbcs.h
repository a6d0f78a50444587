// The runtime's multibyte code page: which bytes start a double-byte character.
#pragma once

#include <windows.h>

// Adopts the lead-byte ranges of the system's ANSI code page.
void AfxSetMbcsCodePage();
BOOL AfxIsMbcsLeadByte(unsigned char byte);

// Number of bytes of the character at text: 0 at the terminator, 2 for a
// lead byte followed by a byte, else 1 (a lead byte before the terminator
// stands alone rather than swallowing it).
int AfxMbcsCharLength(const char* text);
