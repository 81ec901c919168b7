// The operator's three verbs beside the double-click: a check that changes nothing and names
// what would stop a conversion, the way back from tqsys.bak, and both, with the conversion, run
// from the command line with the exit code a script reads.
#include "support/ConversionBed.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <map>

#include <cstring>

#include "dsn/SystemDsnFiles.h"

using namespace testing_support;

namespace {

// Every file under the folder with its bytes.
std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = ReadFile(entry.path());
    return files;
}

class Verbs : public ConversionBed {
public:
    using ConversionBed::install;
    using ConversionBed::OldSystem;
    using ConversionBed::Prepare;
    using ConversionBed::program;
    using ConversionBed::server;

protected:
    // The lines a verb wrote after "Starta".
    std::vector<std::string> Texts(size_t from) const {
        std::vector<std::string> texts;
        for (const auto& line : f.LogFrom(from))
            texts.push_back(line.substr(4));
        return texts;
    }

    // "Starta", then the company's menu from the mouse, answered with `choice`.
    std::vector<std::string> FromTheMenu(const std::string& number, unsigned choice) {
        headless::Click(*f.dlg, IDC_START);
        const size_t before = f.Log().size();
        for (int row = 0; row < f.dlg->m_companyList.GetItemCount(); ++row)
            if (f.dlg->m_companyList.GetItemText(row, 0).ToUtf8() == number)
                headless::ContextMenu(*f.dlg, IDC_COMPANY_LIST, headless::RowPoint(row), choice);
        return Texts(before);
    }

    // The dialog as Daltrix.exe shows it with these arguments, run until it closes itself.
    int Script(const std::vector<CString>& arguments) {
        StartToolAgain(ParseCommandLine(arguments));
        headless::RunPosted(*f.dlg);
        EXPECT_TRUE(f.dlg->m_dialogImpl->ended);
        return f.dlg->m_dialogImpl->endCode;
    }

    void StartToolAgain(const ScriptCommand& script) {
        f.dlg = std::make_unique<CDaltrixDlg>();
        f.dlg->m_installDir = WinPath(install);
        f.dlg->m_script = script;
        headless::Open(*f.dlg);
    }
};

TEST_F(Verbs, ACompanysMenuOffersCheckThenConvertAndFromTheKeyboardTakesTheSelectedRow) {
    headless::Click(*f.dlg, IDC_START);
    headless::ContextMenu(*f.dlg, IDC_COMPANY_LIST, headless::RowPoint(3), IDM_COMPANY_CHECK);
    EXPECT_TRUE(headless::TheScreen().menus.empty()) << "below the last row there is no company";

    headless::SelectRow(f.dlg->m_companyList, 1);
    headless::ContextMenu(*f.dlg, IDC_COMPANY_LIST, CPoint{}, IDM_COMPANY_CONVERT, true);
    ASSERT_EQ(headless::TheScreen().menus.size(), 1u);
    std::vector<std::string> items;
    for (const auto& item : headless::TheScreen().menus.front().items)
        items.push_back(item.text.ToUtf8());
    EXPECT_EQ(items, (std::vector<std::string>{"Kontrollera mot den här servern (ändrar ingenting)",
                                               "Konvertera till den här servern"}));
    EXPECT_EQ(f.Log(), CompleteRunOfCompany7());
}

// --- the check -----------------------------------------------------------------------------------

struct Site {
    const char* name;
    std::function<void(Verbs&)> prepare;
    std::string finding;  // the start of a line the check must write
    int obstacles;
    bool asNonRoot = false;  // the check runs with permission bits in force
};

void PrintTo(const Site& site, std::ostream* out) {
    *out << site.name;
}

class Check : public Verbs, public ::testing::WithParamInterface<Site> {
public:
    void SetUp() override {
        Verbs::SetUp();
        server->WriteCompanyDsn(program / "tq0012.dsn");
    }

    void Stale() {
        StartAndConvert("7");
        Direct({"USE [Varnik_tqsys]", "UPDATE TQ_FORETAG SET Namn = 'Acme gamla' WHERE Nummer = 1"});
        StartToolAgain(ScriptCommand{});
    }
};

