// Reads Varnik_tqsys back before the installation folder is touched: the product is repointed
// only at a database proven to hold what the old one held, or with the operator's consent.
#include "Verification.h"

#include "SystemTables.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

#include <map>
#include <span>
#include <utility>

namespace {

constexpr const char16_t* kIncompleteQuestion =
    u"Varnik_tqsys saknar uppgifter eller har andra värden än den gamla systemdatabasen (se loggen).\n\nOm du "
    u"fortsätter pekas Varnik Lön om till Varnik_tqsys ändå, och det som skiljer måste rättas för hand.\n\nVill du "
    u"fortsätta?";

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

// "Namn: gamla systemet 'x', Varnik_tqsys 'y'" for each column that differs, joined by "; "; a secret column
// only says that its values differ.
CString Differences(std::span<const SystemColumn> columns, const Row& old, const Row& stored) {
    CString text;
    for (size_t column = 0; column < columns.size(); ++column) {
        const auto oldValue = Field(old, column);
        const auto storedValue = Field(stored, column);
        if (SameValue(columns[column], oldValue, storedValue))
            continue;
        if (!text.IsEmpty())
            text += u"; ";
        const CString name(columns[column].name);
        text += columns[column].secret
                    ? CString::Format(logfmt::kSecretDiffers, {name})
                    : CString::Format(logfmt::kValueDiffers, {name, Shown(oldValue), Shown(storedValue)});
    }
    return text;
}

// The number a stored company row has: its int column's value, or nothing for NULL.
std::optional<int> StoredNumber(const Row& row) {
    const auto number = Field(row, 0);
    return number ? IntColumnValue(*number) : std::nullopt;
}

void CompareCompanies(const std::vector<Row>& old, const std::vector<Row>& stored, std::vector<Finding>& findings) {
    std::map<int, int> listed;
    for (const Row& company : old)
        if (const auto number = WholeNumber(Field(company, 0).value_or(CString())))
            ++listed[*number];
    std::map<int, std::vector<const Row*>> byNumber;
    for (const Row& row : stored)
        if (const auto number = StoredNumber(row))
            byNumber[*number].push_back(&row);

    std::map<int, bool> listedReported;
    std::map<int, bool> storedReported;
    for (const Row& company : old) {
        const CString text = Field(company, 0).value_or(CString());
        const auto number = WholeNumber(text);
        const auto found = number ? byNumber.find(*number) : byNumber.end();
        if (number && listed[*number] > 1 && !std::exchange(listedReported[*number], true))
            findings.push_back({logfmt::kCompanyListedTwice, {text, listed[*number]}});
        if (found == byNumber.end()) {
            findings.push_back({logfmt::kCompanyMissing, {text}});
            continue;
        }
        if (found->second.size() > 1 && !std::exchange(storedReported[*number], true))
            findings.push_back({logfmt::kCompanyStoredTwice, {text, static_cast<int>(found->second.size())}});
        const CString differences = Differences(kCompanyColumns, company, *found->second.front());
        if (!differences.IsEmpty())
            findings.push_back({logfmt::kCompanyDiffers, {text, differences}});
    }
    for (const Row& row : stored) {
        const auto number = StoredNumber(row);
        if (!number || !listed.contains(*number))
            findings.push_back({logfmt::kCompanyNotListed, {Field(row, 0).value_or(CString(u"NULL"))}});
    }
}

void CompareParameters(const Row& old, const std::vector<Row>& stored, std::vector<Finding>& findings) {
    if (stored.size() > 1)
        findings.push_back({logfmt::kParameterRowsStored, {static_cast<int>(stored.size())}});
    const SystemColumn& licensnr = kParameterColumns[kLicensnrColumn];
    for (const Row& row : stored) {
        if (!SameValue(licensnr, Field(old, kLicensnrColumn), Field(row, kLicensnrColumn)))
            continue;
        const CString differences = Differences(kParameterColumns, old, row);
        if (!differences.IsEmpty())
            findings.push_back({logfmt::kParametersDiffer, {differences}});
        return;
    }
    findings.push_back({logfmt::kParametersMissing, {}});
}

}  // namespace

std::vector<Finding> FindDifferences(const std::vector<Row>& oldCompanies, const Row& oldParameters,
                                     const std::vector<Row>& storedCompanies,
                                     const std::vector<Row>& storedParameters) {
    std::vector<Finding> findings;
    CompareCompanies(oldCompanies, storedCompanies, findings);
    CompareParameters(oldParameters, storedParameters, findings);
    return findings;
}

std::vector<Finding> CDaltrixDlg::ReadBackFindings(const Row& oldParameters) {
    // One query a table.
    const std::vector<Row> companies = QueryRows(m_serverDb, kReadBackCompanies);
    const std::vector<Row> parameters = QueryRows(m_serverDb, kSelectParameters);
    return FindDifferences(ListedCompanies(), oldParameters, companies, parameters);
}

bool CDaltrixDlg::VerifySystemDatabase() {
    std::vector<Finding> findings;
    try {
        // A session of its own sees what the product will see: only what the server has kept. It
        // also reads back after a migration whose connection broke.
        if (!m_serverDb.Reopen())
            ThrowDBException({{u"08001", logfmt::kLoginCancelled}});
        m_serverDb.ExecuteSQL(u"USE [Varnik_tqsys]");
        findings = ReadBackFindings(m_oldParameters);
    } catch (const CDBException& e) {
        // A server error may quote a value it read, the secrets' as much as any other.
        AddLog(logfmt::kCannotVerify, {WithoutSecrets(e.m_strError, m_oldParameters)});
        AddLog(logfmt::kConversionStopped, {m_installDir});
        return false;
    }
    if (findings.empty()) {
        AddLog(logfmt::kVerified, {static_cast<int>(m_companies.size())});
        return true;
    }
    for (const Finding& finding : findings)
        AddLog(finding.format, finding.args);
    if (!Ask(kIncompleteQuestion)) {
        AddLog(logfmt::kConversionStopped, {m_installDir});
        return false;
    }
    AddLog(logfmt::kGoingOnIncomplete);
    m_findingsAccepted = true;
    return true;
}
