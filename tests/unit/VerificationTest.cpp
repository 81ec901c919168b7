// What the read-back of Varnik_tqsys counts as the same: numbers as numbers, texts without the
// char padding, NULL as NULL only; and what it lists when something is missing or different.
#include "conversion/SystemTables.h"
#include "conversion/Verification.h"

#include <gtest/gtest.h>

namespace {

TEST(WholeNumber, IsAWholeNumberInIntRangeAndNothingElse) {
    EXPECT_EQ(WholeNumber(u"7"), 7);
    EXPECT_EQ(WholeNumber(u" 007 "), 7);
    EXPECT_EQ(WholeNumber(u"+5"), 5);
    EXPECT_EQ(WholeNumber(u"-2147483648"), -2147483648LL);
    EXPECT_EQ(WholeNumber(u"2147483647"), 2147483647);
    for (const char16_t* text : {u"", u"  ", u"+", u"-", u"abc", u"1.5", u"12abc", u"1 2", u"2147483648",
                                 u"-2147483649", u"99999999999999999999999"})
        EXPECT_FALSE(WholeNumber(text).has_value()) << CString(text).ToUtf8();
    // An int column stores a blank text as 0.
    EXPECT_EQ(IntColumnValue(u" "), 0);
    EXPECT_FALSE(IntColumnValue(u"x").has_value());
}

TEST(ValueRefusal, CountsCharactersWithoutTrailingBlanksAndNamesTheColumn) {
    const SystemColumn name = kCompanyColumns[1];
    EXPECT_FALSE(ValueRefusal(name, CString(std::u16string(128, u'å'))).has_value());
    EXPECT_FALSE(ValueRefusal(name, CString(std::u16string(128, u'x') + u"     ")).has_value());
    EXPECT_EQ(ValueRefusal(name, CString(std::u16string(129, u'x')))->ToUtf8(),
              "Namn har 129 tecken men kolumnen rymmer 128");
    // Leading blanks are stored, so they count.
    EXPECT_TRUE(ValueRefusal(name, CString(u" " + std::u16string(128, u'x'))).has_value());
    EXPECT_EQ(ValueRefusal(kParameterColumns[8], CString(std::u16string(65, u'k')))->ToUtf8(),
              "Nyckel har 65 tecken men kolumnen rymmer 64");
    // An int column has no room to count; a character outside code page 1252 comes first.
    EXPECT_FALSE(ValueRefusal(kParameterColumns[0], CString(std::u16string(300, u'1'))).has_value());
    EXPECT_EQ(ValueRefusal(name, CString(std::u16string(200, u'x') + u"\u0141"))->ToUtf8(),
              "Tecknet U+0141 finns inte i teckentabell 1252 och kan inte lagras");
}

Row Stored(std::initializer_list<std::optional<const char16_t*>> fields) {
    Row row;
    for (const auto& field : fields)
        row.push_back(field ? std::optional<CString>(*field) : std::nullopt);
    return row;
}

// The parameter row as the migration sends it: Kontrollsumma, Licensagare, Licensnr, Major,
// Max_foretag, Max_lontagare, Minor, MultiplaPerioder, Nyckel, Password, Sokvag.
Row Parameters(std::optional<const char16_t*> owner = u"Ägare AB ", std::optional<const char16_t*> major = u"3") {
    return Stored({u"99", owner, u"4711", major, u"", u" 50", u"+2", std::nullopt, u"NYCKEL", u"pw", u"C:\\Varnik"});
}

std::vector<std::string> Lines(const std::vector<Finding>& findings) {
    std::vector<std::string> lines;
    for (const Finding& finding : findings) {
        std::vector<CString::FormatArg> args{1};
        args.insert(args.end(), finding.args.begin(), finding.args.end());
        lines.push_back(CString::Format(finding.format, args).ToUtf8().substr(4));
    }
    return lines;
}

class Differences : public ::testing::Test {
protected:
    void SetUp() override {
        sent.companies = {{u"007", u"Sju AB", u"tq0007.dsn", true}, {u"12", u"Tolv AB", u"", true}};
        sent.parameters = {Parameters(), true};
    }
    MigrationRecord sent;
    // As the server gives them back: char(n) padded, ints as their digits, rows in any order.
    std::vector<Row> companies{Stored({u"12", u"Tolv AB   ", u"   "}), Stored({u"7", u"Sju AB  ", u"tq0007.dsn  "})};
    std::vector<Row> parameters{Stored(
        {u"99", u"Ägare AB    ", u"4711", u"3", u"0", u"50", u"2", std::nullopt, u"NYCKEL ", u"pw", u"C:\\Varnik"})};
};

TEST_F(Differences, NoneWhenEveryRowReadsBackAsSent) {
    EXPECT_EQ(Lines(FindDifferences(sent, companies, parameters)), std::vector<std::string>{});
}

TEST_F(Differences, AMissingCompanyIsNamedByItsNumberInListOrder) {
    sent.companies.push_back({u"", u"Utan nummer", u"", false});
    sent.companies.insert(sent.companies.begin(), {u"3", u"Tre AB", u"", false});
    EXPECT_EQ(Lines(FindDifferences(sent, companies, parameters)),
              (std::vector<std::string>{"Företag 3 saknas i Varnik_tqsys", "Företag  saknas i Varnik_tqsys"}));
}

TEST_F(Differences, AnInsertedCompanyStoredOtherwiseNamesEachColumn) {
    companies[1] = Stored({u"7", u"Sju", std::nullopt});
    EXPECT_EQ(Lines(FindDifferences(sent, companies, parameters)),
              std::vector<std::string>{"Företag 007 har andra värden i Varnik_tqsys: Namn: skickat 'Sju AB', lagrat "
                                       "'Sju'; FileDSN: skickat 'tq0007.dsn', lagrat NULL"});
}

TEST_F(Differences, ACompanyTheRunDidNotInsertOnlyHasToBeThere) {
    sent.companies[1].inserted = false;  // already there: the server refused it as a duplicate
    companies[0] = Stored({u"12", u"Tolv AB, som det hette", u""});
    EXPECT_EQ(Lines(FindDifferences(sent, companies, parameters)), std::vector<std::string>{});
}

TEST_F(Differences, AMissingParameterRowIsFoundByItsLicenceNumber) {
    parameters[0][2] = CString(u"4712");
    EXPECT_EQ(Lines(FindDifferences(sent, companies, parameters)),
              std::vector<std::string>{"Parameterraden saknas i Varnik_tqsys"});
    EXPECT_EQ(Lines(FindDifferences(sent, companies, {})),
              std::vector<std::string>{"Parameterraden saknas i Varnik_tqsys"});
}

TEST_F(Differences, ARefusedParameterRowOnlyHasToBeThereWithItsLicenceNumber) {
    sent.parameters.inserted = false;
    parameters[0][1] = CString(u"Någon annan");
    EXPECT_EQ(Lines(FindDifferences(sent, companies, parameters)), std::vector<std::string>{});
}

TEST_F(Differences, AnInsertedParameterRowStoredOtherwiseNamesEachColumn) {
    sent.parameters.values = Parameters(std::nullopt, u"");
    EXPECT_EQ(Lines(FindDifferences(sent, companies, parameters)),
              std::vector<std::string>{"Parameterraden har andra värden i Varnik_tqsys: Licensagare: skickat NULL, "
                                       "lagrat 'Ägare AB'; Major: skickat '', lagrat '3'"});
}

TEST_F(Differences, AnEmptyParameterTableSentAsEmptyTextsReadsBackAsZeroesAndBlanks) {
    sent.parameters.values = Row(kParameterColumns.size(), CString());
    parameters = {Stored({u"0", u"   ", u"0", u"0", u"0", u"0", u"0", u"0", u"  ", u"  ", u"  "})};
    EXPECT_EQ(Lines(FindDifferences(sent, companies, parameters)), std::vector<std::string>{});
}

}  // namespace
