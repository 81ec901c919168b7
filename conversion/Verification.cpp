// Reads Varnik_tqsys back before the installation folder is touched: the product is repointed
// only at a database proven to hold what the old one held, or with the operator's consent.
#include "Verification.h"

#include "SystemTables.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

#include <span>
#include <unordered_map>

namespace {

constexpr const char16_t* kIncompleteQuestion =
    u"Varnik_tqsys saknar uppgifter som finns i den gamla systemdatabasen (se loggen).\n\nOm du fortsätter pekas "
    u"Varnik Lön om till Varnik_tqsys ändå, och det som saknas måste läggas in för hand.\n\nVill du fortsätta?";

std::optional<CString> Field(const Row& row, size_t column) {
    return column < row.size() ? row[column] : std::nullopt;
}

bool SameValue(const SystemColumn& column, const std::optional<CString>& sent, const std::optional<CString>& stored) {
    if (!sent || !stored)
        return !sent && !stored;
    if (column.IsInt()) {
        const auto sentNumber = IntColumnValue(*sent);
        const auto storedNumber = IntColumnValue(*stored);
        if (sentNumber && storedNumber)
            return *sentNumber == *storedNumber;
    }
    return WithoutTrailingBlanks(*sent) == WithoutTrailingBlanks(*stored);
}

CString Shown(const std::optional<CString>& value) {
    return value ? CString(u"'") + WithoutTrailingBlanks(*value) + u"'" : CString(u"NULL");
}

// "Namn: skickat 'x', lagrat 'y'" for each column that differs, joined by "; ".
CString Differences(std::span<const SystemColumn> columns, const Row& sent, const Row& stored) {
    CString text;
    for (size_t column = 0; column < columns.size(); ++column) {
        const auto sentValue = Field(sent, column);
        const auto storedValue = Field(stored, column);
        if (SameValue(columns[column], sentValue, storedValue))
            continue;
        if (!text.IsEmpty())
            text += u"; ";
        text += CString::Format(u"%s: skickat %s, lagrat %s",
                                {CString(columns[column].name), Shown(sentValue), Shown(storedValue)});
    }
    return text;
}

void CompareCompanies(const std::vector<SentCompany>& sent, const std::vector<Row>& stored,
                      std::vector<Finding>& findings) {
    std::unordered_map<int, const Row*> byNumber;
    for (const Row& row : stored)
        if (const auto number = Field(row, 0))
            if (const auto value = WholeNumber(*number))
                byNumber.emplace(*value, &row);

    for (const SentCompany& company : sent) {
        const auto number = WholeNumber(company.number);
        const auto found = number ? byNumber.find(*number) : byNumber.end();
        if (found == byNumber.end()) {
            findings.push_back({logfmt::kCompanyMissing, {company.number}});
            continue;
        }
        if (!company.inserted)
            continue;
        const CString differences =
            Differences(kCompanyColumns, {company.number, company.name, company.fileDsn}, *found->second);
        if (!differences.IsEmpty())
            findings.push_back({logfmt::kCompanyDiffers, {company.number, differences}});
    }
}

void CompareParameters(const SentParameters& sent, const std::vector<Row>& stored, std::vector<Finding>& findings) {
    const SystemColumn& licensnr = kParameterColumns[kLicensnrColumn];
    const auto sentLicensnr = Field(sent.values, kLicensnrColumn);
    for (const Row& row : stored) {
        if (!SameValue(licensnr, sentLicensnr, Field(row, kLicensnrColumn)))
            continue;
        // A row that was refused because one with its licence number is there leaves that one.
        if (!sent.inserted)
            return;
        const CString differences = Differences(kParameterColumns, sent.values, row);
        if (!differences.IsEmpty())
            findings.push_back({logfmt::kParametersDiffer, {differences}});
        return;
    }
    findings.push_back({logfmt::kParametersMissing, {}});
}

// A session of its own sees what the product will see: only what the server has kept. It also
// reads back after a migration whose connection broke. The completed connect string of the
// migration's connection needs no login prompt.
void ReopenInSystemDatabase(CDatabase& server) {
    const CString connect = server.GetConnect();
    server.Close();
    if (!server.OpenEx(connect, 0))
        ThrowDBException({{u"08001", u"inloggningen avbröts"}});
    server.ExecuteSQL(u"USE [Varnik_tqsys]");
}

}  // namespace

std::vector<Finding> FindDifferences(const MigrationRecord& sent, const std::vector<Row>& companies,
                                     const std::vector<Row>& parameters) {
    std::vector<Finding> findings;
    CompareCompanies(sent.companies, companies, findings);
    CompareParameters(sent.parameters, parameters, findings);
    return findings;
}

bool CDaltrixDlg::VerifySystemDatabase() {
    std::vector<Finding> findings;
    try {
        ReopenInSystemDatabase(m_serverDb);
        // One query a table.
        const std::vector<Row> companies = QueryRows(m_serverDb, kReadBackCompanies);
        const std::vector<Row> parameters = QueryRows(m_serverDb, kSelectParameters);
        findings = FindDifferences(m_migration, companies, parameters);
    } catch (const CDBException& e) {
        AddLog(logfmt::kCannotVerify, {e.m_strError});
        AddLog(logfmt::kConversionStopped, {m_installDir});
        return false;
    }
    if (findings.empty()) {
        AddLog(logfmt::kVerified, {static_cast<int>(m_migration.companies.size())});
        return true;
    }
    for (const Finding& finding : findings)
        AddLog(finding.format, finding.args);
    if (!AskYesNo(kIncompleteQuestion)) {
        AddLog(logfmt::kConversionStopped, {m_installDir});
        return false;
    }
    AddLog(logfmt::kGoingOnIncomplete);
    return true;
}
