// Plain ASCII constants as Windows holds text.
#pragma once

#include "afxstrw.h"

inline CStringW WidenAscii(const char* ascii)
{
    CStringW wide;
    for (; *ascii != '\0'; ++ascii)
        wide += (WCHAR)*ascii;
    return wide;
}
