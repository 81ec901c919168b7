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
    } catch (const CFileDsnRefused& e) {
        AddLog(logfmt::kFileDsnRefused, {e.Path(), FileDsnRefusalText(e.Refusal())});
        return false;
    } catch (const CException& e) {
        AddLog(logfmt::kCannotOpenDbWithError, {e.GetErrorMessage().Left(kErrorMessageLimit)});
        return false;
    }
    if (!opened || !m_serverDb.IsOpen()) {
        AddLog(logfmt::kCannotOpenDb);
        return false;
    }

    // Every fact comes from this run's connection: nothing is kept from an earlier run's company.
    ConnectionFacts facts = ReadConnectionFacts(m_serverDb.GetConnect());
    m_trustedConnection = facts.trustedConnection;
    m_driverKind = facts.driverKind;
    m_driver = std::move(facts.driver);
    m_server = std::move(facts.server);
    m_encryptionItems = std::move(facts.encryptionItems);
    return true;
}

CString FileDsnRefusalText(const FileDsnRefusal& refusal) {
    switch (refusal.kind) {
        case FileDsnRefusal::Kind::ByteOrderMark:
            return logfmt::kFileDsnByteOrderMark;
        case FileDsnRefusal::Kind::HiddenValue:
            return CString::Format(logfmt::kFileDsnHiddenValue, {refusal.key});
        case FileDsnRefusal::Kind::LineWithoutKey:
            return logfmt::kFileDsnLineWithoutKey;
        case FileDsnRefusal::Kind::KeyWithSemicolon:
            return CString::Format(logfmt::kFileDsnKeyWithSemicolon, {refusal.key});
    }
    return CString();
}
