// Registry values of any bytes and length: detection leaves no key open
// and the simulation notices no misuse; the splitter loses nothing.
#include <stdint.h>
#include <string.h>

#include <string>

#include "fuzz_check.h"
#include "instance_keys.h"
#include "sql_detect.h"
#include "token_splitter.h"

namespace {

void CheckSplit(const std::string& raw)
{
    const CString text(raw.c_str());
    CTokenSplitter splitter;
    splitter.m_strDelimiters = ".";
    splitter.Split(text);
    int dots = 0;
    for (int at = 0, n; (n = AfxMbcsCharLength((const char*)text + at)) != 0; at += n)
        dots += n == 1 && text[at] == '.';
    FUZZ_CHECK(splitter.m_arrTokens.GetSize() == dots + 1);
    std::string joined(splitter.GetToken(0));
    for (int i = 1; i < splitter.m_arrTokens.GetSize(); ++i)
        joined += "." + std::string(splitter.GetToken(i));
    FUZZ_CHECK(joined == std::string(text));
    FUZZ_CHECK(std::string(splitter.GetToken(dots + 1)).empty());
}

}  // namespace

// Input: the views of the two values, the SQLPath length and whether a version is there, then the bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    UseJapaneseMachine();
    winsim::Machine& m = winsim::machine();
    const winsim::RegView pathView = data[0] & 1 ? winsim::RegView::NATIVE : winsim::RegView::WOW32;
    const winsim::RegView versionView = data[0] & 2 ? winsim::RegView::NATIVE : winsim::RegView::WOW32;
    const size_t rest = size - 1;
    const size_t pathLength = rest == 0 ? 0 : (data[0] >> 2) * 5 % (rest + 1);
    const std::string path((const char*)data + 1, pathLength);
    const std::string version((const char*)data + 1 + pathLength, rest - pathLength);
    m.SetBytes(pathView, kSetupKey, "SQLPath", path);
    if (!(data[0] & 0x80))
        m.SetBytes(versionView, kVersionKey, "CurrentVersion", version);

    DetectSqlServer();
    FUZZ_CHECK(m.OpenHandleCount() == 0);
    FUZZ_CHECK(m.faults.empty());
    int major = 0, minor = 0;
    ReadSqlServerVersion(&major, &minor);  // also where detection stopped before the version
    FUZZ_CHECK(m.OpenHandleCount() == 0);

    CheckSplit(version);
    return 0;
}