TEST_P(Check, NamesEachObstacleAloneAndChangesNothing) {
    GetParam().prepare(*this);
    const auto server = Files(this->server->DataDir());
    const auto folder = Files(dir.path());
    std::vector<std::string> texts;
    {
        std::optional<PermissionBitsEnforced> asNonRoot;
        if (GetParam().asNonRoot)
            asNonRoot.emplace();
        texts = FromTheMenu("7", IDM_COMPANY_CHECK);
    }
    fs::permissions(install, fs::perms::owner_all);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "Kontrollerar om företag 7 kan konverteras. Ingenting ändras.");
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                            [](const std::string& text) { return text.rfind(GetParam().finding, 0) == 0; }))
        << GetParam().finding << "\n"
        << ::testing::PrintToString(texts);
    EXPECT_EQ(texts.back(), GetParam().obstacles == 0 ? "Kontrollen är klar: inga hinder. Företag 7 kan konverteras."
                                                      : "Kontrollen är klar: " + std::to_string(GetParam().obstacles) +
                                                            " hinder. Rätta dem före konverteringen.");
    EXPECT_EQ(Files(this->server->DataDir()), server);
    auto after = Files(dir.path());
    after.erase("Verktyg/Daltrix.log");
    auto before = folder;
    before.erase("Verktyg/Daltrix.log");
    EXPECT_EQ(after, before);
    EXPECT_TRUE(headless::TheScreen().questions.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Sites, Check,
    ::testing::Values(
        Site{"AClean", [](Verbs&) {}, "OK: Varnik_tqsys finns inte, och inloggningen får skapa den", 0},
        Site{"ALoginThatMayNotCreate",
             [](Verbs& b) {
                 b.Prepare({"--login", "varnik:Hemligt#1:nocreate"});
             },
             "Hinder: Varnik_tqsys finns inte, och inloggningen får inte skapa databaser", 1},
        Site{"AStaleVarnikTqsys", [](Verbs& b) { static_cast<Check&>(b).Stale(); },
             "Företag 1 har andra värden i Varnik_tqsys: Namn: gamla systemet 'Acme AB', Varnik_tqsys 'Acme gamla'", 1},
        Site{"ANameTooLong",
             [](Verbs& b) {
                 b.OldSystem({"1, '" + std::string(129, 'n') + "', 'tq0001.dsn'", "7, 'Sju AB', 'tq0007.dsn'"},
                             {"4711, 'Varnik Demo AB', 1000, 50, 99, 'NYCKEL-1', 3, 2, 'C:\\Varnik', 'pw', 1"});
             },
             "Hinder: företag 1: Namn har 129 tecken men kolumnen rymmer 128", 1},
        Site{"TwoCompaniesWithOneNumber",
             [](Verbs& b) {
                 b.OldSystem({"1, 'Acme AB', 'tq0001.dsn'", "7, 'Sju AB', 'tq0007.dsn'", "7, 'Sju igen', 'tq0007.dsn'"},
                             {"4711, 'Varnik Demo AB', 1000, 50, 99, 'NYCKEL-1', 3, 2, 'C:\\Varnik', 'pw', 1"});
             },
             "Företagsnummer 7 finns 2 gånger i den gamla företagslistan", 2},
        Site{"ALicenceNumberThatIsNoNumber",
             [](Verbs& b) {
                 b.OldSystem({"7, 'Sju AB', 'tq0007.dsn'"},
                             {"'x1', 'Varnik Demo AB', 1000, 50, 99, 'NYCKEL-1', 3, 2, 'C:\\Varnik', 'pw', 1"},
                             OldColumns::Untyped);
             },
             "Hinder: parameterraden: Licensnr 'x1' är inget heltal", 1},
        Site{"NoOldParameterRow",
             [](Verbs& b) {
                 b.OldSystem({"1, 'Acme AB', 'tq0001.dsn'", "7, 'Sju AB', 'tq0007.dsn'"}, {});
             },
             "TQ_PARAMETRAR i den gamla systemdatabasen har 0 rader men Varnik Lön läser en", 1},
        Site{"TwoOldParameterRows",
             [](Verbs& b) {
                 b.OldSystem({"1, 'Acme AB', 'tq0001.dsn'", "7, 'Sju AB', 'tq0007.dsn'"},
                             {"4711, 'Varnik Demo AB', 1000, 50, 99, 'NYCKEL-1', 3, 2, 'C:\\Varnik', 'pw', 1",
                              "4712, 'Varnik Demo AB', 1000, 50, 99, 'NYCKEL-1', 3, 2, 'C:\\Varnik', 'pw', 1"});
             },
             "TQ_PARAMETRAR i den gamla systemdatabasen har 2 rader men Varnik Lön läser en", 1},
        Site{"AMissingCompanyDsnFile", [](Verbs& b) { fs::remove(b.program / "tq0001.dsn"); },
             "Hinder: företag 1: tq0001.dsn finns inte bredvid Daltrix", 1},
        Site{"AFiveDigitCompanyIsToBeCopiedByHand",
             [](Verbs& b) {
                 b.OldSystem({"12345, 'Stor AB', 'tq12345.dsn'", "7, 'Sju AB', 'tq0007.dsn'"},
                             {"4711, 'Varnik Demo AB', 1000, 50, 99, 'NYCKEL-1', 3, 2, 'C:\\Varnik', 'pw', 1"});
                 b.server->WriteCompanyDsn(b.program / "tq12345.dsn");
             },
             "Att veta: tq12345.dsn har fler än fyra siffror och kopieras inte; kopiera den för hand till ", 0},
        Site{"AnOlderBackup", [](Verbs& b) { WriteFile(b.install / "tqsys.bak", "äldre"); },
             "Att veta: det finns redan en tqsys.bak; den sparas som tqsys.bak.N", 0},
        // A probe an earlier version left behind proves nothing, and stays as it is.
        Site{"AFolderThatCannotBeWritten",
             [](Verbs& b) {
                 WriteFile(b.install / "daltrix-kontroll.tmp", "");
                 fs::permissions(b.install, fs::perms::owner_read | fs::perms::owner_exec);
             },
             "Hinder: det går inte att skriva i ", 1, true},
        Site{"AConnectionWithoutSqlServer",
             [](Verbs& b) { WriteSqliteDsn(b.program / "tq0007.dsn", b.program.parent_path() / "old.db"); },
             "Hinder: företagets anslutning använder ingen SQL Server-drivrutin eller namnger ingen server", 1}),
    [](const ::testing::TestParamInfo<Site>& info) { return std::string(info.param.name); });

