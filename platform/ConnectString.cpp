#include "ConnectString.h"

#include "CodePage1252.h"
#include "Exceptions.h"
#include "System.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace {

bool SameKey(const CString& a, const CString& b) {
    return a.CompareNoCase(b) == 0;
}

// A value that already stands in braces: "{", then text in which every "}" is doubled, then "}".
bool IsBraced(const CString& value) {
    const int last = value.GetLength() - 1;
    if (last < 1 || value[0] != u'{' || value[last] != u'}')
        return false;
    for (int i = 1; i < last; ++i)
        if (value[i] == u'}' && (i + 1 >= last || value[++i] != u'}'))
            return false;
    return true;
}

// Where a braced value that starts at `open` ends: after the "}" that is not a doubled one.
int BracedValueEnd(const CString& connect, int open) {
    for (int i = open + 1; i < connect.GetLength(); ++i)
        if (connect[i] == u'}') {
            if (i + 1 < connect.GetLength() && connect[i + 1] == u'}')
                ++i;
            else
                return i + 1;
        }
    return connect.GetLength();
}

// A value out of its braces, "}}" read as "}"; a value without braces as it is.
CString Unbraced(const CString& value) {
    if (!IsBraced(value))
        return value;
    CString inner = value.Mid(1, value.GetLength() - 2);
    inner.Replace(u"}}", u"}");
    return inner;
}

}  // namespace

CString ConnectValue(const CString& value) {
    const bool opensBraces = value.GetLength() > 0 && value[0] == u'{';
    if (IsBraced(value) || (value.Find(u';') < 0 && !opensBraces))
        return value;
    CString escaped = value;
    escaped.Replace(u"}", u"}}");
    return CString(u"{") + escaped + u"}";
}

ConnectItems ParseConnectString(const CString& connect) {
    ConnectItems items;
    int pos = 0;
    const int length = connect.GetLength();
    while (pos < length) {
        int eq = connect.Find(u'=', pos);
        int semi = connect.Find(u';', pos);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            // An item without "=" carries no value; skip it.
            pos = semi < 0 ? length : semi + 1;
            continue;
        }
        CString key = connect.Mid(pos, eq - pos).Trim();
        int valueEnd;
        if (eq + 1 < length && connect[eq + 1] == u'{') {
            valueEnd = BracedValueEnd(connect, eq + 1);
            const int next = connect.Find(u';', valueEnd);
            items.emplace_back(key, connect.Mid(eq + 1, valueEnd - eq - 1));
            pos = next < 0 ? length : next + 1;
            continue;
        }
        valueEnd = semi < 0 ? length : semi;
        items.emplace_back(key, connect.Mid(eq + 1, valueEnd - eq - 1));
        pos = valueEnd + 1;
    }
    return items;
}

CString JoinConnectString(const ConnectItems& items) {
    CString out;
    for (const auto& [key, value] : items)
        out += key + u"=" + ConnectValue(value) + u";";
    return out;
}

std::optional<CString> ItemValue(const ConnectItems& items, const CString& key) {
    for (const auto& [itemKey, value] : items)
        if (SameKey(itemKey, key))
            return value;
    return std::nullopt;
}

