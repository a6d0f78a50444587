#include "installer_app.h"

#include "afxmsgbox.h"
#include "install_check.h"
#include "messages.h"
#include "product_constants.h"
#include "restart.h"
#include "setup_launch.h"
#include "sql_detect.h"

CInstallerApp theApp;

static_assert(MB_ICONEXCLAMATION == 0x30 && MB_ICONINFORMATION == 0x40 && MB_OK == 0, "box styles");
static_assert((MB_OKCANCEL | MB_ICONQUESTION | MB_TOPMOST) == 0x00040021, "restart question style");

CInstallerApp::CInstallerApp() {}

CInstallerApp::~CInstallerApp() {}

BOOL CInstallerApp::InitInstance()
{
    AfxEnableControlContainer(NULL);
    Enable3dControls();

    CString strSetupTitle;
    strSetupTitle.Format(kSetupTitleFormat, szTargetProduct);

    CInstallCheck check;
    InstallCheckResult result;

    // Existing installation: a known engine ends the run before any OS check.
    const SqlKind installed = DetectSqlServer();
    if (installed != SQL_NONE && installed != SQL_UNKNOWN) {
        const bool needsUpgrade = installed >= SQL_MSDE7 && installed <= SQL_MSDE2000;
        CString text;
        text.Format(needsUpgrade ? kUpgradeRequiredText : kAlreadyInstalledText,
                    (const char*)GetSqlServerName(installed));
        AfxShowMessageBox((const char*)text, (const char*)strSetupTitle,
                          needsUpgrade ? MB_ICONEXCLAMATION : MB_ICONINFORMATION);
        return FALSE;
    }

    // Target OS.
    check.CheckTargetOs(result);
    if (result.nStatus == CHECK_REFUSED) {
        AfxMessageBox(result.strMessage, MB_ICONEXCLAMATION, 0);
        return FALSE;
    }

    // Install: only the registry afterwards tells whether it worked. The
    // package's folder goes once the last box is answered: removing what it
    // extracted may take long, and must not hold the verdict back.
    CSetupFolder setupFolder;
    LaunchSqlSetup(setupFolder);
    if (DetectSqlServer() != SQL_2017) {
        CString text;
        text.Format(kInstallFailedText, szTargetProduct);
        AfxMessageBox(text, MB_OK, 0);
        return FALSE;
    }
    // Only OK restarts: a box that cannot be shown returns 0.
    const bool restart = AfxMessageBox(kRestartQuestion, MB_OKCANCEL | MB_ICONQUESTION | MB_TOPMOST, 0) == IDOK;
    setupFolder.Remove();  // before the restart ends the session
    if (restart)
        RestartWindows();
    return FALSE;
}
