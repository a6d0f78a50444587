#include "afxdllsearch.h"
#include "sim_fixture.h"

namespace {

class DllSearchTest : public SimTest {};

// Where each entry is missing, and where it is there: the simulation notices
// a call of an entry Kernel32 lacks, or of SetDefaultDllDirectories with other
// flags than the system folder's (0x800).
TEST_F(DllSearchTest, SystemFolderOnlyWhereWindowsCan)
{
    struct Case {
        const char* windows;
        std::set<std::string> missing;
        const char* search;
    };
    const Case cases[] = {
        {"Windows 8 and later", {}, "system32 only"},
        {"Windows 7 before its 2011 update", {"SetDefaultDllDirectories"}, "without current folder"},
        {"Windows XP before SP1, 2000", {"SetDefaultDllDirectories", "SetDllDirectoryA"}, "standard"},
    };
    for (const Case& c : cases) {
        BeginCase(c.windows);
        m.missingExports = c.missing;
        AfxRestrictDllSearch();
        EXPECT_EQ(m.dllSearch, c.search);
    }
}

}  // namespace
