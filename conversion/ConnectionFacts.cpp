// Cuts the driver, the server and the login style out of a completed connect string.
#include "ConnectionAnalysis.h"

namespace {

bool IsSqlServerDriver(const CString& driver) {
    const CString upper = CString(driver).MakeUpper();
    return upper.Find(u"SQL SERVER") >= 0 || upper.Find(u"SQL NATIVE CLIENT") >= 0;
}

bool IsYes(const CString& value) {
    const CString trimmed = CString(value).Trim();
    return trimmed.CompareNoCase(u"YES") == 0 || trimmed.CompareNoCase(u"TRUE") == 0;
}

}  // namespace

bool IsEncryptionKey(const CString& key) {
    for (const char16_t* carried :
         {u"Encrypt", u"TrustServerCertificate", u"HostNameInCertificate", u"ServerCertificate"})
        if (key.CompareNoCase(carried) == 0)
            return true;
    return false;
}

ConnectionFacts ReadConnectionFacts(const CString& completedConnect) {
    const ConnectItems items = ParseConnectString(completedConnect);
    ConnectionFacts facts;
    facts.driver = ItemValue(items, u"DRIVER").value_or(CString());
    facts.trustedConnection = IsYes(ItemValue(items, u"TRUSTED_CONNECTION").value_or(CString()));
    if (IsSqlServerDriver(facts.driver)) {
        facts.driverKind = kSqlServerDriver;
        facts.server = ItemValue(items, u"SERVER").value_or(CString());
    } else {
        facts.server = kUnknownServer;
    }
    for (const auto& item : items)
        if (IsEncryptionKey(item.first))
            facts.encryptionItems.push_back(item);
    return facts;
}

bool NamesKnownServer(const CString& driver, const CString& server) {
    return !driver.IsEmpty() && !server.IsEmpty() && server != kUnknownServer;
}