namespace {

// What the Windows profile functions trim around lines, keys and values: the ASCII blanks, line
// ends and ^Z (an MS-DOS end of file), but not the no-break space.
bool IsProfileBlank(char16_t ch) {
    return (ch >= u'\t' && ch <= u'\r') || ch == u' ' || ch == u'\x1A';
}

std::u16string_view TrimmedStart(std::u16string_view text) {
    while (!text.empty() && IsProfileBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::u16string_view TrimmedEnd(std::u16string_view text) {
    while (!text.empty() && IsProfileBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The profile functions keep names and values as C strings: a zero character ends them.
CString UpToZero(std::u16string_view text) {
    return CString(text.substr(0, text.find(u'\0')));
}

// The profile functions read UTF-16 after its byte-order mark and anything else in the ANSI code
// page (1252 on Swedish Windows), a UTF-8 mark included.
std::u16string ProfileText(const std::vector<unsigned char>& bytes) {
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        std::u16string text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        return text;
    }
    return Decode1252(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())).Str();
}

// One line of a section as the profile functions keep it; no value for a line without "=".
struct ProfileLine {
    CString key;
    std::optional<CString> value;
};

// The lines of the first [ODBC] section. A line that opens with "[" and holds a "]" starts a
// section, named by what stands before its last "]"; any other line is a key's, the one a line
// without "]" included.
std::vector<ProfileLine> OdbcSectionLines(const std::u16string& text) {
    std::vector<ProfileLine> lines;
    bool inOdbc = false;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find_first_of(u"\r\n", pos), text.size());
        const std::u16string_view line = TrimmedEnd(TrimmedStart(std::u16string_view(text).substr(pos, end - pos)));
        pos = text.find_first_not_of(u"\r\n", end);
        if (line.empty())
            continue;
        const size_t close = line.rfind(u']');
        if (line.front() == u'[' && close != std::u16string_view::npos) {
            if (inOdbc)
                break;
            inOdbc = SameKey(UpToZero(TrimmedEnd(TrimmedStart(line.substr(1, close - 1)))), u"ODBC");
            continue;
        }
        if (!inOdbc)
            continue;
        const size_t eq = line.find(u'=');
        if (eq == std::u16string_view::npos)
            lines.push_back({UpToZero(line), std::nullopt});
        else
            lines.push_back({UpToZero(TrimmedEnd(line.substr(0, eq))), UpToZero(TrimmedStart(line.substr(eq + 1)))});
    }
    return lines;
}

// GetPrivateProfileString drops one pair of quotes around a whole value.
CString WithoutQuotes(const CString& value) {
    const int last = value.GetLength() - 1;
    if (last >= 1 && (value[0] == u'"' || value[0] == u'\'') && value[last] == value[0])
        return value.Mid(1, last - 1);
    return value;
}

// The section read through the list of its keys, as the driver manager reads a file DSN: the list
// holds each line with "=" but for comments (";"), and ends at an empty key; a key's value is its
// first line's. Beside the items, the first thing that makes this reading unsafe to act on.
struct OdbcSection {
    ConnectItems items;
    std::optional<FileDsnRefusal> refusal;
};

// A key as keys compare, letter case ignored.
std::u16string KeyOf(std::u16string_view key) {
    return CString(key).MakeUpper().Str();
}

OdbcSection ReadOdbcSection(const std::vector<ProfileLine>& lines) {
    std::unordered_map<std::u16string, const ProfileLine*> firstLines;
    for (const ProfileLine& line : lines)
        firstLines.try_emplace(KeyOf(line.key.Str()), &line);
    OdbcSection section;
    const auto refuse = [&](FileDsnRefusal::Kind kind, const CString& key) {
        if (!section.refusal)
            section.refusal = FileDsnRefusal{kind, key};
    };
    std::unordered_set<std::u16string> listed;
    for (const ProfileLine& line : lines) {
        if (!line.value || (!line.key.IsEmpty() && line.key[0] == u';') || !listed.insert(KeyOf(line.key.Str())).second)
            continue;
        if (line.key.IsEmpty()) {
            refuse(FileDsnRefusal::Kind::LineWithoutKey, CString());
            break;
        }
        // The key is looked up as asked, blanks trimmed: one cut at a zero character may end in one.
        const auto first = firstLines.find(KeyOf(TrimmedEnd(line.key.Str())));
        const bool found = first != firstLines.end();
        if (found && !first->second->value)
            refuse(FileDsnRefusal::Kind::HiddenValue, line.key);
        if (line.key.Find(u';') >= 0)
            refuse(FileDsnRefusal::Kind::KeyWithSemicolon, line.key);
        section.items.emplace_back(line.key,
                                   found ? WithoutQuotes(first->second->value.value_or(CString())) : CString());
    }
    return section;
}

OdbcSection ReadOdbcSection(const std::vector<unsigned char>& bytes) {
    return ReadOdbcSection(OdbcSectionLines(ProfileText(bytes)));
}

std::optional<FileDsnRefusal> Refusal(const std::vector<unsigned char>& bytes, const OdbcSection& section) {
    const bool utf8Mark = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
    if (utf8Mark || (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF))
        return FileDsnRefusal{FileDsnRefusal::Kind::ByteOrderMark, CString()};
    return section.refusal;
}

}  // namespace

