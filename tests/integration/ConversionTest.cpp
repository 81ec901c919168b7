// Whole conversion runs on the headless dialog: the old system database in SQLite through
// tqsys.dsn, the company's server the SQL Server stand-in through FreeTDS.
#include "support/ConversionBed.h"

#include <cstring>

using namespace testing_support;

namespace {

using Conversion = ConversionBed;

TEST_F(Conversion, ACompleteRunCreatesTheDatabaseCopiesEverythingAndRepointsTheProduct) {
    EXPECT_EQ(StartAndConvert("7"), 0);
    EXPECT_EQ(f.Log(), CompleteRunOfCompany7());
    EXPECT_FALSE(f.dlg->GetDlgItem(IDC_START)->IsWindowEnabled());
    EXPECT_TRUE(headless::TheScreen().stopMessages.empty());

    ExpectOldSystemOnServer();

    const auto statements = server->Statements();
    const std::vector<std::string> creation{
        "USE [master]", "CREATE DATABASE [Varnik_tqsys] COLLATE Finnish_Swedish_CI_AS", "USE [Varnik_tqsys]",
        "CREATE TABLE TQ_FORETAG(Nummer int NULL, Namn char(128) NULL, FileDSN char(255) NULL)",
        "CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON TQ_FORETAG(Nummer ASC)",
        "CREATE TABLE TQ_PARAMETRAR(Licensnr int NULL, Licensagare char(255) NULL, Max_lontagare int NULL, "
        "Max_foretag int NULL, Kontrollsumma int NULL, Nyckel char(64), Major int NULL, Minor int NULL, Sokvag "
        "char(255) NULL, Password char(64) NULL, MultiplaPerioder int NULL)",
        "CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON TQ_PARAMETRAR(Licensnr ASC)", "USE [Varnik_tqsys]",
        // The columns' sizes as the server has them, which the values are checked against.
        "select TABLE_NAME, COLUMN_NAME, CHARACTER_MAXIMUM_LENGTH from INFORMATION_SCHEMA.COLUMNS where TABLE_NAME in "
        "('TQ_FORETAG', 'TQ_PARAMETRAR')",
        "select is_unique from sys.indexes where name = 'PrimaryKey' and object_id = OBJECT_ID('TQ_FORETAG')",
        "select is_unique from sys.indexes where name = 'PrimaryKey' and object_id = OBJECT_ID('TQ_PARAMETRAR')",
        "INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES('12','O''Brien & Co','')",
        "INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES('7','Björk & Söner','tq0007.dsn')",
        "INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES('1','Acme AB','tq0001.dsn')",
        "INSERT INTO TQ_PARAMETRAR (Kontrollsumma, Licensagare, Licensnr, Major, Max_foretag, Max_lontagare, Minor, "
        "MultiplaPerioder, Nyckel, Password, Sokvag) VALUES "
        "('99','Varnik Demo AB','4711','3','50','1000','2','1','NYCKEL-1','pw','C:\\Varnik')"};
    ASSERT_GE(statements.size(), creation.size() + 1);
    EXPECT_EQ(statements[0], "select 1 from sys.databases where name = 'Varnik_tqsys'");
    EXPECT_EQ(
        std::vector<std::string>(statements.begin() + 1, statements.begin() + 1 + static_cast<long>(creation.size())),
        creation);

    EXPECT_EQ(ReadFile(install / "tqsys.dsn"),
              "[ODBC]\r\nDRIVER={SQL Server}\r\nUID=tqsys\r\nAnsiNPW=No\r\nDATABASE=Varnik_tqsys\r\n"
              "APP= Microsoft Open Database Connectivity\r\nSERVER=127.0.0.1\r\nTRUSTED_CONNECTION=NO\r\n"
              "Description = Varnik L\xF6n systemdatabas\r\n");
    EXPECT_EQ(ReadFile(install / "tqsys.bak"), "[ODBC]\r\nDRIVER=Gammal\r\n");
    EXPECT_EQ(ReadFile(install / "tq0007.dsn"), ReadFile(program / "tq0007.dsn"));
    EXPECT_EQ(ReadFile(install / "tq0001.dsn"), ReadFile(program / "tq0001.dsn"));

    // The password is in the company DSN file only: never in the log or the new system DSN.
    for (const auto& line : f.Log())
        EXPECT_EQ(line.find(kPassword), std::string::npos) << line;
    EXPECT_EQ(ReadFile(install / "tqsys.dsn").find(kPassword), std::string::npos);
}

TEST_F(Conversion, ADoubleClickBeforeAnyRowIsSelectedDoesNothing) {
    headless::Click(*f.dlg, IDC_START);
    const size_t before = f.Log().size();
    EXPECT_EQ(headless::DoubleClick(*f.dlg, IDC_COMPANY_LIST), 0);
    EXPECT_EQ(f.Log().size(), before);
    EXPECT_TRUE(server->Statements().empty());
}

TEST_F(Conversion, TheCompanyNumberNamesItsDsnFileWithFourDigitsOrMore) {
    OldSystem({"12, 'A', ''", "12345, 'B', ''", "'x9', 'C', ''"},
              {"4711, 'Varnik Demo AB', 1000, 50, 99, 'NYCKEL-1', 3, 2, 'C:\\Varnik', 'pw', 1"});
    for (const char* number : {"12", "12345", "x9"}) {
        const size_t before = f.Log().size();
        StartAndConvert(number);
        const auto lines = f.LogFrom(before + 4);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[1].substr(4), "DSN är " + Dsn(std::string(number) == "x9" ? 0 : std::stoi(number)));
    }
    // None of these files exists, so every run ended at the connection.
    EXPECT_TRUE(f.dlg->GetDlgItem(IDC_START)->IsWindowEnabled());
}

