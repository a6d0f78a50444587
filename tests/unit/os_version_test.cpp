#include "os_version.h"
#include "sim_fixture.h"

namespace {

class OsVersionTest : public SimTest {};

// Kernel32 is freed whether or not IsWow64Process is there, as the
// fixture's count of open modules checks.
TEST_F(OsVersionTest, Wow64IsLookedUpAtRunTimeAndKernel32IsFreed)
{
    struct Case {
        const char* what;
        bool is64BitWindows, hasEntry, loadFails;
        BOOL expected;
    };
    const Case cases[] = {
        {"64-bit Windows", true, true, false, TRUE},
        {"32-bit Windows", false, true, false, FALSE},
        {"no IsWow64Process entry", true, false, false, FALSE},
        {"Kernel32 cannot be loaded", true, true, true, FALSE},
    };
    for (const Case& c : cases) {
        BeginCase(c.what);
        m.is64BitWindows = c.is64BitWindows;
        if (!c.hasEntry)
            m.missingExports = {"IsWow64Process"};
        m.loadLibraryFails = c.loadFails;
        EXPECT_EQ(IsWow64(), c.expected);
    }
}

}  // namespace
