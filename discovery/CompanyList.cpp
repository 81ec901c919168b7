// Lists the companies of the old system database, each new row on top.
#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

bool CDaltrixDlg::LoadCompanyList() {
    // A second "Starta" starts over: a fresh connection and a list that holds each company once.
    m_sysDb.Close();
    m_companyList.DeleteAllItems();

    const CString connect = CString(u"FILEDSN=") + m_localSysDsn;
    bool opened = false;
    PrepareLoginPrompt(m_sysDb);
    try {
        opened = m_sysDb.OpenEx(connect, 0);
    } catch (const CDBException& e) {
        AddLog(logfmt::kCannotOpenSystemDb, {e.m_strError});
        return false;
    }
    if (!opened) {
        // The operator cancelled the driver's login prompt.
        AddLog(logfmt::kCannotOpenSystemDb, {CString(u"inloggningen avbröts")});
        return false;
    }

    CRecordset companies(&m_sysDb);
    companies.Open(CRecordset::snapshot, u"select Nummer, Namn, FileDSN from TQ_FORETAG", 0);
    while (!companies.IsEOF()) {
        CString number, name, fileDsn;
        companies.GetFieldValue(0, number);
        companies.GetFieldValue(1, name);
        companies.GetFieldValue(2, fileDsn);
        const int row = m_companyList.InsertItem(0, number);
        m_companyList.SetItemText(row, 1, name);
        m_companyList.SetItemText(row, 2, fileDsn);
        companies.MoveNext();
    }
    companies.Close();
    AddLog(logfmt::kDoubleClickCompany);
    return true;
}