TEST_F(Conversion, AConnectionThatCannotBeOpenedEndsTheRunAfterTwoLines) {
    server.reset();  // nothing listens on the port the DSN names
    StartAndConvert("7");
    const auto lines = f.LogFrom(5);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "006 Företag 7 är valt");
    EXPECT_EQ(lines[2].rfind("008 Kunde inte öppna databasen: ", 0), 0u) << lines[2];
    EXPECT_GT(lines[2].size(), std::string("008 Kunde inte öppna databasen: ").size());
    EXPECT_EQ(lines[3], "009 Kunde inte bestämma serveradress");
    EXPECT_TRUE(f.dlg->GetDlgItem(IDC_START)->IsWindowEnabled());
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), "[ODBC]\r\nDRIVER=Gammal\r\n");
    EXPECT_FALSE(fs::exists(install / "tqsys.bak"));
}

TEST_F(Conversion, ARefusedLoginIsLoggedWithTheServersText) {
    Prepare({"--refuse-logins"});
    StartAndConvert("7");
    const auto lines = f.LogFrom(7);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("Login failed for user 'varnik'."), std::string::npos) << lines[0];
    EXPECT_EQ(lines[0].find(kPassword), std::string::npos);
    EXPECT_EQ(lines[1], "009 Kunde inte bestämma serveradress");
}

// A company whose connection names no SQL Server: a system DSN for it could reach no server.
TEST_F(Conversion, AnUnknownServerEndsTheRunBeforeAnythingIsCreatedOrWritten) {
    const std::string stop =
        "Konverteringen avbröts: servern för Varnik_tqsys är okänd. Välj ett företag vars anslutning använder SQL "
        "Server.";
    server->WriteCompanyDsn(program / "tq0007.dsn", "varnik", kPassword, "FreeTDS");
    StartAndConvert("7");
    EXPECT_EQ(f.LogFrom(7), (std::vector<std::string>{"008 Server är Okänd", "009 " + stop}));
    EXPECT_TRUE(server->Statements().empty());
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), "[ODBC]\r\nDRIVER=Gammal\r\n");
    EXPECT_FALSE(fs::exists(install / "tqsys.bak"));
    EXPECT_FALSE(fs::exists(install / "tq0007.dsn"));
    EXPECT_TRUE(f.dlg->GetDlgItem(IDC_START)->IsWindowEnabled());
}

