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
    void PlaceSetup(const std::u16string& folder, DWORD runMs, DWORD exitCode = 0)
    {
        winsim::ProcessScript script;
        script.runMs = runMs;
        script.exitCode = exitCode;
        m.AddExecutable(folder + u"\\SQLEXPRADV_x64_JPN.exe", script);
    }
    void PlaceSetup(const std::string& folder, DWORD runMs, DWORD exitCode = 0)
    {
        PlaceSetup(winsim::Unicode(folder), runMs, exitCode);
    }
};

std::u16string U(const std::string& ansi)
{
    return winsim::Unicode(ansi);
}

// One box owned by no window, with the exclamation icon, naming what could not start.
std::vector<std::string> LaunchErrorBox(const std::string& what)
{
    return {"NULL, " + BoxText("launch_error", {what}) + ", " + BoxText("launch_error_caption") + ", 0x30"};
}

// The command line for a folder as Windows holds it.
std::u16string WideCommandFor(const std::u16string& folder)
{
    const std::u16string format = U(BoxText("setup_command"));
    const size_t first = format.find(u"%s"), second = format.find(u"%s", first + 2);
    return format.substr(0, first) + folder + format.substr(first + 2, second - first - 2) + folder +
           format.substr(second + 2);
}

// The package beside the installer, and only that one, is started from the
// installer's folder as Windows holds it: through the "A" entry point with
// the same bytes as ever where code page 932 shows the folder exactly, else
// through the "W" one. A failure to start shows the line as 932 shows it.
TEST_F(SetupLaunchTest, CommandLineFromTheInstallersFolder)
{
    const std::string longFolder = "C:\\" + std::string(240, 'L');  // past the 225 that fit 520 bytes
    const std::string longestFolder = "C:\\" + std::string(248, 'M');  // module path of 259 bytes
    std::string japaneseFolder = "C:\\";  // 160 characters, but 323 bytes in code page 932
    for (int i = 0; i < 40; ++i)
        japaneseFolder += "データ表";
    std::string longJapaneseFolder = "C:\\";  // 40,001 bytes in code page 932 with the name
    for (int i = 0; i < 19993; ++i)
        longJapaneseFolder += "表";
    ForEachModulePath({
        {"plain", u"C:\\Setup\\DBSetup.exe", "C:\\Setup", ""},
        {"spaces and Japanese", u"C:\\My Setup\\日本語 フォルダ\\DBSetup.exe", "C:\\My Setup\\日本語 フォルダ", ""},
        {"drive root", u"D:\\DBSetup.exe", "D:", ""},
        {"0x5C second bytes in folder and name", u"C:\\ソフト\\ソフト.exe", "C:\\ソフト", ""},
        {"0x5C second byte in the name", u"C:\\Setup\\表.exe", "C:\\Setup", ""},
        {"folder of 243 bytes", U(longFolder + "\\DBSetup.exe"), longFolder, ""},
        {"module path of 259 bytes", U(longestFolder + "\\DBSetup.exe"), longestFolder, ""},
        {"Japanese folder of 323 bytes", U(japaneseFolder + "\\DBSetup.exe"), japaneseFolder, ""},
        {"Japanese path of 40,001 bytes", U(longJapaneseFolder + "\\DBSetup.exe"), longJapaneseFolder, ""},
        {"yen sign, best fit '\\'", u"C:\\価格¥100\\a¥b\\DBSetup.exe", "C:\\価格?100\\a?b", ""},
        {"accented letter, best fit 'e'", u"C:\\Users\\Café\\Setup\\DBSetup.exe", "C:\\Users\\Caf?\\Setup", ""},
        {"Hangul and emoji", u"C:\\한글\\😀\\DBSetup.exe", "C:\\??\\??", ""},
        {"broken bar, best fit '|'", u"C:\\a¦b\\DBSetup.exe", "C:\\a?b", ""},
    }, [this](const ModulePath& path) {
        const std::u16string folder = path.path.substr(0, path.path.rfind(u'\\'));
        const bool exact = path.folder.find('?') == std::string::npos;
        const std::string line = CommandFor(path.folder);
        // Where the "A" calls would look instead: nothing there may run.
        if (winsim::BestFit(folder) != folder)
            PlaceSetup(winsim::BestFit(folder), 0);
        LaunchSqlSetup();
        EXPECT_TRUE(m.processes.empty());
        EXPECT_EQ(m.ArgsOf("MessageBoxA"), LaunchErrorBox(line));
        EXPECT_TRUE(m.ArgsOf("MsgWaitForMultipleObjects").empty());

        PlaceSetup(folder, 0);
        m.calls.clear();
        LaunchSqlSetup();
        ASSERT_EQ(m.processes.size(), 1u);
        const std::u16string expected = WideCommandFor(folder);
        EXPECT_EQ(m.processes[0].commandLine, expected);
        const std::string rest = ", NULL, NULL, 0, 0x4000110, NULL, NULL, cb=" + std::to_string(sizeof(STARTUPINFOA));
        EXPECT_EQ(m.ArgsOf(exact ? "CreateProcessA" : "CreateProcessW"),
                  std::vector<std::string>{"NULL, " + (exact ? line : winsim::Utf8(expected)) + rest});
        EXPECT_EQ(m.ArgsOf(exact ? "CreateProcessW" : "CreateProcessA").size(), 0u);
        EXPECT_EQ(m.boxes.size(), 1u);
    });
}

