#include "ConnectString.h"

#include "Exceptions.h"
#include "System.h"

namespace {

bool SameKey(const CString& a, const CString& b) {
    return CString(a).MakeUpper() == CString(b).MakeUpper();
}

bool IsValidUtf8(const std::vector<unsigned char>& bytes, size_t from) {
    for (size_t i = from; i < bytes.size();) {
        const unsigned char lead = bytes[i];
        const size_t extra = lead < 0x80             ? 0
                             : (lead & 0xE0) == 0xC0 ? 1
                             : (lead & 0xF0) == 0xE0 ? 2
                             : (lead & 0xF8) == 0xF0 ? 3
                                                     : 9;
        if (extra == 9 || i + extra >= bytes.size())
            return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((bytes[i + k] & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

// The file's text: UTF-16 with its byte-order mark, UTF-8 (with or without one), else the
// single-byte Windows text in which the product writes its DSN files.
CString DecodeFileText(const std::vector<unsigned char>& bytes) {
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        std::u16string text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        return CString(std::move(text));
    }
    const size_t bom = (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) ? 3 : 0;
    if (IsValidUtf8(bytes, bom))
        return CString::FromUtf8(std::string(bytes.begin() + static_cast<long>(bom), bytes.end()));
    std::u16string text(bytes.begin(), bytes.end());
    return CString(std::move(text));
}

CString NeedsBraces(const CString& value) {
    if (value.Find(u';') < 0 || (value.GetLength() > 0 && value[0] == u'{'))
        return value;
    return CString(u"{") + value + u"}";
}

}  // namespace

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
            const int close = connect.Find(u'}', eq + 1);
            valueEnd = close < 0 ? length : close + 1;
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
        out += key + u"=" + NeedsBraces(value) + u";";
    return out;
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
            items.emplace_back(line.Left(eq).Trim(), line.Mid(eq + 1).Trim());
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
            path = item.second;
            hasFileDsn = true;
        } else {
            rest.push_back(item);
        }
    }
    if (!hasFileDsn)
        return connect;

    if (sys::PathIsMissing(path) || sys::IsDirectory(path))
        throw CDBException(CString(u"General error: Invalid file dsn '") + path + u"'", u"State:IM014", -1);
    const auto bytes = sys::ReadWholeFile(path);
    if (!bytes)
        throw CDBException(CString(u"General error: Unable to read file dsn '") + path + u"'", u"State:IM014", -1);
    ConnectItems merged = ParseFileDsn(*bytes);
    if (merged.empty())
        throw CDBException(CString(u"General error: File dsn '") + path + u"' has no [ODBC] items", u"State:IM014", -1);
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