// --- the way back --------------------------------------------------------------------------------

const std::string kProductsOwn = "[ODBC]\r\nDRIVER=Gammal\r\n";
const std::string kRestored =
    "Återställt: Varnik Lön använder åter sin egen tqsys.dsn. Varnik_tqsys finns kvar på servern.";

class Restore : public Verbs {
protected:
    std::vector<std::string> RestoreFromTheSystemMenu(bool yes) {
        headless::TheScreen().answers = {yes};
        const size_t before = f.Log().size();
        headless::SysCommand(*f.dlg, IDM_RESTORE);
        return Texts(before);
    }
};

TEST_F(Restore, PutsTheProductsFilesBackAfterOneRunAndAfterTwo) {
    WriteFile(install / "tq0007.dsn", "the installation's own");
    StartAndConvert("7");
    ASSERT_EQ(f.Log().back().substr(4), "Klart! Klicka Avsluta");
    headless::DoubleClickRow(*f.dlg, IDC_COMPANY_LIST, f.dlg->m_companyList, 1);  // and once more
    ASSERT_EQ(f.Log().back().substr(4), "Klart! Klicka Avsluta");

    EXPECT_EQ(RestoreFromTheSystemMenu(false), std::vector<std::string>{"Återställer inte: frågan besvarades Nej"});
    EXPECT_EQ(RestoreFromTheSystemMenu(true),
              (std::vector<std::string>{
                  "Återställer tqsys.dsn från tqsys.bak",
                  "Info: " + WinPath(install / "tq0007.dsn").ToUtf8() + ".1 heter åter tq0007.dsn",
                  "Info: " + WinPath(install / "tqsys.bak").ToUtf8() + " heter åter tqsys.dsn", kRestored}));
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), kProductsOwn);
    EXPECT_EQ(ReadFile(install / "tq0007.dsn"), "the installation's own");
    EXPECT_FALSE(fs::exists(install / "tqsys.bak"));
    EXPECT_FALSE(fs::exists(install / "tq0007.dsn.1"));
    ExpectOldSystemOnServer();
}

