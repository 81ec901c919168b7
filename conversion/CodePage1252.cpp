#include "conversion/CodePage1252.h"

#include <algorithm>
#include <array>

namespace {

// The 27 characters that code page 1252 puts at 0x80..0x9F. The C1 controls U+0080..U+009F
// count as not storable: 1252 gives 27 of their bytes to other characters, and the five bytes it
// leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) hold the control in Windows' table only.
constexpr std::array<char16_t, 27> kUpperControlArea{
    u'\u20AC', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021', u'\u02C6', u'\u2030',
    u'\u0160', u'\u2039', u'\u0152', u'\u017D', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022',
    u'\u2013', u'\u2014', u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u017E', u'\u0178'};

bool In1252(char16_t ch) {
    return ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF) ||
           std::find(kUpperControlArea.begin(), kUpperControlArea.end(), ch) != kUpperControlArea.end();
}

bool IsHighSurrogate(char16_t ch) {
    return ch >= 0xD800 && ch <= 0xDBFF;
}

bool IsLowSurrogate(char16_t ch) {
    return ch >= 0xDC00 && ch <= 0xDFFF;
}

}  // namespace

std::optional<char32_t> FirstCharacterOutside1252(const CString& text) {
    const std::u16string& units = text.Str();
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        if (In1252(unit))
            continue;
        if (IsHighSurrogate(unit) && i + 1 < units.size() && IsLowSurrogate(units[i + 1]))
            return 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{units[i + 1]} - 0xDC00);
        return unit;
    }
    return std::nullopt;
}

CString CodePointName(char32_t codePoint) {
    constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string hex;
    for (; codePoint != 0 || hex.size() < 4; codePoint >>= 4)
        hex.insert(hex.begin(), kDigits[codePoint & 0xF]);
    return CString(u"U+") + hex;
}