// The company's connection as the driver gives it back decides the new system DSN, item by
// item: a key in any letter case, a braced password whatever it holds, and nothing left over
// from an earlier run's company.
TEST_F(Conversion, TheNewSystemDsnComesFromThisRunsConnectionOnly) {
    const std::string port = std::to_string(server->port());
    WriteFile(program / "tq0007.dsn",
              "[ODBC]\r\nDRIVER={ODBC Driver 18 for SQL Server}\r\nServer=127.0.0.1\r\nPORT=" + port +
                  "\r\nUID=varnik\r\nPWD={x;SERVER=evil;Trusted_Connection=Yes}\r\nEncrypt=yes\r\n"
                  "TrustServerCertificate=yes\r\nTDS_Version=7.4\r\n");
    StartAndConvert("7");
    ASSERT_EQ(f.Log().back().substr(4), "Klart! Klicka Avsluta");
    EXPECT_EQ(f.LogFrom(7).front(), "008 Server är 127.0.0.1");
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"),
              "[ODBC]\r\nDRIVER={ODBC Driver 18 for SQL Server}\r\nUID=tqsys\r\nAnsiNPW=No\r\n"
              "DATABASE=Varnik_tqsys\r\nAPP= Microsoft Open Database Connectivity\r\nSERVER=127.0.0.1\r\n"
              "TRUSTED_CONNECTION=NO\r\nEncrypt=yes\r\nTrustServerCertificate=yes\r\n"
              "Description = Varnik L\xF6n systemdatabas\r\n");

    // The second company: another driver name and server, no encryption items.
    WriteFile(program / "tq0001.dsn", "[ODBC]\r\nDRIVER=SQL Native Client\r\nSERVER=localhost\r\nPORT=" + port +
                                          "\r\nUID=varnik\r\nPWD=y\r\nTDS_Version=7.4\r\n");
    f.dlg->m_trustedConnection = true;  // as a first company with Windows logins would have left it
    const size_t before = f.Log().size();
    headless::DoubleClickRow(*f.dlg, IDC_COMPANY_LIST, f.dlg->m_companyList, 2);
    ASSERT_EQ(f.Log().back().substr(4), "Klart! Klicka Avsluta");
    EXPECT_EQ(f.LogFrom(before)[2].substr(4), "Server är localhost");
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"),
              "[ODBC]\r\nDRIVER=SQL Native Client\r\nUID=tqsys\r\nAnsiNPW=No\r\nDATABASE=Varnik_tqsys\r\n"
              "APP= Microsoft Open Database Connectivity\r\nSERVER=localhost\r\nTRUSTED_CONNECTION=NO\r\n"
              "Description = Varnik L\xF6n systemdatabas\r\n");
    for (const auto& line : f.Log())
        EXPECT_EQ(line.find("evil"), std::string::npos) << line;
}

// Every generation of Microsoft's SQL Server drivers, each here FreeTDS under that name.
TEST_F(Conversion, EverySqlServerDriverNameReachesTheServerAndGoesIntoTheNewDsnUnchanged) {
    bool braced = true;
    for (const char* name : kSqlServerDriverNames) {
        // Braces as a DSN may give them or not; either way the name goes through as given.
        const std::string driver = braced ? std::string("{") + name + "}" : name;
        braced = !braced;
        server->WriteCompanyDsn(program / "tq0007.dsn", "varnik", kPassword, driver);
        const size_t before = f.Log().size();
        StartAndConvert("7");
        const auto lines = f.LogFrom(before);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().substr(4), "Klart! Klicka Avsluta") << name;
        EXPECT_NE(ReadFile(install / "tqsys.dsn").find("\r\nDRIVER=" + driver + "\r\nUID=tqsys\r\n"), std::string::npos)
            << name;
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
            return line.substr(4) == "Server är 127.0.0.1";
        })) << name;
    }
}

