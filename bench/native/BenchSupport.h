// Pieces the native benchmarks share: a clock, the table row they print, and an old
// installation of any size on the tests' own drivers.
#pragma once

#include "support/TestSupport.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace bench {

template <typename Work>
double Seconds(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// One row of the results table: | figure | measured | target | met |
inline void PrintRow(const std::string& figure, const std::string& measured, const std::string& target, bool met) {
    std::printf("| %s | %s | %s | %s |\n", figure.c_str(), measured.c_str(), target.c_str(), met ? "yes" : "no");
    std::fflush(stdout);
}

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
    std::vector<std::string> sql{
        "CREATE TABLE TQ_FORETAG(Nummer int, Namn char(128), FileDSN char(255))",
        "CREATE TABLE TQ_PARAMETRAR(Licensnr int, Licensagare char(255), Max_lontagare int, Max_foretag int, "
        "Kontrollsumma int, Nyckel char(64), Major int, Minor int, Sokvag char(255), Password char(64), "
        "MultiplaPerioder int)",
        "INSERT INTO TQ_PARAMETRAR VALUES(4711, 'Lönebyrån i Väst AB', 100000, 20000, 99, 'NYCKEL-1', 3, 2, "
        "'C:\\Varnik', 'pw', 1)"};
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
