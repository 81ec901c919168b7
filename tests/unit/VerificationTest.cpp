// What the read-back of Varnik_tqsys counts as the same as the old system, and what it lists
// otherwise; what a value must be to go in whole; and that no secret reaches a line.
#include "conversion/SystemTables.h"
#include "conversion/Verification.h"

#include <gtest/gtest.h>

#include <ostream>

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
    // A DSN file is named by any text, as _wtoi reads it.
    EXPECT_EQ(DsnFileNumber(u" 12abc"), 12);
    EXPECT_EQ(DsnFileNumber(u"abc"), 0);
    EXPECT_EQ(DsnFileNumber(u"-5"), -5);
    EXPECT_EQ(DsnFileNumber(u"99999999999"), 2147483647);
    EXPECT_EQ(DsnFileNumber(u"\u3000\uFF11\u0662"), 12);
}

CString WithZero(const char16_t* before, const char16_t* after) {
    return CString(before) + CString(std::u16string(1, u'\0')) + after;
}

struct RefusalCase {
    const char* name;
    SystemColumn column;
    CString value;
    int room;
    const char* refusal;  // nullptr: the value goes in
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.name;
}

class Refusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, SaysWhyAValueCannotGoInWhole) {
    const RefusalCase& c = GetParam();
    const auto refusal = ValueRefusal(c.column, c.value, c.room);
    EXPECT_EQ(refusal ? refusal->ToUtf8() : std::string("-"), c.refusal ? c.refusal : "-");
}

const SystemColumn kName = kCompanyColumns[1];
const SystemColumn kPassword = kParameterColumns[9];

