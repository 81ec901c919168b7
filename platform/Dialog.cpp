// The parts of the window framework that every back end shares.
#include "Window.h"

#include "Exceptions.h"
#include "PaintPacing.h"

#include <exception>

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp(const char16_t* /*appName: the module's name is used*/) {
    g_app = this;
}

CWinApp::~CWinApp() {
    g_app = nullptr;
}

bool CWinApp::InitInstance() {
    return true;
}

CWinApp* AfxGetApp() {
    return g_app;
}

bool CDialogEx::OnInitDialog() {
    CDataExchange dx(this);
    DoDataExchange(&dx);
    return true;
}

void CDialogEx::DoDataExchange(CDataExchange* /*dx*/) {
}

const MessageMap& CDialogEx::GetMessageMap() const {
    static const MessageMap none;
    return none;
}

void CDialogEx::Default() {
    m_defaultRequested = true;
}

bool CDialogEx::AskYesNo(const CString& question) {
    PaintPacing::ReleaseAll();
    return ShowYesNoQuestion(*this, question);
}

void CDialogEx::RunGuarded(const std::function<void()>& work) {
    try {
        work();
    } catch (const CException& e) {
        ShowStopMessage(*this, e.GetErrorMessage());
    } catch (const std::exception& e) {
        ShowStopMessage(*this, CString::FromUtf8(e.what()));
    }
}

bool CDialogEx::Dispatch(unsigned message, int controlId, int code, const MessageArgs& args) {
    for (const MessageMapEntry& entry : GetMessageMap()) {
        if (entry.message != message || entry.controlId != controlId || entry.code != code)
            continue;
        m_defaultRequested = false;
        RunGuarded([&] { entry.handler(*this, args); });
        PaintPacing::ReleaseAll();
        return !m_defaultRequested;
    }
    return false;
}
