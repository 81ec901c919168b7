// The company's server failing during a conversion run: the connection dropped or the server
// falling silent in the middle of the migration or of the database's creation, and a login
// refused on a run after a good one. The stand-in's --drop-on and --hang-on each take one
// statement, so everything after it meets a connection the server has given up.
#include "support/ConversionBed.h"

#include "CompleteRunLog.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

using namespace testing_support;

namespace {

// FreeTDS's texts: for the statement the server dropped, for one that timed out, and for every
// later statement on that connection.
const std::string kUnexpectedEof = "Unexpected EOF from the server";
const std::string kTimeoutExpired = "Timeout expired";
const std::string kLinkFailure = "Communication link failure";

const std::vector<std::string> kReadBack{
    "USE [Varnik_tqsys]", "select Nummer, RTRIM(Namn), RTRIM(FileDSN) from TQ_FORETAG",
    "select Kontrollsumma, Licensagare, Licensnr, Major, Max_foretag, Max_lontagare, Minor, MultiplaPerioder, "
    "Nyckel, Password, Sokvag from TQ_PARAMETRAR"};

const CString kIncompleteQuestion =
    u"Varnik_tqsys saknar uppgifter eller har andra värden än den gamla systemdatabasen (se loggen).\n\nOm du "
    u"fortsätter pekas Varnik Lön om till Varnik_tqsys ändå, och det som skiljer måste rättas för hand.\n\nVill du "
    u"fortsätta?";

// A conversion bed whose stand-in runs with these options from the start.
class FaultBed : public ConversionBed {
protected:
    explicit FaultBed(std::vector<std::string> options = {}) : m_options(std::move(options)) {}
    void SetUp() override { Prepare(m_options); }

    // Listed companies that are neither on the server nor named by a failure line.
    std::vector<std::string> CompaniesLostSilently() {
        const auto onServer = ServerRows("select Nummer from TQ_FORETAG");
        const auto log = f.Log();
        std::vector<std::string> lost;
        for (int row = 0; row < f.dlg->m_companyList.GetItemCount(); ++row) {
            const std::string number = f.dlg->m_companyList.GetItemText(row, 0).Trim().ToUtf8();
            const std::string failure = "Kunde inte uppdatera företagslistan: " + number + ", ";
            const bool logged = std::any_of(log.begin(), log.end(), [&](const std::string& line) {
                return line.find(failure) != std::string::npos;
            });
            if (!logged && std::find(onServer.begin(), onServer.end(), number) == onServer.end())
                lost.push_back(number);
        }
        return lost;
    }

    // The list runs 12, 7, 1: the fault takes company 7's insert, the second. The read-back finds
    // what is missing and asks; the lines up to the question.
    void ExpectMigrationBrokenAtTheSecondCompany(const std::string& faultText) {
        const auto lines = f.LogFrom(11);
        ASSERT_GE(lines.size(), 9u);
        EXPECT_EQ(lines[0],
                  "012 Uppdaterar Varnik_tqsys. Om företag redan finns i listan så skrivs ett felmeddelande för dessa");
        ExpectFailureLine(lines[1], "013 Kunde inte uppdatera företagslistan: 7, Björk & Söner, tq0007.dsn ",
                          faultText);
        ExpectFailureLine(lines[2], "014 Kunde inte uppdatera företagslistan: 1, Acme AB, tq0001.dsn ", kLinkFailure);
        EXPECT_EQ(lines[3], "015 Uppdaterar parametertabellen i Varnik_tqsys");
        ExpectFailureLine(lines[4], "016 Kunde inte uppdatera Parametrarna: ", kLinkFailure);
        EXPECT_EQ(lines[5], "017 Uppdateringen av Varniks systemdatabas slutförd");
        EXPECT_EQ(
            std::vector<std::string>(lines.begin() + 6, lines.begin() + 9),
            (std::vector<std::string>{"018 Företag 7 saknas i Varnik_tqsys", "019 Företag 1 saknas i Varnik_tqsys",
                                      "020 Parameterraden saknas i Varnik_tqsys"}));
        EXPECT_EQ(headless::TheScreen().questions, std::vector<CString>{kIncompleteQuestion});
        for (const auto& line : f.Log())
            EXPECT_EQ(line.find("Parametrarna uppdaterade"), std::string::npos) << line;

        // After the fault the server saw only the read-back, on a connection of its own.
        const auto statements = server->Statements();
        const auto fault =
            std::find(statements.begin(), statements.end(),
                      "INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES('7','Björk & Söner','tq0007.dsn')");
        ASSERT_NE(fault, statements.end());
        EXPECT_EQ(std::vector<std::string>(fault + 1, statements.end()), kReadBack);
        EXPECT_EQ(ServerRows("select Nummer from TQ_FORETAG"), std::vector<std::string>{"12"});
        EXPECT_EQ(ServerRows("select Licensnr from TQ_PARAMETRAR"), std::vector<std::string>{});
        EXPECT_EQ(CompaniesLostSilently(), std::vector<std::string>{});
    }