TEST_F(Restore, RefusesWithoutABackupOrOverTheProductsOwnFile) {
    const auto before = Files(install);
    EXPECT_EQ(RestoreFromTheSystemMenu(true),
              std::vector<std::string>{"Återställer inte: det finns ingen tqsys.bak i " + WinPath(install).ToUtf8()});
    WriteFile(install / "tqsys.bak", "an older backup");
    EXPECT_EQ(RestoreFromTheSystemMenu(true),
              std::vector<std::string>{"Återställer inte: tqsys.dsn i " + WinPath(install).ToUtf8() +
                                       " är inte den som Daltrix skrev"});
    fs::remove(install / "tqsys.bak");
    fs::create_directories(install / "Daltrix-sparade.txt");  // a record that cannot be read
    EXPECT_EQ(RestoreFromTheSystemMenu(true),
              std::vector<std::string>{"Återställer inte: " + WinPath(install / "Daltrix-sparade.txt").ToUtf8() +
                                       " går inte att läsa, och utan den vet Daltrix inte vad som ska tillbaka"});
    fs::remove(install / "Daltrix-sparade.txt");
    EXPECT_EQ(Files(install), before);
    EXPECT_TRUE(headless::TheScreen().questions.empty());
}

// Sequences of runs and restores that end with the product's own files back, byte for byte, and
// no record left.
struct Sequence {
    const char* name;
    std::function<void(Restore&)> steps;
};

void PrintTo(const Sequence& sequence, std::ostream* out) {
    *out << sequence.name;
}

const std::string kInstallationsOwn = "the installation's own";

class RestoreSequence : public Restore, public ::testing::WithParamInterface<Sequence> {
public:
    void Convert() {
        StartToolAgain(ScriptCommand{});
        StartAndConvert("7");
        ASSERT_EQ(f.Log().back().substr(4), "Klart! Klicka Avsluta");
    }
    std::vector<std::string> RestoreAnew() {
        StartToolAgain(ScriptCommand{});
        return RestoreFromTheSystemMenu(true);
    }
    using Verbs::Script;
    using Verbs::Texts;
};

