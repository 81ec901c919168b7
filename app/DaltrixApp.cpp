#include "DaltrixApp.h"

#include "DaltrixDlg.h"

namespace {
constexpr unsigned kRestartSupportOnly = 1;  // restart support, no recovery or autosave
}

CDaltrixApp theApp;

CDaltrixApp::CDaltrixApp() : CWinApp(nullptr) {
    m_dwRestartManagerSupportFlags = kRestartSupportOnly;
}

bool CDaltrixApp::InitInstance() {
    wnd::InitCommonControls();
    CWinApp::InitInstance();
    SetRegistryKey(u"Local AppWizard-Generated Applications");

    CDaltrixDlg dlg;
    dlg.m_installDir = u"C:\\Program Files\\Varnik";
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    // The process ends when the dialog closes; no message loop of the application's own.
    return false;
}
