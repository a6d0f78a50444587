#include <string>
#include <vector>

#include "installer_app.h"
#include "instance_keys.h"
#include "sim_fixture.h"

namespace {

using winsim::RegView;

const char kSetupPackage[] = "C:\\Setup\\SQLEXPRADV_x64_JPN.exe";
const char kSetupTitle[] = "SQL Server 2017 Express インストール";
const std::string kCommandLine =
    "\"C:\\Setup\\SQLEXPRADV_x64_JPN.exe\" /ConfigurationFile=\"C:\\Setup\\ConfigurationFile.ini\"";

const std::string kSuccessQuestion =
    "インストールが正常に終了しました。\nコンピュータを再起動する必要があります。\n今、再起動しますか？";
const std::string kInstallFailed =
    "SQL Server 2017 Express がインストールできませんでした。\n\n"
    "インストール前に、コンピュータの再起動が必要となる場合があります。\n"
    "再起動後に、もう一度インストールをお試しください。";

std::string Upgrade(const std::string& name)
{
    return name + " がインストールされています。\n\n"
                  "このバージョンには対応していない為、データベースのアップグレードが必要です。\n"
                  "アップグレード手順については、Q&Aを確認するか、サポートセンターまでご連絡下さい。";
}

std::string AlreadyInstalled(const std::string& name)
{
    return "既に " + name + " がインストールされている為、データベースのインストールは不要です。\n\n"
                            "データベースを入れ直す場合は、事前にデータのバックアップを取って下さい。";
}

struct Box {
    std::string caption;
    std::string text;
    UINT type;
};

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

    std::vector<Box> Run()
    {
        EXPECT_FALSE(theApp.InitInstance());
        std::vector<Box> boxes;
        for (const winsim::MessageBoxShown& shown : m.boxes)
            boxes.push_back(Box{shown.caption, shown.text, shown.type});
        return boxes;
    }
};

bool operator==(const Box& a, const Box& b)
{
    return a.caption == b.caption && a.text == b.text && a.type == b.type;
}

void PrintTo(const Box& box, std::ostream* out)
{
    *out << "{" << box.caption << " | " << box.text << " | 0x" << std::hex << box.type << "}";
}

TEST_F(InstallerAppTest, KnownEngineEndsTheRunBeforeTheOsCheck)
{
    struct Case {
        const char* version;
        const char* path;
        bool legacyOnly;
        Box box;
    };
    const Case cases[] = {
        {"14.0.1000.169", "C:\\x", false, {kSetupTitle, AlreadyInstalled("Microsoft SQL Server 2017"), 0x40}},
        {"10.50.1600.1", "C:\\x", false, {kSetupTitle, AlreadyInstalled("Microsoft SQL Server 2008 R2"), 0x40}},
        {"9.00.1399", "C:\\x", false, {kSetupTitle, AlreadyInstalled("Microsoft SQL Server 2005"), 0x40}},
        {"8.00.194", "C:\\MSSQL$VALTERNADB", false, {kSetupTitle, Upgrade("MSDE 2000"), 0x30}},
        {NULL, NULL, true, {kSetupTitle, Upgrade("MSDE 7"), 0x30}},
    };
    for (const Case& c : cases) {
        for (DWORD minor : {1u, 2u}) {  // Windows 7 never reaches its refusal
            winsim::Reset();
            m.minorVersion = minor;
            if (c.legacyOnly) {
                m.Key(RegView::WOW32, kLegacyKey);
            } else {
                m.SetString(RegView::NATIVE, kSetupKey, "SQLPath", c.path);
                m.SetString(RegView::NATIVE, kVersionKey, "CurrentVersion", c.version);
            }
            PlaceSetup("14.0.1000.169");
            EXPECT_EQ(Run(), std::vector<Box>{c.box});
            EXPECT_TRUE(m.ArgsOf("GetVersionExA").empty());
            EXPECT_TRUE(m.processes.empty());
            EXPECT_EQ(m.ArgsOf("MessageBoxA")[0].substr(0, 6), "NULL, ");
        }
    }
}

