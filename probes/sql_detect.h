// Which SQL Server generation serves our instance, from the registry alone.
#pragma once

#include "afxstr.h"

typedef int SqlKind;

enum {
    SQL_UNKNOWN = -2,   // the instance is there but its generation cannot be told
    SQL_NONE = -1,
    SQL_MSDE7 = 0,      // only the legacy engine's key is there
    SQL_MSDE2000 = 1,
    SQL_2005 = 2,
    SQL_2008 = 3,
    SQL_2008R2 = 4,
    SQL_2012 = 5,
    SQL_2014 = 6,
    SQL_2016 = 7,
    SQL_2017 = 8,
};

SqlKind DetectSqlServer();
// The instance's "CurrentVersion" as major and minor; each -1 where missing.
// TRUE when a major version was read.
BOOL ReadSqlServerVersion(int* pMajor, int* pMinor);
CString GetSqlServerName(int kind);