// Only a path with a unit to spare is whole; the buffer doubles up to the
// longest path Windows has.
TEST_F(SetupLaunchTest, ModulePathIsAskedAgainUntilItIsProvenWhole)
{
    struct Case {
        const char* what;
        size_t length;
        std::vector<std::string> asked;
    };
    const std::vector<std::string> all = {"NULL, 260", "NULL, 520", "NULL, 1040", "NULL, 2080",
                                          "NULL, 4160", "NULL, 8320", "NULL, 16640", "NULL, 33280"};
    const Case cases[] = {
        {"short", 20, {all[0]}},
        {"259 units", 259, {all[0]}},
        {"260 units: cut", 260, {all[0], all[1]}},
        {"412 units", 412, {all[0], all[1]}},
        {"32,767 units, the longest", 32767, all},
    };
    for (const Case& c : cases) {
        BeginCase(c.what);
        const std::string folder = "C:\\" + std::string(c.length - 15, 'x');
        m.modulePath = U(folder + "\\DBSetup.exe");
        ASSERT_EQ(m.modulePath.size(), c.length);
        PlaceSetup(folder, 0);
        LaunchSqlSetup();
        EXPECT_EQ(m.ArgsOf("GetModuleFileNameW"), c.asked);
        EXPECT_EQ(m.processes.size(), 1u);
    }
}

// Without its own folder the installer would look for the package at the root
// of the current drive or in the current folder: it starts nothing.
TEST_F(SetupLaunchTest, NoFolderOfOurOwnStartsNothing)
{
    struct Case {
        const char* what;
        std::u16string modulePath;
    };
    const Case cases[] = {
        {"path cannot be read", u""},
        {"path without a folder", u"DBSetup.exe"},
        {"path longer than any Windows has", u"C:\\" + std::u16string(40000, u'x') + u"\\DBSetup.exe"},
    };
    for (const Case& c : cases) {
        BeginCase(c.what);
        m.modulePath = c.modulePath;
        PlaceSetup("", 0);
        PlaceSetup("DBSetup.exe", 0);
        PlaceSetup(".", 0);
        LaunchSqlSetup();
        EXPECT_TRUE(m.processes.empty());
        EXPECT_EQ(m.ArgsOf("MessageBoxA"), LaunchErrorBox("SQLEXPRADV_x64_JPN.exe"));
    }
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
        EXPECT_TRUE(m.boxes.empty());
        const std::vector<std::string> sequence = m.FunctionSequence();
        EXPECT_EQ(std::vector<std::string>(sequence.end() - 2, sequence.end()),
                  (std::vector<std::string>{"CloseHandle", "CloseHandle"}));
        EXPECT_EQ(m.ArgsOf("CloseHandle"), (std::vector<std::string>{"process", "thread"}));
    }
}

// Whatever cannot be asked of the process handle, the wait ends.
TEST_F(SetupLaunchTest, FailingQueriesOfTheChildDoNotHang)
{
    struct Case {
        const char* what;
        bool exitCodeFails, waitFails;
        DWORD endMs;
    };
    const Case cases[] = {
        {"exit code unreadable", true, false, 1500},
        {"exit code unreadable, handle cannot be waited on", true, true, 500},
    };
    for (const Case& c : cases) {
        BeginCase(c.what);
        PlaceSetup("C:\\Setup", 1200);
        m.getExitCodeFails = c.exitCodeFails;
        m.waitFails = c.waitFails;
        LaunchSqlSetup();
        EXPECT_EQ(m.nowMs, c.endMs);
        EXPECT_EQ(m.ArgsOf("CloseHandle"), (std::vector<std::string>{"process", "thread"}));
    }
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
