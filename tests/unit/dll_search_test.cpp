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
        bool hasSetDefault, hasSetDllDirectory;
        const char* search;
    };
    const Case cases[] = {
        {"Windows 8 and later", true, true, "system32 only"},
        {"Windows 7 before its 2011 update", false, true, "without current folder"},
        {"Windows XP before SP1, 2000", false, false, "standard"},
    };
    for (const Case& c : cases) {
        BeginCase(c.windows);
        m.kernel32HasSetDefaultDllDirectories = c.hasSetDefault;
        m.kernel32HasSetDllDirectory = c.hasSetDllDirectory;
        AfxRestrictDllSearch();
        EXPECT_EQ(m.dllSearch, c.search);
    }
}

}  // namespace
