// The number a company's DSN file is named by, read by msvcrt's _wtoi and by DsnFileNumber: the
// same for a table of texts and for every UTF-16 unit before a digit, as a digit, and alone.
#include "conversion/SystemTables.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

int RuntimeNumber(const std::u16string& text) {
    return _wtoi(reinterpret_cast<const wchar_t*>(text.c_str()));
}

TEST(DsnFileNumber, ReadsAsTheRuntimesWtoi) {
    for (const char16_t* text : {u"7",
                                 u" 12abc",
                                 u"abc",
                                 u"",
                                 u"-5",
                                 u"+5",
                                 u"+-1",
                                 u"- 1",
                                 u"007",
                                 u"1 2",
                                 u"0x10",
                                 u"2147483647",
                                 u"2147483648",
                                 u"-2147483648",
                                 u"-2147483649",
                                 u"99999999999",
                                 u"-99999999999999999999999",
                                 u"18446744073709551617",
                                 u"\u00A0-12",
                                 u"-\u00A012",
                                 u"\u3000\uFF11\uFF12",
                                 u"\u0661\u0662x",
                                 u"1\uFF10\u0660\u0966",
                                 u"\t\r\n 3"})
        EXPECT_EQ(DsnFileNumber(text), RuntimeNumber(text)) << CString(text).ToUtf8();
}

TEST(DsnFileNumber, ReadsEveryUnitBeforeADigitAsADigitAndAloneAsTheRuntimeDoes) {
    for (char32_t unit = 1; unit <= 0xFFFF; ++unit) {
        const char16_t ch = static_cast<char16_t>(unit);
        for (const std::u16string& text : {std::u16string{ch, u'7'}, std::u16string{u'1', ch}, std::u16string{ch}})
            ASSERT_EQ(DsnFileNumber(text), RuntimeNumber(text)) << "U+" << std::hex << static_cast<unsigned>(unit);
    }
}

}  // namespace
