// An old installation of any size on the tests' own drivers, for the native benchmarks.
#pragma once

#include "BenchFigures.h"
#include "support/TestSupport.h"

#include <cstdio>
#include <string>

namespace bench {

// An old system of `companies` companies (numbers 1..n) with one parameter row, its tqsys.dsn
// beside the tool, and an installation folder with the product's tqsys.dsn.
struct OldSite {
    explicit OldSite(int companies);

    testing_support::TempDir dir;
    std::filesystem::path program = dir / "Verktyg";
    std::filesystem::path install = dir / "Varnik";
};

inline OldSite::OldSite(int companies) {
    using namespace testing_support;
    fs::create_directories(program);
    fs::create_directories(install);
    WriteFile(install / "tqsys.dsn", "[ODBC]\r\nDRIVER=Gammal\r\n");
    std::vector<std::string> sql = OldSystemTables();
    sql.emplace_back(
        "INSERT INTO TQ_PARAMETRAR VALUES(4711, 'Lönebyrån i Väst AB', 100000, 20000, 99, 'NYCKEL-1', 3, 2, "
        "'C:\\Varnik', 'pw', 1)");
    for (int n = 1; n <= companies; ++n) {
        char row[160];
        std::snprintf(row, sizeof row, "INSERT INTO TQ_FORETAG VALUES(%d, 'Kund %d Bygg & Måleri AB', 'tq%04d.dsn')", n,
                      n, n);
        sql.emplace_back(row);
    }
    RunSqlite(dir / "old.db", sql);
    WriteSqliteDsn(program / "tqsys.dsn", dir / "old.db");
}

}  // namespace bench