ConnectItems ParseFileDsn(const std::vector<unsigned char>& bytes) {
    return ReadOdbcSection(bytes).items;
}

std::optional<FileDsnRefusal> RefuseFileDsn(const std::vector<unsigned char>& bytes) {
    return Refusal(bytes, ReadOdbcSection(bytes));
}

CString CFileDsnRefused::GetErrorMessage() const {
    return CString(u"File dsn '") + m_path + u"' is not used: Windows reads it otherwise than it shows";
}

CString ExpandFileDsn(const CString& connect) {
    ConnectItems given = ParseConnectString(connect);
    CString path;
    bool hasFileDsn = false;
    ConnectItems rest;
    for (auto& item : given) {
        if (SameKey(item.first, u"FILEDSN")) {
            path = Unbraced(item.second);
            hasFileDsn = true;
        } else {
            rest.push_back(item);
        }
    }
    if (!hasFileDsn)
        return connect;

    if (sys::PathIsMissing(path) || sys::IsDirectory(path))
        ThrowDBException({{u"IM014", CString(u"General error: Invalid file dsn '") + path + u"'"}});
    const auto bytes = sys::ReadWholeFile(path);
    if (!bytes)
        ThrowDBException({{u"IM014", CString(u"General error: Unable to read file dsn '") + path + u"'"}});
    OdbcSection section = ReadOdbcSection(*bytes);
    if (auto refusal = Refusal(*bytes, section))
        throw CFileDsnRefused(path, std::move(*refusal));
    // Windows' own reading where there is one: it is the one the driver manager makes.
    auto system = sys::ReadProfileSection(path, u"ODBC");
    ConnectItems merged = system ? std::move(*system) : std::move(section.items);
    if (merged.empty())
        ThrowDBException({{u"IM014", CString(u"General error: File dsn '") + path + u"' has no [ODBC] items"}});
    for (auto& item : merged)
        for (const auto& own : rest)
            if (SameKey(item.first, own.first))
                item.second = own.second;
    for (const auto& own : rest) {
        bool present = false;
        for (const auto& item : merged)
            present = present || SameKey(item.first, own.first);
        if (!present)
            merged.push_back(own);
    }
    return JoinConnectString(merged);
}

namespace {

// A DRIVER or DSN value as the name it stands for: out of its braces, "}}" read as "}", trimmed.
CString NameOf(const CString& value) {
    return Unbraced(value).Trim();
}

}  // namespace

CString DriverName(const CString& connect) {
    return NameOf(ItemValue(ParseConnectString(connect), u"DRIVER").value_or(CString()));
}

void RefuseUnusableNames(const CString& connect) {
    for (const auto& [key, value] : ParseConnectString(connect)) {
        const bool driver = SameKey(key, u"DRIVER");
        if (!driver && !SameKey(key, u"DSN"))
            continue;
        const CString name = NameOf(value);
        if (driver && name.IsEmpty())
            ThrowDBException({{u"IM002", u"Data source name not found and no default driver specified"}});
        if (name.GetLength() > kMaxNameLength)
            ThrowDBException({driver ? DiagnosticRecord{u"IM011", u"Driver name too long"}
                                     : DiagnosticRecord{u"IM010", u"Data source name too long"}});
    }
}