    // Every file of the installation folder with its bytes.
    std::map<std::string, std::string> InstallationFolder() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(install))
            files[entry.path().filename().string()] = ReadFile(entry.path());
        return files;
    }

private:
    std::vector<std::string> m_options;
};

class DroppedMidMigration : public FaultBed {
protected:
    DroppedMidMigration() : FaultBed({"--drop-on", "Björk"}) {}
};

TEST_F(DroppedMidMigration, AnsweredNoNothingInTheInstallationFolderChanges) {
    const auto before = InstallationFolder();
    EXPECT_EQ(StartAndConvert("7"), 0);
    ExpectMigrationBrokenAtTheSecondCompany(kUnexpectedEof);
    EXPECT_EQ(f.LogFrom(20), std::vector<std::string>{"021 Konverteringen avbröts. Inga filer i " +
                                                      WinPath(install).ToUtf8() + " har ändrats."});
    EXPECT_EQ(InstallationFolder(), before);
    EXPECT_TRUE(f.dlg->GetDlgItem(IDC_START)->IsWindowEnabled());
}

TEST_F(DroppedMidMigration, AnsweredYesTheProductIsRepointedAtTheIncompleteDatabase) {
    headless::TheScreen().answers = {true};
    EXPECT_EQ(StartAndConvert("7"), 0);
    ExpectMigrationBrokenAtTheSecondCompany(kUnexpectedEof);
    const auto lines = f.LogFrom(20);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "021 Fortsätter trots att Varnik_tqsys inte är komplett");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), NumberedFrom(22, kRepointingTexts));
    EXPECT_NE(ReadFile(install / "tqsys.dsn").find("\r\nDATABASE=Varnik_tqsys\r\n"), std::string::npos);
    EXPECT_EQ(ReadFile(install / "tqsys.bak"), "[ODBC]\r\nDRIVER=Gammal\r\n");
}

TEST_F(DroppedMidMigration, TheDialogSurvivesAndARepeatedRunFillsInWhatWasMissing) {
    StartAndConvert("7");
    EXPECT_TRUE(headless::TheScreen().stopMessages.empty());
    ASSERT_TRUE(f.dlg->GetDlgItem(IDC_START)->IsWindowEnabled()) << "answered No, so nothing was repointed";

    // The fault is spent; the operator double-clicks again.
    const size_t before = f.Log().size();
    EXPECT_EQ(headless::DoubleClickRow(*f.dlg, IDC_COMPANY_LIST, f.dlg->m_companyList, 1), 0);
    const auto lines = f.LogFrom(before);
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[3].substr(4), "Databasen Varnik_tqsys finns redan och kommer att uppdateras");
    EXPECT_EQ(lines[5].rfind(Numbered(before + 6, "Kunde inte uppdatera företagslistan: 12, ")), 0u) << lines[5];
    EXPECT_EQ(lines[7].substr(4), "Parametrarna uppdaterade");
    EXPECT_EQ(lines[9].substr(4), "Kontrollerat: alla 3 företag och parameterraden finns i Varnik_tqsys");
    EXPECT_EQ(lines.back().substr(4), "Klart! Klicka Avsluta");
    EXPECT_EQ(headless::TheScreen().questions.size(), 1u) << "only the first run asked";
    EXPECT_EQ(ServerRows("select Nummer from TQ_FORETAG order by Nummer"), (std::vector<std::string>{"1", "7", "12"}));
    EXPECT_EQ(ServerRows("select Licensnr from TQ_PARAMETRAR"), std::vector<std::string>{"4711"});
    EXPECT_TRUE(headless::TheScreen().stopMessages.empty());
}

