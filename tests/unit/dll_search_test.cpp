#include "afxdllsearch.h"
#include "sim_fixture.h"

namespace {

class DllSearchTest : public SimTest {};

TEST_F(DllSearchTest, SystemFolderOnlyWhereWindowsCan)
{
    struct Case {
        const char* windows;
        bool hasSetDefault, hasSetDllDirectory;
        const char* search;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"Windows 8 and later", true, true, "system32 only",
         {"GetModuleHandleA", "GetProcAddress", "SetDefaultDllDirectories"}},
        {"Windows 7 before its 2011 update", false, true, "without current folder",
         {"GetModuleHandleA", "GetProcAddress", "GetProcAddress", "SetDllDirectoryA"}},
        {"Windows XP before SP1, 2000", false, false, "standard",
         {"GetModuleHandleA", "GetProcAddress", "GetProcAddress"}},
    };
    for (const Case& c : cases) {
        BeginCase(c.windows);
        m.kernel32HasSetDefaultDllDirectories = c.hasSetDefault;
        m.kernel32HasSetDllDirectory = c.hasSetDllDirectory;
        AfxRestrictDllSearch();
        EXPECT_EQ(m.dllSearch, c.search);
        EXPECT_EQ(m.FunctionSequence(), c.calls);
        EXPECT_EQ(m.ArgsOf("GetModuleHandleA"), std::vector<std::string>{"kernel32.dll"});
    }
}

TEST_F(DllSearchTest, ArgumentsAreTheSystemFolderFlagAndAnEmptyFolder)
{
    AfxRestrictDllSearch();
    EXPECT_EQ(m.ArgsOf("SetDefaultDllDirectories"), std::vector<std::string>{"0x800"});
    BeginCase("without SetDefaultDllDirectories");
    m.kernel32HasSetDefaultDllDirectories = false;
    AfxRestrictDllSearch();
    EXPECT_EQ(m.ArgsOf("SetDllDirectoryA"), std::vector<std::string>{"\"\""});
}

}  // namespace
