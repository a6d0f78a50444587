// Where SQL Server's setup registers our instance, as tests seed the registry.
#pragma once

inline constexpr char kSetupKey[] = "SOFTWARE\\Microsoft\\Microsoft SQL Server\\VALTERNADB\\Setup";
inline constexpr char kVersionKey[] =
    "SOFTWARE\\Microsoft\\Microsoft SQL Server\\VALTERNADB\\MSSQLServer\\CurrentVersion";
inline constexpr char kLegacyKey[] = "SOFTWARE\\Microsoft\\MSSQLServer\\Setup";
inline constexpr char kPath2017[] = "C:\\Program Files\\Microsoft SQL Server\\MSSQL14.VALTERNADB\\MSSQL";
