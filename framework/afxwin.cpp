#include "afxwin.h"

#include "afxmodule.h"
#include "afxmsgbox.h"

namespace {

CWinApp* g_app;

}  // namespace

CWinApp::CWinApp()
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = NULL;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

BOOL CWinApp::Enable3dControls()
{
    return TRUE;
}

void CWinApp::TakeTitleFromModule()
{
    // Cut as Windows holds the name: never at a character that would only
    // become a backslash in conversion.
    const CStringW path = AfxGetModuleFileName();
    m_strAppName = path.Mid(path.ReverseFind('\\') + 1);
    const int dot = m_strAppName.ReverseFind('.');
    if (dot >= 0)
        m_strAppName = m_strAppName.Left(dot);
}

CWinApp* AfxGetApp()
{
    return g_app;
}

void AfxEnableControlContainer(void* /*lockManager*/) {}

int AfxMessageBox(const char* text, UINT type, UINT /*helpId*/)
{
    return AfxShowMessageBox(text, g_app != NULL ? g_app->m_strAppName : CStringW(), type);
}

int AfxWinMain()
{
    CWinApp* app = AfxGetApp();
    if (app == NULL)
        return 1;
    app->TakeTitleFromModule();
    app->InitInstance();
    return 0;
}
