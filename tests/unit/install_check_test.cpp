#include <string>

#include "box_texts.h"
#include "install_check.h"
#include "sim_fixture.h"

namespace {

class InstallCheckTest : public SimTest {};

const std::string kProduct = BoxText("product");
const std::string kUnrecognised = BoxText("os_unknown", {kProduct});

std::string TooOld(const std::string& os)
{
    return BoxText("os_too_old", {os, kProduct});
}

std::string ThirtyTwoBit(const std::string& os)
{
    return BoxText("os_32bit", {os, kProduct});
}

TEST_F(InstallCheckTest, VerdictAndTextForEachWindows)
{
    struct Case {
        DWORD major, minor;
        bool is64Bit;
        int status;
        std::string message;
        bool queryFails = false;
    };
    const Case cases[] = {
        {6, 2, true, CHECK_OK, ""},  // Windows 8 and everything later without a manifest
        {6, 3, true, CHECK_OK, ""},
        {10, 0, true, CHECK_OK, ""},
        {6, 2, false, CHECK_REFUSED, ThirtyTwoBit("Windows 8")},
        {6, 3, false, CHECK_REFUSED, ThirtyTwoBit("Windows 8.1")},
        {10, 0, false, CHECK_REFUSED, ThirtyTwoBit("Windows 10")},
        {6, 1, true, CHECK_REFUSED, TooOld("Windows 7")},
        {6, 1, false, CHECK_REFUSED, TooOld("Windows 7")},
        {6, 0, true, CHECK_REFUSED, TooOld("Windows Vista")},
        {5, 2, true, CHECK_REFUSED, TooOld("Windows Server 2003")},
        {5, 1, false, CHECK_REFUSED, TooOld("Windows XP")},
        {5, 0, false, CHECK_REFUSED, TooOld("Windows 2000")},
        {6, 4, true, CHECK_REFUSED, kUnrecognised},  {5, 3, true, CHECK_REFUSED, kUnrecognised},
        {4, 0, false, CHECK_REFUSED, kUnrecognised}, {10, 1, true, CHECK_REFUSED, kUnrecognised},
        {11, 0, true, CHECK_REFUSED, kUnrecognised}, {6, 2, true, CHECK_REFUSED, kUnrecognised, true},
    };
    for (const Case& c : cases) {
        BeginCase(std::to_string(c.major) + "." + std::to_string(c.minor) + (c.is64Bit ? " 64-bit" : " 32-bit") +
                  (c.queryFails ? ", the version query failing" : ""));
        m.getVersionFails = c.queryFails;
        m.majorVersion = c.major;
        m.minorVersion = c.minor;
        m.is64BitWindows = c.is64Bit;
        CInstallCheck check;
        InstallCheckResult result;
        check.CheckTargetOs(result);
        EXPECT_EQ(result.nStatus, c.status);
        EXPECT_EQ(std::string(result.strMessage), Cp932(c.message));
    }
}

}  // namespace
