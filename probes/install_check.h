// May the target product be installed on this Windows, and if not, why.
#pragma once

#include "afxstr.h"

enum {
    CHECK_OK = 0,
    CHECK_REFUSED = 2,
};

struct InstallCheckResult {
    InstallCheckResult() : nStatus(CHECK_OK) {}

    int nStatus;
    CString strMessage;  // the refusal text; stays empty when the check passes
};

class CInstallCheck {
public:
    virtual ~CInstallCheck() {}

    // Only 64-bit Windows 8, 8.1 and 10 (and later, which report 6.2) pass.
    void CheckTargetOs(InstallCheckResult& result);
};
