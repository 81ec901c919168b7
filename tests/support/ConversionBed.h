// The conversion test bed: the old system database in SQLite through tqsys.dsn, the company's
// server the SQL Server stand-in through FreeTDS, and the dialog shown on the headless layer.
#pragma once

#include "support/TestSupport.h"

#include "CompleteRunLog.h"

#include "platform/headless/HeadlessWindow.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace testing_support {

inline const std::string kPassword = "Hemligt#1";

class ConversionBed : public ::testing::Test {
protected:
    void SetUp() override { Prepare(); }

    void Prepare(const std::vector<std::string>& standInOptions = {}) {
        server = std::make_unique<StandIn>(standInOptions);
        fs::create_directories(install);
        fs::create_directories(program);
        WriteFile(install / "tqsys.dsn", "[ODBC]\r\nDRIVER=Gammal\r\n");
        OldSystem({"1, 'Acme AB', 'tq0001.dsn'", "7, 'Björk & Söner  ', 'tq0007.dsn'", "12, 'O''Brien & Co', ''"},
                  {"4711, 'Varnik Demo AB', 1000, 50, 99, 'NYCKEL-1', 3, 2, 'C:\\Varnik', 'pw', 1"});
        server->WriteCompanyDsn(program / "tq0001.dsn");
        server->WriteCompanyDsn(program / "tq0007.dsn");
        f.dlg->m_installDir = WinPath(install);
    }

    using Columns = OldColumns;

    void OldSystem(const std::vector<std::string>& companies, const std::vector<std::string>& parameters,
                   Columns columns = Columns::Typed) {
        std::vector<std::string> sql{"DROP TABLE IF EXISTS TQ_FORETAG", "DROP TABLE IF EXISTS TQ_PARAMETRAR"};
        for (auto& table : OldSystemTables(columns))
            sql.push_back(std::move(table));
        for (const auto& c : companies)
            sql.push_back("INSERT INTO TQ_FORETAG VALUES(" + c + ")");
        for (const auto& p : parameters)
            sql.push_back("INSERT INTO TQ_PARAMETRAR VALUES(" + p + ")");
        RunSqlite(dir / "old.db", sql);
        WriteSqliteDsn(program / "tqsys.dsn", dir / "old.db");
    }

    // "Starta", then a double-click on the company with this number.
    LRESULT StartAndConvert(const std::string& number) {
        headless::Click(*f.dlg, IDC_START);
        for (int row = 0; row < f.dlg->m_companyList.GetItemCount(); ++row)
            if (f.dlg->m_companyList.GetItemText(row, 0).ToUtf8() == number)
                return headless::DoubleClickRow(*f.dlg, IDC_COMPANY_LIST, f.dlg->m_companyList, row);
        ADD_FAILURE() << "company " << number << " not listed";
        return -1;
    }

    // The rows of a query in Varnik_tqsys on the stand-in, without the blank padding of its char(n)
    // columns: that padding is the server's, not the data's.
    std::vector<Fields> ServerFields(const std::string& sql) {
        CDatabase db;
        db.OpenEx(CString::FromUtf8(server->ConnectString()));
        db.ExecuteSQL(u"USE [Varnik_tqsys]");
        return WithoutPadding(QueryFields(db, sql));
    }

    std::vector<std::string> ServerRows(const std::string& sql) { return JoinedRows(ServerFields(sql)); }

    // The server holds the bed's old system: its companies in the list's order, top to bottom, names
    // trimmed, the quote kept, and its parameter row.
    void ExpectOldSystemOnServer() {
        EXPECT_EQ(ServerRows("select Nummer, Namn, FileDSN from TQ_FORETAG"),
                  (std::vector<std::string>{"12|O'Brien & Co|", "7|Björk & Söner|tq0007.dsn", "1|Acme AB|tq0001.dsn"}));
        EXPECT_EQ(ServerRows("select Licensnr, Licensagare, Max_lontagare, Max_foretag, Kontrollsumma, Nyckel, Major, "
                             "Minor, Sokvag, Password, MultiplaPerioder from TQ_PARAMETRAR"),
                  std::vector<std::string>{"4711|Varnik Demo AB|1000|50|99|NYCKEL-1|3|2|C:\\Varnik|pw|1"});
    }

    // The whole log of "Starta" and a complete run for company 7, of the bed's three companies or
    // of as many as the old system holds.
    std::vector<std::string> CompleteRunOfCompany7(int companies = 3) const {
        return CompleteRun(
            {"001 Klicka Starta för att påbörja konverteringen",
             "002 Startar. För att välja databasserver för Varnik_tqsys väljer du ett aktivt företag i "
             "listan nedan.",
             "003 Du kan eventuellt behöva logga in.",
             "004 Hittade en tqsys.dsn som " + WinPath(program / "tqsys.dsn").ToUtf8(),
             "005 Dubbelklicka på ett företags nummer nedan för att välja databasserver för Varnik_tqsys",
             "006 Företag 7 är valt", "007 DSN är " + Dsn(7), "008 Server är 127.0.0.1"},
            companies);
    }

    void Direct(const std::vector<std::string>& statements) {
        CDatabase db;
        db.OpenEx(CString::FromUtf8(server->ConnectString()));
        for (const auto& sql : statements)
            db.ExecuteSQL(CString::FromUtf8(sql));
    }

    size_t Count(const std::string& statementStart) const {
        const auto all = server->Statements();
        return static_cast<size_t>(std::count_if(
            all.begin(), all.end(), [&](const std::string& s) { return s.rfind(statementStart, 0) == 0; }));
    }

    // The operator closes the tool and starts it once more: a fresh dialog on the same folders.
    void StartToolAgain() {
        f.dlg = std::make_unique<CDaltrixDlg>();
        headless::Open(*f.dlg);
        f.dlg->m_installDir = WinPath(install);
    }

    std::string Dsn(int number) const {
        char name[16];
        std::snprintf(name, sizeof name, "tq%04d.dsn", number);
        return "FILEDSN=" + WinPath(program).ToUtf8() + "\\" + name + ";";
    }

    TempDir dir;
    fs::path install = dir / "Varnik";
    fs::path program = dir / "Verktyg";
    std::unique_ptr<StandIn> server;
    DialogFixture f{program};
};

// A log text with its line number in front: "012 ...".
inline std::string Numbered(size_t number, const std::string& text) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%03zu ", number);
    return prefix + text;
}

// A failure line: the tool's own text exactly, up to where the reason starts, then a reason of
// which only the words that name the cause are required (a driver's text varies around them).
inline void ExpectFailureLine(const std::string& line, const std::string& prefix, const std::string& cause) {
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    EXPECT_NE(line.find(cause, prefix.size()), std::string::npos) << line;
}

}  // namespace testing_support
