// Opens the company's connection and cuts the driver, the server and the login style out of
// the connect string the driver completed.
#include "ConnectionAnalysis.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

namespace {

constexpr int kErrorMessageLimit = 255;

// The value that starts at `start` and runs to the next ";" or to the end of the text.
CString ValueAt(const CString& text, int start) {
    const int end = text.Find(u';', start);
    return end < 0 ? text.Mid(start) : text.Mid(start, end - start);
}

}  // namespace

CString MaskPassword(CString connect) {
    const int at = connect.Find(u"PWD=");
    if (at < 0)
        return connect;
    const int end = connect.Find(u';', at);
    if (end < 0)
        return connect.Left(at);
    connect.Replace(connect.Mid(at, end - at), u"********");
    return connect;
}

void ReadConnectionFacts(const CString& completedConnect, ConnectionFacts& facts) {
    // Values are cut from the masked text, so none can come from inside a password.
    const CString text = MaskPassword(completedConnect);
    const CString upper = CString(text).MakeUpper();

    if (upper.Find(u"TRUSTED_CONNECTION=YES") >= 0 || upper.Find(u"TRUSTED_CONNECTION=TRUE") >= 0)
        facts.trustedConnection = true;

    CString driver;
    const int driverAt = upper.Find(u"DRIVER=");
    if (driverAt >= 0) {
        driver = ValueAt(text, driverAt + 7);
        facts.driver = driver;
    }
    const CString driverUpper = CString(driver).MakeUpper();
    if (driverUpper.Find(u"SQL SERVER") >= 0 || driverUpper.Find(u"SQL NATIVE CLIENT") >= 0)
        facts.driverKind = kSqlServerDriver;

    if (facts.driverKind == kSqlServerDriver) {
        const int serverAt = text.Find(u"SERVER=");
        if (serverAt >= 0)
            facts.server = ValueAt(text, serverAt + 7);
    } else {
        facts.server = u"Okänd";
    }
}

bool CDaltrixDlg::AnalyzeCompanyConnection() {
    // A repeated run gets a fresh connection instead of a second open on the first one.
    m_serverDb.Close();
    bool opened = false;
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
