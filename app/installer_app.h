// The installer's application object: one pass through the installation stages.
#pragma once

#include "afxwin.h"

class CInstallerApp : public CWinApp {
public:
    CInstallerApp();
    virtual ~CInstallerApp();

    // Runs the whole installation. Returns FALSE, as there is no message loop
    // to enter; the entry does not read it, and the process ends either way.
    virtual BOOL InitInstance();
};

extern CInstallerApp theApp;
