// Lists the companies of the old system database, each new row on top.
#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

#include "conversion/ConnectionAnalysis.h"
#include "conversion/SystemTables.h"

#include "platform/QueryRows.h"

#include <algorithm>

bool CDaltrixDlg::LoadCompanyList() {
    // A second "Starta" starts over: a fresh connection and a list that holds each company once.
    m_sysDb.Close();
    m_companyList.DeleteAllItems();
    m_companies.clear();
    m_companiesListed = false;

    const CString connect = CString(u"FILEDSN=") + ConnectValue(m_localSysDsn);
    bool opened = false;
    PrepareLoginPrompt(m_sysDb);
    try {
        opened = m_sysDb.OpenEx(connect, 0);
    } catch (const CDBException& e) {
        AddLog(logfmt::kCannotOpenSystemDb, {e.m_strError});
        return false;
    } catch (const CFileDsnRefused& e) {
        AddLog(logfmt::kFileDsnRefused, {e.Path(), FileDsnRefusalText(e.Refusal())});
        return false;
    }
    if (!opened) {
        // The operator cancelled the driver's login prompt.
        AddLog(logfmt::kCannotOpenSystemDb, {CString(logfmt::kLoginCancelled)});
        return false;
    }

    // Every row is read before the list shows any, so a read that breaks off leaves no half list
    // for a conversion to copy.
    std::vector<Row> companies;
    try {
        companies = QueryRows(m_sysDb, u"select Nummer, Namn, FileDSN from TQ_FORETAG");
    } catch (const CDBException& e) {
        AddLog(logfmt::kCannotReadCompanyList, {e.m_strError});
        return false;
    }
    // Each row goes on top, so the list shows the last row read first; the rows are kept in the
    // list's order with their values whole, since a list control cuts a text at a zero character.
    for (Row& company : companies) {
        for (auto& value : company)
            if (value)
                value = WithoutZeroPadding(*value);
        company.resize(3);
        const int row = m_companyList.InsertItem(0, VisibleText(company[0].value_or(CString())));
        m_companyList.SetItemText(row, 1, VisibleText(company[1].value_or(CString())));
        m_companyList.SetItemText(row, 2, VisibleText(company[2].value_or(CString())));
        m_companies.push_back(std::move(company));
    }
    std::reverse(m_companies.begin(), m_companies.end());
    m_companiesListed = true;
    AddLog(logfmt::kDoubleClickCompany);
    return true;
}
