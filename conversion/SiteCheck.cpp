// Goes as far as a conversion can go without changing anything, and says what would stop one:
// the company's connection, Varnik_tqsys or the right to create it, every value against its
// column, the comparison with what Varnik_tqsys already holds, the company DSN files and the
// installation folder.
#include "ConnectionAnalysis.h"
#include "SystemTables.h"
#include "Verification.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"
#include "dsn/CompanyDsnCopy.h"
#include "dsn/KeptFiles.h"
#include "dsn/NarrowPath.h"
#include "dsn/WholeFiles.h"
#include "dsn/SystemDsnFiles.h"

#include "platform/ConnectString.h"
#include "platform/System.h"

#include <cerrno>
#include <random>
#include <set>

namespace {

// The check's lines: what is fine, what a conversion will do that is worth knowing, and the
// obstacles, which are counted.
class CheckLog {
public:
    explicit CheckLog(CDaltrixDlg& dialog) : m_dialog(dialog) {}
    void Fine(const CString& text) { m_dialog.AddLog(logfmt::kCheckFine, {text}); }
    void Note(const CString& text) { m_dialog.AddLog(logfmt::kCheckNote, {text}); }
    void Obstacle(const CString& text) {
        m_dialog.AddLog(logfmt::kCheckObstacle, {text});
        ++m_obstacles;
    }
    // A finding of the comparison stands in the log as the conversion's read-back would show it.
    void Obstacle(const Finding& finding) {
        m_dialog.AddLog(finding.format, finding.args);
        ++m_obstacles;
    }
    int Obstacles() const { return m_obstacles; }

private:
    CDaltrixDlg& m_dialog;
    int m_obstacles = 0;
};

CString Value(const Row& row, size_t column) {
    return column < row.size() ? row[column].value_or(CString()) : CString();
}

// What Varnik_tqsys would hold once the migration has inserted what it can: every row it holds,
// then the first listed company of each number it lacks, and the parameter row if no row has its
// licence number.
void AddWhatTheMigrationInserts(const std::vector<Row>& companies, const Row& parameters,
                                std::vector<Row>& storedCompanies, std::vector<Row>& storedParameters) {
    std::set<int> numbers;
    for (const Row& stored : storedCompanies)
        if (const auto number = IntColumnValue(Value(stored, 0)))
            numbers.insert(*number);
    for (const Row& company : companies)
        if (numbers.insert(*WholeNumber(Value(company, 0))).second)
            storedCompanies.push_back(company);
    const auto licence = IntColumnValue(Value(parameters, kLicensnrColumn));
    for (const Row& stored : storedParameters)
        if (IntColumnValue(Value(stored, kLicensnrColumn)) == licence)
            return;
    storedParameters.push_back(parameters);
}

void CheckValues(const std::vector<Row>& companies, const std::optional<Row>& oldParameters, const SystemLayout& layout,
                 CheckLog& check) {
    for (const Row& company : companies)
        if (const auto refusal = CompanyRefusal(layout.companies, company))
            check.Obstacle(CString::Format(logfmt::kCheckCompanyRefused, {Value(company, 0), *refusal}));
    if (!oldParameters)
        return;
    const Row& parameters = *oldParameters;
    if (const auto refusal = RowRefusal(kParameterColumns, layout.parameters, parameters))
        check.Obstacle(CString::Format(logfmt::kCheckParametersRefused, {*refusal}));
    // The server would refuse a number column's text that is no whole number in int range.
    for (size_t column = 0; column < kParameterColumns.size(); ++column)
        if (kParameterColumns[column].IsInt() && parameters[column] && !IntColumnValue(*parameters[column]))
            check.Obstacle(CString::Format(logfmt::kCheckParameterNoNumber,
                                           {CString(kParameterColumns[column].name), *parameters[column]}));
}

void CheckCompanyDsnFiles(const std::vector<Row>& companies, const CString& toolDir, const CString& installDir,
                          CheckLog& check) {
    int readable = 0;
    for (const Row& company : companies) {
        // A company without a whole number is an obstacle of its own already.
        if (!WholeNumber(Value(company, 0)))
            continue;
        const CString name = CString::Format(u"tq%04d.dsn", {DsnFileNumber(Value(company, 0))});
        const auto bytes = sys::ReadWholeFile(toolDir + name);
        if (!sys::PathExists(toolDir + name)) {
            check.Obstacle(CString::Format(logfmt::kCheckCompanyDsnMissing, {Value(company, 0), name}));
        } else if (!bytes || ParseFileDsn(*bytes).empty()) {
            check.Obstacle(CString::Format(logfmt::kCheckCompanyDsnUnreadable, {Value(company, 0), name}));
        } else if (!IsCompanyDsn(name)) {
            check.Note(CString::Format(logfmt::kCheckCompanyDsnByHand, {name, installDir}));
        } else {
            ++readable;
            const CString installed = installDir + u"\\" + name;
            if (sys::PathExists(installed) && !SameFileContent(toolDir + name, installed))
                check.Note(CString::Format(logfmt::kCheckCompanyDsnDiffers, {name, name}));
        }
    }
    check.Fine(CString::Format(logfmt::kCheckCompanyDsnsReadable, {readable}));
}

// Whether the folder can be written, found out with a file of its own that goes at once. It is
// created only under a name nobody holds: a file that stands there already proves nothing, and is
// never removed.
std::optional<CString> WriteRefusal(const CString& folder) {
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const CString probe =
            folder + CString::Format(u"\\daltrix-kontroll-%d.tmp", {static_cast<int>(random() & 0x7FFFFFFF)});
        const NarrowPath narrow(probe, sys::kThreadAnsiCodePage);
        const int error = sys::CreateNewFile(narrow.c_str(), {'D', 'a', 'l', 't', 'r', 'i', 'x', '\r', '\n'});
        if (error == EEXIST)
            continue;
        if (error != 0)
            return sys::ErrorNumberText(error);
        RemoveFile(probe);
        return std::nullopt;
    }
    return sys::ErrorNumberText(EEXIST);
}