TEST_F(Conversion, APresentDatabaseIsNotCreatedAgainAndASecondRunReportsEachPresentRow) {
    StartAndConvert("7");
    ASSERT_EQ(f.Log().back(), "024 Klart! Klicka Avsluta");

    // The operator adds a company in the old system and runs the tool once more.
    RunSqlite(dir / "old.db", {"INSERT INTO TQ_FORETAG VALUES(20, 'Ny AB', 'tq0020.dsn')"});
    const size_t creates = Count("CREATE");
    StartToolAgain();
    StartAndConvert("7");
    EXPECT_EQ(Count("CREATE"), creates) << "no CREATE on the second run";

    const auto lines = f.LogFrom(7);
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[0], "008 Server är 127.0.0.1");
    EXPECT_EQ(lines[1], "009 Databasen Varnik_tqsys finns redan och kommer att uppdateras");
    EXPECT_EQ(lines[2].substr(4, 10), "Uppdaterar");
    const std::string duplicate =
        "Cannot insert duplicate key row in object 'dbo.TQ_FORETAG' with unique index 'PrimaryKey'.";
    EXPECT_EQ(lines[3], "011 Kunde inte uppdatera företagslistan: 12, O'Brien & Co,  " + duplicate +
                            " The duplicate key value is (12). The statement has been terminated.");
    EXPECT_EQ(lines[4].rfind("012 Kunde inte uppdatera företagslistan: 7, Björk & Söner, tq0007.dsn " + duplicate, 0),
              0u)
        << lines[4];
    EXPECT_EQ(lines[5].rfind("013 Kunde inte uppdatera företagslistan: 1, Acme AB, tq0001.dsn ", 0), 0u);
    EXPECT_EQ(lines[6], "014 Uppdaterar parametertabellen i Varnik_tqsys");
    EXPECT_EQ(lines[7].rfind("015 Kunde inte uppdatera Parametrarna: Cannot insert duplicate key row in object "
                             "'dbo.TQ_PARAMETRAR'",
                             0),
              0u)
        << lines[7];
    EXPECT_EQ(lines[8], "016 Uppdateringen av Varniks systemdatabas slutförd");
    // Every company and the parameter row are there, so the read-back asks nothing.
    EXPECT_EQ(lines[9], "017 Kontrollerat: alla 4 företag och parameterraden finns i Varnik_tqsys");
    EXPECT_TRUE(headless::TheScreen().questions.empty());
    // The first run's tqsys.dsn is no way back; the backup of the product's own stays.
    EXPECT_EQ(lines[10], "018 Byter namn på tqsys.dsn om den finns");
    EXPECT_EQ(lines[11], "019 Info: tqsys.dsn är skriven av Daltrix och skrivs om, tqsys.bak behålls");
    EXPECT_EQ(ReadFile(install / "tqsys.bak"), "[ODBC]\r\nDRIVER=Gammal\r\n");
    EXPECT_EQ(ServerRows("select Nummer from TQ_FORETAG where Nummer = 20"), std::vector<std::string>{"20"});
    EXPECT_EQ(ServerRows("select Licensnr from TQ_PARAMETRAR"), std::vector<std::string>{"4711"});
    EXPECT_EQ(f.Log().back().substr(4), "Klart! Klicka Avsluta");
}

using SystemDatabase = ConversionBed;

TEST_F(SystemDatabase, WithoutAConnectionTheExistenceQuerySaysSoAndTheCreationFails) {
    const size_t before = f.Log().size();
    EXPECT_FALSE(f.dlg->SystemDatabaseExists());
    EXPECT_EQ(f.LogFrom(before), std::vector<std::string>{"002 Ingen anslutning till databasen"});
    EXPECT_FALSE(f.dlg->CreateSystemDatabase());
    EXPECT_EQ(f.LogFrom(before + 1), (std::vector<std::string>{"003 Skapar databasen Varnik_tqsys",
                                                               "004 Kunde inte skapa databasen: Connection not open"}));
}

