// Copies every listed company and the old parameter row into Varnik_tqsys, one insert each.
#include "SystemTables.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

#include "platform/QueryRows.h"

namespace {

constexpr const char16_t* kNoValidNumber = u"Företaget saknar ett giltigt nummer";

// A value as a quoted SQL literal; a quote inside it is doubled, so O'Brien keeps its name.
CString SqlLiteral(const std::optional<CString>& value) {
    if (!value)
        return u"NULL";
    CString escaped = *value;
    escaped.Replace(u"'", u"''");
    return CString(u"'") + escaped + u"'";
}

// Why the row's values cannot go in as they are, column by column; nothing when all fit.
template <size_t N>
std::optional<CString> RowRefusal(const std::array<SystemColumn, N>& columns, const Row& values) {
    for (size_t column = 0; column < N; ++column)
        if (values[column])
            if (auto refusal = ValueRefusal(columns[column], *values[column]))
                return refusal;
    return std::nullopt;
}

// Sends the insert; the server's reason when it refuses it.
std::optional<CString> Insert(CDatabase& db, const CString& insert) {
    try {
        db.ExecuteSQL(insert);
    } catch (const CDBException& e) {
        return e.m_strError;
    }
    return std::nullopt;
}

std::optional<CString> InsertCompany(CDatabase& db, const SentCompany& company) {
    // An empty number would be stored as 0 and a wrong one refused by the server: neither names it.
    if (!WholeNumber(company.number))
        return CString(kNoValidNumber);
    const Row values{company.number, company.name, company.fileDsn};
    if (auto refusal = RowRefusal(kCompanyColumns, values))
        return refusal;
    return Insert(db,
                  CString::Format(u"INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES(%s,%s,%s)",
                                  {SqlLiteral(company.number), SqlLiteral(company.name), SqlLiteral(company.fileDsn)}));
}

std::optional<CString> InsertParameters(CDatabase& db, const Row& values) {
    if (auto refusal = RowRefusal(kParameterColumns, values))
        return refusal;
    std::vector<CString::FormatArg> literals;
    for (const auto& value : values)
        literals.emplace_back(SqlLiteral(value));
    return Insert(db, CString::Format(u"INSERT INTO TQ_PARAMETRAR (Kontrollsumma, Licensagare, Licensnr, Major, "
                                      u"Max_foretag, Max_lontagare, Minor, MultiplaPerioder, Nyckel, Password, "
                                      u"Sokvag) VALUES (%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s)",
                                      literals));
}

// The old system's first parameter row; eleven empty texts when it has none, a NULL field as NULL.
Row ReadOldParameters(CDatabase& db) {
    std::vector<Row> rows = QueryRows(db, kSelectParameters);
    return rows.empty() ? Row(kParameterColumns.size(), CString()) : std::move(rows.front());
}

CString TrimmedCell(const CListCtrl& list, int row, int column) {
    return list.GetItemText(row, column).Trim();
}

}  // namespace

bool CDaltrixDlg::MigrateSystemData() {
    m_migration = {};
    bool result = true;
    AddLog(logfmt::kUpdatingSystemDb);
    m_serverDb.ExecuteSQL(u"USE [Varnik_tqsys]");

    for (int row = 0; row < m_companyList.GetItemCount(); ++row) {
        SentCompany& company = m_migration.companies.emplace_back(SentCompany{TrimmedCell(m_companyList, row, 0),
                                                                              TrimmedCell(m_companyList, row, 1),
                                                                              TrimmedCell(m_companyList, row, 2)});
        if (const auto failure = InsertCompany(m_serverDb, company)) {
            AddLog(logfmt::kCannotInsertCompany, {company.number, company.name, company.fileDsn, *failure});
            result = false;
        } else {
            company.inserted = true;
        }
    }

    AddLog(logfmt::kUpdatingParameters);
    SentParameters& parameters = m_migration.parameters;
    parameters.values = ReadOldParameters(m_sysDb);
    if (const auto failure = InsertParameters(m_serverDb, parameters.values)) {
        AddLog(logfmt::kCannotInsertParameters, {*failure});
        result = false;
    } else {
        parameters.inserted = true;
        AddLog(logfmt::kParametersUpdated);
    }
    return result;
}
