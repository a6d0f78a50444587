#include <string>
#include <vector>

#include "box_texts.h"
#include "installer_app.h"
#include "instance_keys.h"
#include "restart.h"
#include "sim_fixture.h"

namespace {

using winsim::RegView;

const char16_t kSetupPackage[] = u"C:\\Setup\\SQLEXPRADV_x64_JPN.exe";
const std::string kProduct = BoxText("product");
const std::string kSetupTitle = BoxText("setup_title", {kProduct});
const std::string kInstallFailed = BoxText("install_failed", {kProduct});
const std::string kRestartQuestion = BoxText("restart_question");

std::string Box(const std::string& caption, const std::string& text, UINT type)
{
    char style[16];
    snprintf(style, sizeof(style), "0x%x", type);
    return "[" + caption + "] " + text + " " + style;
}

class InstallerAppTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        AfxWinMainTitleOnly();
    }

    // The framework takes the title once, when the entry runs.
    void AfxWinMainTitleOnly()
    {
        m.majorVersion = 4;  // refused at once, with nothing installed
        AfxWinMain();
        winsim::Reset();
    }

    void PlaceSetup(const std::string& version, DWORD exitCode = 0, DWORD runMs = 3000)
    {
        winsim::ProcessScript script;
        script.runMs = runMs;
        script.exitCode = exitCode;
        winsim::Machine* machine = &m;
        if (!version.empty()) {
            script.onExit = [machine, version] {
                machine->SetString(RegView::NATIVE, kSetupKey, "SQLPath", kPath2017);
                machine->SetString(RegView::NATIVE, kVersionKey, "CurrentVersion", version);
            };
        }
        m.AddExecutable(kSetupPackage, script);
    }

    // The boxes as the user reads them, all through the "W" entry point
    // where Windows can convert from code page 932.
    std::vector<std::string> Run()
    {
        EXPECT_FALSE(theApp.InitInstance());
        std::vector<std::string> boxes;
        for (const winsim::MessageBoxShown& box : m.boxes)
            boxes.push_back(Box(box.caption, box.text, box.type));
        EXPECT_TRUE(m.ArgsOf(m.hasCodePage932 ? "MessageBoxA" : "MessageBoxW").empty());
        return boxes;
    }

    // A box as this machine shows it.
    std::string Expected(const std::string& caption, const std::string& text, UINT type) const
    {
        return Box(Shown(caption), Shown(text), type);
    }
};

TEST_F(InstallerAppTest, KnownEngineEndsTheRunBeforeTheOsCheck)
{
    struct Case {
        const char* version;  // NULL: the legacy key only
        const char* path;
        const char* text;
        const char* engine;
        UINT style;
    };
    const Case cases[] = {
        {"14.0.1000.169", "C:\\x", "already_installed", "Microsoft SQL Server 2017", 0x40},
        {"13.0.1601.5", "C:\\x", "already_installed", "Microsoft SQL Server 2016", 0x40},
        {"12.0.2000.8", "C:\\x", "already_installed", "Microsoft SQL Server 2014", 0x40},
        {"11.0.2100.60", "C:\\x", "already_installed", "Microsoft SQL Server 2012", 0x40},
        {"10.50.1600.1", "C:\\x", "already_installed", "Microsoft SQL Server 2008 R2", 0x40},
        {"10.0.1600.22", "C:\\x", "already_installed", "Microsoft SQL Server 2008", 0x40},
        {"9.00.1399", "C:\\x", "already_installed", "Microsoft SQL Server 2005", 0x40},
        {"8.00.194", "C:\\MSSQL$VALTERNADB", "upgrade_needed", "MSDE 2000", 0x30},
        {NULL, NULL, "upgrade_needed", "MSDE 7", 0x30},
    };
    for (const Case& c : cases) {
        // On Windows 7, whose refusal it never reaches.
        ForEachCodePage(c.version != NULL ? c.version : "legacy key", [&] {
            m.minorVersion = 1;
            if (c.version == NULL) {
                m.Key(RegView::WOW32, kLegacyKey);
            } else {
                m.SetString(RegView::NATIVE, kSetupKey, "SQLPath", c.path);
                m.SetString(RegView::NATIVE, kVersionKey, "CurrentVersion", c.version);
            }
            PlaceSetup("14.0.1000.169");
            EXPECT_EQ(Run(), std::vector<std::string>{Expected(kSetupTitle, BoxText(c.text, {c.engine}), c.style)});
            EXPECT_TRUE(m.processes.empty());
        });
    }
}

