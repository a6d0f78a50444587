#include <string>

#include "box_texts.h"
#include "setup_launch.h"
#include "sim_fixture.h"
#include "state.h"

namespace {

class SetupLaunchTest : public SimTest {
protected:
    void PlaceSetup(const std::string& folder, DWORD runMs, DWORD exitCode = 0)
    {
        winsim::ProcessScript script;
        script.runMs = runMs;
        script.exitCode = exitCode;
        m.AddExecutable(winsim::Utf16(folder + "\\SQLEXPRADV_x64_JPN.exe"), script);
    }

    // A launch whose folder goes once it returns, as the installer's does after its last box.
    void Launch()
    {
        CSetupFolder folder;
        LaunchSqlSetup(folder);
    }
};

const char kSetupFolder[] = "C:\\ProgramData\\DBSetup-0123456789ABCDEF";  // the first name the machine draws

// One box owned by no window, with the exclamation icon, naming what could not start.
std::vector<std::string> LaunchErrorBox(const std::string& what)
{
    return {"NULL, " + BoxText("launch_error", {what}) + ", " + BoxText("launch_error_caption") + ", 0x30"};
}

// The package beside the installer, and only that one, is started through the
// "W" entry point from the installer's folder as Windows holds it, whatever
// the ANSI code page could show of it, in our folder as its current folder; a
// failure to start names it whole, up to the longest path Windows has.
TEST_F(SetupLaunchTest, CommandLineFromTheInstallersFolder)
{
    const std::string longestFolder = "C:\\" + std::string(32752, 'L');  // module path of 32,767 units
    ForEachModulePath({
        {"plain", u"C:\\Setup\\DBSetup.exe", "C:\\Setup", ""},
        {"drive root", u"D:\\DBSetup.exe", "D:", ""},
        {"module path of 32,767 units", winsim::Utf16(longestFolder + "\\DBSetup.exe"), longestFolder, ""},
        {"Hangul, emoji, yen sign and Japanese", u"C:\\한글\\😀\\価格¥100\\DBSetup.exe", u8"C:\\한글\\😀\\価格¥100", ""},
    }, [this](const ModulePath& path) {
        Launch();
        EXPECT_TRUE(m.processes.empty());
        EXPECT_EQ(m.ArgsOf("MessageBoxW"), LaunchErrorBox(BoxText("setup_command", {path.folder, path.folder})));
        EXPECT_TRUE(m.ArgsOf("MsgWaitForMultipleObjects").empty()) << "a wait would hold back the failure box";

        PlaceSetup(path.folder, 0);
        m.calls.clear();
        DirtyTheStack();
        Launch();
        // Without "\\?\" Windows opens no path of MAX_PATH units or more: the package beside is not found.
        const bool reachable = winsim::Utf16(path.folder).size() + sizeof("\\SQLEXPRADV_x64_JPN.exe") - 1 < MAX_PATH;
        ASSERT_EQ(m.processes.size(), reachable ? 1u : 0u);
        EXPECT_EQ(m.ArgsOf("CreateProcessW"),
                  std::vector<std::string>(reachable, std::string(kSetupFolder) + "\\SQLEXPRADV_x64_JPN.exe, " +
                                                          BoxText("setup_command", {kSetupFolder, kSetupFolder}) +
                                                          ", NULL, NULL, 0, 0x4000110, NULL, " + kSetupFolder));
        EXPECT_EQ(m.boxes.size(), reachable ? 1u : 2u);
    }, false);
}

// The package runs with our rights: it is copied, through the handle opened
// beside us, into a new folder only administrators can write, and starts from
// there only with a valid signature whose signer is Microsoft Corporation,
// checked and started while no one can rewrite it, with our own answer file;
// a check that cannot be made refuses it. The folder goes with all in it, at
// once if nothing started, and never through a link.
TEST_F(SetupLaunchTest, OnlyAPackageMicrosoftSignedStarts)
{
    const LONG kOk = ERROR_SUCCESS;
    const std::vector<std::string> once = {"VERIFY 0x1010"}, twice = {"VERIFY 0x1010", "VERIFY 0x10"};
    const std::string error = "refusal_error", signer = "refusal_signer";
    struct Case {
        const char* what;
        winsim::Signature signature;
        std::vector<std::string> verifies;
        std::string reasonKind, reason;  // none: started; "launch": the launch error
        std::function<void(winsim::Machine&)> arrange = nullptr;
        std::string startedFrom = kSetupFolder;
        std::function<void(winsim::Machine&)> leaves = nullptr;  // what the package leaves in its folder
        std::vector<std::u16string> atRestart = {};
    };
    const std::u16string package = u"C:\\한 Setup\\SQLEXPRADV_x64_JPN.exe", upper = u"C:\\한 SETUP\\SQLEXPRADV_X64_JPN.EXE";
    const std::u16string made = u"C:\\PROGRAMDATA\\DBSETUP-0123456789ABCDEF", deep = made + u"\\" + std::u16string(200, u'D');
    // What the package leaves: a read-only file and folder, a link, a file in use and a path past MAX_PATH.
    const auto tree = [&](winsim::Machine& m) {
        m.folders[made + u"\\X"], m.folders[made + u"\\X\\LINK"].link = true, m.folders[u"C:\\DATA"];
        m.folders[made + u"\\RO"].attributes = FILE_ATTRIBUTE_READONLY, m.AddFile(made + u"\\RO\\F", "e");
        m.folders[deep], m.folders[deep + u"\\" + std::u16string(200, u'E')];
        m.AddFile(deep + u"\\" + std::u16string(200, u'E') + u"\\F", "f");
        m.AddFile(made + u"\\X\\A.DLL", "a", FILE_ATTRIBUTE_READONLY), m.AddFile(made + u"\\B.LOG", "b");
        m.AddFile(made + u"\\X\\IN USE.DLL", "c"), m.AddFile(u"C:\\DATA\\KEEP", "d");
        m.openedByOthers[made + u"\\X\\IN USE.DLL"] = {GENERIC_READ, FILE_SHARE_READ};
    };
    // The machine's ProgramData recorded as value, on a machine arranged by more.
    const auto programData = [](std::u16string value, std::function<void(winsim::Machine&)> more = nullptr) {
        return [=](winsim::Machine& m) {
            m.SetWideString(winsim::RegView::NATIVE, winsim::kProfileList, "ProgramData", value);
            if (more)
                more(m);
        };
    };
    // A build pinned to the package beside us with its last byte changed by apart.
    const auto pinned = [&](char apart, bool cryptFails) {
        return [=](winsim::Machine& m) {
            std::string bytes = m.BytesOf(package);
            bytes.back() ^= apart;
            m.packagePin = winsim::Sha256(bytes), m.cryptFails = cryptFails;
        };
    };
    const Case cases[] = {
        {"valid Microsoft signature", {}, once, "", ""},
        {"another reader beside us", {}, once, "", "", [&](winsim::Machine& m) { m.openedByOthers[upper] = {GENERIC_READ, FILE_SHARE_READ}; }},
        {"the package's folder re-pointed once it is opened", {}, once, "", "", [&](winsim::Machine& m) {
             m.afterOpen = [&m, &package](const std::u16string&) { m.AddExecutable(package, {0, 0, {}, {TRUST_E_NOSIGNATURE}}); };
         }},
        {"the first name drawn already taken", {}, once, "", "", [&](winsim::Machine& m) { m.folders[made]; },
         "C:\\ProgramData\\DBSetup-0123456789ABCDF0"},
        {"Windows on another drive, ProgramData in other case", {}, once, "", "",
         programData(u"%systemDRIVE%\\ProgramData", [](winsim::Machine& m) { m.windowsFolder = u"D:\\OS", m.folders[u"D:\\PROGRAMDATA"]; }),
         "D:\\ProgramData\\DBSetup-0123456789ABCDEF"},
        {"ProgramData as a plain path, with a backslash at its end", {}, once, "", "",
         programData(u"E:\\Data\\Programs\\", [](winsim::Machine& m) { m.folders[u"E:\\DATA\\PROGRAMS"]; }),
         "E:\\Data\\Programs\\DBSetup-0123456789ABCDEF"},
        {"ProgramData not recorded", {}, {}, "launch", "", [](winsim::Machine& m) { m.Key(winsim::RegView::NATIVE, winsim::kProfileList).values.clear(); }},
        {"ProgramData with another variable", {}, {}, "launch", "", programData(u"%SystemDrive%\\%USERNAME%")},
        {"ProgramData relative", {}, {}, "launch", "", programData(u"ProgramData", [](winsim::Machine& m) { m.folders[u"PROGRAMDATA"]; })},
        {"ProgramData through its parent", {}, {}, "launch", "", programData(u"C:\\ProgramData\\..\\ProgramData")},
        {"ProgramData that is not there", {}, {}, "launch", "", programData(u"C:\\NoSuchFolder")},
        {"the package leaves a tree", {}, once, "", "", nullptr, kSetupFolder, tree,
         {made + u"\\X\\IN USE.DLL", made + u"\\X", made}},
        {"a full disk", {}, {}, "launch", "", [](winsim::Machine& m) { m.diskFreeBytes = 1 << 20; }},
        {"a disk full after the package", {}, {}, "launch", "", [](winsim::Machine& m) { m.diskFreeBytes = 2 * 1024 * 1024 + 3; }},
        {"a read error", {}, {}, "launch", "", [](winsim::Machine& m) { m.readFails = true; }},
        {"pinned, the package pinned", {}, once, "", "", pinned(0, false)},
        {"pinned, a package one byte apart", {}, {}, error, "0x80096010", pinned(1, false)},
        {"pinned, no hash to be had", {}, {}, "launch", "", pinned(0, true)},
        {"unsigned", {TRUST_E_NOSIGNATURE, TRUST_E_NOSIGNATURE}, once, error, "0x800B0100"},
        {"bad digest", {TRUST_E_BAD_DIGEST, TRUST_E_BAD_DIGEST}, once, error, "0x80096010"},
        {"explicitly distrusted", {TRUST_E_EXPLICIT_DISTRUST, kOk}, once, error, "0x800B0111"},
        {"another publisher", {kOk, kOk, u"Contoso 표 Ltd."}, once, signer, u8"Contoso 표 Ltd."},
        {"Microsoft's name and more", {kOk, kOk, u"Microsoft Corporation Ltd"}, once, signer, "Microsoft Corporation Ltd"},
        {"a NUL after Microsoft's name", {kOk, kOk, std::u16string(u"Microsoft Corporation\0x", 23)}, once, signer,
         "Microsoft Corporation?x"},
        {"Microsoft's name in lower case", {kOk, kOk, u"microsoft corporation"}, once, signer, "microsoft corporation"},
        {"root fetched when retrieval is allowed", {CERT_E_UNTRUSTEDROOT, kOk}, twice, "", ""},
        {"chain completed when retrieval is allowed", {CERT_E_CHAINING, kOk}, twice, "", ""},
        {"expired, then valid", {CERT_E_EXPIRED, kOk}, twice, "", ""},
        {"untrusted root both times", {CERT_E_UNTRUSTEDROOT, CERT_E_UNTRUSTEDROOT}, twice, error, "0x800B0109"},
        {"still being written by another program", {}, {}, "launch", "",
         [&](winsim::Machine& m) { m.openedByOthers[upper] = {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE}; }},
        {"a folder of that name", {}, {}, "launch", "", [&](winsim::Machine& m) { m.folders[upper]; }},
        {"wintrust.dll missing", {}, {}, error, "0x0000007E", [](winsim::Machine& m) { m.missingSystemDlls = {"WINTRUST.DLL"}; }},
        {"crypt32.dll missing", {}, {}, error, "0x0000007E", [](winsim::Machine& m) { m.missingSystemDlls = {"CRYPT32.DLL"}; }},
        {"an entry point missing", {}, {}, error, "0x0000007F",
         [](winsim::Machine& m) { m.missingExports = {"WTHelperGetProvSignerFromChain"}; }},
    };
    for (const Case& c : cases) {
        BeginCase(c.what);
        m.modulePath = u"C:\\한 Setup\\DBSetup.exe";
        std::string answerFile, access;
        winsim::ProcessScript script;
        script.signature = c.signature;
        script.onExit = [&] {  // while the package runs, its folder is as it was made
            answerFile = m.BytesOf(m.processes[0].program.substr(0, m.processes[0].program.rfind(u'\\')) +
                                   u"\\ConfigurationFile.ini");
            access = m.folders[winsim::UpperName(winsim::Utf16(c.startedFrom))].sddl;
            if (c.leaves)
                c.leaves(m);
        };
        m.AddExecutable(package, script);
        if (c.arrange)
            c.arrange(m);
        // Besides those there before, the tree's leaves the link's target, and the folders of the file in use.
        const size_t folders = m.folders.size() + (c.leaves ? 3 : 0);
        Launch();
        EXPECT_EQ(m.ArgsOf("WinVerifyTrust"), c.verifies);
        ASSERT_EQ(m.processes.size(), c.reasonKind.empty() ? 1u : 0u);
        if (c.reasonKind.empty()) {
            EXPECT_TRUE(m.boxes.empty());
            EXPECT_EQ(winsim::Utf8(m.processes[0].program), c.startedFrom + "\\SQLEXPRADV_x64_JPN.exe");
            EXPECT_EQ(winsim::Utf8(m.processes[0].currentFolder), c.startedFrom) << "where the package unpacks";
            EXPECT_EQ(winsim::Utf8(m.processes[0].commandLine), BoxText("setup_command", {c.startedFrom, c.startedFrom}));
            EXPECT_EQ(answerFile, m.answerFileResource);
            EXPECT_EQ(access, "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
        } else if (c.reasonKind == "launch") {
            const std::string line = BoxText("setup_command", {u8"C:\\한 Setup", u8"C:\\한 Setup"});
            EXPECT_EQ(m.ArgsOf("MessageBoxW"), LaunchErrorBox(line));
        } else {
            EXPECT_EQ(m.ArgsOf("MessageBoxW"),
                      std::vector<std::string>{"NULL, " + BoxText("package_refused", {winsim::Utf8(package), BoxText(c.reasonKind, {c.reason})}) +
                                               ", " + BoxText("launch_error_caption") + ", 0x30"});
        }
        for (const winsim::MessageBoxShown& box : m.boxes)
            EXPECT_EQ(box.foldersMade, 0u) << "the folder goes before the box";
        EXPECT_EQ(m.folders.size(), folders) << "only the folder made goes, and all in it";
        EXPECT_EQ(m.removedAtRestart, c.atRestart);
        EXPECT_EQ(m.files.size(), c.leaves ? 3u : 1u) << "the package beside us, and what the link points to, stay";
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
        PlaceSetup("C:", 0);  // the current drive's root
        PlaceSetup("DBSetup.exe", 0);
        m.AddExecutable(u"SQLEXPRADV_x64_JPN.exe", {});  // the current folder
        Launch();
        EXPECT_TRUE(m.processes.empty());
        EXPECT_EQ(m.ArgsOf("MessageBoxW"), LaunchErrorBox("SQLEXPRADV_x64_JPN.exe"));
    }
}

// Poll every 500 ms, drain, ask the exit code; whatever cannot be asked of
// the process handle, the wait ends.
TEST_F(SetupLaunchTest, WaitLoopPollsUntilTheChildEnds)
{
    struct Case {
        DWORD runMs;
        DWORD exitCode;
        size_t polls;
        bool exitCodeFails = false, waitFails = false;
    };
    const Case cases[] = {
        {0, 0, 1}, {499, 0, 1}, {500, 0, 1}, {501, 1, 2}, {3000, 0, 6}, {3000, 259, 6}, {600000, 1603, 1200},
        {1200, 0, 3, true}, {1200, 0, 1, true, true},
    };
    for (const Case& c : cases) {
        BeginCase("runs " + std::to_string(c.runMs) + " ms, exit code " + std::to_string(c.exitCode) +
                  (c.exitCodeFails ? " unreadable" : "") + (c.waitFails ? ", handle cannot be waited on" : ""));
        PlaceSetup("C:\\Setup", c.runMs, c.exitCode);
        m.getExitCodeFails = c.exitCodeFails;
        m.waitFails = c.waitFails;
        Launch();
        ASSERT_EQ(m.ArgsOf("MsgWaitForMultipleObjects").size(), c.polls);
        EXPECT_EQ(m.nowMs, (DWORD)(500 * c.polls)) << "the end is noticed at the first poll after it";
        EXPECT_TRUE(m.boxes.empty());
    }
}

TEST_F(SetupLaunchTest, QueueIsDrainedAndQuitDoesNotEndTheWait)
{
    PlaceSetup("C:\\Setup", 2000);
    m.incoming = {{100, WM_USER + 1}, {150, WM_QUIT}, {160, WM_USER}, {1700, WM_USER + 2}};
    Launch();
    std::vector<UINT> dispatched;
    for (const MSG& msg : m.dispatched)
        dispatched.push_back(msg.message);
    EXPECT_EQ(dispatched, (std::vector<UINT>{WM_USER + 1, WM_QUIT, WM_USER, WM_USER + 2}));
    EXPECT_EQ(m.ArgsOf("PeekMessageA")[0], "msg, NULL, 0, 0, 1");
    EXPECT_EQ(m.nowMs, 2200u) << "the child's end is seen at the first poll after it";
}

TEST_F(SetupLaunchTest, PumpRemovesEveryWaitingMessage)
{
    m.incoming = {{0, WM_USER}, {0, WM_USER + 1}, {0, WM_QUIT}};
    PumpWaitingMessages();
    EXPECT_EQ(m.dispatched.size(), 3u);
}

}  // namespace
