// What the fuzz targets share: a code page 932 machine and a hard stop.
#pragma once

#include <stdio.h>
#include <stdlib.h>

#include "afxmbcs.h"
#include "machine.h"

#define FUZZ_CHECK(condition)                                                   \
    do {                                                                        \
        if (!(condition)) {                                                     \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                            \
        }                                                                       \
    } while (0)

inline void UseJapaneseMachine()
{
    winsim::Reset();
    winsim::machine().ansiCodePage = 932;
    AfxSetMbcsCodePage();
}

// True where offset starts a character of text (a NUL-terminated string).
inline bool IsCharacterStart(const char* text, int offset)
{
    int at = 0;
    for (int n; at < offset && (n = AfxMbcsCharLength(text + at)) != 0; at += n) {
    }
    return at == offset;
}