TEST_F(Conversion, ALoginThatMayNotCreateDatabasesStopsAtTheSecondStatementAndUseEndsTheRun) {
    Prepare({"--login", "varnik:" + kPassword + ":nocreate"});
    StartAndConvert("7");
    const auto lines = f.LogFrom(8);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "009 Databasen Varnik_tqsys finns inte redan och kommer att skapas");
    EXPECT_EQ(lines[1], "010 Skapar databasen Varnik_tqsys");
    EXPECT_EQ(lines[2], "011 Kunde inte skapa databasen: CREATE DATABASE permission denied in database 'master'.");
    EXPECT_EQ(lines[3].substr(4, 10), "Uppdaterar");
    EXPECT_EQ(Count("CREATE TABLE"), 0u);
    EXPECT_EQ(Count("CREATE UNIQUE"), 0u);
    // The switch to the missing database raises; the framework shows it and the run ends.
    ASSERT_EQ(headless::TheScreen().stopMessages.size(), 1u);
    EXPECT_NE(headless::TheScreen().stopMessages[0].Find(u"Database 'Varnik_tqsys' does not exist"), -1);
    EXPECT_EQ(Count("INSERT"), 0u);
    EXPECT_TRUE(f.dlg->GetDlgItem(IDC_START)->IsWindowEnabled());
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), "[ODBC]\r\nDRIVER=Gammal\r\n");
}

TEST_F(Conversion, ACreationThatFailsAtTheSixthStatementKeepsWhatWasMadeAndNothingIsRepointed) {
    // New databases start as copies of model; a table there makes the sixth statement fail.
    Direct({"USE [model]", "CREATE TABLE TQ_PARAMETRAR(Licensnr int NULL)"});
    StartAndConvert("7");
    const auto lines = f.LogFrom(8);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2],
              "011 Kunde inte skapa databasen: There is already an object named 'TQ_PARAMETRAR' in the database.");
    EXPECT_EQ(Count("CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON TQ_PARAMETRAR"), 0u);
    EXPECT_EQ(Count("CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON TQ_FORETAG"), 1u);
    EXPECT_EQ(ServerRows("select Nummer from TQ_FORETAG").size(), 3u) << "the companies still go in";
    // The parameter table lacks the columns the read-back asks for: nothing is repointed.
    const auto log = f.Log();
    ExpectFailureLine(log[log.size() - 2], Numbered(log.size() - 1, "Kunde inte kontrollera Varnik_tqsys: "),
                      "Invalid column name");
    EXPECT_EQ(log.back(), Numbered(log.size(), "Konverteringen avbröts. Inga filer i " + WinPath(install).ToUtf8() +
                                                   " har ändrats."));
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), "[ODBC]\r\nDRIVER=Gammal\r\n");
    EXPECT_TRUE(headless::TheScreen().questions.empty());

    // The next run finds the database present and first gives it the index it lacks.
    const size_t creates = Count("CREATE");
    StartToolAgain();
    StartAndConvert("7");
    const auto again = f.LogFrom(8);
    ASSERT_GE(again.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(again.begin(), again.begin() + 4),
              (std::vector<std::string>{"009 Databasen Varnik_tqsys finns redan och kommer att uppdateras",
                                        "010 Varnik_tqsys skapades inte färdigt och kompletteras",
                                        "011 Kompletterar Varnik_tqsys: CREATE UNIQUE NONCLUSTERED "
                                        "INDEX[PrimaryKey] ON TQ_PARAMETRAR(Licensnr ASC)",
                                        "012 Varnik_tqsys kompletterad"}));
    EXPECT_EQ(Count("CREATE"), creates + 1);
}

TEST_F(Conversion, ABackupThatFailsEndsTheRunBeforeAnythingIsWritten) {
    fs::permissions(install, fs::perms::owner_read | fs::perms::owner_exec);
    {
        PermissionBitsEnforced asNonRoot;
        StartAndConvert("7");
    }
    fs::permissions(install, fs::perms::owner_all);
    const auto lines = f.Log();
    EXPECT_EQ(lines.back().substr(4),
              "Kunde inte skriva " + WinPath(install / "Daltrix-sparade.txt").ToUtf8() + ": " + std::strerror(EACCES));
    EXPECT_EQ(lines[lines.size() - 2].substr(4), "Info: Byter namn på tqsys.dsn till tqsys.bak");
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), "[ODBC]\r\nDRIVER=Gammal\r\n");
    EXPECT_FALSE(fs::exists(install / "tq0007.dsn"));
    EXPECT_TRUE(f.dlg->GetDlgItem(IDC_START)->IsWindowEnabled());
}

