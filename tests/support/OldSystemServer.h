// An old system database on a real database server, as sites have it behind their tqsys.dsn.
#pragma once

#include "support/TestSupport.h"

#include <sys/types.h>

#include <string>
#include <vector>

namespace testing_support {

// The old system's ODBC drivers, under the names their Windows installers register (x64);
// TestOdbcDrivers registers them.
inline const std::string kPostgreSqlAnsiDriver = "PostgreSQL ANSI(x64)";
inline const std::string kPostgreSqlUnicodeDriver = "PostgreSQL Unicode(x64)";
inline const std::string kMariaDbDriver = "MariaDB ODBC 3.1 Driver";

// A PostgreSQL or MariaDB server of the tests' own (tools/old-system-server.sh), on 127.0.0.1 and
// a free port, for as long as the object lives. The server also ends when this process ends,
// however it ends, so a failed or killed test leaves none running.
class OldSystemServer {
public:
    enum class Kind { PostgreSql, MariaDb };

    explicit OldSystemServer(Kind kind);
    ~OldSystemServer();
    OldSystemServer(const OldSystemServer&) = delete;
    OldSystemServer& operator=(const OldSystemServer&) = delete;

    // Runs the statements in the old system database through the server's own client, in UTF-8,
    // so that what is stored does not depend on the ODBC driver under test.
    void Run(const std::vector<std::string>& statements) const;
    // A tqsys.dsn that reaches the old system database through the ODBC driver of this name.
    void WriteSystemDsn(const fs::path& dsnFile, const std::string& driver) const;
    // Whether a char(n) value reads back blank-padded to n. PostgreSQL pads; MariaDB strips
    // trailing blanks on reading (sql_mode PAD_CHAR_TO_FULL_LENGTH, which sites leave off).
    bool ReadsCharPadded() const { return m_kind == Kind::PostgreSql; }

private:
    void WaitUntilReady();
    // Whether the server process has ended; reaps it when it has.
    bool Exited();
    void Stop();
    std::string Script(const std::string& action) const;

    Kind m_kind;
    TempDir m_dir;
    pid_t m_pid = -1;
};

}  // namespace testing_support
