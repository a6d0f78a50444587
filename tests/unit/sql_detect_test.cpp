#include <string>
#include <vector>

#include "instance_keys.h"
#include "sim_fixture.h"
#include "sql_detect.h"

namespace {

using winsim::RegView;

class SqlDetectTest : public SimTest {
protected:
    void Install(RegView view, const std::string& version, const std::string& path = kPath2017)
    {
        m.SetString(view, kSetupKey, "SQLPath", path);
        m.SetString(view, kVersionKey, "CurrentVersion", version);
    }
};

// The generation each version gives; leading zeros are decimal.
TEST_F(SqlDetectTest, GenerationFromCurrentVersion)
{
    const struct {
        const char* version;
        SqlKind kind;
    } cases[] = {
        {"9.00.1399.06", SQL_2005}, {"10.0.1600.22", SQL_2008}, {"10.49.1", SQL_2008}, {"10.50.1600.1", SQL_2008R2},
        {"10.51", SQL_2008R2}, {"10", SQL_2008}, {"11.0.2100.60", SQL_2012}, {"12.0.2000.8", SQL_2014},
        {"13.0.1601.5", SQL_2016}, {"14.0.1000.169", SQL_2017}, {"14", SQL_2017}, {"14.", SQL_2017},
        {"15.0.2000.5", SQL_UNKNOWN}, {"8.00.194", SQL_UNKNOWN}, {"", SQL_UNKNOWN}, {"abc", SQL_UNKNOWN},
        {"abc.def", SQL_UNKNOWN}, {".5", SQL_UNKNOWN}, {"1..2", SQL_UNKNOWN}, {"-1.0", SQL_UNKNOWN},
        {"99999999999999999999.0", SQL_UNKNOWN}, {" 14.0", SQL_2017}, {"14abc.0", SQL_2017},
        {"010.050.1600.1", SQL_2008R2}, {"09.00.1399", SQL_2005}, {"-5.0", SQL_UNKNOWN},
    };
    for (const auto& c : cases) {
        BeginCase('"' + std::string(c.version) + '"');
        Install(RegView::WOW32, c.version);
        EXPECT_EQ(DetectSqlServer(), c.kind);
    }
}

TEST_F(SqlDetectTest, KeysAndViews)
{
    // A key in a view, with a value where name is not NULL, granting `allowed`.
    struct Seed {
        RegView view;
        const char* key;
        const char* name;
        const char* data;
        DWORD allowed;
    };
    const RegView n = RegView::NATIVE, w = RegView::WOW32;
    auto key = [](RegView view, const char* path, DWORD allowed = KEY_ALL_ACCESS) {
        return Seed{view, path, NULL, NULL, allowed};
    };
    auto sqlPath = [](RegView view, const char* data = "C:\\x", DWORD allowed = KEY_ALL_ACCESS) {
        return Seed{view, kSetupKey, "SQLPath", data, allowed};
    };
    auto version = [](RegView view, const char* data) {
        return Seed{view, kVersionKey, "CurrentVersion", data, KEY_ALL_ACCESS};
    };
    struct Case {
        const char* what;
        bool is64Bit;
        std::vector<Seed> seeds;
        SqlKind kind;
    };
    const Case cases[] = {
        {"nothing installed", true, {}, SQL_NONE},
        {"instance in the 64-bit view only", true, {sqlPath(n), version(n, "14.0.1000.169")}, SQL_2017},
        {"instance in the 32-bit view", true, {sqlPath(w), version(w, "10.0.1600.22")}, SQL_2008},
        {"the 32-bit view is found first", true,
         {sqlPath(w), version(w, "12.0"), sqlPath(n), version(n, "14.0")}, SQL_2014},
        {"setup and version keys in different views", true, {sqlPath(w), version(n, "13.0")}, SQL_2016},
        {"SQLPath but no version key", true, {sqlPath(n)}, SQL_UNKNOWN},
        {"setup key without SQLPath", true, {key(n, kSetupKey), version(n, "14.0")}, SQL_UNKNOWN},
        {"MSDE 2000 marker before the version", true,
         {sqlPath(w, "C:\\Program Files\\Microsoft SQL Server\\MSSQL$VALTERNADB"), version(w, "14.0")}, SQL_MSDE2000},
        {"marker case differs", true, {sqlPath(w, "C:\\mssql$valternadb"), version(w, "14.0")}, SQL_2017},
        {"legacy key only", true, {key(w, kLegacyKey)}, SQL_MSDE7},
        {"legacy key in the 64-bit view only is not looked for", true, {key(n, kLegacyKey)}, SQL_NONE},
        {"legacy key on 32-bit Windows", false, {key(n, kLegacyKey)}, SQL_MSDE7},
        {"instance on 32-bit Windows", false, {sqlPath(n), version(n, "11.0")}, SQL_2012},
        {"legacy key that may not be read at all", true, {key(w, kLegacyKey, 0)}, SQL_NONE},
        {"legacy key that may only be queried", true, {key(w, kLegacyKey, KEY_QUERY_VALUE)}, SQL_MSDE7},
        {"instance key closed to us in the 32-bit view", true,
         {sqlPath(w, "C:\\x", KEY_QUERY_VALUE), sqlPath(n), version(n, "14.0")}, SQL_2017},
    };
    for (const Case& c : cases) {
        BeginCase(c.what);
        m.is64BitWindows = c.is64Bit;
        for (const Seed& seed : c.seeds) {
            if (seed.name != NULL)
                m.SetString(seed.view, seed.key, seed.name, seed.data);
            m.Key(seed.view, seed.key).allowedAccess = seed.allowed;
        }
        EXPECT_EQ(DetectSqlServer(), c.kind);
    }
}

// Values are read as their bytes, whatever type they were stored with.
TEST_F(SqlDetectTest, ValuesOfAnyShape)
{
    struct Case {
        const char* what;
        std::string path, version;
        SqlKind kind;
    };
    const std::string nul(1, '\0'), x = "C:\\x" + nul, v14 = "14.0" + nul;
    const Case cases[] = {
        {"SQLPath of 261 bytes", std::string(261, 'p'), v14, SQL_UNKNOWN},
        {"SQLPath of exactly 260 bytes, no NUL", std::string(260, 'p'), v14, SQL_2017},
        {"marker at the very end of 260 bytes", std::string(244, 'p') + "MSSQL$VALTERNADB", v14, SQL_MSDE2000},
        {"marker at the start", "MSSQL$VALTERNADB\\Data" + nul, v14, SQL_MSDE2000},
        {"empty SQLPath", "", v14, SQL_2017},
        {"SQLPath as a DWORD", std::string("\x0E\0\0\0", 4), v14, SQL_2017},
        {"double-byte SQLPath", "C:\\ソフト\\表\\MSSQL" + nul, v14, SQL_2017},
        {"version of 261 bytes", x, "14." + std::string(258, '0'), SQL_UNKNOWN},
        {"version of exactly 260 bytes, no NUL", x, "14." + std::string(257, '0'), SQL_2017},
        {"empty version value", x, "", SQL_UNKNOWN},
        {"version as a DWORD 14", x, std::string("\x0E\0\0\0", 4), SQL_UNKNOWN},
        {"version as binary text", x, "13.0", SQL_2016},
        {"version as a multi-string", x, "12.0" + nul + "14.0" + nul + nul, SQL_2014},
        {"version with double-byte text", x, "１４.0" + nul, SQL_UNKNOWN},
    };
    for (const Case& c : cases) {
        BeginCase(c.what);
        m.SetBytes(RegView::NATIVE, kSetupKey, "SQLPath", c.path);
        m.SetBytes(RegView::NATIVE, kVersionKey, "CurrentVersion", c.version);
        EXPECT_EQ(DetectSqlServer(), c.kind);
    }
}

}  // namespace
