#include "sim_fixture.h"

#include "box_texts.h"

__attribute__((noinline)) void DirtyTheStack()
{
    volatile unsigned char junk[4096];
    for (unsigned char& byte : const_cast<unsigned char(&)[4096]>(junk))
        byte = 0xA5;
}

void SimTest::SetUp()
{
    winsim::Reset();
    AfxSetMbcsCodePage();
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
    AfxSetMbcsCodePage();
}

void SimTest::CheckMachine()
{
    for (const std::string& fault : m.faults)
        ADD_FAILURE() << "simulated Windows noticed: " << fault;
    EXPECT_EQ(m.OpenHandleCount(), 0) << "handles, keys, modules, trust states or memory left open";
    EXPECT_EQ(m.FoldersMade(), 0u) << "a folder of ours left behind";
    for (const winsim::ProcessStarted& process : m.processes)
        EXPECT_TRUE(process.heldAgainstWriting) << "started a file that could be rewritten while it started";
}

void SimTest::UseCodePage(UINT codePage)
{
    m.ansiCodePage = codePage;
    AfxSetMbcsCodePage();
}

void SimTest::ForEachCodePage(const std::string& name, const std::function<void()>& check)
{
    const struct {
        UINT codePage;
        bool hasCodePage932;
        const char* name;
    } kWindows[] = {
        {932, true, "code page 932"},
        {1252, true, "code page 1252"},
        {CP_UTF8, true, "code page 65001"},
        {1252, false, "code page 1252 without a table for 932"},
    };
    for (const auto& windows : kWindows) {
        BeginCase(name + ", " + windows.name);
        UseCodePage(windows.codePage);
        m.hasCodePage932 = windows.hasCodePage932;
        check();
    }
}

std::string SimTest::Shown(const std::string& utf8) const
{
    // Without the table, our words go to the "A" entry point as they are, in code page 932.
    return m.hasCodePage932 ? utf8 : winsim::Utf8(winsim::Decode(Cp932(utf8), m.ansiCodePage));
}

namespace {

// More paths, with a surrogate pair across the end of a buffer of 260 or 520
// units: its first unit the buffer's last, or the first past it; in the folder
// and in the file name.
std::vector<ModulePath> PathsAcrossBuffers(std::vector<ModulePath> paths)
{
    for (size_t lead : {259, 260, 519, 520}) {  // the pair's first unit, counted from 1
        std::u16string run;
        std::string shown;
        for (int i = 0; i < 8; ++i)
            run += u"😀", shown += u8"😀";
        // Folder: "C:\\" and 'a's, then the run, whose fifth pair starts at `lead`.
        const size_t before = lead - 1 - 3 - 8;
        const std::u16string folder = u"C:\\" + std::u16string(before, u'a') + run;
        const std::string where = "U+1F600 at unit " + std::to_string(lead);
        paths.push_back({where + " in the folder", folder + u"\\DBSetup.exe", "C:\\" + std::string(before, 'a') + shown,
                         "DBSetup"});
        // File name: the same with the run as the name.
        const std::u16string name = u"C:\\" + std::u16string(before - 1, u'b');
        paths.push_back({where + " in the name", name + u"\\" + run + u".exe", "C:\\" + std::string(before - 1, 'b'),
                         shown});
    }
    return paths;
}

const struct {
    winsim::PathCut cut;
    const char* name;
} kPathCuts[] = {
    {winsim::PathCut::VISTA, "cut as documented since Vista"},
    {winsim::PathCut::XP, "cut as documented for XP and as Wine does"},
};

}  // namespace

void SimTest::ForEachModulePath(const std::vector<ModulePath>& listed,
                                const std::function<void(const ModulePath&)>& check, bool acrossBuffers)
{
    for (const auto& cut : kPathCuts) {
        for (const ModulePath& path : acrossBuffers ? PathsAcrossBuffers(listed) : listed) {
            BeginCase(path.what + ", " + cut.name);
            m.modulePathCut = cut.cut;
            m.modulePath = path.path;
            check(path);
        }
    }
}
