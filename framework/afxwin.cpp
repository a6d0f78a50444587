#include "afxwin.h"

#include "afxmbcs.h"
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
    const CString path = AfxGetModuleFileName();
    // Walk by character: in code page 932 a second byte may equal '\\'.
    const char* name = path;
    const char* lastSlash = AfxMbcsFindLast(name, '\\');
    if (lastSlash != NULL)
        name = lastSlash + 1;
    const char* dot = AfxMbcsFindLast(name, '.');
    m_strAppName = dot != NULL ? CString(name).Left((int)(dot - name)) : CString(name);
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
