// "Starta": the start checks and the company list from a real old system database (SQLite
// through its ODBC driver and a file DSN).
#include "support/TestSupport.h"

#include "platform/headless/HeadlessWindow.h"
#include "platform/posix/PosixHost.h"
#include "res/resource.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const std::string kCompanyTable = "CREATE TABLE TQ_FORETAG(Nummer int, Namn char(128), FileDSN char(255))";

class StartChecks : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(install);
        fs::create_directories(program);
        f.PlaceProgram(program);
        f.dlg->m_installDir = WinPath(install);
    }
    std::string LocalDsn() const { return WinPath(program / "tqsys.dsn").ToUtf8(); }
    void OldSystem(const std::vector<std::string>& rows) {
        std::vector<std::string> sql{kCompanyTable};
        for (const auto& r : rows)
            sql.push_back("INSERT INTO TQ_FORETAG VALUES(" + r + ")");
        RunSqlite(dir / "old.db", sql);
        WriteSqliteDsn(program / "tqsys.dsn", dir / "old.db");
    }
    std::vector<std::string> Companies() const {
        std::vector<std::string> rows;
        for (int r = 0; r < f.dlg->m_companyList.GetItemCount(); ++r)
            rows.push_back(f.dlg->m_companyList.GetItemText(r, 0).ToUtf8() + "|" +
                           f.dlg->m_companyList.GetItemText(r, 1).ToUtf8() + "|" +
                           f.dlg->m_companyList.GetItemText(r, 2).ToUtf8());
        return rows;
    }

    TempDir dir;
    fs::path install = dir / "Varnik";
    fs::path program = dir / "Verktyg";
    DialogFixture f;
};

TEST_F(StartChecks, WithoutAdministratorRightsOneLineAndNothingElse) {
    posix_host::SetAdministrator(false);
    headless::Click(*f.dlg, IDC_START);
    EXPECT_EQ(f.LogFrom(1), std::vector<std::string>{"002 Detta program måste köras som administratör! Avsluta och "
                                                     "starta programmet som administratör."});
    EXPECT_TRUE(f.dlg->m_exeDir.IsEmpty());
    EXPECT_TRUE(f.dlg->m_installSysDsn.IsEmpty());
}

TEST_F(StartChecks, MissingInstallationFolderIsNamedInOneLine) {
    f.dlg->m_installDir = WinPath(dir / "Saknas");
    headless::Click(*f.dlg, IDC_START);
    EXPECT_EQ(f.LogFrom(1), std::vector<std::string>{"002 Det verkar som om Varnik Lön 3.x inte är installerat i "
                                                     "katalogen " +
                                                     f.dlg->m_installDir.ToUtf8() +
                                                     ". Installera detta före du kör konverteringen."});
    EXPECT_TRUE(f.dlg->m_installSysDsn.IsEmpty());
}

TEST_F(StartChecks, APlainFileOrAPathThatCannotBeExaminedCountsAsInstalled) {
    WriteFile(dir / "VarnikFile", "x");
    f.dlg->m_installDir = WinPath(dir / "VarnikFile");
    headless::Click(*f.dlg, IDC_START);
    EXPECT_EQ(f.LogFrom(1).size(), 3u) << "the installation test passed";

    // A folder missing on the way is "path not found", not "file not found".
    f.dlg->m_installDir = WinPath(dir / "NoSuchFolder" / "Varnik");
    headless::Click(*f.dlg, IDC_START);
    EXPECT_EQ(f.LogFrom(4).size(), 3u);
    EXPECT_EQ(f.dlg->m_installSysDsn, WinPath(dir / "NoSuchFolder" / "Varnik") + u"\\tqsys.dsn");
}

TEST_F(StartChecks, NoSystemDsnBesideTheProgramGivesThreeLinesNamingItsFullPath) {
    headless::Click(*f.dlg, IDC_START);
    EXPECT_EQ(f.LogFrom(1), (std::vector<std::string>{
                                "002 Startar. För att välja databasserver för Varnik_tqsys väljer du ett aktivt "
                                "företag i listan nedan.",
                                "003 Du kan eventuellt behöva logga in.",
                                "004 Hittade ingen tqsys.dsn när vi försökte med " + LocalDsn()}));
    EXPECT_EQ(f.dlg->m_exeDir, WinPath(program) + u"\\");
    EXPECT_EQ(f.dlg->m_installSysDsn, WinPath(install) + u"\\tqsys.dsn");
    EXPECT_EQ(f.dlg->m_localSysDsn.ToUtf8(), LocalDsn());
}

TEST_F(StartChecks, AFolderNamedTqsysDsnCountsAsFoundAndItsOpenFailureIsLogged) {
    fs::create_directories(program / "tqsys.dsn");
    headless::Click(*f.dlg, IDC_START);
    const auto lines = f.LogFrom(3);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "004 Hittade en tqsys.dsn som " + LocalDsn());
    EXPECT_EQ(lines[1], "005 Kunde inte öppna systemdatabasen tqsys.dsn, fel General error: Invalid file dsn '" +
                            LocalDsn() + "'");
    EXPECT_EQ(f.dlg->m_companyList.GetItemCount(), 0);
    EXPECT_FALSE(f.dlg->m_sysDb.IsOpen());
}