TEST_P(RestoreSequence, EndsWithTheProductsOwnFilesBack) {
    WriteFile(install / "tq0007.dsn", kInstallationsOwn);
    GetParam().steps(*this);
    const auto texts = Texts(0);
    EXPECT_NE(std::find(texts.begin(), texts.end(), kRestored), texts.end()) << "the last restore ends";
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), kProductsOwn);
    EXPECT_EQ(ReadFile(install / "tq0007.dsn"), kInstallationsOwn);
    EXPECT_FALSE(fs::exists(install / "Daltrix-sparade.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RestoreSequence,
    ::testing::Values(
        // The edit is kept, not put back in the product's file's place.
        Sequence{"ConvertEditRestoreConvertRestore",
                 [](Restore& r) {
                     auto& b = static_cast<RestoreSequence&>(r);
                     b.Convert();
                     WriteFile(b.install / "tq0007.dsn", "an operator's edit");
                     b.RestoreAnew();
                     b.Convert();
                     b.RestoreAnew();
                     EXPECT_EQ(ReadFile(b.install / "tq0007.dsn.2"), "an operator's edit");
                 }},
        Sequence{"AKeptFileThatCannotBePutBackThenRunAgain",
                 [](Restore& r) {
                     auto& b = static_cast<RestoreSequence&>(r);
                     b.Convert();
                     fs::permissions(b.install / "tq0007.dsn", fs::perms::owner_read);
                     {
                         PermissionBitsEnforced asNonRoot;
                         EXPECT_EQ(b.Script({u"/aterstall", u"/ja"}), kExitRestoreIncomplete);
                     }
                     const auto log = b.Texts(0);
                     EXPECT_EQ(log[log.size() - 3], "Kunde inte lägga tillbaka " +
                                                        WinPath(b.install / "tq0007.dsn").ToUtf8() +
                                                        ".1 som tq0007.dsn: " + std::strerror(EACCES));
                     EXPECT_TRUE(WrittenByThisTool(WinPath(b.install / "tqsys.dsn"))) << "tqsys.dsn comes back last";
                     fs::permissions(b.install / "tq0007.dsn", fs::perms::owner_all);
                     EXPECT_EQ(b.Script({u"/aterstall", u"/ja"}), kExitDone);
                 }},
        // A folder an earlier version converted has no record; a name it does not know stays.
        Sequence{"AnEarlierVersionsFolder",
                 [](Restore& r) {
                     auto& b = static_cast<RestoreSequence&>(r);
                     b.Convert();
                     fs::remove(b.install / "Daltrix-sparade.txt");
                     WriteFile(b.install / "tq0007.dsn.01", "unknown");
                     const auto lines = b.RestoreAnew();
                     EXPECT_EQ(lines.at(1), "Info: " + WinPath(b.install / "tq0007.dsn.01").ToUtf8() +
                                                " lämnas som den är: Daltrix sparar inga filer under det namnet");
                     EXPECT_EQ(ReadFile(b.install / "tq0007.dsn.01"), "unknown");
                 }}),
    [](const ::testing::TestParamInfo<Sequence>& info) { return std::string(info.param.name); });

// --- the verbs from a script ---------------------------------------------------------------------

TEST_F(Verbs, FromAScriptEachVerbEndsTheDialogWithItsExitCode) {
    const auto lastLines = [this](size_t count) {
        const auto log = f.Log();
        std::vector<std::string> texts;
        for (size_t i = log.size() - count; i < log.size(); ++i)
            texts.push_back(log[i].substr(4));
        return texts;
    };
    EXPECT_EQ(Script({u"/konvertera"}), kExitWrongArguments);
    EXPECT_EQ(lastLines(2), (std::vector<std::string>{"Fel på kommandoraden: /konvertera saknar ett företagsnummer. "
                                                      "Daltrix.exe /? visar hur programmet körs från kommandoraden.",
                                                      "Daltrix avslutas med slutkod 2"}));
    EXPECT_EQ(Script({u"/kontrollera", u"99"}), kExitWrongArguments);
    EXPECT_EQ(lastLines(2).front(), "Företag 99 finns inte i listan");
    EXPECT_EQ(Script({u"/aterstall"}), kExitNothingChanged);
    EXPECT_EQ(Script({u"/kontrollera", u"7"}), kExitNothingChanged) << "tq0012.dsn is missing";
    server->WriteCompanyDsn(program / "tq0012.dsn");
    EXPECT_EQ(Script({u"-KONTROLLERA", u"7"}), kExitDone);

    EXPECT_EQ(Script({u"/konvertera", u"7"}), kExitDone);
    EXPECT_EQ(lastLines(2).front(), "Klart! Klicka Avsluta");
    Direct({"USE [Varnik_tqsys]", "UPDATE TQ_FORETAG SET Namn = 'Acme gamla' WHERE Nummer = 1"});
    EXPECT_EQ(Script({u"/konvertera", u"7"}), kExitNothingChanged);
    EXPECT_EQ(lastLines(3), (std::vector<std::string>{
                                "Frågan besvarades Nej, eftersom /ja inte gavs",
                                "Konverteringen avbröts. Inga filer i " + WinPath(install).ToUtf8() + " har ändrats.",
                                "Daltrix avslutas med slutkod 1"}));
    EXPECT_EQ(Script({u"/konvertera", u"7", u"/ja"}), kExitRepointedWithRemarks);
    EXPECT_EQ(Script({u"/aterstall"}), kExitNothingChanged);
    EXPECT_EQ(Script({u"/aterstall", u"/ja"}), kExitDone);
    EXPECT_EQ(lastLines(2).front(), kRestored);
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), kProductsOwn);

    // What would show a stop box (the switch to a Varnik_tqsys that could not be created) ends the
    // run with its line instead.
    Prepare({"--login", "varnik:" + kPassword + ":nocreate"});
    EXPECT_EQ(Script({u"/konvertera", u"7"}), kExitNothingChanged);
    ExpectFailureLine(lastLines(2).front(), "Körningen avbröts: ", "Database 'Varnik_tqsys' does not exist");
    EXPECT_TRUE(headless::TheScreen().stopMessages.empty());
    EXPECT_TRUE(headless::TheScreen().questions.empty()) << "a script shows no question";
}

}  // namespace