TEST_F(InstallerAppTest, InstallThenAnswerTheRestartQuestion)
{
    struct Case {
        const char* what;
        const char* registers;  // "" for nothing
        DWORD exitCode;
        int answer;  // 0: the box cannot be shown
        std::string box;  // "": none
        bool restart;
        const char* before = "";  // a version already there that cannot be told
    };
    const Case cases[] = {
        {"success, OK", "14.0.1000.169", 0, IDOK, kRestartQuestion, true},
        {"a later generation there does not stop it", "14.0.1000.169", 0, IDOK, kRestartQuestion, true, "15.0.2000.5"},
        {"success, Cancel", "14.0.1000.169", 0, IDCANCEL, kRestartQuestion, false},
        {"success, the question cannot be shown", "14.0.1000.169", 0, 0, "", false},
        {"non-zero exit code but 2017 registered", "14.0.1000.169", 1603, IDOK, kRestartQuestion, true},
        {"setup registers nothing", "", 0, IDOK, kInstallFailed, false},
        {"setup registers a later generation", "15.0.2000.5", 0, IDOK, kInstallFailed, false},
        {"setup registers 2016", "13.0.1601.5", 0, IDOK, kInstallFailed, false},
    };
    for (const Case& c : cases) {
        ForEachCodePage(c.what, [&] {
            if (*c.before != '\0') {
                m.SetString(RegView::NATIVE, kSetupKey, "SQLPath", "C:\\x");
                m.SetString(RegView::NATIVE, kVersionKey, "CurrentVersion", c.before);
            }
            PlaceSetup(c.registers, c.exitCode);
            m.boxAnswers = {c.answer};
            std::vector<std::string> boxes;
            if (!c.box.empty())
                boxes.push_back(Expected("DBSetup", c.box, c.box == kRestartQuestion ? 0x40021 : 0));
            EXPECT_EQ(Run(), boxes);
            EXPECT_EQ(m.processes.size(), 1u);
            EXPECT_EQ(m.restartRequested, c.restart);
            for (const winsim::MessageBoxShown& box : m.boxes)
                EXPECT_EQ(box.foldersMade, 1u) << "the package's folder goes after the last box, not before";
            EXPECT_EQ(m.foldersMadeAtRestart, 0u) << "nor after the restart is asked for";
            EXPECT_GE(m.nowMs, 3000u);
        });
    }
}

// A failed start, or no folder to start from: the launch error, then the verdict.
TEST_F(InstallerAppTest, NothingStartedGivesTwoBoxes)
{
    struct Case {
        const char* what;
        std::u16string modulePath;
        std::string launchError;
    };
    const Case cases[] = {
        {"package missing", u"C:\\Setup\\DBSetup.exe",
         BoxText("launch_error", {BoxText("setup_command", {"C:\\Setup", "C:\\Setup"})})},
        {"own path unreadable", u"", BoxText("launch_error", {"SQLEXPRADV_x64_JPN.exe"})},
    };
    for (const Case& c : cases) {
        ForEachCodePage(c.what, [&] {
            m.modulePath = c.modulePath;
            m.AddExecutable(u"C:\\SQLEXPRADV_x64_JPN.exe", winsim::ProcessScript());  // at the current drive's root
            EXPECT_EQ(Run(), (std::vector<std::string>{Expected(BoxText("launch_error_caption"), c.launchError, 0x30),
                                                       Expected("DBSetup", kInstallFailed, 0)}));
            EXPECT_TRUE(m.processes.empty());
        });
    }
}

// Enable the shutdown privilege, then ask for a restart that is not forced.
TEST_F(InstallerAppTest, RestartEnablesTheShutdownPrivilegeFirst)
{
    struct Case {
        const char* what;
        bool lookupFails;
        const char* adjusted;
        bool enabled;
    };
    const Case cases[] = {
        {"privilege known", false, "count=1 luid=19:0 attributes=0x2", true},
        // The record is whole even then: no stale identifier is enabled by chance.
        {"privilege lookup fails", true, "count=1 luid=0:0 attributes=0x2", false},
    };
    for (const Case& c : cases) {
        BeginCase(c.what);
        m.lookupPrivilegeFails = c.lookupFails;
        DirtyTheStack();
        RestartWindows();
        EXPECT_EQ(m.ArgsOf("AdjustTokenPrivileges"),
                  std::vector<std::string>{std::string("token, 0, ") + c.adjusted + ", 16"});
        EXPECT_EQ(m.ArgsOf("ExitWindowsEx"), std::vector<std::string>{"0x2, 0x0"});
        EXPECT_TRUE(m.restartRequested);
        EXPECT_EQ(m.privilegeEnabledAtRestart, c.enabled);
    }
}

}  // namespace
