// Shared pieces of the native tests: temporary folders, real ODBC drivers of the tests' own,
// the SQL Server stand-in, and a dialog on the headless window layer.
#pragma once

#include "app/DaltrixDlg.h"
#include "support/LegacyDatabase.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace testing_support {

// Every name Microsoft's SQL Server drivers have had; the tests register FreeTDS under each.
inline constexpr const char* kSqlServerDriverNames[] = {
    "SQL Server",
    "SQL Native Client",
    "SQL Server Native Client 10.0",
    "SQL Server Native Client 11.0",
    "ODBC Driver 11 for SQL Server",
    "ODBC Driver 13 for SQL Server",
    "ODBC Driver 17 for SQL Server",
    "ODBC Driver 18 for SQL Server",
};

// While alive, unixODBC finds the drivers of the tests' own: SQLite3, FreeTDS under the names a
// company DSN may give it, a driver whose connect reports a cancelled login prompt, and the
// legacy driver (LegacyDriver.cpp) as "Legacy".
class TestOdbcDrivers {
public:
    TestOdbcDrivers();
    ~TestOdbcDrivers();
    TestOdbcDrivers(const TestOdbcDrivers&) = delete;
    TestOdbcDrivers& operator=(const TestOdbcDrivers&) = delete;

private:
    fs::path m_dir;
};

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return m_path; }
    fs::path operator/(const std::string& name) const { return m_path / name; }

private:
    fs::path m_path;
};

// A Windows-shaped path ("\" separators), as the logic builds and the posix layer reads.
CString WinPath(const fs::path& path);

void WriteFile(const fs::path& path, const std::string& bytes);
std::string ReadFile(const fs::path& path);

// An old system database: a SQLite file with TQ_FORETAG and TQ_PARAMETRAR, reached through a
// file DSN "tqsys.dsn" that names the SQLite3 ODBC driver.
void RunSqlite(const fs::path& database, const std::vector<std::string>& statements);

// The old system's two tables, with their declared column types, or without any, so that SQLite
// keeps each value as it was typed ("007" stays "007", where an int column makes it 7), as an old
// system with text columns hands it over.
enum class OldColumns { Typed, Untyped };
std::vector<std::string> OldSystemTables(OldColumns columns = OldColumns::Typed);
void WriteSqliteDsn(const fs::path& dsnFile, const fs::path& database);

// A file DSN naming the legacy driver, its database and the variants ("Key=Value" lines).
void WriteLegacyDsn(const fs::path& dsnFile, const fs::path& database, const std::vector<std::string>& variants = {});

// While alive, permission bits hold for this process even when it runs as root.
class PermissionBitsEnforced {
public:
    PermissionBitsEnforced();
    ~PermissionBitsEnforced();
    PermissionBitsEnforced(const PermissionBitsEnforced&) = delete;
    PermissionBitsEnforced& operator=(const PermissionBitsEnforced&) = delete;

private:
    unsigned m_saved[2] = {};
};

// The SQL Server stand-in on a free loopback port, for as long as the object lives.
class StandIn {
public:
    explicit StandIn(const std::vector<std::string>& options = {});
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;
    int port() const { return m_port; }
    // Where its databases lie, one SQLite file each.
    fs::path DataDir() const { return m_dir / "data"; }
    // Every SQL text the stand-in received, in order.
    std::vector<std::string> Statements() const;
    // A company file DSN that reaches the stand-in through FreeTDS.
    void WriteCompanyDsn(const fs::path& dsnFile, const std::string& user = "varnik",
                         const std::string& password = "Hemligt#1", const std::string& driver = "{SQL Server}",
                         const std::string& extra = "") const;
    // A direct connect string, for tests that look at the server's content.
    std::string ConnectString(const std::string& user = "varnik", const std::string& password = "Hemligt#1") const;

private:
    TempDir m_dir;
    int m_pid = -1;
    int m_port = 0;
};

// The fields of one row as text; a NULL field has no value.
using Fields = std::vector<std::optional<std::string>>;

// All rows of a query, field by field.
std::vector<Fields> QueryFields(CDatabase& db, const std::string& sql);
// Each row's fields joined with "|"; NULL as "<NULL>".
std::vector<std::string> JoinedRows(const std::vector<Fields>& rows);
// All rows of a query, joined.
std::vector<std::string> QueryRows(CDatabase& db, const std::string& sql);
// The rows with the trailing blanks of each field cut: char(n) comes back padded to n.
std::vector<Fields> WithoutPadding(std::vector<Fields> rows);

// While alive, the logic sees itself run as Daltrix.exe in this folder (one of its own when
// none is given), which is where its Daltrix.log goes.
class ProgramFolder {
public:
    explicit ProgramFolder(const fs::path& folder = {});
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;
    const fs::path& path() const { return m_path; }

private:
    std::unique_ptr<TempDir> m_own;
    fs::path m_path;
};

// The main dialog as shown, run from its program folder.
struct DialogFixture {
    explicit DialogFixture(const fs::path& programDir = {});
    ~DialogFixture();
    std::vector<std::string> Log() const;
    // Log lines written after the first `from` lines.
    std::vector<std::string> LogFrom(size_t from) const;
    // The lines of the Daltrix.log beside the program, without the byte-order mark and the CR LF.
    std::vector<std::string> LogFileLines() const;
    fs::path LogFile() const { return program.path() / "Daltrix.log"; }

    ProgramFolder program;
    std::unique_ptr<CDaltrixDlg> dlg;
};

}  // namespace testing_support
