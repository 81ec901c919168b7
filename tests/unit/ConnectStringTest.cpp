// Joining items into a connect string and reading them back: no value may end early or swallow
// the items after it.
#include "platform/ConnectString.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct JoinCase {
    const char* name;
    std::u16string value;
    std::u16string joined;  // as the value stands in the string
};

// Test lists show the case by its name.
void PrintTo(const JoinCase& c, std::ostream* out) {
    *out << c.name;
}

class JoinedValues : public ::testing::TestWithParam<JoinCase> {};

TEST_P(JoinedValues, StandAsODBCWritesThemAndReadBackWithTheNextItemIntact) {
    const JoinCase& c = GetParam();
    const CString joined = JoinConnectString({{u"PWD", c.value}, {u"SERVER", u"sql01"}});
    EXPECT_EQ(joined, CString(u"PWD=") + c.joined + u";SERVER=sql01;");
    const ConnectItems back = ParseConnectString(joined);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].second, CString(c.joined));
    EXPECT_EQ(back[1].first, CString(u"SERVER"));
    EXPECT_EQ(back[1].second, CString(u"sql01"));
}

INSTANTIATE_TEST_SUITE_P(Values, JoinedValues,
                         ::testing::Values(JoinCase{"Plain", u"Hemligt", u"Hemligt"},
                                           JoinCase{"BraceInsideNeedsNoBraces", u"Hem}ligt", u"Hem}ligt"},
                                           JoinCase{"SemicolonGoesInBraces", u"Hem;ligt", u"{Hem;ligt}"},
                                           JoinCase{"SemicolonAndBraceDoublesTheBrace", u"ab;c}d", u"{ab;c}}d}"},
                                           JoinCase{"AlreadyBracedStaysAsItIs", u"{SQL Server}", u"{SQL Server}"},
                                           JoinCase{"BracedWithDoubledBraceStays", u"{a}}b;c}", u"{a}}b;c}"},
                                           JoinCase{"UnclosedBraceIsBracedItself", u"{SQL Server", u"{{SQL Server}"},
                                           JoinCase{"BraceClosedTooEarlyIsBracedItself", u"{Bj}rk", u"{{Bj}}rk}"},
                                           JoinCase{"Empty", u"", u""}),
                         [](const ::testing::TestParamInfo<JoinCase>& info) { return std::string(info.param.name); });

TEST(DriverName, IsTheDriverItemsNameOutOfItsBraces) {
    EXPECT_EQ(DriverName(u"SERVER=a;DRIVER={SQL Server};UID=b;"), CString(u"SQL Server"));
    EXPECT_EQ(DriverName(u"driver= SQLite3 ;Database=x"), CString(u"SQLite3"));
    EXPECT_EQ(DriverName(u"DRIVER={Bj}}rk; AB};PWD=x"), CString(u"Bj}rk; AB"));
    EXPECT_TRUE(DriverName(u"DSN=Varnik;UID=b").IsEmpty());
    EXPECT_TRUE(DriverName(u"").IsEmpty());
}

TEST(FileDsnText, OnePairOfQuotesAroundAValueIsDroppedAsWindowsReadsIt) {
    const std::string text = "[ODBC]\r\nPWD=\"Hem;ligt\"\r\nUID='anna'\r\nAPP=\"a\"b\"\r\nDSN=\"x\r\nX=\"\"\"\"\r\n";
    EXPECT_EQ(
        ParseFileDsn(std::vector<unsigned char>(text.begin(), text.end())),
        (ConnectItems{{u"PWD", u"Hem;ligt"}, {u"UID", u"anna"}, {u"APP", u"a\"b"}, {u"DSN", u"\"x"}, {u"X", u"\"\""}}));
}

TEST(FileDsnText, SingleByteFilesAreWindowsCodePage1252) {
    const std::string ansi = "[ODBC]\r\nUID=J\xF6rgen\r\nPWD=Pa\x80s\x96ord\x92s\x81\r\n";
    const ConnectItems items = ParseFileDsn(std::vector<unsigned char>(ansi.begin(), ansi.end()));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].second.Str(), u"J\u00F6rgen");
    EXPECT_EQ(items[1].second.Str(), u"Pa\u20ACs\u2013ord\u2019s\u0081");

    // Windows reads UTF-8 as single-byte text too, and a file with UTF-8's mark is refused.
    const std::string utf8 = "[ODBC]\r\nDATABASE=L\xC3\xB6n\r\n";
    EXPECT_EQ(ParseFileDsn(std::vector<unsigned char>(utf8.begin(), utf8.end())),
              (ConnectItems{{u"DATABASE", u"L\u00C3\u00B6n"}}));
    const std::string withBom = "\xEF\xBB\xBF" + utf8;
    EXPECT_TRUE(RefuseFileDsn(std::vector<unsigned char>(withBom.begin(), withBom.end())));
}

}  // namespace
