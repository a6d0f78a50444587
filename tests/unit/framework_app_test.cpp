#include "afxwin.h"
#include "installer_app.h"
#include "sim_fixture.h"

namespace {

class AppEntryTest : public SimTest {};

// The entry runs the installer once; on Windows 7 that is one framework box,
// whose caption shows the title the framework took from the module path.
TEST_F(AppEntryTest, TitleIsTheExecutableNameWithoutExtension)
{
    struct Case {
        const char* modulePath;
        const char* title;
    };
    const Case cases[] = {
        {"C:\\Setup\\DBSetup.exe", "DBSetup"},
        {"C:\\a.b\\Setup", "Setup"},
        {"D:\\x\\My.Setup.exe", "My.Setup"},
        {"C:\\ソフト\\ソフト.exe", "ソフト"},  // second bytes of 0x5C
        {"C:\\表\\表.exe", "表"},
        {"DBSetup.exe", "DBSetup"},
    };
    for (const Case& c : cases) {
        winsim::Reset();
        m.majorVersion = 6;
        m.minorVersion = 1;
        m.modulePath = c.modulePath;
        EXPECT_EQ(AfxWinMain(), 0);
        ASSERT_EQ(m.boxes.size(), 1u) << c.modulePath;
        EXPECT_EQ(m.boxes[0].caption, c.title) << c.modulePath;
        EXPECT_STREQ(theApp.m_pszAppName, c.title);
    }
}

TEST_F(AppEntryTest, LongModulePathsStillGiveTheName)
{
    m.majorVersion = 6;
    m.minorVersion = 1;
    m.modulePath = "C:\\" + std::string(300, 'd') + "\\Long.exe";
    AfxWinMain();
    ASSERT_EQ(m.boxes.size(), 1u);
    EXPECT_EQ(m.boxes[0].caption, "Long");
}

TEST_F(AppEntryTest, FrameworkBoxPassesStyleAndHasNoOwner)
{
    AfxWinMain();  // a fresh 64-bit Windows: takes the title
    m.calls.clear();
    m.boxAnswers = {IDCANCEL};
    EXPECT_EQ(AfxMessageBox("本文", MB_OKCANCEL | MB_ICONQUESTION | MB_TOPMOST, 0), IDCANCEL);
    ASSERT_EQ(m.ArgsOf("MessageBoxA").size(), 1u);
    EXPECT_EQ(m.ArgsOf("MessageBoxA")[0], "NULL, 本文, DBSetup, 0x40021");
}

}  // namespace