TEST_F(StartChecks, CompaniesAreListedNewestOnTopExactlyAsFetched) {
    OldSystem({"1, 'Acme AB', 'tq0001.dsn'", "2, 'Björk & Söner  ', ''", "3, 'Åkeri', NULL"});
    headless::Click(*f.dlg, IDC_START);
    EXPECT_EQ(f.LogFrom(3),
              (std::vector<std::string>{"004 Hittade en tqsys.dsn som " + LocalDsn(),
                                        "005 Dubbelklicka på ett företags nummer nedan för att välja databasserver för "
                                        "Varnik_tqsys"}));
    EXPECT_EQ(Companies(), (std::vector<std::string>{"3|Åkeri|", "2|Björk & Söner  |", "1|Acme AB|tq0001.dsn"}));
    EXPECT_TRUE(f.dlg->m_sysDb.IsOpen());
}

TEST_F(StartChecks, AnEmptyCompanyTableGivesAnEmptyListAndTheClosingLine) {
    OldSystem({});
    f.dlg->m_localSysDsn = WinPath(program / "tqsys.dsn");
    EXPECT_TRUE(f.dlg->LoadCompanyList());
    EXPECT_EQ(f.dlg->m_companyList.GetItemCount(), 0);
    EXPECT_EQ(f.LogFrom(1).size(), 1u);
}

TEST_F(StartChecks, ASecondStartListsEveryCompanyOnceOnAFreshConnection) {
    OldSystem({"1, 'Acme AB', 'tq0001.dsn'", "2, 'Bygg', 'tq0002.dsn'"});
    headless::Click(*f.dlg, IDC_START);
    RunSqlite(dir / "old.db", {"INSERT INTO TQ_FORETAG VALUES(3, 'Ny', 'tq0003.dsn')"});
    headless::Click(*f.dlg, IDC_START);
    EXPECT_EQ(Companies(), (std::vector<std::string>{"3|Ny|tq0003.dsn", "2|Bygg|tq0002.dsn", "1|Acme AB|tq0001.dsn"}));
    const auto lines = f.Log();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[5].substr(0, 4), "006 ");
    EXPECT_EQ(lines[8].substr(0, 4), "009 ");
    EXPECT_EQ(f.dlg->m_companyList.GetSelectionMark(), -1);
}

TEST_F(StartChecks, ACompanyTableThatCannotBeReadLeavesTheListEmptyAndSaysWhy) {
    RunSqlite(dir / "old.db", {"CREATE TABLE OTHER(x int)"});
    WriteSqliteDsn(program / "tqsys.dsn", dir / "old.db");
    headless::Click(*f.dlg, IDC_START);
    EXPECT_EQ(f.LogFrom(4),
              std::vector<std::string>{"005 Kunde inte läsa företagslistan, fel no such table: TQ_FORETAG (1)"});
    EXPECT_TRUE(headless::TheScreen().stopMessages.empty());
    EXPECT_EQ(f.dlg->m_companyList.GetItemCount(), 0);
}

TEST_F(StartChecks, AFailedOpenWritesOneLineEndingWithTheDriversText) {
    WriteFile(program / "tqsys.dsn", "[ODBC]\r\nDRIVER=Borttagen drivrutin\r\n");
    f.dlg->m_localSysDsn = WinPath(program / "tqsys.dsn");
    f.dlg->m_msgNo = 41;
    EXPECT_FALSE(f.dlg->LoadCompanyList());
    const auto lines = f.LogFrom(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("041 Kunde inte öppna systemdatabasen tqsys.dsn, fel ", 0), 0u) << lines[0];
    EXPECT_GT(lines[0].size(), std::string("041 Kunde inte öppna systemdatabasen tqsys.dsn, fel ").size());
    EXPECT_EQ(f.dlg->m_companyList.GetItemCount(), 0);
}

TEST_F(StartChecks, ACancelledLoginPromptEndsWithTheFailureLineInsteadOfAFailedQuery) {
    WriteFile(program / "tqsys.dsn", "[ODBC]\r\nDRIVER=Avbruten\r\n");
    f.dlg->m_localSysDsn = WinPath(program / "tqsys.dsn");
    EXPECT_FALSE(f.dlg->LoadCompanyList());
    EXPECT_EQ(f.LogFrom(1),
              std::vector<std::string>{"002 Kunde inte öppna systemdatabasen tqsys.dsn, fel inloggningen avbröts"});
    EXPECT_TRUE(headless::TheScreen().stopMessages.empty());
    EXPECT_FALSE(f.dlg->m_sysDb.IsOpen());
}

}  // namespace
