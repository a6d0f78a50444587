#include <string.h>

#include <string>

#include "box_texts.h"
#include "setup_launch.h"
#include "sim_fixture.h"

namespace {

class SetupLaunchTest : public SimTest {
protected:
    static std::string CommandFor(const std::string& folder)
    {
        return BoxText("setup_command", {folder, folder});
    }
    void PlaceSetup(const std::string& folder, DWORD runMs, DWORD exitCode = 0)
    {
        winsim::ProcessScript script;
        script.runMs = runMs;
        script.exitCode = exitCode;
        m.AddExecutable(folder + "\\SQLEXPRADV_x64_JPN.exe", script);
    }
};

TEST_F(SetupLaunchTest, CommandLineFromTheInstallersFolder)
{
    const std::string longFolder = "C:\\" + std::string(240, 'L');  // past the 225 that fit 520 bytes
    const std::string longestFolder = "C:\\" + std::string(248, 'M');  // module path of 259 bytes
    std::string japaneseFolder = "C:\\";  // 160 characters, but 323 bytes in code page 932
    for (int i = 0; i < 40; ++i)
        japaneseFolder += "データ表";
    ForEachModulePath({
        {"plain", "C:\\Setup\\DBSetup.exe", "C:\\Setup", ""},
        {"spaces and Japanese", "C:\\My Setup\\日本語 フォルダ\\DBSetup.exe", "C:\\My Setup\\日本語 フォルダ", ""},
        {"drive root", "D:\\DBSetup.exe", "D:", ""},
        {"0x5C second bytes in folder and name", "C:\\ソフト\\ソフト.exe", "C:\\ソフト", ""},
        {"0x5C second byte in the name", "C:\\Setup\\表.exe", "C:\\Setup", ""},
        {"folder of 243 bytes", longFolder + "\\DBSetup.exe", longFolder, ""},
        {"module path of 259 bytes", longestFolder + "\\DBSetup.exe", longestFolder, ""},
        {"Japanese folder of 323 bytes", japaneseFolder + "\\DBSetup.exe", japaneseFolder, ""},
    }, [this](const ModulePath& path) {
        PlaceSetup(path.folder, 0);
        LaunchSqlSetup();
        ASSERT_EQ(m.processes.size(), 1u);
        EXPECT_EQ(m.processes[0].commandLine, CommandFor(path.folder));
        EXPECT_TRUE(m.boxes.empty());
    });
}

// Only a path with two bytes to spare is proven whole; the buffer doubles.
TEST_F(SetupLaunchTest, ModulePathIsAskedAgainUntilItIsProvenWhole)
{
    struct Case {
        const char* what;
        size_t length;
        std::vector<std::string> asked;
    };
    const Case cases[] = {
        {"short", 20, {"NULL, 260"}},
        {"258 bytes", 258, {"NULL, 260"}},
        {"259 bytes: whole, or cut a byte short", 259, {"NULL, 260", "NULL, 520"}},
        {"412 bytes", 412, {"NULL, 260", "NULL, 520"}},
    };
    for (const Case& c : cases) {
        BeginCase(c.what);
        const std::string folder = "C:\\" + std::string(c.length - 15, 'x');
        m.modulePath = folder + "\\DBSetup.exe";
        ASSERT_EQ(m.modulePath.size(), c.length);
        PlaceSetup(folder, 0);
        LaunchSqlSetup();
        EXPECT_EQ(m.ArgsOf("GetModuleFileNameA"), c.asked);
        EXPECT_EQ(m.processes.size(), 1u);
    }
}

// Without its own folder the installer would look for the package at the root
// of the current drive or in the current folder: it starts nothing.
TEST_F(SetupLaunchTest, NoFolderOfOurOwnStartsNothing)
{
    struct Case {
        const char* what;
        std::string modulePath;
    };
    const Case cases[] = {
        {"path cannot be read", ""},
        {"path without a folder", "DBSetup.exe"},
        {"path longer than any Windows has", "C:\\" + std::string(70000, 'x') + "\\DBSetup.exe"},
    };
    for (const Case& c : cases) {
        BeginCase(c.what);
        m.modulePath = c.modulePath;
        PlaceSetup("", 0);
        PlaceSetup("DBSetup.exe", 0);
        PlaceSetup(".", 0);
        LaunchSqlSetup();
        EXPECT_TRUE(m.ArgsOf("CreateProcessA").empty());
        ASSERT_EQ(m.boxes.size(), 1u);
        EXPECT_EQ(m.boxes[0].caption, BoxText("launch_error_caption"));
        EXPECT_EQ(m.boxes[0].text, BoxText("launch_error", {"SQLEXPRADV_x64_JPN.exe"}));
        EXPECT_EQ(m.boxes[0].type, (UINT)MB_ICONEXCLAMATION);
    }
}

TEST_F(SetupLaunchTest, StartsWithExactFlagsAndStartupRecord)
{
    PlaceSetup("C:\\Setup", 0);
    LaunchSqlSetup();
    const std::vector<std::string> creates = m.ArgsOf("CreateProcessA");
    ASSERT_EQ(creates.size(), 1u);
    EXPECT_EQ(creates[0], "NULL, " + CommandFor("C:\\Setup") + ", NULL, NULL, 0, 0x4000110, NULL, NULL, cb=" +
                              std::to_string(sizeof(STARTUPINFOA)));
}

TEST_F(SetupLaunchTest, MissingPackageGivesOneLaunchErrorBox)
{
    LaunchSqlSetup();
    ASSERT_EQ(m.boxes.size(), 1u);
    EXPECT_EQ(m.boxes[0].caption, BoxText("launch_error_caption"));
    EXPECT_EQ(m.boxes[0].text, BoxText("launch_error", {CommandFor("C:\\Setup")}));
    EXPECT_EQ(m.boxes[0].type, (UINT)MB_ICONEXCLAMATION);
    EXPECT_EQ(m.ArgsOf("MessageBoxA")[0].substr(0, 6), "NULL, ");
    EXPECT_TRUE(m.ArgsOf("MsgWaitForMultipleObjects").empty());
    EXPECT_TRUE(m.ArgsOf("CloseHandle").empty());
}

// Poll every 500 ms, drain, ask the exit code; close both handles after.
TEST_F(SetupLaunchTest, WaitLoopPollsUntilTheChildEnds)
{
    struct Case {
        DWORD runMs;
        DWORD exitCode;
        size_t polls;
    };
    const Case cases[] = {
        {0, 0, 1}, {499, 0, 1}, {500, 0, 1}, {501, 1, 2}, {3000, 0, 6}, {3000, 259, 6}, {600000, 1603, 1200},
    };
    for (const Case& c : cases) {
        BeginCase("runs " + std::to_string(c.runMs) + " ms, exit code " + std::to_string(c.exitCode));
        PlaceSetup("C:\\Setup", c.runMs, c.exitCode);
        LaunchSqlSetup();
        const std::vector<std::string> waits = m.ArgsOf("MsgWaitForMultipleObjects");
        ASSERT_EQ(waits.size(), c.polls);
        EXPECT_EQ(waits[0], "0, NULL, 0, 500, 0xbf");
        EXPECT_EQ(m.nowMs, (DWORD)(500 * c.polls)) << "the end is noticed at the first poll after it";
        EXPECT_EQ(m.ArgsOf("GetExitCodeProcess").size(), c.polls);
        EXPECT_TRUE(m.boxes.empty());
        const std::vector<std::string> sequence = m.FunctionSequence();
        EXPECT_EQ(std::vector<std::string>(sequence.end() - 2, sequence.end()),
                  (std::vector<std::string>{"CloseHandle", "CloseHandle"}));
        EXPECT_EQ(m.ArgsOf("CloseHandle"), (std::vector<std::string>{"process", "thread"}));
    }
}

TEST_F(SetupLaunchTest, FailingExitCodeQueryDoesNotHang)
{
    PlaceSetup("C:\\Setup", 1200);
    m.getExitCodeFails = true;
    LaunchSqlSetup();
    EXPECT_EQ(m.nowMs, 1500u);
}

TEST_F(SetupLaunchTest, QueueIsDrainedAndQuitDoesNotEndTheWait)
{
    PlaceSetup("C:\\Setup", 2000);
    m.incoming = {{100, WM_KEYDOWN, QS_KEY},
                  {150, WM_QUIT, QS_POSTMESSAGE},
                  {160, WM_USER, QS_POSTMESSAGE},
                  {700, WM_USER + 1, QS_SENDMESSAGE},  // not in the mask: waits for the next poll
                  {1700, WM_TIMER, QS_TIMER}};
    LaunchSqlSetup();
    ASSERT_EQ(m.dispatched.size(), 5u);
    EXPECT_EQ(m.dispatched[0].message, (UINT)WM_KEYDOWN);
    EXPECT_EQ(m.dispatched[1].message, (UINT)WM_QUIT);
    EXPECT_EQ(m.dispatched[2].message, (UINT)WM_USER);
    EXPECT_EQ(m.ArgsOf("TranslateMessage").size(), 5u);
    EXPECT_EQ(m.ArgsOf("PeekMessageA")[0], "msg, NULL, 0, 0, 1");
    EXPECT_EQ(m.nowMs, 2200u) << "the child's end is seen at the first poll after it";
}

TEST_F(SetupLaunchTest, PumpRemovesEveryWaitingMessage)
{
    m.incoming = {{0, WM_USER, QS_POSTMESSAGE}, {0, WM_PAINT, QS_PAINT}, {0, WM_QUIT, QS_POSTMESSAGE}};
    PumpWaitingMessages();
    EXPECT_EQ(m.dispatched.size(), 3u);
    PumpWaitingMessages();
    EXPECT_EQ(m.dispatched.size(), 3u);
}

}  // namespace