INSTANTIATE_TEST_SUITE_P(
    Values, Refusal,
    ::testing::Values(RefusalCase{"FullColumn", kName, CString(std::u16string(128, u'å')), 128, nullptr},
                      RefusalCase{"TrailingBlanksDoNotCount", kName, CString(std::u16string(128, u'x') + u"   "), 128,
                                  nullptr},
                      RefusalCase{"OneTooMany", kName, CString(std::u16string(129, u'x')), 128,
                                  "Namn har 129 tecken men kolumnen rymmer 128"},
                      RefusalCase{"LeadingBlanksCount", kName, CString(u" " + std::u16string(128, u'x')), 128,
                                  "Namn har 129 tecken men kolumnen rymmer 128"},
                      RefusalCase{"ANarrowerColumnOnTheServer", kName, u"Björk & Söner", 5,
                                  "Namn har 13 tecken men kolumnen rymmer 5"},
                      RefusalCase{"AnIntColumnHasNoRoomToCount", kParameterColumns[0],
                                  CString(std::u16string(300, u'1')), 0, nullptr},
                      RefusalCase{"OutsideCodePage1252", kName, u"Łódź", 128,
                                  "Tecknet U+0141 finns inte i teckentabell 1252 och kan inte lagras"},
                      RefusalCase{"ASecretsCharacterIsNotShown", kPassword, u"pass\u0141", 64,
                                  "Password har ett tecken som inte finns i teckentabell 1252 och kan inte lagras"},
                      RefusalCase{"ASecretsLengthIsNotShown", kPassword, CString(std::u16string(70, u'x')), 64,
                                  "Password är längre än de 64 tecken som kolumnen rymmer"},
                      RefusalCase{"AZeroInsideWouldCutTheStatement", kName, WithZero(u"Acme", u" AB"), 128,
                                  "Namn innehåller ett nolltecken, som skulle kapa värdet"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST(Refusal, ZeroPaddingIsDroppedLikeTrailingBlanks) {
    EXPECT_EQ(WithoutZeroPadding(WithZero(u"Acme", u"")) + u"|", CString(u"Acme|"));
    EXPECT_EQ(WithoutZeroPadding(WithZero(u"Acme ", u"  ")) + u"|", CString(u"Acme|"));
    EXPECT_EQ(WithoutZeroPadding(u"Acme  ") + u"|", CString(u"Acme  |"));
    EXPECT_EQ(WithoutZeroPadding(WithZero(u"A", u"B")), WithZero(u"A", u"B"));
}

TEST(WithoutSecrets, MasksTheSecretsAndAnyQuotedStartOfThem) {
    Row parameters(kParameterColumns.size(), CString(u"1"));
    parameters[8] = CString(u"NYCKEL-ABCDEF");
    parameters[9] = CString(u"pa'ss ord   ");
    // Nyckel inside Password: masked one after the other, one mask would break up the other.
    Row nested = parameters;
    nested[8] = CString(u"2024");
    nested[9] = CString(u"Tiger2024Stripe");
    const struct {
        const Row& secrets;
        const char* error;
        const char* masked;
    } cases[] = {
        {parameters,
         "String or binary data would be truncated in table 'Varnik_tqsys.dbo.TQ_PARAMETRAR', column 'Nyckel'. "
         "Truncated value: 'NYCKEL-AB'.",
         "String or binary data would be truncated in table 'Varnik_tqsys.dbo.TQ_PARAMETRAR', column 'Nyckel'. "
         "Truncated value: '********'."},
        {parameters, "Conversion failed when converting the varchar value 'pa'ss ord' to data type int.",
         "Conversion failed when converting the varchar value '********' to data type int."},
        {parameters, "Truncated value: 'pa'ss'.", "Truncated value: '********'."},
        {nested, "value 'Tiger2024Stripe', 'Tiger2024', 2024.", "value '********', '********', ********."},
        {parameters, "Cannot insert duplicate key row with unique index 'PrimaryKey'. The duplicate key value is (1).",
         "Cannot insert duplicate key row with unique index 'PrimaryKey'. The duplicate key value is (1)."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WithoutSecrets(CString::FromUtf8(c.error), c.secrets).ToUtf8(), c.masked);
}

std::vector<CString> Statements(const SystemLayout& layout, CString& blocked) {
    const auto statements = MissingCreationStatements(layout, blocked);
    return std::vector<CString>(statements.begin(), statements.end());
}

TEST(CreationStatements, ABrokenOffCreationGetsWhatItLacksInCreationOrder) {
    SystemLayout layout;
    CString blocked;
    EXPECT_EQ(Statements(layout, blocked), (std::vector<CString>{kCreateCompanyTable, kCreateCompanyIndex,
                                                                 kCreateParameterTable, kCreateParameterIndex}));
    layout.companies = {true, true, {}};
    layout.parameters.present = true;
    EXPECT_EQ(Statements(layout, blocked), std::vector<CString>{kCreateParameterIndex});
    EXPECT_TRUE(blocked.IsEmpty());
    layout.parameters.uniqueIndex = false;
    EXPECT_TRUE(Statements(layout, blocked).empty());
    EXPECT_EQ(blocked.ToUtf8(), "indexet PrimaryKey på TQ_PARAMETRAR är inte unikt");
}

Row Fields(std::initializer_list<std::optional<const char16_t*>> fields) {
    Row row;
    for (const auto& field : fields)
        row.push_back(field ? std::optional<CString>(*field) : std::nullopt);
    return row;
}

// The old system as the migration sends it, and Varnik_tqsys as the server gives it back: char(n)
// padded, ints as their digits, rows in any order. The parameter row's columns: Kontrollsumma,
// Licensagare, Licensnr, Major, Max_foretag, Max_lontagare, Minor, MultiplaPerioder, Nyckel,
// Password, Sokvag.
struct Site {
    std::vector<Row> old{Fields({u"007", u"Sju AB", u"tq0007.dsn"}), Fields({u"12", u"Tolv AB", u""})};
    Row oldParameters =
        Fields({u"99", u"Ägare AB ", u"4711", u"3", u"", u" 50", u"+2", std::nullopt, u"NYCKEL", u"pw", u"C:\\Varnik"});
    std::vector<Row> stored{Fields({u"12", u"Tolv AB   ", u"   "}), Fields({u"7", u"Sju AB  ", u"tq0007.dsn  "})};
    std::vector<Row> storedParameters{Fields(
        {u"99", u"Ägare AB    ", u"4711", u"3", u"0", u"50", u"2", std::nullopt, u"NYCKEL ", u"pw", u"C:\\Varnik"})};
};

struct ComparisonCase {
    const char* name;
    void (*change)(Site&);
    std::vector<std::string> lines;
};

void PrintTo(const ComparisonCase& c, std::ostream* out) {
    *out << c.name;
}

class Comparison : public ::testing::TestWithParam<ComparisonCase> {};

TEST_P(Comparison, FindsWhatVarnikTqsysHoldsOtherwiseThanTheOldSystem) {
    Site site;
    GetParam().change(site);
    std::vector<std::string> lines;
    for (const Finding& finding : FindDifferences(site.old, site.oldParameters, site.stored, site.storedParameters)) {
        std::vector<CString::FormatArg> args{1};
        args.insert(args.end(), finding.args.begin(), finding.args.end());
        lines.push_back(CString::Format(finding.format, args).ToUtf8().substr(4));
    }
    EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Sites, Comparison,
    ::testing::Values(
        ComparisonCase{"EqualRowsReadBackWithoutFindings", [](Site&) {}, {}},
        ComparisonCase{"AMissingCompanyIsNamedByItsNumberInListOrder",
                       [](Site& s) {
                           s.old.push_back(Fields({u"", u"Utan nummer", u""}));
                           s.old.insert(s.old.begin(), Fields({u"3", u"Tre AB", u""}));
                       },
                       {"Företag 3 saknas i Varnik_tqsys", "Företag  saknas i Varnik_tqsys"}},
        ComparisonCase{"AStaleRowAlreadyThereIsComparedToo",
                       [](Site& s) {
                           s.stored[1] = Fields({u"7", u"Sju", std::nullopt});
                       },
                       {"Företag 007 har andra värden i Varnik_tqsys: Namn: gamla systemet 'Sju AB', Varnik_tqsys "
                        "'Sju'; FileDSN: gamla systemet 'tq0007.dsn', Varnik_tqsys NULL"}},
        ComparisonCase{"TwoRowsForOneNumber",
                       [](Site& s) {
                           s.stored.push_back(Fields({u"12", u"Tolv AB", u""}));
                       },
                       {"Företag 12 finns 2 gånger i Varnik_tqsys"}},
        ComparisonCase{"TwoCompaniesOfTheOldListWithOneNumber",
                       [](Site& s) {
                           s.old.push_back(Fields({u"7", u"Sju AB", u"tq0007.dsn"}));
                       },
                       {"Företagsnummer 007 finns 2 gånger i den gamla företagslistan"}},
        ComparisonCase{"ACompanyBeyondTheOldList",
                       [](Site& s) {
                           s.stored.push_back(Fields({u"99", u"Nedlagt AB", u""}));
                       },
                       {"Företag 99 finns i Varnik_tqsys men inte i den gamla företagslistan"}},
        ComparisonCase{"ASecondParameterRow",
                       [](Site& s) {
                           s.storedParameters.insert(s.storedParameters.begin(), s.storedParameters[0]);
                           s.storedParameters[0][kLicensnrColumn] = CString(u"1");
                       },
                       {"Varnik_tqsys har 2 parameterrader men ska ha en"}},
        ComparisonCase{"AParameterRowOfAnotherLicenceIsMissing",
                       [](Site& s) { s.storedParameters[0][kLicensnrColumn] = CString(u"4712"); },
                       {"Parameterraden saknas i Varnik_tqsys"}},
        ComparisonCase{"AStaleParameterRowNamesEachColumnButShowsNoSecret",
                       [](Site& s) {
                           s.storedParameters[0][1] = std::nullopt;
                           s.storedParameters[0][8] = CString(u"GAMMAL-NYCKEL");
                           s.storedParameters[0][9] = CString(u"gammalt");
                       },
                       {"Parameterraden har andra värden i Varnik_tqsys: Licensagare: gamla systemet 'Ägare AB', "
                        "Varnik_tqsys NULL; Nyckel: värdena skiljer sig (visas inte); Password: värdena skiljer sig "
                        "(visas inte)"}},
        ComparisonCase{
            "EmptyOldValuesReadBackAsZeroesAndBlanks",
            [](Site& s) {
                s.oldParameters = Row(kParameterColumns.size(), CString());
                s.storedParameters = {Fields({u"0", u"   ", u"0", u"0", u"0", u"0", u"0", u"0", u"  ", u"  ", u"  "})};
            },
            {}}),
    [](const ::testing::TestParamInfo<ComparisonCase>& info) { return std::string(info.param.name); });

}  // namespace
