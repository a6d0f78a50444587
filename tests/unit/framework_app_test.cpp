#include "afxwin.h"
#include "box_texts.h"
#include "installer_app.h"
#include "sim_fixture.h"

namespace {

class AppEntryTest : public SimTest {};

// The entry runs the installer once; on Windows 7 that is one framework box
// with the exclamation icon, whose caption shows the title the framework took
// from the module path. The installer's own tests show it in each code page.
TEST_F(AppEntryTest, TitleIsTheExecutableNameWithoutExtension)
{
    ForEachModulePath({
        {"plain", u"C:\\Setup\\DBSetup.exe", "", "DBSetup"},
        {"dot in the folder, no extension", u"C:\\a.b\\Setup", "", "Setup"},
        {"two dots", u"D:\\x\\My.Setup.exe", "", "My.Setup"},
        {"second bytes of 0x5C", u"C:\\ソフト\\ソフト.exe", "", u8"ソフト"},
        {"no folder", u"DBSetup.exe", "", "DBSetup"},
        {"only an extension", u"C:\\x\\.exe", "", ""},
        {"over 260 units", u"C:\\" + std::u16string(300, u'd') + u"\\Long.exe", "", "Long"},
        {"yen sign in the name", u"C:\\x\\DB¥Setup.exe", "", u8"DB¥Setup"},
        {"accented letter, Hangul and emoji", u"C:\\x\\Café한😀.exe", "", u8"Café한😀"},
        {"yen sign in the folder", u"C:\\a¥b\\Setup.exe", "", "Setup"},
    }, [this](const ModulePath& path) {
        m.majorVersion = 6;
        m.minorVersion = 1;
        EXPECT_EQ(AfxWinMain(), 0);
        ASSERT_EQ(m.boxes.size(), 1u);
        EXPECT_EQ(m.boxes[0].caption, path.title);
        EXPECT_EQ(m.boxes[0].text, BoxText("os_too_old", {"Windows 7", BoxText("product")}));
        EXPECT_EQ(m.boxes[0].type, (UINT)MB_ICONEXCLAMATION);
    });
}

}  // namespace
