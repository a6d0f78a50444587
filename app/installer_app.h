// The installer's application object: one pass through the installation stages.
#pragma once

#include "afxwin.h"

class CInstallerApp : public CWinApp {
public:
    CInstallerApp();
    virtual ~CInstallerApp();

    // Runs the whole installation and returns FALSE, so the process ends.
    virtual BOOL InitInstance();
};

extern CInstallerApp theApp;
