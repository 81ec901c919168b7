#include "Exceptions.h"

#include <cstdio>

CString COleException::GetErrorMessage() const {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(m_sc) & 0xFFFFFFFFul);
    return CString(u"System error ") + CString::FromUtf8(text);
}

CDBException::CDBException(const std::vector<DiagnosticRecord>& records, int retCode) : m_nRetCode(retCode) {
    for (const auto& record : records) {
        if (!m_strError.IsEmpty())
            m_strError += u" ";
        m_strError += record.message;
        m_strStateNativeOrigin +=
            CString::Format(u"State:%s,Native:%d,Origin:%s\n", {record.state, record.native, record.origin});
    }
    if (m_strError.IsEmpty())
        m_strError = CString::Format(u"ODBC call failed (return code %d)", {retCode});
    if (!records.empty()) {
        m_sqlState = records.front().state;
        m_nativeError = records.front().native;
    }
}

void ThrowDBException(std::vector<DiagnosticRecord> records, int retCode) {
    throw CDBException(records, retCode);
}
