// libFuzzer target: a file DSN's bytes through ParseFileDsn. Besides crashes and undefined
// behaviour it checks what the database layer relies on when it expands FILEDSN=: each item
// is a trimmed one-line "key=value" of the [ODBC] section; the same text gives the same items
// in every encoding the reader takes, with CR LF or LF, and beside other sections; and the
// items, joined into a connect string for the driver, read back as the same items.
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

bool IsBlank(char16_t ch) {
    return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n' || ch == u'\v' || ch == u'\f';
}

bool IsTrimmed(const CString& text) {
    return text.IsEmpty() || (!IsBlank(text[0]) && !IsBlank(text[text.GetLength() - 1]));
}

// A value keeps blanks at its ends only when the file gave it in quotes, which keep them.
bool StoodInQuotes(const CString& value, const std::u16string& text) {
    const std::u16string inner = value.Str();
    return text.find(u'"' + inner + u'"') != std::u16string::npos ||
           text.find(u'\'' + inner + u'\'') != std::u16string::npos;
}

void CheckItemShapes(const ConnectItems& items, const std::u16string& text) {
    for (const auto& [key, value] : items) {
        Check(!key.IsEmpty(), "an item without a key");
        Check(key.Find(u'=') < 0, "a key holding '='");
        Check(key[0] != u';' && key[0] != u'[', "a comment or section line read as an item");
        Check(IsTrimmed(key) && (IsTrimmed(value) || StoodInQuotes(value, text)),
              "a key, or a value not in quotes, with blanks around it");
        Check(key.Find(u'\n') < 0 && value.Find(u'\n') < 0, "an item spanning lines");
    }
}

// The value in braces with each "}" doubled, as a connect string must carry it when it holds ";"
// or opens with a "{" of its own.
CString Braced(CString value) {
    value.Replace(u"}", u"}}");
    return CString(u"{") + value + u"}";
}

// A key holding ";" cannot stand in a connect string at all; every other item must reach the
// driver whole, as it was or braced, and no item may swallow or split another.
void CheckJoinedItemsReadBack(const ConnectItems& items) {
    ConnectItems sendable;
    for (const auto& item : items)
        if (item.first.Find(u';') < 0)
            sendable.push_back(item);
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

Bytes Utf8WithBom(const std::u16string& text) {
    const std::string utf8 = CString(text).ToUtf8();
    Bytes bytes{0xEF, 0xBB, 0xBF};
    bytes.insert(bytes.end(), utf8.begin(), utf8.end());
    return bytes;
}

std::u16string WithCrLf(const std::u16string& text) {
    std::u16string out;
    for (const char16_t ch : text) {
        if (ch == u'\n')
            out += u'\r';
        out += ch;
    }
    return out;
}

// The text the bytes stand for: UTF-16 after its byte-order mark, else one code page 1252
// character per byte.
std::u16string TextOf(const Bytes& bytes) {
    std::u16string text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        return text;
    }
    return Decode1252(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())).Str();
}

// The text as the reader takes it: UTF-16 after its mark, UTF-8 (after its mark or none) when the
// bytes are that, else code page 1252.
std::u16string ReadText(const Bytes& bytes) {
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const size_t mark = raw.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    if (!(bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE))
        if (const auto utf8 = CString::FromValidUtf8(raw.substr(mark)))
            return utf8->Str();
    return TextOf(bytes);
}

// Bytes that cannot be UTF-8 (pure ASCII reads the same either way) are single-byte text.
bool ReadsAsSingleByteText(const Bytes& bytes) {
    bool ascii = true;
    for (const unsigned char b : bytes) {
        if (b >= 0xF8)
            return true;
        ascii = ascii && b < 0x80;
    }
    return ascii;
}

void CheckTextVariants(const Bytes& bytes, const ConnectItems& items) {
    const std::u16string text = TextOf(bytes);
    const ConnectItems utf16 = ParseFileDsn(Utf16WithBom(text));
    const bool utf16Input = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    if (!utf16Input && ReadsAsSingleByteText(bytes))
        Check(items == utf16, "single-byte text and its UTF-16 form read differently");
    Check(ParseFileDsn(Utf8WithBom(text)) == utf16, "UTF-8 and UTF-16 forms of one text read differently");
    Check(ParseFileDsn(Utf16WithBom(WithCrLf(text))) == utf16, "CR LF line ends changed the items");
    const std::u16string other = u"[Andra]\r\nDRIVER=Fel\r\nPWD=annat\r\n";
    Check(ParseFileDsn(Utf16WithBom(other + text + u"\r\n" + other)) == utf16,
          "items of another section were taken, or the [ODBC] section was lost beside one");
    CheckItemShapes(utf16, text);
    CheckJoinedItemsReadBack(utf16);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Bytes bytes(data, data + size);
    const ConnectItems items = ParseFileDsn(bytes);
    CheckItemShapes(items, ReadText(bytes));
    CheckJoinedItemsReadBack(items);
    CheckTextVariants(bytes, items);
    return 0;
}
