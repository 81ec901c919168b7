// A verb from the command line, done as the operator would do it at the dialog: "Starta", then
// the verb on the company's row; the dialog closes with the exit code a script reads.
#include "DaltrixDlg.h"
#include "LogFormats.h"

int CDaltrixDlg::RowOfCompany(const CString& number) const {
    for (int row = 0; row < m_companyList.GetItemCount(); ++row)
        if (CString(m_companyList.GetItemText(row, 0)).Trim() == number)
            return row;
    return -1;
}

int CDaltrixDlg::RunScript() {
    AddLog(logfmt::kScriptStarted, {m_script.given});
    if (m_script.verb == ScriptCommand::Verb::Wrong) {
        AddLog(logfmt::kScriptWrongArguments, {m_script.wrong});
        return kExitWrongArguments;
    }
    if (m_script.verb == ScriptCommand::Verb::Restore) {
        switch (RestoreSystemDsn()) {
            case RestoreOutcome::Restored:
                return kExitDone;
            case RestoreOutcome::Incomplete:
                return kExitRestoreIncomplete;
            default:
                return kExitNothingChanged;
        }
    }

    OnStartClicked();
    if (!m_companiesListed)
        return kExitNothingChanged;
    const int row = RowOfCompany(m_script.company);
    if (row < 0) {
        AddLog(logfmt::kScriptNoCompany, {m_script.company});
        return kExitWrongArguments;
    }
    if (m_script.verb == ScriptCommand::Verb::Check)
        return CheckCompany(row) == 0 ? kExitDone : kExitNothingChanged;
    switch (ConvertCompany(row)) {
        case RunOutcome::Proven:
            return kExitDone;
        case RunOutcome::RepointedWithRemarks:
            return kExitRepointedWithRemarks;
        default:
            return kExitNothingChanged;
    }
}

CString FailureText(const std::exception_ptr& failure) {
    CString text;
    try {
        std::rethrow_exception(failure);
    } catch (const CException& e) {
        text = e.GetErrorMessage();
    } catch (const std::exception& e) {
        text = CString::FromUtf8(e.what());
    } catch (...) {
    }
    return text.IsEmpty() ? CString(logfmt::kFailureWithoutText) : text;
}

void CDaltrixDlg::OnRunScript() {
    int code = kExitNothingChanged;
    // Nobody would close a stop box: whatever leaves a stage, of any type, ends the run with its
    // line, so an unattended run always comes to its end.
    try {
        code = RunScript();
    } catch (...) {
        AddLog(logfmt::kScriptStopped, {FailureText(std::current_exception())});
    }
    AddLog(logfmt::kScriptEnds, {code});
    EndDialog(code);
}
