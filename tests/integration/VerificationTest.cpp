// The read-back of Varnik_tqsys on the company's server, before the installation folder is
// touched: what it finds when rows did not go in or went in otherwise, and when it cannot read.
#include "support/ConversionBed.h"

#include <algorithm>
#include <map>

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

// A Varnik_tqsys whose creation broke off is completed before anything goes in; one whose
// duplicates block its unique index is not built on at all.
TEST_F(Verification, ABrokenOffCreationIsCompletedOrTheRunEndsBeforeInserting) {
    Direct({"CREATE DATABASE [Varnik_tqsys] COLLATE Finnish_Swedish_CI_AS", "USE [Varnik_tqsys]",
            "CREATE TABLE TQ_FORETAG(Nummer int NULL, Namn char(128) NULL, FileDSN char(255) NULL)",
            "INSERT INTO TQ_FORETAG VALUES (1, 'Acme AB', 'tq0001.dsn'), (1, 'Acme AB', 'tq0001.dsn')"});
    StartAndConvert("7");
    EXPECT_EQ(TextsAfter("Databasen Varnik_tqsys finns redan och kommer att uppdateras"),
              (std::vector<std::string>{"Varnik_tqsys skapades inte färdigt och kompletteras",
                                        "Kompletterar Varnik_tqsys: CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON "
                                        "TQ_FORETAG(Nummer ASC)",
                                        "Kunde inte komplettera Varnik_tqsys: The CREATE UNIQUE INDEX statement "
                                        "terminated because a duplicate key was found for the object name "
                                        "'dbo.TQ_FORETAG' and the index name 'PrimaryKey'. The duplicate key value is "
                                        "(1). The statement has been terminated.",
                                        Stopped()}));
    EXPECT_EQ(Count("INSERT INTO TQ_FORETAG (Nummer"), 0u);
    ExpectInstallationUntouched();

    Direct({"USE [Varnik_tqsys]", "DELETE FROM TQ_FORETAG"});
    StartAndConvert("7");
    EXPECT_EQ(Count("CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON TQ_FORETAG"), 2u);
    EXPECT_EQ(Count("CREATE TABLE TQ_PARAMETRAR"), 1u);
    EXPECT_EQ(Count("CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON TQ_PARAMETRAR"), 1u);
    EXPECT_EQ(f.Log().back().substr(4), "Klart! Klicka Avsluta");
    ExpectOldSystemOnServer();
}

// A Varnik_tqsys already there from a run before the old system was corrected: its stale values
// are found although this run inserted none of them, and no secret reaches a line or the file.
TEST_F(Verification, StaleRowsAlreadyThereAreComparedAndNoSecretIsShown) {
    StartAndConvert("7");
    ASSERT_EQ(f.Log().back().substr(4), "Klart! Klicka Avsluta");
    fs::remove(install / "tqsys.dsn");
    fs::rename(install / "tqsys.bak", install / "tqsys.dsn");
    Direct({"USE [Varnik_tqsys]", "UPDATE TQ_FORETAG SET Namn = 'Björk & Söner gamla' WHERE Nummer = 7",
            "UPDATE TQ_PARAMETRAR SET Password = 'Gammalt-Hemligt', Nyckel = 'GAMMAL-NYCKEL'"});
    const auto folder = [this] {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(install))
            files[entry.path().filename().string()] = ReadFile(entry.path());
        return files;
    };
    const auto before = folder();
    StartToolAgain();
    StartAndConvert("7");
    EXPECT_EQ(
        TextsAfter("Uppdateringen av Varniks systemdatabas slutförd"),
        (std::vector<std::string>{
            "Företag 7 har andra värden i Varnik_tqsys: Namn: gamla systemet 'Björk & Söner', Varnik_tqsys 'Björk "
            "& Söner gamla'",
            "Parameterraden har andra värden i Varnik_tqsys: Nyckel: värdena skiljer sig (visas inte); Password: "
            "värdena skiljer sig (visas inte)",
            Stopped()}));
    EXPECT_EQ(headless::TheScreen().questions.size(), 1u);
    EXPECT_EQ(folder(), before);
    for (const std::string secret : {"Gammalt-Hemligt", "GAMMAL-NYCKEL", "NYCKEL-1", "'pw'"}) {
        for (const auto& line : f.Log())
            EXPECT_EQ(line.find(secret), std::string::npos) << line;
        EXPECT_EQ(ReadFile(f.LogFile()).find(secret), std::string::npos) << secret;
    }
}

// The product reads one parameter row: an old system with none or two, or whose row cannot be
// read, stops the run before anything reaches the server or the installation folder.
TEST_F(Verification, WithoutOneOldParameterRowTheRunStopsBeforeAnythingChanges) {
    const std::string row = "4711, 'Varnik Demo AB', 1000, 50, 99, 'NYCKEL-1', 3, 2, 'C:\\Varnik', 'pw', 1";
    const struct {
        std::vector<std::string> rows;
        bool noTable;
        std::string line;
    } cases[] = {
        {{}, false, "TQ_PARAMETRAR i den gamla systemdatabasen har 0 rader men Varnik Lön läser en"},
        {{row, "4712" + row.substr(4)},
         false,
         "TQ_PARAMETRAR i den gamla systemdatabasen har 2 rader men Varnik Lön läser en"},
        {{}, true, "Kunde inte läsa den gamla parameterraden: no such table: TQ_PARAMETRAR (1)"},
    };
    for (const auto& c : cases) {
        OldSystem({"7, 'Sju AB', 'tq0007.dsn'"}, c.rows);
        if (c.noTable)
            RunSqlite(dir / "old.db", {"DROP TABLE TQ_PARAMETRAR"});
        StartToolAgain();
        StartAndConvert("7");
        EXPECT_EQ(TextsAfter("DSN är " + Dsn(7)), (std::vector<std::string>{c.line, Stopped()}));
    }
    EXPECT_TRUE(server->Statements().empty());
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
// a word: each value is checked against the column really there, so nothing is stored cut.
TEST_F(AnsiWarningsOff, ValuesAreCheckedAgainstTheColumnsOfTheDatabaseThere) {
    Direct({"CREATE DATABASE [Varnik_tqsys] COLLATE Finnish_Swedish_CI_AS", "USE [Varnik_tqsys]",
            "CREATE TABLE TQ_FORETAG(Nummer int NULL, Namn char(7) NULL, FileDSN char(255) NULL)",
            "CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON TQ_FORETAG(Nummer ASC)",
            "CREATE TABLE TQ_PARAMETRAR(Licensnr int NULL, Licensagare char(255) NULL, Max_lontagare int NULL, "
            "Max_foretag int NULL, Kontrollsumma int NULL, Nyckel char(64), Major int NULL, Minor int NULL, "
            "Sokvag char(255) NULL, Password char(64) NULL, MultiplaPerioder int NULL)",
            "CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON TQ_PARAMETRAR(Licensnr ASC)"});
    StartAndConvert("7");
    const auto texts = Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(),
                         "Kunde inte uppdatera företagslistan: 7, Björk & Söner, tq0007.dsn Namn har 13 tecken men "
                         "kolumnen rymmer 7"),
              1);
    EXPECT_EQ(
        TextsAfter("Uppdateringen av Varniks systemdatabas slutförd"),
        (std::vector<std::string>{"Företag 12 saknas i Varnik_tqsys", "Företag 7 saknas i Varnik_tqsys", Stopped()}));
    EXPECT_EQ(ServerRows("select Nummer, Namn from TQ_FORETAG"), std::vector<std::string>{"1|Acme AB"});
    ExpectInstallationUntouched();
}

}  // namespace
