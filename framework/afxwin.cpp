#include "afxwin.h"

#include "afxmodule.h"

namespace {

CWinApp* g_app;

}  // namespace

CWinApp::CWinApp(const char* appName)
    : m_pszAppName(NULL), m_strAppName(appName), m_bTitleFromModule(appName == NULL)
{
    g_app = this;
    m_pszAppName = m_strAppName;
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
    if (!m_bTitleFromModule)
        return;
    // Cut as Windows holds the name, then shown without best fit: never at a
    // character that only became a backslash in conversion.
    const CStringW path = AfxGetModuleFileName();
    CStringW name = path.Mid(path.ReverseFind('\\') + 1);
    const int dot = name.ReverseFind('.');
    if (dot >= 0)
        name = name.Left(dot);
    AfxConvertToAnsi(name, m_strAppName);
    m_pszAppName = m_strAppName;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

void AfxEnableControlContainer(void* /*lockManager*/) {}

int AfxMessageBox(const char* text, UINT type, UINT /*helpId*/)
{
    return MessageBoxA(NULL, text, g_app != NULL ? g_app->m_pszAppName : NULL, type);
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
