#include "Win32Api.h"

#include "platform/AnsiText.h"

// A driver that hands out UTF-8 (a Linux driver under Wine, a modern one set to UTF-8) is read as
// such: text in the ANSI code page with any byte over 0x7F is almost never valid UTF-8.
CString DecodeAnsiText(std::string_view bytes) {
    if (auto utf8 = CString::FromValidUtf8(bytes))
        return std::move(*utf8);
    const int length = static_cast<int>(bytes.size());
    const int units = length > 0 ? MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0) : 0;
    std::wstring text(static_cast<size_t>(units), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, text.data(), units);
    return win32::FromWide(text.data(), text.size());
}
