#include "sim_fixture.h"

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

// More paths, with a character across the end of a buffer of 260 or 520
// units: over its last unit and past it; in the folder and in the file name.
// "表" has a form of its own whose second byte is '\\', "¥" none but a best
// fit that is '\\', and "😀" none, in two units.
std::vector<ModulePath> PathsAcrossBuffers(std::vector<ModulePath> paths)
{
    const struct {
        const char* name;
        std::u16string ch;
        std::string shown;
    } kCharacters[] = {{"表", u"表", "表"}, {"U+00A5", u"¥", "?"}, {"U+1F600", u"😀", "??"}};
    for (const auto& c : kCharacters) {
        for (size_t lead : {259, 260, 519, 520}) {  // the character's first unit, counted from 1
            std::u16string run;
            std::string shown;
            for (int i = 0; i < 8; ++i)
                run += c.ch, shown += c.shown;
            // Folder: "C:\\" and 'a's, then the run, whose fifth character starts at `lead`.
            const size_t before = lead - 1 - 3 - 4 * c.ch.size();
            const std::u16string folder = u"C:\\" + std::u16string(before, u'a') + run;
            const std::string where = std::string(c.name) + " at unit " + std::to_string(lead);
            paths.push_back({where + " in the folder", folder + u"\\DBSetup.exe",
                             "C:\\" + std::string(before, 'a') + shown, "DBSetup"});
            // File name: the same with the run as the name.
            const std::u16string name = u"C:\\" + std::u16string(before - 1, u'b');
            paths.push_back({where + " in the name", name + u"\\" + run + u".exe",
                             "C:\\" + std::string(before - 1, 'b'), shown});
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
