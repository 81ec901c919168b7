#include "ConnectString.h"

#include "CodePage1252.h"
#include "Exceptions.h"
#include "System.h"

namespace {

bool SameKey(const CString& a, const CString& b) {
    return a.CompareNoCase(b) == 0;
}

// The file's text: UTF-16 with its byte-order mark, UTF-8 (with or without one), else the
// single-byte Windows text (code page 1252) in which the product writes its DSN files.
CString DecodeFileText(const std::vector<unsigned char>& bytes) {
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        std::u16string text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        return CString(std::move(text));
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const size_t bom = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    if (auto utf8 = CString::FromValidUtf8(text.substr(bom)))
        return std::move(*utf8);
    return Decode1252(text);
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

// The profile functions that read file DSNs drop one pair of quotes around a value.
CString WithoutQuotes(const CString& value) {
    const int last = value.GetLength() - 1;
    if (last >= 1 && (value[0] == u'"' || value[0] == u'\'') && value[last] == value[0])
        return value.Mid(1, last - 1);
    return value;
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

ConnectItems ParseFileDsn(const std::vector<unsigned char>& bytes) {
    const CString text = DecodeFileText(bytes);
    ConnectItems items;
    bool inOdbc = false;
    int pos = 0;
    while (pos <= text.GetLength()) {
        int end = text.Find(u'\n', pos);
        if (end < 0)
            end = text.GetLength();
        CString line = text.Mid(pos, end - pos).Trim();
        pos = end + 1;
        if (line.IsEmpty() || line[0] == u';')
            continue;
        if (line[0] == u'[') {
            inOdbc = SameKey(line, u"[ODBC]");
            continue;
        }
        const int eq = line.Find(u'=');
        if (inOdbc && eq > 0)
            items.emplace_back(line.Left(eq).Trim(), WithoutQuotes(line.Mid(eq + 1).Trim()));
    }
    return items;
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
    ConnectItems merged = ParseFileDsn(*bytes);
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
