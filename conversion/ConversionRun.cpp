// A double-click in the company list runs the whole conversion for the selected company.
#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"
#include "conversion/ConnectionAnalysis.h"
#include "conversion/SystemTables.h"
#include "dsn/CompanyDsnCopy.h"

#include "res/resource.h"

void CDaltrixDlg::OnDblclkCompanyList(NMHDR* /*header*/, LRESULT* result) {
    // Set first, so the value is 0 also when a stage's exception ends the run.
    if (result)
        *result = 0;
    ConvertCompany(m_companyList.GetSelectionMark());
}

CString CompanyConnectString(const CString& exeDir, const CString& companyNo) {
    // Braced when the tool's folder holds a ";" or the like, so the path reaches the file whole.
    const CString path = exeDir + CString::Format(u"tq%04d.dsn", {DsnFileNumber(companyNo)});
    return CString(u"FILEDSN=") + ConnectValue(path) + u";";
}

RunOutcome CDaltrixDlg::ConvertCompany(int row) {
    if (row < 0)
        return RunOutcome::NotRun;
    m_companyNo = m_companyList.GetItemText(row, 0);
    AddLog(logfmt::kCompanyChosen, {m_companyNo});
    m_companyConnect = CompanyConnectString(m_exeDir, m_companyNo);
    AddLog(logfmt::kDsnIs, {m_companyConnect});
    // Without the one parameter row the product reads, nothing is created, copied or written.
    if (!ReadOldParameterRow()) {
        AddLog(logfmt::kConversionStopped, {m_installDir});
        return RunOutcome::Stopped;
    }

    if (!AnalyzeCompanyConnection()) {
        AddLog(logfmt::kNoServerAddress);
        return RunOutcome::Stopped;
    }
    AddLog(logfmt::kServerIs, {m_server});
    // A system DSN must name a server the product can reach: nothing is created, copied or
    // written for a company whose connection names none.
    if (!NamesKnownServer(m_driver, m_server)) {
        AddLog(logfmt::kServerUnknown);
        return RunOutcome::Stopped;
    }

    if (!SystemDatabaseExists()) {
        CreateSystemDatabase();
    } else if (!CompleteSystemDatabase()) {
        AddLog(logfmt::kConversionStopped, {m_installDir});
        return RunOutcome::Stopped;
    }
    MigrateSystemData();
    AddLog(logfmt::kUpdateFinished);

    // The installation folder changes only once Varnik_tqsys is proven or the operator agreed.
    m_findingsAccepted = false;
    if (!VerifySystemDatabase())
        return RunOutcome::Stopped;
    if (!BackupSystemDsn())
        return RunOutcome::Stopped;
    if (!WriteSystemDsn())
        return RunOutcome::Stopped;
    AddLog(logfmt::kDsnCreated);
    AddLog(logfmt::kConversionDone);
    GetDlgItem(IDC_START)->EnableWindow(false);

    AddLog(logfmt::kCopyingCompanyDsns);
    const CompanyDsnCopyResult copied = CopyCompanyDsnFiles(m_exeDir, m_installDir);
    for (const auto& [name, keptAs] : copied.kept)
        AddLog(logfmt::kCompanyDsnKept, {name, keptAs});
    CString byHand;
    for (const auto& [name, reason] : copied.failed) {
        AddLog(logfmt::kCannotCopy, {name, reason});
        byHand += (byHand.IsEmpty() ? u"" : u", ") + name;
    }
    if (!byHand.IsEmpty()) {
        AddLog(logfmt::kDoneCopyByHand, {m_installDir, byHand});
        return RunOutcome::RepointedWithRemarks;
    }
    AddLog(logfmt::kAllDone);
    return m_findingsAccepted ? RunOutcome::RepointedWithRemarks : RunOutcome::Proven;
}
