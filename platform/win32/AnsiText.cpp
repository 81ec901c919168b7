#include "Win32Api.h"

#include "platform/AnsiText.h"

CString DecodeAnsiText(std::string_view bytes) {
    const int length = static_cast<int>(bytes.size());
    const int units = length > 0 ? MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0) : 0;
    std::wstring text(static_cast<size_t>(units), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, text.data(), units);
    return win32::FromWide(text.data(), text.size());
}
