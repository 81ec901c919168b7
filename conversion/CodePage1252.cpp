#include "conversion/CodePage1252.h"

#include "platform/CodePage1252.h"

namespace {

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
        if (IsIn1252(unit))
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
