#include "CString.h"

#include <algorithm>
#include <stdexcept>

namespace {

bool IsBlank(char16_t ch) {
    return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n' || ch == u'\v' || ch == u'\f';
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

const CString::FormatArg& NextArg(const std::vector<CString::FormatArg>& args, size_t& next) {
    if (next >= args.size())
        throw std::invalid_argument("format has more placeholders than values");
    return args[next++];
}

void AppendNumber(std::u16string& out, int value, size_t width, char16_t pad) {
    const std::string digits = std::to_string(value);
    std::u16string text(digits.begin(), digits.end());
    if (text.size() < width) {
        const size_t fill = width - text.size();
        // Zero padding goes behind the sign, as printf puts it.
        const size_t at = (pad == u'0' && value < 0) ? 1 : 0;
        text.insert(at, fill, pad);
    }
    out += text;
}

// Each byte that does not start a well-formed sequence reads as U+FFFD and clears `valid`.
std::u16string DecodeUtf8(std::string_view utf8, bool& valid) {
    std::u16string out;
    valid = true;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int extra = lead < 0x80    ? 0
                          : lead >= 0xF8 ? -1
                          : lead >= 0xF0 ? 3
                          : lead >= 0xE0 ? 2
                          : lead >= 0xC0 ? 1
                                         : -1;
        bool wellFormed = extra >= 0 && i + static_cast<size_t>(extra) < utf8.size();
        char32_t cp = extra <= 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; wellFormed && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]);
            wellFormed = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!wellFormed) {
            valid = false;
            out += u'\uFFFD';
            ++i;
            continue;
        }
        AppendUtf16(out, cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

}  // namespace

CString CString::FromUtf8(std::string_view utf8) {
    bool valid = true;
    return CString(DecodeUtf8(utf8, valid));
}

std::optional<CString> CString::FromValidUtf8(std::string_view utf8) {
    bool valid = true;
    std::u16string text = DecodeUtf8(utf8, valid);
    if (!valid)
        return std::nullopt;
    return CString(std::move(text));
}

std::string CString::ToUtf8() const {
    std::string out;
    out.reserve(m_text.size());
    for (size_t i = 0; i < m_text.size(); ++i) {
        char32_t cp = m_text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < m_text.size() && m_text[i + 1] >= 0xDC00 && m_text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (m_text[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

int CString::Find(const CString& part, int start) const {
    if (start < 0 || start > GetLength())
        return -1;
    const size_t at = m_text.find(part.m_text, static_cast<size_t>(start));
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(char16_t ch, int start) const {
    return Find(CString(std::u16string(1, ch)), start);
}

int CString::ReverseFind(char16_t ch) const {
    const size_t at = m_text.rfind(ch);
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

CString CString::Left(int count) const {
    if (count <= 0)
        return {};
    return CString(m_text.substr(0, static_cast<size_t>(count)));
}

CString CString::Mid(int first) const {
    if (first < 0)
        first = 0;
    if (first >= GetLength())
        return {};
    return CString(m_text.substr(static_cast<size_t>(first)));
}

CString CString::Mid(int first, int count) const {
    if (first < 0)
        first = 0;
    if (first >= GetLength() || count <= 0)
        return {};
    return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString& CString::MakeUpper() {
    for (char16_t& ch : m_text)
        ch = AsciiUpper(ch);
    return *this;
}

int CString::CompareNoCase(const CString& other) const {
    const size_t common = std::min(m_text.size(), other.m_text.size());
    for (size_t i = 0; i < common; ++i) {
        const char16_t a = AsciiUpper(m_text[i]);
        const char16_t b = AsciiUpper(other.m_text[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    return m_text.size() == other.m_text.size() ? 0 : (m_text.size() < other.m_text.size() ? -1 : 1);
}

CString& CString::Trim() {
    size_t first = 0;
    while (first < m_text.size() && IsBlank(m_text[first]))
        ++first;
    m_text.erase(0, first);
    return TrimRight();
}

CString& CString::TrimRight() {
    size_t end = m_text.size();
    while (end > 0 && IsBlank(m_text[end - 1]))
        --end;
    m_text.erase(end);
    return *this;
}

int CString::Replace(const CString& from, const CString& to) {
    if (from.IsEmpty())
        return 0;
    int count = 0;
    size_t at = 0;
    while ((at = m_text.find(from.m_text, at)) != std::u16string::npos) {
        m_text.replace(at, from.m_text.size(), to.m_text);
        at += to.m_text.size();
        ++count;
    }
    return count;
}

CString CString::Format(const CString& format, const std::vector<FormatArg>& args) {
    const std::u16string& f = format.m_text;
    std::u16string out;
    size_t next = 0;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != u'%') {
            out += f[i];
            continue;
        }
        if (++i >= f.size())
            throw std::invalid_argument("format ends inside a placeholder");
        if (f[i] == u'%') {
            out += u'%';
            continue;
        }
        char16_t pad = u' ';
        if (f[i] == u'0') {
            pad = u'0';
            ++i;
        }
        size_t width = 0;
        while (i < f.size() && f[i] >= u'0' && f[i] <= u'9')
            width = width * 10 + static_cast<size_t>(f[i++] - u'0');
        if (i >= f.size())
            throw std::invalid_argument("format ends inside a placeholder");
        const FormatArg& arg = NextArg(args, next);
        if (f[i] == u'd') {
            if (!std::holds_alternative<int>(arg))
                throw std::invalid_argument("%d placeholder given a text");
            AppendNumber(out, std::get<int>(arg), width, pad);
        } else if (f[i] == u's') {
            if (!std::holds_alternative<CString>(arg))
                throw std::invalid_argument("%s placeholder given a number");
            const std::u16string& text = std::get<CString>(arg).m_text;
            if (text.size() < width)
                out.append(width - text.size(), u' ');
            out += text;
        } else {
            throw std::invalid_argument("unsupported placeholder in format");
        }
    }
    if (next != args.size())
        throw std::invalid_argument("format has fewer placeholders than values");
    return CString(std::move(out));
}
