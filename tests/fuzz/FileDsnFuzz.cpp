// libFuzzer target: a file DSN's bytes through ParseFileDsn and RefuseFileDsn. Besides crashes
// and undefined behaviour it checks what the database layer relies on when it expands FILEDSN=:
// each item is a one-line "key=value" of the [ODBC] section, each key once; the same text gives
// the same items as single-byte text and as UTF-16, with CR LF, LF or CR alone, and beside other
// sections or a second [ODBC] section; a refusal names an item's key; and the items, joined into a
// connect string for the driver, read back as the same items.
#include "platform/CodePage1252.h"
#include "platform/ConnectString.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void Check(bool holds, const char* what) {
    if (holds)
        return;
    std::fprintf(stderr, "FileDsnFuzz: %s\n", what);
    std::abort();
}

// What the profile functions trim around keys and values.
bool IsBlank(char16_t ch) {
    return (ch >= u'\t' && ch <= u'\r') || ch == u' ' || ch == u'\x1A';
}

// A value starts with a blank only when the file gave it in quotes, which keep them.
bool StoodInQuotes(const CString& value, const std::u16string& text) {
    const std::u16string inner = value.Str();
    return text.find(u'"' + inner + u'"') != std::u16string::npos ||
           text.find(u'\'' + inner + u'\'') != std::u16string::npos;
}

void CheckItemShapes(const ConnectItems& items, const std::u16string& text) {
    for (size_t i = 0; i < items.size(); ++i) {
        const auto& [key, value] = items[i];
        Check(!key.IsEmpty(), "an item without a key");
        Check(key.Find(u'=') < 0, "a key holding '='");
        Check(key[0] != u';', "a comment read as an item");
        Check(!IsBlank(key[0]) && (value.IsEmpty() || !IsBlank(value[0]) || StoodInQuotes(value, text)),
              "a key, or a value not in quotes, with blanks before it");
        for (const char16_t ch : {u'\n', u'\r', u'\0'})
            Check(key.Find(ch) < 0 && value.Find(ch) < 0, "an item spanning lines, or past a zero character");
        for (size_t j = 0; j < i; ++j)
            Check(items[j].first.CompareNoCase(key) != 0, "a key twice");
    }
}

// The value in braces with each "}" doubled, as a connect string must carry it when it holds ";"
// or opens with a "{" of its own.
CString Braced(CString value) {
    value.Replace(u"}", u"}}");
    return CString(u"{") + value + u"}";
}

// A key holding ";" cannot stand in a connect string at all (the tool refuses such a file), nor
// can the blank that ends a key cut at a zero character; every other item must reach the driver
// whole, as it was or braced, and no item may swallow or split another.
void CheckJoinedItemsReadBack(const ConnectItems& items) {
    ConnectItems sendable;
    for (const auto& [key, value] : items)
        if (key.Find(u';') < 0 && !IsBlank(key[key.GetLength() - 1]))
            sendable.emplace_back(key, value);
    const ConnectItems back = ParseConnectString(JoinConnectString(sendable));
    Check(back.size() == sendable.size(), "the joined items read back as a different number of items");
    for (size_t i = 0; i < back.size(); ++i) {
        const auto& [key, value] = sendable[i];
        Check(back[i].first == key, "a key changed on its way through the connect string");
        const bool mustBrace = value.Find(u';') >= 0 || (!value.IsEmpty() && value[0] == u'{');
        const bool same = back[i].second == value || (mustBrace && back[i].second == Braced(value));
        Check(same, "a value changed on its way through the connect string");
    }
}

Bytes Utf16WithBom(const std::u16string& text) {
    Bytes bytes{0xFF, 0xFE};
    for (const char16_t ch : text) {
        bytes.push_back(static_cast<unsigned char>(ch & 0xFF));
        bytes.push_back(static_cast<unsigned char>(ch >> 8));
    }
    return bytes;
}

std::u16string WithLineEnds(const std::u16string& text, const std::u16string& end) {
    std::u16string out;
    for (const char16_t ch : text)
        out += ch == u'\n' ? end : std::u16string(1, ch);
    return out;
}

// The text the bytes stand for, as the reader takes it: UTF-16 after its byte-order mark, else
// one code page 1252 character per byte.
std::u16string TextOf(const Bytes& bytes) {
    std::u16string text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        return text;
    }
    return Decode1252(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())).Str();
}

void CheckTextVariants(const Bytes& bytes, const ConnectItems& items) {
    const std::u16string text = TextOf(bytes);
    Check(ParseFileDsn(Utf16WithBom(text)) == items, "single-byte text and its UTF-16 form read differently");
    Check(ParseFileDsn(Utf16WithBom(WithLineEnds(text, u"\r\n"))) == items, "CR LF line ends changed the items");
    Check(ParseFileDsn(Utf16WithBom(WithLineEnds(text, u"\r"))) == items, "CR line ends changed the items");
    const std::u16string other = u"[Andra]\r\nDRIVER=Fel\r\nPWD=annat\r\n";
    Check(ParseFileDsn(Utf16WithBom(other + text + u"\r\n" + other)) == items,
          "items of another section were taken, or the [ODBC] section was lost beside one");
    if (!items.empty())
        Check(ParseFileDsn(Utf16WithBom(text + u"\r\n[ODBC]\r\nDRIVER=Fel\r\n")) == items,
              "a second [ODBC] section counted");
}

void CheckRefusal(const Bytes& bytes, const ConnectItems& items) {
    const auto refusal = RefuseFileDsn(bytes);
    if (!refusal || refusal->key.IsEmpty())
        return;
    Check(ItemValue(items, refusal->key).has_value(), "a refusal names a key that is no item");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Bytes bytes(data, data + size);
    const ConnectItems items = ParseFileDsn(bytes);
    CheckItemShapes(items, TextOf(bytes));
    CheckJoinedItemsReadBack(items);
    CheckTextVariants(bytes, items);
    CheckRefusal(bytes, items);
    return 0;
}
