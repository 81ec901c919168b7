// Opens the company's connection and reads what its completed connect string tells.
#include "ConnectionAnalysis.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

namespace {
constexpr int kErrorMessageLimit = 255;
}

bool CDaltrixDlg::AnalyzeCompanyConnection() {
    // A repeated run gets a fresh connection instead of a second open on the first one.
    m_serverDb.Close();
    bool opened = false;
    PrepareLoginPrompt(m_serverDb);
    try {
        opened = m_serverDb.OpenEx(m_companyConnect, 0);
    } catch (const CException& e) {
        AddLog(logfmt::kCannotOpenDbWithError, {e.GetErrorMessage().Left(kErrorMessageLimit)});
        return false;
    }
    if (!opened || !m_serverDb.IsOpen()) {
        AddLog(logfmt::kCannotOpenDb);
        return false;
    }

    ConnectionFacts facts{m_trustedConnection, m_driverKind, m_driver, m_server};
    ReadConnectionFacts(m_serverDb.GetConnect(), facts);
    m_trustedConnection = facts.trustedConnection;
    m_driverKind = facts.driverKind;
    m_driver = facts.driver;
    m_server = facts.server;
    return true;
}
