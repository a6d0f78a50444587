#include "os_version.h"
#include "sim_fixture.h"

namespace {

class OsVersionTest : public SimTest {};

// The numbers as asked for with a record of 148 bytes (-1 where the query
// fails), and the versions outside the table; the install check's table
// names every Windows in it.
TEST_F(OsVersionTest, UnlistedVersionsAreUnknown)
{
    struct Case {
        int major, minor;
        bool queryFails = false;
    };
    const Case cases[] = {{6, 4}, {5, 3}, {10, 1}, {4, 0}, {11, 0}, {-1, -1}, {-1, -1, true}};
    for (const Case& c : cases) {
        BeginCase(std::to_string(c.major) + "." + std::to_string(c.minor) + (c.queryFails ? ", query failing" : ""));
        m.majorVersion = c.queryFails ? 6 : (DWORD)c.major;
        m.minorVersion = c.queryFails ? 2 : (DWORD)c.minor;
        m.getVersionFails = c.queryFails;
        int major = 0, minor = 0;
        EXPECT_EQ(GetOsVersion(&major, &minor), c.queryFails ? FALSE : TRUE);
        EXPECT_EQ(major, c.major);
        EXPECT_EQ(minor, c.minor);
        EXPECT_EQ(ClassifyOsVersion(c.major, c.minor), OS_UNKNOWN);
        EXPECT_EQ(GetOsKind(), OS_UNKNOWN);
    }
}

TEST_F(OsVersionTest, NamesOfCodesOutsideTheTableAreUnknown)
{
    for (int code : {-2, -1, 0, 9, 100}) {
        BeginCase(std::to_string(code));
        EXPECT_STREQ(GetOsName(code), "不明");
    }
}

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
        m.kernel32HasIsWow64Process = c.hasEntry;
        m.loadLibraryFails = c.loadFails;
        EXPECT_EQ(IsWow64(), c.expected);
    }
}

}  // namespace