TEST_F(InstallerAppTest, UnsupportedWindowsGetsOneFrameworkBox)
{
    m.minorVersion = 1;
    PlaceSetup("14.0.1000.169");
    const std::string tail = " に SQL Server 2017 Express をインストールする事はできません。\n\n"
                             "SQL Server 2014 Express 以前の SQL Server をインストールしてください。";
    EXPECT_EQ(Run(), (std::vector<Box>{{"DBSetup", "Windows 7" + tail, 0x30}}));
    EXPECT_TRUE(m.processes.empty());

    winsim::Reset();
    m.is64BitWindows = false;
    PlaceSetup("14.0.1000.169");
    EXPECT_EQ(Run(), (std::vector<Box>{{"DBSetup", "32 bit の Windows 8" + tail, 0x30}}));
    EXPECT_TRUE(m.processes.empty());
}

TEST_F(InstallerAppTest, UnreadableInstanceDoesNotStopTheInstallation)
{
    m.SetString(RegView::NATIVE, kSetupKey, "SQLPath", "C:\\x");
    m.SetString(RegView::NATIVE, kVersionKey, "CurrentVersion", "15.0.2000.5");
    PlaceSetup("14.0.1000.169");
    Run();
    EXPECT_EQ(m.processes.size(), 1u);
}

TEST_F(InstallerAppTest, InstallThenAnswerTheRestartQuestion)
{
    struct Case {
        const char* what;
        const char* registers;  // "" for nothing
        DWORD exitCode;
        int answer;
        std::vector<Box> boxes;
        bool restart;
    };
    const Box question{"DBSetup", kSuccessQuestion, 0x40021};
    const Box failed{"DBSetup", kInstallFailed, 0};
    const Case cases[] = {
        {"success, OK", "14.0.1000.169", 0, IDOK, {question}, true},
        {"success, Cancel", "14.0.1000.169", 0, IDCANCEL, {question}, false},
        {"non-zero exit code but 2017 registered", "14.0.1000.169", 1603, IDOK, {question}, true},
        {"setup registers nothing", "", 0, IDOK, {failed}, false},
        {"setup registers a later generation", "15.0.2000.5", 0, IDOK, {failed}, false},
        {"setup registers 2016", "13.0.1601.5", 0, IDOK, {failed}, false},
    };
    for (const Case& c : cases) {
        winsim::Reset();
        PlaceSetup(c.registers, c.exitCode);
        m.boxAnswers = {c.answer};
        EXPECT_EQ(Run(), c.boxes) << c.what;
        EXPECT_EQ(m.processes.size(), 1u) << c.what;
        EXPECT_EQ(m.restartRequested, c.restart) << c.what;
        EXPECT_GE(m.nowMs, 3000u) << c.what;
    }
}

TEST_F(InstallerAppTest, MissingSetupPackageGivesTwoBoxes)
{
    const std::vector<Box> expected = {{"起動エラー", kCommandLine + " 起動エラー", 0x30},
                                       {"DBSetup", kInstallFailed, 0}};
    EXPECT_EQ(Run(), expected);
}

TEST_F(InstallerAppTest, RestartEnablesTheShutdownPrivilegeFirst)
{
    PlaceSetup("14.0.1000.169");
    Run();
    const std::vector<std::string> sequence = m.FunctionSequence();
    const std::vector<std::string> tail(sequence.end() - 6, sequence.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"MessageBoxA", "OpenProcessToken", "LookupPrivilegeValueA",
                                              "AdjustTokenPrivileges", "ExitWindowsEx", "CloseHandle"}));
    EXPECT_EQ(m.ArgsOf("OpenProcessToken")[0], "current-process, 0x28");
    EXPECT_EQ(m.ArgsOf("LookupPrivilegeValueA")[0], "NULL, SeShutdownPrivilege");
    const std::string adjust = m.ArgsOf("AdjustTokenPrivileges")[0];
    EXPECT_EQ(adjust.substr(adjust.find(", ")), ", 0, count=1 luid=19:0 attributes=0x2, 16, previous, length");
    EXPECT_EQ(m.ArgsOf("ExitWindowsEx")[0], "0x2, 0x0");
    EXPECT_EQ(m.restartFlags, (UINT)EWX_REBOOT);
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
