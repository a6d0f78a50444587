#include <string.h>

#include <string>

#include "setup_launch.h"
#include "sim_fixture.h"

namespace {

class SetupLaunchTest : public SimTest {
protected:
    static std::string CommandFor(const std::string& folder)
    {
        return "\"" + folder + "\\SQLEXPRADV_x64_JPN.exe\" /ConfigurationFile=\"" + folder +
               "\\ConfigurationFile.ini\"";
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
    struct Case {
        std::string modulePath;
        std::string folder;
    };
    const Case cases[] = {
        {"C:\\Setup\\DBSetup.exe", "C:\\Setup"},
        {"C:\\My Setup\\日本語 フォルダ\\DBSetup.exe", "C:\\My Setup\\日本語 フォルダ"},
        {"D:\\DBSetup.exe", "D:"},
        {"C:\\ソフト\\ソフト.exe", "C:\\ソフト"},  // 0x5C second bytes in folder and name
        {"C:\\Setup\\表.exe", "C:\\Setup"},
        {longFolder + "\\DBSetup.exe", longFolder},
        {longestFolder + "\\DBSetup.exe", longestFolder},
        {japaneseFolder + "\\DBSetup.exe", japaneseFolder},
    };
    for (const Case& c : cases) {
        winsim::Reset();
        m.modulePath = c.modulePath;
        PlaceSetup(c.folder, 0);
        LaunchSqlSetup();
        ASSERT_EQ(m.processes.size(), 1u) << c.modulePath;
        EXPECT_EQ(m.processes[0].commandLine, CommandFor(c.folder));
        EXPECT_TRUE(m.boxes.empty()) << c.modulePath;
        EXPECT_EQ(m.OpenHandleCount(), 0);
    }
}

TEST_F(SetupLaunchTest, ModulePathIsAskedAgainWhenItDoesNotFit)
{
    PlaceSetup("C:\\Setup", 0);
    LaunchSqlSetup();
    EXPECT_EQ(m.ArgsOf("GetModuleFileNameA"), std::vector<std::string>{"NULL, 260"});

    winsim::Reset();
    const std::string folder = "C:\\" + std::string(400, 'x');
    m.modulePath = folder + "\\DBSetup.exe";
    PlaceSetup(folder, 0);
    LaunchSqlSetup();
    EXPECT_EQ(m.ArgsOf("GetModuleFileNameA"), (std::vector<std::string>{"NULL, 260", "NULL, 520"}));
    EXPECT_EQ(m.processes.size(), 1u);
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
    EXPECT_EQ(m.boxes[0].caption, "起動エラー");
    EXPECT_EQ(m.boxes[0].text, CommandFor("C:\\Setup") + " 起動エラー");
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
        winsim::Reset();
        PlaceSetup("C:\\Setup", c.runMs, c.exitCode);
        LaunchSqlSetup();
        const std::vector<std::string> waits = m.ArgsOf("MsgWaitForMultipleObjects");
        ASSERT_EQ(waits.size(), c.polls) << c.runMs;
        EXPECT_EQ(waits[0], "0, NULL, 0, 500, 0xbf");
        EXPECT_EQ(m.nowMs, (DWORD)(500 * c.polls)) << "the end is noticed at the first poll after it";
        EXPECT_EQ(m.ArgsOf("GetExitCodeProcess").size(), c.polls);
        EXPECT_TRUE(m.boxes.empty());
        EXPECT_EQ(m.OpenHandleCount(), 0);
    }
    const std::vector<std::string> sequence = m.FunctionSequence();
    EXPECT_EQ(std::vector<std::string>(sequence.end() - 2, sequence.end()),
              (std::vector<std::string>{"CloseHandle", "CloseHandle"}));
    EXPECT_EQ(m.ArgsOf("CloseHandle"), (std::vector<std::string>{"process#100", "thread#104"}));
}

TEST_F(SetupLaunchTest, FailingExitCodeQueryDoesNotHang)
{
    PlaceSetup("C:\\Setup", 1200);
    m.getExitCodeFails = true;
    LaunchSqlSetup();
    EXPECT_EQ(m.nowMs, 1500u);
    EXPECT_EQ(m.OpenHandleCount(), 0);
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
    EXPECT_EQ(m.OpenHandleCount(), 0);
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
