// The read-back of Varnik_tqsys on the company's server, before the installation folder is
// touched: what it finds when rows did not go in or went in otherwise, and when it cannot read.
#include "support/ConversionBed.h"

#include <algorithm>

using namespace testing_support;

namespace {

const std::string kOldSystemDsn = "[ODBC]\r\nDRIVER=Gammal\r\n";

class Verification : public ConversionBed {
protected:
    std::string Stopped() const {
        return "Konverteringen avbröts. Inga filer i " + WinPath(install).ToUtf8() + " har ändrats.";
    }

    // The log's texts without their numbers.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& line : f.Log())
            texts.push_back(line.substr(4));
        return texts;
    }

    std::vector<std::string> TextsAfter(const std::string& text) const {
        const auto texts = Texts();
        const auto at = std::find(texts.begin(), texts.end(), text);
        return at == texts.end() ? std::vector<std::string>{} : std::vector<std::string>(at + 1, texts.end());
    }

    void ExpectInstallationUntouched() const {
        EXPECT_EQ(ReadFile(install / "tqsys.dsn"), kOldSystemDsn);
        EXPECT_FALSE(fs::exists(install / "tqsys.bak"));
        EXPECT_FALSE(fs::exists(install / "tq0007.dsn"));
        EXPECT_TRUE(f.dlg->GetDlgItem(IDC_START)->IsWindowEnabled());
    }
};

TEST_F(Verification, ADatabaseWithoutItsTablesCannotBeReadBackAndNothingIsRepointed) {
    Direct({"CREATE DATABASE [Varnik_tqsys] COLLATE Finnish_Swedish_CI_AS"});
    StartAndConvert("7");
    const auto rest = TextsAfter("Uppdateringen av Varniks systemdatabas slutförd");
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(rest[0], "Kunde inte kontrollera Varnik_tqsys: Invalid object name 'TQ_FORETAG'.");
    EXPECT_EQ(rest[1], Stopped());
    EXPECT_TRUE(headless::TheScreen().questions.empty());
    ExpectInstallationUntouched();
}

class ReadBackDropped : public Verification {
protected:
    void SetUp() override { Prepare({"--drop-on", "select Nummer, RTRIM(Namn), RTRIM(FileDSN) from TQ_FORETAG"}); }
};

TEST_F(ReadBackDropped, AReadBackThatLosesItsConnectionEndsTheRunWithoutAsking) {
    StartAndConvert("7");
    const auto rest = TextsAfter("Uppdateringen av Varniks systemdatabas slutförd");
    ASSERT_EQ(rest.size(), 2u);
    ExpectFailureLine(rest[0], "Kunde inte kontrollera Varnik_tqsys: ", "Unexpected EOF from the server");
    EXPECT_EQ(rest[1], Stopped());
    EXPECT_TRUE(headless::TheScreen().questions.empty());
    ExpectInstallationUntouched();
    // Everything went in; only the proof is missing, and the next run gives it.
    EXPECT_EQ(ServerRows("select Nummer from TQ_FORETAG order by Nummer"), (std::vector<std::string>{"1", "7", "12"}));
    StartAndConvert("7");
    EXPECT_EQ(f.Log().back().substr(4), "Klart! Klicka Avsluta");
}

class AnsiWarningsOff : public Verification {
protected:
    void SetUp() override { Prepare({"--ansi-warnings-off"}); }
};

// A server that cuts over-long texts without a word: the name is refused before it is sent,
// and the read-back names the company that is missing.
TEST_F(AnsiWarningsOff, ANameTooLongForItsColumnIsRefusedAndReportedNeverStoredCut) {
    const std::string name(129, 'n');
    OldSystem({"1, 'Acme AB', 'tq0001.dsn'", "7, '" + name + "', 'tq0007.dsn'"},
              {"4711, 'Varnik Demo AB', 1000, 50, 99, 'NYCKEL-1', 3, 2, 'C:\\Varnik', 'pw', 1"});
    StartAndConvert("1");
    const auto texts = Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(),
                         "Kunde inte uppdatera företagslistan: 7, " + name +
                             ", tq0007.dsn Namn har 129 tecken men kolumnen rymmer 128"),
              1);
    EXPECT_EQ(TextsAfter("Uppdateringen av Varniks systemdatabas slutförd"),
              (std::vector<std::string>{"Företag 7 saknas i Varnik_tqsys", Stopped()}));
    ASSERT_EQ(headless::TheScreen().questions.size(), 1u);
    EXPECT_EQ(ServerRows("select Nummer, Namn from TQ_FORETAG"), std::vector<std::string>{"1|Acme AB"});
    EXPECT_EQ(Count("INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES('7'"), 0u);
    ExpectInstallationUntouched();
}

// A Varnik_tqsys someone made by hand with a narrower name column, on a server that cuts without
// a word: the inserts succeed, and only the read-back shows what was stored.
TEST_F(AnsiWarningsOff, AValueStoredOtherwiseThanSentIsShownAndTheOperatorMayGoOn) {
    Direct({"CREATE DATABASE [Varnik_tqsys] COLLATE Finnish_Swedish_CI_AS", "USE [Varnik_tqsys]",
            "CREATE TABLE TQ_FORETAG(Nummer int NULL, Namn char(5) NULL, FileDSN char(255) NULL)",
            "CREATE TABLE TQ_PARAMETRAR(Licensnr int NULL, Licensagare char(255) NULL, Max_lontagare int NULL, "
            "Max_foretag int NULL, Kontrollsumma int NULL, Nyckel char(64), Major int NULL, Minor int NULL, "
            "Sokvag char(255) NULL, Password char(64) NULL, MultiplaPerioder int NULL)"});
    headless::TheScreen().answers = {true};
    StartAndConvert("7");
    EXPECT_EQ(TextsAfter("Uppdateringen av Varniks systemdatabas slutförd"),
              (std::vector<std::string>{
                  "Företag 12 har andra värden i Varnik_tqsys: Namn: skickat 'O'Brien & Co', lagrat 'O'Bri'",
                  "Företag 7 har andra värden i Varnik_tqsys: Namn: skickat 'Björk & Söner', lagrat 'Björk'",
                  "Företag 1 har andra värden i Varnik_tqsys: Namn: skickat 'Acme AB', lagrat 'Acme'",
                  "Fortsätter trots att Varnik_tqsys inte är komplett", "Byter namn på tqsys.dsn om den finns",
                  "Info: Fanns ingen backuppfil för tqsys.dsn. Helt OK", "Info: Byter namn på tqsys.dsn till tqsys.bak",
                  "Skapar ny tqsys.dsn", "DSN skapad för systemdatabas", "Konverteringen av systemdatabasen klar",
                  "Kopierar över alla tqxxxx.dsn filer", "Klart! Klicka Avsluta"}));
    EXPECT_EQ(ReadFile(install / "tqsys.bak"), kOldSystemDsn);
}

}  // namespace
