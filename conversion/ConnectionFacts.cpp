// Cuts the driver, the server and the login style out of a completed connect string.
#include "ConnectionAnalysis.h"

namespace {

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