void CheckInstallationFolder(const CString& installDir, CheckLog& check) {
    const CString dsn = installDir + u"\\tqsys.dsn";
    const bool own = sys::PathExists(dsn) && WrittenByThisTool(dsn);
    if (!sys::PathExists(dsn))
        check.Note(logfmt::kCheckNoSystemDsn);
    else if (own)
        check.Note(logfmt::kCheckOwnSystemDsn);
    else
        check.Fine(logfmt::kCheckProductsSystemDsn);
    if (sys::PathExists(SystemDsnBackupPath(installDir)))
        check.Note(own || !sys::PathExists(dsn) ? logfmt::kCheckBackupKept : logfmt::kCheckOlderBackup);
    if (const auto refusal = WriteRefusal(installDir))
        check.Obstacle(CString::Format(logfmt::kCheckCannotWrite, {installDir, *refusal}));
    else
        check.Fine(CString::Format(logfmt::kCheckCanWrite, {installDir}));
}

// Without the old parameter row (an obstacle of its own already) the values of the companies are
// checked, but nothing is compared.
void CheckServer(CDaltrixDlg& dialog, const std::optional<Row>& parameters, CheckLog& check) {
    CDatabase& server = dialog.m_serverDb;
    const std::vector<Row> companies = dialog.ListedCompanies();
    SystemLayout layout;
    std::vector<Row> storedCompanies;
    std::vector<Row> storedParameters;
    if (QueryRows(server, u"select 1 from sys.databases where name = 'Varnik_tqsys'").empty()) {
        const auto allowed = QueryRows(server, u"SELECT HAS_PERMS_BY_NAME(NULL, NULL, 'CREATE ANY DATABASE')");
        if (!allowed.empty() && Value(allowed.front(), 0) == CString(u"1"))
            check.Fine(logfmt::kCheckMayCreate);
        else
            check.Obstacle(logfmt::kCheckMayNotCreate);
    } else {
        server.ExecuteSQL(u"USE [Varnik_tqsys]");
        layout = ReadSystemLayout(server);
        CString blocked;
        const auto missing = MissingCreationStatements(layout, blocked);
        if (!blocked.IsEmpty())
            check.Obstacle(CString::Format(logfmt::kCheckLayoutBlocked, {blocked}));
        else if (!missing.empty())
            check.Note(logfmt::kCheckIncomplete);
        else
            check.Fine(logfmt::kCheckComplete);
        if (layout.companies.present)
            storedCompanies = QueryRows(server, kReadBackCompanies);
        if (layout.parameters.present)
            storedParameters = QueryRows(server, kSelectParameters);
    }

    CheckValues(companies, parameters, layout, check);
    if (!parameters)
        return;
    // A company without a whole number is an obstacle of its own already.
    std::vector<Row> numbered;
    for (const Row& company : companies)
        if (WholeNumber(Value(company, 0)))
            numbered.push_back(company);
    AddWhatTheMigrationInserts(numbered, *parameters, storedCompanies, storedParameters);
    for (const Finding& finding : FindDifferences(numbered, *parameters, storedCompanies, storedParameters))
        check.Obstacle(finding);
}

}  // namespace

int CDaltrixDlg::CheckCompany(int row) {
    if (row < 0)
        return -1;
    m_companyNo = m_companyList.GetItemText(row, 0);
    AddLog(logfmt::kCheckStarting, {m_companyNo});
    CheckLog check(*this);
    m_companyConnect = CompanyConnectString(m_exeDir, m_companyNo);
    AddLog(logfmt::kDsnIs, {m_companyConnect});
    Finding refusal;
    const std::optional<Row> parameters = ReadOldParameters(m_sysDb, refusal);
    if (!parameters)
        check.Obstacle(refusal);
    if (!AnalyzeCompanyConnection()) {
        check.Obstacle(logfmt::kCheckNoConnection);
    } else {
        AddLog(logfmt::kServerIs, {m_server});
        if (!NamesKnownServer(m_driver, m_server)) {
            check.Obstacle(logfmt::kCheckNoSqlServer);
        } else {
            check.Fine(CString::Format(
                logfmt::kCheckConnection,
                {m_server, m_driver,
                 CString(m_trustedConnection ? logfmt::kCheckWindowsLogin : logfmt::kCheckSqlServerLogin)}));
            try {
                CheckServer(*this, parameters, check);
            } catch (const CDBException& e) {
                check.Obstacle(CString::Format(logfmt::kCheckServerUnreadable, {e.m_strError}));
            }
        }
    }
    CheckCompanyDsnFiles(ListedCompanies(), m_exeDir, m_installDir, check);
    CheckInstallationFolder(m_installDir, check);
    if (check.Obstacles() == 0)
        AddLog(logfmt::kCheckNoObstacles, {m_companyNo});
    else
        AddLog(logfmt::kCheckObstacles, {check.Obstacles()});
    return check.Obstacles();
}