TEST_F(Conversion, ARepeatedRunOpensAFreshConnection) {
    StartAndConvert("7");
    const size_t before = f.Log().size();
    ASSERT_EQ(f.dlg->m_companyList.GetItemText(1, 0).ToUtf8(), "7");
    headless::DoubleClickRow(*f.dlg, IDC_COMPANY_LIST, f.dlg->m_companyList, 1);
    const auto lines = f.LogFrom(before);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[2].substr(4), "Server är 127.0.0.1");
    EXPECT_EQ(lines[3].substr(4), "Databasen Varnik_tqsys finns redan och kommer att uppdateras");
}

class Migration : public Conversion {
protected:
    // The stages after a successful analysis, on a server that has the database.
    void Connect() {
        f.dlg->m_companyConnect = CString::FromUtf8(Dsn(7));
        ASSERT_TRUE(f.dlg->ReadOldParameterRow());
        ASSERT_TRUE(f.dlg->AnalyzeCompanyConnection());
        f.dlg->CreateSystemDatabase();
    }
};

TEST_F(Migration, AnEmptyCompanyListSendsNoCompanyInsertButStillTheParameters) {
    OldSystem({}, {"1, 'L', 1, 1, 1, 'N', 1, 1, 'S', 'P', 1"});
    headless::Click(*f.dlg, IDC_START);
    Connect();
    EXPECT_TRUE(f.dlg->MigrateSystemData());
    EXPECT_EQ(Count("INSERT INTO TQ_FORETAG"), 0u);
    EXPECT_EQ(Count("INSERT INTO TQ_PARAMETRAR"), 1u);
}

TEST_F(Migration, ANullOfTheParameterRowStaysNull) {
    OldSystem({}, {"5, 'Först', NULL, 2, 3, 'N', NULL, 1, NULL, 'P', 0"});
    headless::Click(*f.dlg, IDC_START);
    Connect();
    EXPECT_TRUE(f.dlg->MigrateSystemData());
    EXPECT_EQ(ServerRows("select Licensnr, Licensagare, Max_lontagare, Major, Sokvag, MultiplaPerioder from "
                         "TQ_PARAMETRAR"),
              std::vector<std::string>{"5|Först|<NULL>|<NULL>|<NULL>|0"});
}

TEST_F(Migration, ARejectedCompanyInTheMiddleIsLoggedAndTheRestAreInserted) {
    OldSystem({"1, 'A', ''", "'tre', 'B', ''", "3, 'C', ''"}, {"1, 'L', 1, 1, 1, 'N', 1, 1, 'S', 'P', 1"});
    headless::Click(*f.dlg, IDC_START);
    Connect();
    const size_t before = f.Log().size();
    EXPECT_FALSE(f.dlg->MigrateSystemData());
    const auto lines = f.LogFrom(before);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].substr(4), "Kunde inte uppdatera företagslistan: tre, B,  Företaget saknar ett giltigt nummer");
    EXPECT_EQ(ServerRows("select Nummer from TQ_FORETAG"), (std::vector<std::string>{"3", "1"}));
}

TEST_F(Conversion, ACancelledLoginPromptEndsTheRunAtTheConnection) {
    WriteFile(program / "tq0007.dsn", "[ODBC]\r\nDRIVER=Avbruten\r\n");
    StartAndConvert("7");
    EXPECT_EQ(f.LogFrom(7),
              (std::vector<std::string>{"008 Kunde inte öppna databasen", "009 Kunde inte bestämma serveradress"}));
}

TEST(SilentServer, ALoginTimeoutEndsTheWaitInsteadOfHangingTheTool) {
    TempDir dir;
    StandIn silent({"--silent"});
    DialogFixture f;
    silent.WriteCompanyDsn(dir / "tq0001.dsn");
    f.dlg->m_companyConnect = CString(u"FILEDSN=") + WinPath(dir / "tq0001.dsn") + u";";
    EXPECT_FALSE(f.dlg->AnalyzeCompanyConnection());
    const auto lines = f.LogFrom(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("002 Kunde inte öppna databasen: ", 0), 0u) << lines[0];
}

}  // namespace
