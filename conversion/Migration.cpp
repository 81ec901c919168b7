// Reads the old parameter row, and copies every listed company and that row into Varnik_tqsys,
// one insert each.
#include "SystemTables.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

namespace {

// A value as a quoted SQL literal; a quote inside it is doubled, so O'Brien keeps its name.
CString SqlLiteral(const std::optional<CString>& value) {
    if (!value)
        return u"NULL";
    CString escaped = *value;
    escaped.Replace(u"'", u"''");
    return CString(u"'") + escaped + u"'";
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

std::optional<CString> InsertCompany(CDatabase& db, const SystemLayout::Table& table, const Row& company) {
    if (auto refusal = CompanyRefusal(table, company))
        return refusal;
    return Insert(db, CString::Format(u"INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES(%s,%s,%s)",
                                      {SqlLiteral(company[0]), SqlLiteral(company[1]), SqlLiteral(company[2])}));
}

std::optional<CString> InsertParameters(CDatabase& db, const SystemLayout::Table& table, const Row& values) {
    if (auto refusal = RowRefusal(kParameterColumns, table, values))
        return refusal;
    std::vector<CString::FormatArg> literals;
    for (const auto& value : values)
        literals.emplace_back(SqlLiteral(value));
    return Insert(db, CString::Format(u"INSERT INTO TQ_PARAMETRAR (Kontrollsumma, Licensagare, Licensnr, Major, "
                                      u"Max_foretag, Max_lontagare, Minor, MultiplaPerioder, Nyckel, Password, "
                                      u"Sokvag) VALUES (%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s)",
                                      literals));
}

}  // namespace

std::optional<Row> ReadOldParameters(CDatabase& oldSystem, Finding& refusal) {
    std::vector<Row> rows;
    try {
        rows = QueryRows(oldSystem, kSelectParameters);
    } catch (const CDBException& e) {
        refusal = {logfmt::kCannotReadOldParameters, {e.m_strError}};
        return std::nullopt;
    }
    if (rows.size() != 1) {
        refusal = {logfmt::kOldParameterRows, {static_cast<int>(rows.size())}};
        return std::nullopt;
    }
    for (auto& value : rows.front())
        if (value)
            value = WithoutZeroPadding(*value);
    return std::move(rows.front());
}

std::vector<Row> CDaltrixDlg::ListedCompanies() const {
    std::vector<Row> companies;
    for (const Row& listed : m_companies) {
        Row& company = companies.emplace_back();
        for (const auto& value : listed)
            company.push_back(CString(value.value_or(CString())).Trim());
        company.resize(kCompanyColumns.size(), CString());
    }
    return companies;
}

bool CDaltrixDlg::ReadOldParameterRow() {
    Finding refusal;
    auto row = ReadOldParameters(m_sysDb, refusal);
    if (!row) {
        AddLog(refusal.format, refusal.args);
        return false;
    }
    m_oldParameters = std::move(*row);
    return true;
}

bool CDaltrixDlg::MigrateSystemData() {
    bool result = true;
    AddLog(logfmt::kUpdatingSystemDb);
    m_serverDb.ExecuteSQL(u"USE [Varnik_tqsys]");
    const SystemLayout layout = ReadSystemLayout(m_serverDb);

    for (const Row& company : ListedCompanies()) {
        if (const auto failure = InsertCompany(m_serverDb, layout.companies, company)) {
            AddLog(logfmt::kCannotInsertCompany, {*company[0], *company[1], *company[2], *failure});
            result = false;
        }
    }

    AddLog(logfmt::kUpdatingParameters);
    if (const auto failure = InsertParameters(m_serverDb, layout.parameters, m_oldParameters)) {
        AddLog(logfmt::kCannotInsertParameters, {WithoutSecrets(*failure, m_oldParameters)});
        result = false;
    } else {
        AddLog(logfmt::kParametersUpdated);
    }
    return result;
}
