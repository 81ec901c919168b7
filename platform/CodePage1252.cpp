#include "CodePage1252.h"

#include <array>

namespace {

// What 1252 puts at 0x80..0x9F; 0 where it puts nothing.
constexpr std::array<char16_t, 32> kUpperControlArea{
    u'\u20AC', 0,         u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', 0,         u'\u017D', 0,
    0,         u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', 0,         u'\u017E', u'\u0178'};

bool InUpperControlArea(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F;
}

}  // namespace

bool IsIn1252(char16_t ch) {
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return true;
    for (const char16_t assigned : kUpperControlArea)
        if (assigned != 0 && assigned == ch)
            return true;
    return false;
}

CString Decode1252(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const char16_t assigned = InUpperControlArea(byte) ? kUpperControlArea[byte - 0x80] : 0;
        text += assigned != 0 ? assigned : static_cast<char16_t>(byte);
    }
    return CString(std::move(text));
}

CString DecodeUtf8Or1252(std::string_view bytes) {
    if (auto utf8 = CString::FromValidUtf8(bytes))
        return std::move(*utf8);
    return Decode1252(bytes);
}
