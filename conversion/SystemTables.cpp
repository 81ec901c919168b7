#include "SystemTables.h"

#include "CodePage1252.h"

#include <climits>

namespace {

constexpr const char16_t* kNotIn1252 = u"Tecknet %s finns inte i teckentabell 1252 och kan inte lagras";
constexpr const char16_t* kTooLong = u"%s har %d tecken men kolumnen rymmer %d";

}  // namespace

std::optional<int> WholeNumber(const CString& text) {
    const CString trimmed = CString(text).Trim();
    const bool negative = trimmed.GetLength() > 0 && trimmed[0] == u'-';
    int pos = negative || (trimmed.GetLength() > 0 && trimmed[0] == u'+') ? 1 : 0;
    if (pos == trimmed.GetLength())
        return std::nullopt;
    long long value = 0;
    for (; pos < trimmed.GetLength(); ++pos) {
        const char16_t ch = trimmed[pos];
        if (ch < u'0' || ch > u'9')
            return std::nullopt;
        value = value * 10 + (ch - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < INT_MIN || value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<int> IntColumnValue(const CString& text) {
    return CString(text).Trim().IsEmpty() ? std::optional<int>(0) : WholeNumber(text);
}

CString WithoutTrailingBlanks(const CString& text) {
    int end = text.GetLength();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.Left(end);
}

std::optional<CString> ValueRefusal(const SystemColumn& column, const CString& value) {
    if (const auto codePoint = FirstCharacterOutside1252(value))
        return CString::Format(kNotIn1252, {CodePointName(*codePoint)});
    const int length = WithoutTrailingBlanks(value).GetLength();
    if (!column.IsInt() && length > column.room)
        return CString::Format(kTooLong, {CString(column.name), length, column.room});
    return std::nullopt;
}
