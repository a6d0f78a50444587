#include "sim_fixture.h"

#include <stdio.h>

void SimTest::SetUp()
{
    winsim::Reset();
    AfxSetMbcsCodePage(0);
}

void SimTest::TearDown()
{
    CheckMachine();
    m_case.reset();
}

void SimTest::BeginCase(const std::string& name)
{
    CheckMachine();
    m_case.reset();
    m_case.emplace(__FILE__, __LINE__, "case: " + name);
    winsim::Reset();
    AfxSetMbcsCodePage(0);
}

void SimTest::CheckMachine()
{
    for (const std::string& fault : m.faults)
        ADD_FAILURE() << "simulated Windows noticed: " << fault;
    EXPECT_EQ(m.OpenHandleCount(), 0) << "handles, keys or modules left open";
}

void SimTest::UseCodePage(UINT codePage)
{
    m.ansiCodePage = codePage;
    AfxSetMbcsCodePage(0);
}

namespace {

// A double-byte character as its code, readable whatever the terminal's code page.
std::string Bytes(const char* ch)
{
    char code[16];
    snprintf(code, sizeof(code), "0x%02X%02X", (unsigned char)ch[0], (unsigned char)ch[1]);
    return code;
}

// More paths, with a double-byte character across the end of a buffer of 260
// or 520 bytes: over its last byte (where a cut that keeps the terminator
// leaves a lone lead byte) and past it (where Wine stops a byte short); in the
// folder and in the file name; with characters from both lead-byte ranges,
// whose second bytes include '\\' and '@'.
std::vector<ModulePath> PathsAcrossBuffers(std::vector<ModulePath> paths)
{
    for (const char* ch : {"表", "歃", "鷭", "纊"}) {
        for (size_t lead : {259, 260, 519, 520}) {  // the character's first byte, counted from 1
            std::string run;
            for (int i = 0; i < 8; ++i)
                run += ch;
            // Folder: "C:\\" and 'a's, then the run, whose fifth character has its lead at `lead`.
            const std::string folder = "C:\\" + std::string(lead - 1 - 3 - 8, 'a') + run;
            paths.push_back({Bytes(ch) + " at byte " + std::to_string(lead) + " in the folder",
                             folder + "\\DBSetup.exe", folder, "DBSetup"});
            // File name: the same with the run as the name.
            const std::string before = "C:\\" + std::string(lead - 1 - 4 - 8, 'b');
            paths.push_back({Bytes(ch) + " at byte " + std::to_string(lead) + " in the name",
                             before + "\\" + run + ".exe", before, run});
        }
    }
    return paths;
}

const struct {
    winsim::PathCut cut;
    const char* name;
} kPathCuts[] = {
    {winsim::PathCut::VISTA, "cut as documented since Vista"},
    {winsim::PathCut::XP, "cut as documented for XP"},
    {winsim::PathCut::WINE, "cut as Wine does"},
};

}  // namespace

void SimTest::ForEachModulePath(const std::vector<ModulePath>& listed,
                                const std::function<void(const ModulePath&)>& check)
{
    for (const auto& cut : kPathCuts) {
        for (const ModulePath& path : PathsAcrossBuffers(listed)) {
            BeginCase(path.what + ", " + cut.name);
            m.modulePathCut = cut.cut;
            m.modulePath = path.path;
            check(path);
        }
    }
}
