// Whole conversion runs over old data that is awkward to copy: quotes, format signs, control
// characters, characters outside code page 1252, texts at and over the column sizes, numbers that
// are no numbers. Each value is either read back from the server as expected or reported on a
// line of its own with the reason; nothing is lost without a word and every later row still goes.
#include "support/ConversionBed.h"

#include "CompleteRunLog.h"

#include <algorithm>
#include <cstdio>
#include <optional>

using namespace testing_support;

namespace {

std::string Repeat(const std::string& text, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

// A value as an SQLite literal. Control characters go as char(N): RunSqlite's script is read
// in text mode, where a carriage return would arrive as a line feed.
std::string Quoted(const std::optional<std::string>& value) {
    if (!value)
        return "NULL";
    std::string out = "'";
    for (char ch : *value) {
        if (ch == '\'')
            out += "''";
        else if (static_cast<unsigned char>(ch) < 0x20)
            out += "' || char(" + std::to_string(static_cast<int>(ch)) + ") || '";
        else
            out += ch;
    }
    return out + "'";
}

std::string ValueList(const std::vector<std::optional<std::string>>& values) {
    std::string out;
    for (const auto& value : values)
        out += (out.empty() ? "" : ", ") + Quoted(value);
    return out;
}

const std::string kDuplicateSeven =
    "Cannot insert duplicate key row in object 'dbo.TQ_FORETAG' with unique index 'PrimaryKey'. The duplicate key "
    "value is (7). The statement has been terminated.";

std::string NotIn1252(const std::string& codePoint) {
    return "Tecknet " + codePoint + " finns inte i teckentabell 1252 och kan inte lagras";
}

const std::string kNoValidNumber = "Företaget saknar ett giltigt nummer";

std::string TooLong(const std::string& column, size_t length, size_t room) {
    return column + " har " + std::to_string(length) + " tecken men kolumnen rymmer " + std::to_string(room);
}

// A failure text of our own, for a value that never went to the server.
bool RefusedBeforeSending(const std::string& refused) {
    return refused.find("Tecknet U+") != std::string::npos || refused.find("teckentabell 1252") != std::string::npos ||
           refused.find(kNoValidNumber) != std::string::npos ||
           refused.find(" tecken men kolumnen rymmer ") != std::string::npos ||
           refused.find(" tecken som kolumnen rymmer") != std::string::npos;
}

class BadInput : public ConversionBed {
protected:
    // The log lines after "NNN ", checking on the way that each line carries its own number:
    // a text that broke the format would shift or merge lines.
    std::vector<std::string> LogTexts() const {
        std::vector<std::string> texts;
        for (const auto& line : f.Log()) {
            EXPECT_EQ(line.substr(0, 4), Numbered(texts.size() + 1, "")) << line;
            texts.push_back(line.substr(4));
        }
        return texts;
    }

    std::vector<std::string> LinesStartingWith(const std::string& start) const {
        std::vector<std::string> lines;
        for (const auto& text : LogTexts())
            if (text.rfind(start, 0) == 0)
                lines.push_back(text);
        return lines;
    }
};

// A company as the old system holds it, and what must become of it: the row read back from the
// server ("Nummer|Namn|FileDSN", char padding trimmed), or the text of its failure line.
struct Company {
    std::string number, name, fileDsn;
    std::string stored;
    std::string refused;
};

const std::string kCompanyFailure = "Kunde inte uppdatera företagslistan: ";

// In list order, top to bottom: the order the rows are processed in. "1" is the company the
// operator double-clicks, last, so the whole list must be gone through for it to arrive.
const std::vector<Company> kCompanies{
    {"7", "Sju AB", "tq0007.dsn", "7|Sju AB|tq0007.dsn", ""},
    // The number is trimmed and then already present: the server's own message.
    {" 7", "Sju igen AB", "tq0107.dsn", "", "7, Sju igen AB, tq0107.dsn " + kDuplicateSeven},
    // The server reads "007" as 7, which the duplicate key shows.
    {"007", "Sju med nollor AB", "tq0207.dsn", "", "007, Sju med nollor AB, tq0207.dsn " + kDuplicateSeven},
    {" 8", "Åtta AB", "tq0008.dsn", "8|Åtta AB|tq0008.dsn", ""},
    {"009", "Nio AB", "tq0009.dsn", "9|Nio AB|tq0009.dsn", ""},
    {"-1", "Minus ett AB", "tq0011.dsn", "-1|Minus ett AB|tq0011.dsn", ""},
    // SQL Server would store '' in an int column as 0, a number no company has.
    {"", "Utan nummer AB", "tq0012.dsn", "", ", Utan nummer AB, tq0012.dsn " + kNoValidNumber},
    {"abc", "O'Hara 50%\nrad två", "tq0013.dsn", "", "abc, O'Hara 50%\nrad två, tq0013.dsn " + kNoValidNumber},
    {"99999999999", "Stort nummer AB", "tq0014.dsn", "", "99999999999, Stort nummer AB, tq0014.dsn " + kNoValidNumber},
    {"20", "Citat 'enkla' och \"dubbla\"", "tq0020.dsn", "20|Citat 'enkla' och \"dubbla\"|tq0020.dsn", ""},
    {"21", "100% säker %s %d %%", "tq0021.dsn", "21|100% säker %s %d %%|tq0021.dsn", ""},
    {"22", "Semikolon; DROP TABLE TQ_FORETAG; --", "tq0022.dsn", "22|Semikolon; DROP TABLE TQ_FORETAG; --|tq0022.dsn",
     ""},
    {"23", "Klammer {SQL Server} \\ och \\\\server\\dela", "tq0023.dsn",
     "23|Klammer {SQL Server} \\ och \\\\server\\dela|tq0023.dsn", ""},
    {"24", "Tab\tinne", "tq0024.dsn", "24|Tab\tinne|tq0024.dsn", ""},
    {"25", "Rad ett\r\nrad två\nrad tre", "tq0025.dsn", "25|Rad ett\r\nrad två\nrad tre|tq0025.dsn", ""},
    // White space at both ends is trimmed by design, inside it stays.
    {"26", "\t\r\n Kantad  med blanka \t\r\n", "tq0026.dsn", "26|Kantad  med blanka|tq0026.dsn", ""},
    {"27", "åäö ÅÄÖ", "tq0027.dsn", "27|åäö ÅÄÖ|tq0027.dsn", ""},
    {"28", "Euro € – ”citat” ‰ Š AB", "tq0028.dsn", "28|Euro € – ”citat” ‰ Š AB|tq0028.dsn", ""},
    {"29", "Noter \U0001D11E 100%", "tq0029.dsn", "", "29, Noter \U0001D11E 100%, tq0029.dsn " + NotIn1252("U+1D11E")},
    {"30", "Łódź Sp. z o.o.", "tq0030.dsn", "", "30, Łódź Sp. z o.o., tq0030.dsn " + NotIn1252("U+0141")},
    {"31", "Kontroll\u0085tecken", "tq0031.dsn", "", "31, Kontroll\u0085tecken, tq0031.dsn " + NotIn1252("U+0085")},
    // A no-break space is no blank to the trim, and 1252 holds it.
    {"32", "Hårt mellanslag\u00A0", "tq0032.dsn", "32|Hårt mellanslag\u00A0|tq0032.dsn", ""},
    {"33", std::string(127, 'x'), "tq0033.dsn", "33|" + std::string(127, 'x') + "|tq0033.dsn", ""},
    {"34", Repeat("å", 128), "tq0034.dsn", "34|" + Repeat("å", 128) + "|tq0034.dsn", ""},
    {"35", std::string(129, 'n'), "tq0035.dsn", "",
     "35, " + std::string(129, 'n') + ", tq0035.dsn " + TooLong("Namn", 129, 128)},
    {"36", std::string(128, 'x') + "  ", "tq0036.dsn", "36|" + std::string(128, 'x') + "|tq0036.dsn", ""},
    {"37", "", "tq0037.dsn", "37||tq0037.dsn", ""},
    {"38", "   ", "  tq0038.dsn  ", "38||tq0038.dsn", ""},
    {"39", "Utan DSN AB", "", "39|Utan DSN AB|", ""},
    {"40", "Lång DSN AB", "tq0040" + std::string(250, 'x') + ".dsn", "",
     "40, Lång DSN AB, tq0040" + std::string(250, 'x') + ".dsn " + TooLong("FileDSN", 260, 255)},
    {"41", "Blank DSN AB", "   ", "41|Blank DSN AB|", ""},
    {"1", "Acme AB", "tq0001.dsn", "1|Acme AB|tq0001.dsn", ""},
};

// The "tqNNNN" of a company's file DSN, which finds its insert among the statements; empty
// for a company without one.
std::string Tag(const Company& company) {
    const size_t at = company.fileDsn.find("tq");
    return at == std::string::npos ? std::string() : company.fileDsn.substr(at, 6);
}

TEST_F(BadInput, EachCompanyIsCopiedExactlyOrReportedOnceAndEveryLaterRowIsStillProcessed) {
    std::vector<std::string> oldRows;
    for (auto it = kCompanies.rbegin(); it != kCompanies.rend(); ++it)  // the list puts each new row on top
        oldRows.push_back(ValueList({it->number, it->name, it->fileDsn}));
    OldSystem(oldRows, {ValueList({"1", "L", "1", "1", "1", "N", "1", "1", "S", "P", "1"})}, Columns::Untyped);
    headless::TheScreen().answers = {true};  // go on although companies are missing
    EXPECT_EQ(StartAndConvert("1"), 0);

    // The list shows every cell as the old system holds it.
    const auto& list = f.dlg->m_companyList;
    ASSERT_EQ(list.GetItemCount(), static_cast<int>(kCompanies.size()));
    for (int row = 0; row < list.GetItemCount(); ++row) {
        const Company& c = kCompanies[static_cast<size_t>(row)];
        EXPECT_EQ(list.GetItemText(row, 0).ToUtf8(), c.number);
        EXPECT_EQ(list.GetItemText(row, 1).ToUtf8(), c.name) << "row " << row;
        EXPECT_EQ(list.GetItemText(row, 2).ToUtf8(), c.fileDsn) << "row " << row;
    }

    const auto rows = ServerRows("select Nummer, Namn, FileDSN from TQ_FORETAG");
    std::vector<std::string> failures;
    for (const auto& line : LinesStartingWith(kCompanyFailure))
        failures.push_back(line.substr(kCompanyFailure.size()));
    const auto statements = server->Statements();

    std::vector<std::string> expectedFailures;
    std::vector<std::string> expectedMissing;
    size_t expectedStored = 0;
    long lastInsert = -1;
    for (const auto& c : kCompanies) {
        const auto inServer = c.stored.empty() ? 0 : std::count(rows.begin(), rows.end(), c.stored);
        const auto inLog = c.refused.empty() ? 0 : std::count(failures.begin(), failures.end(), c.refused);
        EXPECT_EQ(inServer + inLog, 1) << "company " << c.number << " " << c.name;
        EXPECT_EQ(c.refused.empty() ? inServer : inLog, 1) << "company " << c.number << " " << c.name;
        if (c.refused.empty())
            ++expectedStored;
        else
            expectedFailures.push_back(c.refused);
        if (!c.refused.empty() && c.refused.find("duplicate key") == std::string::npos)
            expectedMissing.push_back("Företag " + c.number + " saknas i Varnik_tqsys");

        // Its insert comes after the one of the row above it; a row we refuse sends none.
        if (Tag(c).empty())
            continue;
        const auto insert = std::find_if(statements.begin(), statements.end(), [&](const std::string& s) {
            return s.rfind("INSERT INTO TQ_FORETAG", 0) == 0 && s.find(Tag(c)) != std::string::npos;
        });
        if (RefusedBeforeSending(c.refused)) {
            EXPECT_EQ(insert, statements.end()) << *insert;
            continue;
        }
        ASSERT_NE(insert, statements.end()) << Tag(c);
        EXPECT_GT(insert - statements.begin(), lastInsert) << Tag(c);
        lastInsert = insert - statements.begin();
    }
    EXPECT_EQ(rows.size(), expectedStored) << "no row the table does not expect";
    EXPECT_EQ(failures, expectedFailures) << "one line each, in list order";

    // The read-back names every company that did not go in, the operator goes on, and the run
    // reaches its end: the new system DSN, the copies.
    const auto texts = LogTexts();
    const size_t afterCompanies = 12 + expectedFailures.size();
    ASSERT_GE(texts.size(), afterCompanies + 3 + expectedMissing.size() + 1);
    EXPECT_EQ(texts[11].rfind("Uppdaterar Varnik_tqsys.", 0), 0u) << texts[11];
    for (size_t i = 0; i < expectedFailures.size(); ++i)
        EXPECT_EQ(texts[12 + i], kCompanyFailure + expectedFailures[i]);
    // The three companies numbered 7 stand first, each compared with the one row of number 7.
    std::vector<std::string> expectedRest{
        "Uppdaterar parametertabellen i Varnik_tqsys",
        "Parametrarna uppdaterade",
        "Uppdateringen av Varniks systemdatabas slutförd",
        "Företagsnummer 7 finns 3 gånger i den gamla företagslistan",
        "Företag 7 har andra värden i Varnik_tqsys: Namn: gamla systemet 'Sju igen AB', Varnik_tqsys 'Sju AB'; "
        "FileDSN: gamla systemet 'tq0107.dsn', Varnik_tqsys 'tq0007.dsn'",
        "Företag 007 har andra värden i Varnik_tqsys: Namn: gamla systemet 'Sju med nollor AB', Varnik_tqsys 'Sju "
        "AB'; FileDSN: gamla systemet 'tq0207.dsn', Varnik_tqsys 'tq0007.dsn'"};
    expectedRest.insert(expectedRest.end(), expectedMissing.begin(), expectedMissing.end());
    expectedRest.push_back("Fortsätter trots att Varnik_tqsys inte är komplett");
    expectedRest.insert(expectedRest.end(), kRepointingTexts.begin(), kRepointingTexts.end());
    EXPECT_EQ(std::vector<std::string>(texts.begin() + static_cast<long>(afterCompanies), texts.end()), expectedRest);
    EXPECT_EQ(headless::TheScreen().questions.size(), 1u);
    EXPECT_TRUE(headless::TheScreen().stopMessages.empty());
}

// One old parameter row per run, and what must become of it: the row read back, or the text of
// its failure line.
struct ParameterCase {
    const char* name;
    std::vector<std::optional<std::string>> values;  // in the old table's column order
    std::string stored;
    std::string refused;
};

// Test lists show the case by its name.
void PrintTo(const ParameterCase& c, std::ostream* out) {
    *out << c.name;
}

class ParameterRow : public BadInput, public ::testing::WithParamInterface<ParameterCase> {};

TEST_P(ParameterRow, IsCopiedExactlyOrReportedWithTheReason) {
    const ParameterCase& p = GetParam();
    OldSystem({"1, 'Acme AB', 'tq0001.dsn'"}, {ValueList(p.values)}, Columns::Untyped);
    headless::TheScreen().answers = {true};  // go on without the parameter row
    EXPECT_EQ(StartAndConvert("1"), 0);

    const auto rows = ServerRows(
        "select Licensnr, Licensagare, Max_lontagare, Max_foretag, Kontrollsumma, Nyckel, Major, Minor, Sokvag, "
        "Password, MultiplaPerioder from TQ_PARAMETRAR");
    const auto failures = LinesStartingWith("Kunde inte uppdatera Parametrarna: ");
    const auto updated = LinesStartingWith("Parametrarna uppdaterade");
    if (p.refused.empty()) {
        EXPECT_EQ(rows, std::vector<std::string>{p.stored});
        EXPECT_TRUE(failures.empty()) << failures.front();
        EXPECT_EQ(updated.size(), 1u);
        EXPECT_EQ(LinesStartingWith("Kontrollerat: ").size(), 1u) << "read back as sent";
        EXPECT_TRUE(headless::TheScreen().questions.empty());
    } else {
        EXPECT_TRUE(rows.empty()) << rows.front();
        EXPECT_EQ(failures, std::vector<std::string>{"Kunde inte uppdatera Parametrarna: " + p.refused});
        EXPECT_TRUE(updated.empty());
        EXPECT_EQ(LinesStartingWith("Parameterraden saknas i Varnik_tqsys").size(), 1u);
        EXPECT_EQ(headless::TheScreen().questions.size(), 1u);
    }
    EXPECT_EQ(Count("INSERT INTO TQ_PARAMETRAR"), RefusedBeforeSending(p.refused) ? 0u : 1u);
    // The run goes on to its end all the same.
    EXPECT_EQ(LogTexts().back(), "Klart! Klicka Avsluta");
    EXPECT_EQ(ServerRows("select Nummer, Namn, FileDSN from TQ_FORETAG"),
              std::vector<std::string>{"1|Acme AB|tq0001.dsn"});
    EXPECT_TRUE(headless::TheScreen().stopMessages.empty());
}

const std::string kAwkwardText = "  Citat \"x\" 'y' 100% %s; {a} \\ tab\there\r\nrad två åäöÅÄÖ € ";

INSTANTIATE_TEST_SUITE_P(
    BadInput, ParameterRow,
    ::testing::Values(
        // Untrimmed: leading blanks stay; trailing ones are one with the char padding. The
        // server reads " 7", "007", "" and "+3" as 7, 7, 0 and 3; a NULL stays NULL.
        ParameterCase{"AwkwardTextsAndNumbersTheServerReads",
                      {" 7", kAwkwardText, "007", "", "-1", "%d%%", std::nullopt, "+3", "C:\\Varnik\\Lön\\",
                       "'; DROP TABLE TQ_FORETAG; --", " 1 "},
                      "7|  Citat \"x\" 'y' 100% %s; {a} \\ tab\there\r\nrad två åäöÅÄÖ €|7|0|-1|%d%%|<NULL>|3|"
                      "C:\\Varnik\\Lön\\|'; DROP TABLE TQ_FORETAG; --|1",
                      ""},
        ParameterCase{"ALicenceNumberThatIsNoNumber",
                      {"abc", "L", "1", "1", "1", "N", "1", "1", "S", "P", "1"},
                      "",
                      "Conversion failed when converting the varchar value 'abc' to data type int."},
        ParameterCase{"ANumberTooLargeForInt",
                      {"1", "L", "1", "99999999999", "1", "N", "1", "1", "S", "P", "1"},
                      "",
                      "The conversion of the varchar value '99999999999' overflowed an int column."},
        ParameterCase{"AKeyLongerThanItsColumn",
                      {"1", "L", "1", "1", "1", std::string(65, 'k'), "1", "1", "S", "P", "1"},
                      "",
                      "Nyckel är längre än de 64 tecken som kolumnen rymmer"},
        // Blanks that a wider old column padded the value with are no part of it.
        ParameterCase{"APaddedOwnerNameThatFitsWithoutItsBlanks",
                      {"1", std::string(255, 'L') + std::string(45, ' '), "1", "1", "1", "N", "1", "1", "S", "P", "1"},
                      "1|" + std::string(255, 'L') + "|1|1|1|N|1|1|S|P|1",
                      ""},
        ParameterCase{"AnOwnerNameOutside1252",
                      {"1", "Łódź Lön AB", "1", "1", "1", "N", "1", "1", "S", "P", "1"},
                      "",
                      NotIn1252("U+0141")},
        // A secret's refusal shows none of its characters.
        ParameterCase{"APasswordWithACharacterOutsideTheBasicPlane",
                      {"1", "L", "1", "1", "1", "N", "1", "1", "S", "pw\U0001F600", "1"},
                      "",
                      "Password har ett tecken som inte finns i teckentabell 1252 och kan inte lagras"}),
    [](const ::testing::TestParamInfo<ParameterCase>& info) { return std::string(info.param.name); });

}  // namespace
