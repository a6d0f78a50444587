#include <string>
#include <vector>

#include "box_texts.h"
#include "installer_app.h"
#include "instance_keys.h"
#include "restart.h"
#include "sim_fixture.h"

namespace {

using winsim::RegView;

// Leaves what a caller's frame would find on the stack full of set bits.
__attribute__((noinline)) void DirtyTheStack()
{
    volatile unsigned char junk[4096];
    for (unsigned char& byte : const_cast<unsigned char(&)[4096]>(junk))
        byte = 0xA5;
}

const char kSetupPackage[] = "C:\\Setup\\SQLEXPRADV_x64_JPN.exe";
const std::string kProduct = BoxText("product");
const std::string kSetupTitle = BoxText("setup_title", {kProduct});
const std::string kSuccessQuestion = BoxText("restart_question");
const std::string kInstallFailed = BoxText("install_failed", {kProduct});

// A box as the call log shows it: owned by no window.
std::string Box(const std::string& caption, const std::string& text, UINT type)
{
    char style[16];
    snprintf(style, sizeof(style), "0x%x", type);
    return "NULL, " + text + ", " + caption + ", " + style;
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

    std::vector<std::string> Run()
    {
        EXPECT_FALSE(theApp.InitInstance());
        return m.ArgsOf("MessageBoxA");
    }
};

TEST_F(InstallerAppTest, KnownEngineEndsTheRunBeforeTheOsCheck)
{
    struct Case {
        const char* version;  // NULL: the legacy key only
        const char* path;
        std::string box;
    };
    const Case cases[] = {
        {"14.0.1000.169", "C:\\x", Box(kSetupTitle, BoxText("already_installed", {"Microsoft SQL Server 2017"}), 0x40)},
        {"10.50.1600.1", "C:\\x", Box(kSetupTitle, BoxText("already_installed", {"Microsoft SQL Server 2008 R2"}), 0x40)},
        {"9.00.1399", "C:\\x", Box(kSetupTitle, BoxText("already_installed", {"Microsoft SQL Server 2005"}), 0x40)},
        {"8.00.194", "C:\\MSSQL$VALTERNADB", Box(kSetupTitle, BoxText("upgrade_needed", {"MSDE 2000"}), 0x30)},
        {NULL, NULL, Box(kSetupTitle, BoxText("upgrade_needed", {"MSDE 7"}), 0x30)},
    };
    for (const Case& c : cases) {
        for (DWORD minor : {1u, 2u}) {  // Windows 7 never reaches its refusal
            BeginCase(std::string(c.version != NULL ? c.version : "legacy key") + ", Windows 6." +
                      std::to_string(minor));
            m.minorVersion = minor;
            if (c.version == NULL) {
                m.Key(RegView::WOW32, kLegacyKey);
            } else {
                m.SetString(RegView::NATIVE, kSetupKey, "SQLPath", c.path);
                m.SetString(RegView::NATIVE, kVersionKey, "CurrentVersion", c.version);
            }
            PlaceSetup("14.0.1000.169");
            EXPECT_EQ(Run(), std::vector<std::string>{c.box});
            EXPECT_TRUE(m.ArgsOf("GetVersionExA").empty());
            EXPECT_TRUE(m.processes.empty());
        }
    }
}

TEST_F(InstallerAppTest, UnsupportedWindowsGetsOneFrameworkBox)
{
    struct Case {
        const char* what;
        DWORD minor;
        bool is64Bit;
        std::string text;
    };
    const Case cases[] = {
        {"Windows 7", 1, true, BoxText("os_too_old", {"Windows 7", kProduct})},
        {"32-bit Windows 8", 2, false, BoxText("os_32bit", {"Windows 8", kProduct})},
    };
    for (const Case& c : cases) {
        BeginCase(c.what);
        m.minorVersion = c.minor;
        m.is64BitWindows = c.is64Bit;
        PlaceSetup("14.0.1000.169");
        EXPECT_EQ(Run(), std::vector<std::string>{Box("DBSetup", c.text, 0x30)});
        EXPECT_TRUE(m.processes.empty());
    }
}

TEST_F(InstallerAppTest, InstallThenAnswerTheRestartQuestion)
{
    struct Case {
        const char* what;
        const char* registers;  // "" for nothing
        DWORD exitCode;
        int answer;
        std::vector<std::string> boxes;
        bool restart;
        const char* before = "";  // a version already there that cannot be told
    };
    const std::string question = Box("DBSetup", kSuccessQuestion, 0x40021);
    const std::string failed = Box("DBSetup", kInstallFailed, 0);
    const Case cases[] = {
        {"success, OK", "14.0.1000.169", 0, IDOK, {question}, true},
        {"a later generation there does not stop it", "14.0.1000.169", 0, IDOK, {question}, true, "15.0.2000.5"},
        {"success, Cancel", "14.0.1000.169", 0, IDCANCEL, {question}, false},
        {"non-zero exit code but 2017 registered", "14.0.1000.169", 1603, IDOK, {question}, true},
        {"setup registers nothing", "", 0, IDOK, {failed}, false},
        {"setup registers a later generation", "15.0.2000.5", 0, IDOK, {failed}, false},
        {"setup registers 2016", "13.0.1601.5", 0, IDOK, {failed}, false},
    };
    for (const Case& c : cases) {
        BeginCase(c.what);
        if (*c.before != '\0') {
            m.SetString(RegView::NATIVE, kSetupKey, "SQLPath", "C:\\x");
            m.SetString(RegView::NATIVE, kVersionKey, "CurrentVersion", c.before);
        }
        PlaceSetup(c.registers, c.exitCode);
        m.boxAnswers = {c.answer};
        EXPECT_EQ(Run(), c.boxes);
        EXPECT_EQ(m.processes.size(), 1u);
        EXPECT_EQ(m.restartRequested, c.restart);
        EXPECT_GE(m.nowMs, 3000u);
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
        BeginCase(c.what);
        m.modulePath = c.modulePath;
        m.AddExecutable("\\SQLEXPRADV_x64_JPN.exe", winsim::ProcessScript());
        EXPECT_EQ(Run(), (std::vector<std::string>{Box(BoxText("launch_error_caption"), c.launchError, 0x30),
                                                   Box("DBSetup", kInstallFailed, 0)}));
        EXPECT_TRUE(m.processes.empty());
    }
}

// Enable the shutdown privilege, then ask for a restart that is not forced.
TEST_F(InstallerAppTest, RestartEnablesTheShutdownPrivilegeFirst)
{
    struct Case {
        const char* what;
        bool lookupFails;
        const char* adjusted;
        bool restart;
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
        EXPECT_EQ(m.FunctionSequence(), (std::vector<std::string>{"OpenProcessToken", "LookupPrivilegeValueA",
                                                                  "AdjustTokenPrivileges", "ExitWindowsEx",
                                                                  "CloseHandle"}));
        EXPECT_EQ(m.ArgsOf("OpenProcessToken"), std::vector<std::string>{"current-process, 0x28"});
        EXPECT_EQ(m.ArgsOf("LookupPrivilegeValueA"), std::vector<std::string>{"NULL, SeShutdownPrivilege"});
        EXPECT_EQ(m.ArgsOf("AdjustTokenPrivileges"),
                  std::vector<std::string>{std::string("token, 0, ") + c.adjusted + ", 16, previous, length"});
        EXPECT_EQ(m.ArgsOf("ExitWindowsEx"), std::vector<std::string>{"0x2, 0x0"});
        EXPECT_EQ(m.ArgsOf("CloseHandle"), std::vector<std::string>{"token"});
        EXPECT_EQ(m.restartRequested, c.restart);
    }
}

TEST_F(InstallerAppTest, RefusedRestartIsSilent)
{
    PlaceSetup("14.0.1000.169");
    m.processHasShutdownPrivilege = false;
    EXPECT_EQ(Run().size(), 1u);
    EXPECT_FALSE(m.restartRequested);
    EXPECT_EQ(m.ArgsOf("ExitWindowsEx").size(), 1u);
}

}  // namespace
