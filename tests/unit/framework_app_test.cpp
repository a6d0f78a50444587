#include "afxwin.h"
#include "installer_app.h"
#include "sim_fixture.h"

namespace {

class AppEntryTest : public SimTest {};

// The entry runs the installer once; on Windows 7 that is one framework box,
// whose caption shows the title the framework took from the module path.
TEST_F(AppEntryTest, TitleIsTheExecutableNameWithoutExtension)
{
    ForEachModulePath({
        {"plain", "C:\\Setup\\DBSetup.exe", "", "DBSetup"},
        {"dot in the folder, no extension", "C:\\a.b\\Setup", "", "Setup"},
        {"two dots", "D:\\x\\My.Setup.exe", "", "My.Setup"},
        {"second bytes of 0x5C", "C:\\ソフト\\ソフト.exe", "", "ソフト"},
        {"one double-byte character", "C:\\表\\表.exe", "", "表"},
        {"no folder", "DBSetup.exe", "", "DBSetup"},
        {"over 260 bytes", "C:\\" + std::string(300, 'd') + "\\Long.exe", "", "Long"},
    }, [this](const ModulePath& path) {
        m.majorVersion = 6;
        m.minorVersion = 1;
        EXPECT_EQ(AfxWinMain(), 0);
        ASSERT_EQ(m.boxes.size(), 1u);
        EXPECT_EQ(m.boxes[0].caption, path.title);
        EXPECT_EQ(std::string(theApp.m_pszAppName), path.title);
    });
}

TEST_F(AppEntryTest, FrameworkBoxPassesStyleAndHasNoOwner)
{
    AfxWinMain();  // a fresh 64-bit Windows: takes the title
    m.calls.clear();
    m.boxAnswers = {IDCANCEL};
    EXPECT_EQ(AfxMessageBox("本文", MB_OKCANCEL | MB_ICONQUESTION | MB_TOPMOST, 0), IDCANCEL);
    EXPECT_EQ(m.ArgsOf("MessageBoxA"), std::vector<std::string>{"NULL, 本文, DBSetup, 0x40021"});
}

}  // namespace