class HungMidMigration : public FaultBed {
protected:
    HungMidMigration() : FaultBed({"--hang-on", "Björk"}) {}
};

TEST_F(HungMidMigration, TheQueryTimeoutEndsTheSilentStatementAndTheRunGoesOn) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(StartAndConvert("7"), 0);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("run_seconds", std::to_string(seconds));

    ExpectMigrationBrokenAtTheSecondCompany(kTimeoutExpired);
    EXPECT_EQ(f.Log().back().substr(4, 25), "Konverteringen avbröts. ");
    // One timeout of 15 s, which FreeTDS waits out twice (the statement, then its cancel); the
    // statements after it fail at once on the abandoned connection.
    EXPECT_GE(seconds, 15.0);
    EXPECT_LT(seconds, 45.0);
    EXPECT_TRUE(headless::TheScreen().stopMessages.empty());
}

using RefusedAfterAGoodRun = FaultBed;

TEST_F(RefusedAfterAGoodRun, TheSecondRunEndsAtTheConnectionAndLeavesTheFirstRunsFiles) {
    StartAndConvert("7");
    ASSERT_EQ(f.Log().back(), "024 Klart! Klicka Avsluta");
    const std::string firstRunsDsn = ReadFile(install / "tqsys.dsn");

    // The same dialog, the server now refusing every login; Starta is disabled after the run.
    server = std::make_unique<StandIn>(std::vector<std::string>{"--refuse-logins"});
    server->WriteCompanyDsn(program / "tq0007.dsn");
    StartAndConvert("7");
    const auto lines = f.LogFrom(24);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "025 Företag 7 är valt");
    EXPECT_EQ(lines[1], "026 DSN är " + Dsn(7));
    ExpectFailureLine(lines[2], "027 Kunde inte öppna databasen: ", "Login failed for user 'varnik'.");
    EXPECT_EQ(lines[3], "028 Kunde inte bestämma serveradress");
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), firstRunsDsn);
    EXPECT_EQ(ReadFile(install / "tqsys.bak"), "[ODBC]\r\nDRIVER=Gammal\r\n");
    EXPECT_TRUE(server->Statements().empty());
    EXPECT_TRUE(headless::TheScreen().stopMessages.empty());
}

class DroppedAtCreation : public FaultBed {
protected:
    DroppedAtCreation() : FaultBed({"--drop-on", "CREATE TABLE TQ_PARAMETRAR"}) {}
};

TEST_F(DroppedAtCreation, TheMigrationsFirstStatementRaisesAndTheRunEndsInAStopMessage) {
    EXPECT_EQ(StartAndConvert("7"), 0);
    const auto lines = f.LogFrom(8);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "009 Databasen Varnik_tqsys finns inte redan och kommer att skapas");
    EXPECT_EQ(lines[1], "010 Skapar databasen Varnik_tqsys");
    ExpectFailureLine(lines[2], "011 Kunde inte skapa databasen: ", kUnexpectedEof);
    EXPECT_EQ(lines[3],
              "012 Uppdaterar Varnik_tqsys. Om företag redan finns i listan så skrivs ett felmeddelande för dessa");
    ASSERT_EQ(headless::TheScreen().stopMessages.size(), 1u);
    EXPECT_NE(headless::TheScreen().stopMessages[0].Find(CString::FromUtf8(kLinkFailure)), -1)
        << headless::TheScreen().stopMessages[0].ToUtf8();

    // Nothing after the drop reached the server, and the product was not repointed.
    EXPECT_EQ(server->Statements().back().rfind("CREATE TABLE TQ_PARAMETRAR", 0), 0u);
    EXPECT_EQ(Count("INSERT"), 0u);
    EXPECT_EQ(ServerRows("select name from sys.tables"), std::vector<std::string>{"TQ_FORETAG"});
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), "[ODBC]\r\nDRIVER=Gammal\r\n");
    EXPECT_FALSE(fs::exists(install / "tqsys.bak"));
    EXPECT_TRUE(f.dlg->GetDlgItem(IDC_START)->IsWindowEnabled());
}

}  // namespace
