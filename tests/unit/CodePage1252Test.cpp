#include "conversion/CodePage1252.h"
#include "platform/CodePage1252.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

struct Case {
    const char16_t* text;
    std::optional<char32_t> outside;
};

TEST(CodePage1252, FindsTheFirstCharacterThatHasNoByte) {
    const Case cases[] = {
        {u"", std::nullopt},
        {u"Acme AB", std::nullopt},
        {u"\u20AC 100", std::nullopt},                            // the euro sign at 0x80
        {u"\u00E5\u00E4\u00F6\u00C5\u00C4\u00D6", std::nullopt},  // å ä ö Å Ä Ö
        {u"\u0160\u0161\u017D\u017E\u0152\u0153\u0178\u0192", std::nullopt},
        {u"\u201A\u201E\u2026\u2020\u2021\u02C6\u2030\u2039\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122"
         u"\u203A",
         std::nullopt},
        {u"a\tb\r\nc\x01\x7F", std::nullopt},  // ASCII controls have their bytes
        {u"\u00A0\u00FF", std::nullopt},
        {u"\u0142\u00F3d\u017A", 0x0142},  // ł, though ó fits
        {u"Gda\u0144sk \u0142", 0x0144},   // the first one is named
        {u"x\U0001D11E", 0x1D11E},         // a pair is one character
        {u"\U0001F600\u0142", 0x1F600},
        {u"a\xD800-", 0xD800},      // a high surrogate without its low half
        {u"\xDC00\xD800", 0xDC00},  // the halves in the wrong order
        {u"a\xDC00", 0xDC00},       // a low half alone
        {u"\xD800", 0xD800},        // a high half at the end
        {u"\u0080", 0x0080},        // C1 controls: 1252 puts other characters there
        {u"\u0081", 0x0081},
        {u"\u009F", 0x009F},
        {u"\u0100", 0x0100},
        {u"\u20AD", 0x20AD},
        {u"\uFFFD", 0xFFFD},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FirstCharacterOutside1252(c.text), c.outside) << CString(c.text).ToUtf8();
}

TEST(CodePage1252, HoldsExactlyTwoHundredFiftyOneCharactersOfTheBasicPlane) {
    // 128 ASCII, 96 from U+00A0 to U+00FF and the 27 characters at 0x80..0x9F.
    int held = 0;
    for (char32_t cp = 0; cp < 0x10000; ++cp)
        if (cp < 0xD800 || cp > 0xDFFF)
            held += FirstCharacterOutside1252(std::u16string(1, static_cast<char16_t>(cp))) ? 0 : 1;
    EXPECT_EQ(held, 251);
}

TEST(CodePage1252, NamesACodePointWithAtLeastFourHexDigits) {
    EXPECT_EQ(CodePointName(0x0142).ToUtf8(), "U+0142");
    EXPECT_EQ(CodePointName(0x1D11E).ToUtf8(), "U+1D11E");
    EXPECT_EQ(CodePointName(0xD800).ToUtf8(), "U+D800");
    EXPECT_EQ(CodePointName(0x10FFFF).ToUtf8(), "U+10FFFF");
    EXPECT_EQ(CodePointName(0).ToUtf8(), "U+0000");
}

TEST(CodePage1252, ReadsEveryByteAsWindowsDoes) {
    std::string bytes;
    for (int byte = 0; byte < 256; ++byte)
        bytes += static_cast<char>(byte);
    const std::u16string text = Decode1252(bytes).Str();
    ASSERT_EQ(text.size(), 256u);
    const std::u16string upperControlArea =
        u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D\u017D\u008F"
        u"\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u009D\u017E\u0178";
    EXPECT_EQ(text.substr(0x80, 32), upperControlArea);
    for (int byte = 0; byte < 256; ++byte) {
        if (byte < 0x80 || byte >= 0xA0) {
            EXPECT_EQ(text[static_cast<size_t>(byte)], static_cast<char16_t>(byte)) << byte;
        }
    }
    // Every character read back from a byte has that byte, but for the five unassigned ones.
    int assigned = 0;
    for (const char16_t ch : text)
        assigned += IsIn1252(ch) ? 1 : 0;
    EXPECT_EQ(assigned, 251);
}

TEST(CodePage1252, SingleByteTextThatIsNoUtf8IsReadAs1252) {
    EXPECT_EQ(DecodeUtf8Or1252("Bj\xC3\xB6rk \xE2\x82\xAC").Str(), u"Bj\u00F6rk \u20AC");
    EXPECT_EQ(DecodeUtf8Or1252("Bj\xF6rk \x80\x96\x92").Str(), u"Bj\u00F6rk \u20AC\u2013\u2019");
    EXPECT_EQ(DecodeUtf8Or1252("\xC3").Str(), u"\u00C3");  // a sequence cut short is no UTF-8
    EXPECT_EQ(DecodeUtf8Or1252(std::string_view("a\0b", 3)).Str(), std::u16string(u"a\0b", 3));
}

}  // namespace
