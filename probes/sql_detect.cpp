#include "sql_detect.h"

#include <limits.h>
#include <stdlib.h>

#include "product_constants.h"
#include "token_splitter.h"

namespace {

const char kInstanceSetupKey[] = "SOFTWARE\\Microsoft\\Microsoft SQL Server\\%s\\Setup";
const char kInstanceVersionKey[] =
    "SOFTWARE\\Microsoft\\Microsoft SQL Server\\%s\\MSSQLServer\\CurrentVersion";
const char kLegacySetupKey[] = "SOFTWARE\\Microsoft\\MSSQLServer\\Setup";
const char kMsde2000Marker[] = "MSSQL$VALTERNADB";

static_assert(KEY_READ == 0x20019 && (KEY_READ | KEY_WOW64_64KEY) == 0x20119 && KEY_QUERY_VALUE == 1, "registry access");

const int kValueBufferSize = 260;

struct SqlNameRow {
    SqlKind kind;
    const char* name;
};

const char kUnknownSqlName[] = "不明";

const SqlNameRow kSqlNames[] = {
    {SQL_UNKNOWN, kUnknownSqlName},
    {SQL_NONE, "なし"},
    {SQL_MSDE7, "MSDE 7"},
    {SQL_MSDE2000, "MSDE 2000"},
    {SQL_2005, "Microsoft SQL Server 2005"},
    {SQL_2008, "Microsoft SQL Server 2008"},
    {SQL_2008R2, "Microsoft SQL Server 2008 R2"},
    {SQL_2012, "Microsoft SQL Server 2012"},
    {SQL_2014, "Microsoft SQL Server 2014"},
    {SQL_2016, "Microsoft SQL Server 2016"},
    {SQL_2017, "Microsoft SQL Server 2017"},
};

enum InstanceValueStatus {
    INSTANCE_KEY_MISSING,
    INSTANCE_VALUE_UNREADABLE,
    INSTANCE_VALUE_READ,
};

// Opens the instance key first in the default view (the 32-bit one for us on
// 64-bit Windows), then in the 64-bit view, reads one value as text and closes
// the key. The value's type is not checked; the text ends at its first NUL or
// after the buffer, whose terminator stays in place.
InstanceValueStatus ReadInstanceValue(const char* keyFormat, const char* valueName, CString& value)
{
    CString path;
    path.Format(keyFormat, szInstanceName);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return INSTANCE_KEY_MISSING;
    DWORD size = kValueBufferSize;
    LONG status = RegQueryValueExA(key, valueName, NULL, NULL,
                                   (LPBYTE)value.GetBuffer(kValueBufferSize), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        value.ReleaseBuffer(0);
        return INSTANCE_VALUE_UNREADABLE;
    }
    value.ReleaseBuffer(-1);
    return INSTANCE_VALUE_READ;
}

SqlKind DetectLegacyEngine()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLegacySetupKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return SQL_NONE;
    RegCloseKey(key);
    return SQL_MSDE7;
}

// Like atoi for the numbers a version holds, but defined for any text: a
// number beyond int saturates instead of overflowing.
int ParseVersionNumber(const CString& token)
{
    long value = strtol(token, NULL, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return (int)value;
}

SqlKind ClassifySqlServerVersion(int major, int minor)
{
    switch (major) {
    case 9:
        return SQL_2005;
    case 10:
        return minor >= 50 ? SQL_2008R2 : SQL_2008;
    case 11:
        return SQL_2012;
    case 12:
        return SQL_2014;
    case 13:
        return SQL_2016;
    case 14:
        return SQL_2017;
    default:
        return SQL_UNKNOWN;
    }
}

}  // namespace

SqlKind DetectSqlServer()
{
    CString sqlPath;
    switch (ReadInstanceValue(kInstanceSetupKey, "SQLPath", sqlPath)) {
    case INSTANCE_KEY_MISSING:
        return DetectLegacyEngine();
    case INSTANCE_VALUE_UNREADABLE:
        return SQL_UNKNOWN;
    case INSTANCE_VALUE_READ:
        break;
    }
    if (sqlPath.Find(kMsde2000Marker) >= 0)
        return SQL_MSDE2000;
    int major, minor;
    if (!ReadSqlServerVersion(&major, &minor))
        return SQL_UNKNOWN;
    return ClassifySqlServerVersion(major, minor);
}

BOOL ReadSqlServerVersion(int* pMajor, int* pMinor)
{
    *pMajor = -1;
    *pMinor = -1;
    CString version;
    if (ReadInstanceValue(kInstanceVersionKey, "CurrentVersion", version) != INSTANCE_VALUE_READ)
        return FALSE;
    CTokenSplitter splitter;
    splitter.m_strDelimiters = ".";
    splitter.Split(version);
    const CString major = splitter.GetToken(0);
    if (!major.IsEmpty())
        *pMajor = ParseVersionNumber(major);
    const CString minor = splitter.GetToken(1);
    if (!minor.IsEmpty())
        *pMinor = ParseVersionNumber(minor);
    return *pMajor != -1;
}

CString GetSqlServerName(int kind)
{
    for (const SqlNameRow& row : kSqlNames) {
        if (row.kind == kind)
            return CString(row.name);
    }
    return CString(kUnknownSqlName);
}
