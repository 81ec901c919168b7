// The UTF-16 string of the whole tool: every text, path and SQL statement.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// An ASCII letter in upper case; every other character as it is.
constexpr char16_t AsciiUpper(char16_t ch) {
    return (ch >= u'a' && ch <= u'z') ? static_cast<char16_t>(ch - u'a' + u'A') : ch;
}

class CString {
public:
    CString() = default;
    CString(const char16_t* text) : m_text(text ? text : u"") {}
    CString(std::u16string text) : m_text(std::move(text)) {}
    CString(std::u16string_view text) : m_text(text) {}
    CString(const char16_t* text, int length) : m_text(text, static_cast<size_t>(length)) {}

    // A byte that starts no well-formed sequence reads as U+FFFD.
    static CString FromUtf8(std::string_view utf8);
    // None when the bytes are not well-formed UTF-8.
    static std::optional<CString> FromValidUtf8(std::string_view utf8);
    std::string ToUtf8() const;

    const char16_t* GetString() const { return m_text.c_str(); }
    const std::u16string& Str() const { return m_text; }
    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    char16_t operator[](int index) const { return m_text[static_cast<size_t>(index)]; }

    // Positions are indexes into the text; -1 when nothing is found.
    int Find(const CString& part, int start = 0) const;
    int Find(char16_t ch, int start = 0) const;
    int ReverseFind(char16_t ch) const;

    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;

    // ASCII letters only, so the copy keeps the length and every position of the original.
    CString& MakeUpper();
    // Compares with ASCII letters folded, as ODBC compares its keywords: <0, 0 or >0.
    int CompareNoCase(const CString& other) const;
    CString& Trim();
    CString& TrimRight();
    int Replace(const CString& from, const CString& to);

    CString& operator+=(const CString& other) {
        m_text += other.m_text;
        return *this;
    }
    friend CString operator+(CString left, const CString& right) { return left += right; }
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator<(const CString& a, const CString& b) { return a.m_text < b.m_text; }

    // One value for a printf-style placeholder: %s takes text, %d an integer.
    using FormatArg = std::variant<int, CString>;

    // Formats with %s, %d, %Nd, %0Nd and %%. A placeholder whose value is missing or of the
    // other kind raises std::invalid_argument: formats are fixed texts, so that is a coding fault.
    static CString Format(const CString& format, const std::vector<FormatArg>& args);

private:
    std::u16string m_text;
};
