#include "afxmbcs.h"

#include <string.h>

namespace {

bool g_leadBytes[256];

// Runs before any application object (default-priority statics) is
// constructed, so double-byte text is recognised from the first line.
struct MbcsModuleInit {
    MbcsModuleInit() { AfxSetMbcsCodePage(); }
};
MbcsModuleInit g_mbcsModuleInit __attribute__((init_priority(102)));

}  // namespace

void AfxSetMbcsCodePage()
{
    memset(g_leadBytes, 0, sizeof(g_leadBytes));
    CPINFO info;
    if (!GetCPInfo(GetACP(), &info))
        return;  // unknown code page: treat all text as single-byte
    for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] != 0 || info.LeadByte[i + 1] != 0); i += 2) {
        for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1] && b < 256; ++b)
            g_leadBytes[b] = true;
    }
}

BOOL AfxIsMbcsLeadByte(unsigned char byte)
{
    return g_leadBytes[byte] ? TRUE : FALSE;
}

int AfxMbcsCharLength(const char* text)
{
    if (text[0] == '\0')
        return 0;
    if (AfxIsMbcsLeadByte((unsigned char)text[0]) && text[1] != '\0')
        return 2;
    return 1;
}
