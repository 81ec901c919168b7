#include "DaltrixApp.h"

#include "DaltrixDlg.h"

#include "platform/System.h"

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

    const ScriptCommand script = ParseCommandLine(sys::CommandLineArguments());
    if (script.verb == ScriptCommand::Verb::Usage) {
        wnd::ShowInformation(u"Daltrix", kUsage);
        return false;
    }
    CDaltrixDlg dlg;
    dlg.m_installDir = u"C:\\Program Files\\Varnik";
    dlg.m_script = script;
    m_pMainWnd = &dlg;
    const int result = dlg.DoModal();
    m_pMainWnd = nullptr;
    // A verb's dialog closes itself with the script's exit code; the operator's closes with Avbryt.
    m_exitCode = script.verb == ScriptCommand::Verb::None ? kExitDone : result;
    // The process ends when the dialog closes; no message loop of the application's own.
    return false;
}

int CDaltrixApp::ExitInstance() {
    return m_exitCode;
}
