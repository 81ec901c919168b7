#include "platform/CString.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

std::string Fmt(const char16_t* format, const std::vector<CString::FormatArg>& args) {
    return CString::Format(format, args).ToUtf8();
}

TEST(CStringFormat, NumbersPadToTheirWidthAndNeverCut) {
    EXPECT_EQ(Fmt(u"%03d x", {1}), "001 x");
    EXPECT_EQ(Fmt(u"%03d x", {999}), "999 x");
    EXPECT_EQ(Fmt(u"%03d x", {1000}), "1000 x");
    EXPECT_EQ(Fmt(u"tq%04d.dsn", {7}), "tq0007.dsn");
    EXPECT_EQ(Fmt(u"tq%04d.dsn", {12345}), "tq12345.dsn");
    EXPECT_EQ(Fmt(u"tq%04d.dsn", {-7}), "tq-007.dsn");
    EXPECT_EQ(Fmt(u"%d", {-2147483647 - 1}), "-2147483648");
    EXPECT_EQ(Fmt(u"[%5d]", {42}), "[   42]");
}

TEST(CStringFormat, TextsGoInUnchangedAndPercentSignsStayValues) {
    EXPECT_EQ(Fmt(u"%03d Hittade en tqsys.dsn som %s", {3, CString(u"C:\\Verktyg\\tqsys.dsn")}),
              "003 Hittade en tqsys.dsn som C:\\Verktyg\\tqsys.dsn");
    EXPECT_EQ(Fmt(u"SERVER=%s;", {CString(u"A%sB%d")}), "SERVER=A%sB%d;");
    EXPECT_EQ(Fmt(u"%03d Företag %s är valt", {4, CString()}), "004 Företag  är valt");
    EXPECT_EQ(Fmt(u"100%% %s", {CString(u"åäö ÅÄÖ")}), "100% åäö ÅÄÖ");
}

TEST(CStringFormat, MismatchedValuesAreCodingFaultsNotSilentText) {
    EXPECT_THROW(Fmt(u"%d", {CString(u"x")}), std::invalid_argument);
    EXPECT_THROW(Fmt(u"%s", {1}), std::invalid_argument);
    EXPECT_THROW(Fmt(u"%s %s", {CString(u"x")}), std::invalid_argument);
    EXPECT_THROW(Fmt(u"%s", {CString(u"x"), CString(u"y")}), std::invalid_argument);
    EXPECT_THROW(Fmt(u"%x", {1}), std::invalid_argument);
    EXPECT_THROW(Fmt(u"ends with %", {}), std::invalid_argument);
}

TEST(CStringText, Utf8RoundTripKeepsSwedishAndAstralCharacters) {
    const std::string text = "Lön åäö ÅÄÖ € 😀";
    EXPECT_EQ(CString::FromUtf8(text).ToUtf8(), text);
    EXPECT_EQ(CString::FromUtf8("L\xC3\xB6n").GetLength(), 3);
    EXPECT_EQ(CString::FromUtf8("\xFF"
                                "a")
                  .ToUtf8(),
              "\xEF\xBF\xBD"
              "a");
}

TEST(CStringText, OnlyWellFormedUtf8IsValid) {
    EXPECT_EQ(CString::FromValidUtf8("L\xC3\xB6n \xE2\x82\xAC \xF0\x9F\x98\x80")->Str(), u"L\u00F6n \u20AC \U0001F600");
    EXPECT_EQ(CString::FromValidUtf8("")->Str(), u"");
    EXPECT_EQ(CString::FromValidUtf8("\xEF\xBF\xBD")->Str(), u"\uFFFD");  // a replacement character of its own
    for (const char* bad : {"L\xF6n", "\xC3", "\xE2\x82", "\x80", "\xC3\x28", "\xF8\x88\x80\x80\x80"})
        EXPECT_FALSE(CString::FromValidUtf8(bad)) << bad;
}

TEST(CStringText, SearchAndCutBehaveLikeTheFrameworkString) {
    const CString s(u"DRIVER={SQL Server};SERVER=SRV01");
    EXPECT_EQ(s.Find(u"SERVER="), 20);
    EXPECT_EQ(s.Find(u"NOPE"), -1);
    EXPECT_EQ(s.Find(u';', 21), -1);
    EXPECT_EQ(s.Mid(27).ToUtf8(), "SRV01");
    EXPECT_EQ(s.Mid(99).ToUtf8(), "");
    EXPECT_EQ(s.Left(0).ToUtf8(), "");
    EXPECT_EQ(CString(u"C:\\a\\b.exe").ReverseFind(u'\\'), 4);
    EXPECT_EQ(CString(u"b.exe").ReverseFind(u'\\'), -1);

    CString upper(u"Trusted_Connection=Yes;ö");
    EXPECT_EQ(upper.MakeUpper().ToUtf8(), "TRUSTED_CONNECTION=YES;ö");

    CString padded(u"  Acme AB   \t");
    EXPECT_EQ(padded.Trim().ToUtf8(), "Acme AB");
    CString replaced(u"a;PWD=x;b;PWD=x;");
    EXPECT_EQ(replaced.Replace(u"PWD=x", u"********"), 2);
    EXPECT_EQ(replaced.ToUtf8(), "a;********;b;********;");
}

}  // namespace
