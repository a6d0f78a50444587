// The application object, its message boxes and the entry that drives it.
#pragma once

#include <windows.h>

#include "afxstrw.h"

class CWinApp {
public:
    // No name is given and there is no string table: the title is the
    // executable's file name without its extension, taken when the entry runs.
    CWinApp();
    virtual ~CWinApp();

    virtual BOOL InitInstance();

    // The system draws 3D controls itself; nothing is loaded for them.
    BOOL Enable3dControls();

private:
    friend int AfxWinMain();
    friend int AfxMessageBox(const char* text, UINT type, UINT helpId);
    void TakeTitleFromModule();

    // As Windows holds it: a name that the ANSI code page cannot show stays whole.
    CStringW m_strAppName;
};

CWinApp* AfxGetApp();

// We host no OLE controls; kept so applications start up the usual way.
void AfxEnableControlContainer(void* lockManager = NULL);

// A box owned by no window, captioned with the application title; text is
// code page 932 text, as our literals are built.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = (UINT)-1);

// Calls InitInstance of the one application object once. The process then
// ends, whatever InitInstance returned: our applications do all their work
// there and open no window, so there is no message loop to enter.
int AfxWinMain();
