// The application object, its message boxes and the entry that drives it.
#pragma once

#include <windows.h>

#include "afxstr.h"

class CWinApp {
public:
    // A null name makes the title the executable's file name without its
    // extension, taken when the entry runs.
    explicit CWinApp(const char* appName = NULL);
    virtual ~CWinApp();

    virtual BOOL InitInstance();

    // The system draws 3D controls itself; nothing is loaded for them.
    BOOL Enable3dControls();

    const char* m_pszAppName;

private:
    friend int AfxWinMain();
    void TakeTitleFromModule();

    CString m_strAppName;
    bool m_bTitleFromModule;
};

CWinApp* AfxGetApp();

// We host no OLE controls; kept so applications start up the usual way.
void AfxEnableControlContainer(void* lockManager = NULL);

// A box owned by no window, captioned with the application title.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = (UINT)-1);

// Calls InitInstance of the one application object once. The process then
// ends: our applications do all their work there and open no window, so there
// is no message loop to enter.
int AfxWinMain();
