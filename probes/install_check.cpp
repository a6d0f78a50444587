#include "install_check.h"

#include "os_version.h"
#include "product_constants.h"

namespace {

const char kUnrecognisedOsText[] =
    "このコンピュータのOSに %s をインストールする事はできません。\n\n"
    "インストールを中断します。";
const char kTooOldOsText[] =
    "%s に %s をインストールする事はできません。\n\n"
    "SQL Server 2014 Express 以前の SQL Server をインストールしてください。";
const char k32BitOsText[] =
    "32 bit の %s に %s をインストールする事はできません。\n\n"
    "SQL Server 2014 Express 以前の SQL Server をインストールしてください。";

}  // namespace

void CInstallCheck::CheckTargetOs(InstallCheckResult& result)
{
    const OsKind kind = GetOsKind();
    if (kind < OS_WIN2000 || kind > OS_WIN10) {
        result.nStatus = CHECK_REFUSED;
        result.strMessage.Format(kUnrecognisedOsText, szTargetProduct);
        return;
    }
    if (kind <= OS_WIN7) {
        result.nStatus = CHECK_REFUSED;
        result.strMessage.Format(kTooOldOsText, (const char*)GetOsName(kind), szTargetProduct);
        return;
    }
    // Bitness is seen only through WOW64, which holds while we are built for x86.
    if (IsWow64()) {
        result.nStatus = CHECK_OK;
        return;
    }
    result.nStatus = CHECK_REFUSED;
    result.strMessage.Format(k32BitOsText, (const char*)GetOsName(kind), szTargetProduct);
}
