// A double-click in the company list runs the whole conversion for the selected company.
#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"
#include "conversion/ConnectionAnalysis.h"

#include "res/resource.h"

#include <climits>

namespace {

// Reads a number the way the runtime's _wtoi does: blanks, a sign, digits up to the first
// other character, 0 when no digit comes; out-of-range values saturate.
int WToI(const CString& text) {
    int pos = 0;
    const int length = text.GetLength();
    while (pos < length && (text[pos] == u' ' || (text[pos] >= u'\t' && text[pos] <= u'\r')))
        ++pos;
    bool negative = false;
    if (pos < length && (text[pos] == u'+' || text[pos] == u'-'))
        negative = text[pos++] == u'-';
    long long value = 0;
    while (pos < length && text[pos] >= u'0' && text[pos] <= u'9') {
        value = value * 10 + (text[pos++] - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

void CDaltrixDlg::OnDblclkCompanyList(NMHDR* /*header*/, LRESULT* result) {
    // Set first, so the value is 0 also when a stage's exception ends the run.
    if (result)
        *result = 0;
    const int row = m_companyList.GetSelectionMark();
    if (row < 0)
        return;

    m_companyNo = m_companyList.GetItemText(row, 0);
    AddLog(logfmt::kCompanyChosen, {m_companyNo});
    m_companyConnect = CString::Format(u"FILEDSN=%stq%04d.dsn;", {m_exeDir, WToI(m_companyNo)});
    AddLog(logfmt::kDsnIs, {m_companyConnect});

    if (!AnalyzeCompanyConnection()) {
        AddLog(logfmt::kNoServerAddress);
        return;
    }
    AddLog(logfmt::kServerIs, {m_server});
    // A system DSN must name a server the product can reach: nothing is created, copied or
    // written for a company whose connection names none.
    if (!NamesKnownServer(m_driver, m_server)) {
        AddLog(logfmt::kServerUnknown);
        return;
    }

    if (!SystemDatabaseExists())
        CreateSystemDatabase();
    MigrateSystemData();
    AddLog(logfmt::kUpdateFinished);

    // The installation folder changes only once Varnik_tqsys is proven or the operator agreed.
    if (!VerifySystemDatabase())
        return;
    if (!BackupSystemDsn())
        return;
    if (!WriteSystemDsn())
        return;
    AddLog(logfmt::kDsnCreated);
    AddLog(logfmt::kConversionDone);
    GetDlgItem(IDC_START)->EnableWindow(false);

    AddLog(logfmt::kCopyingCompanyDsns);
    CopyCompanyDsnFiles(m_exeDir, m_installDir);
    AddLog(logfmt::kAllDone);
}
