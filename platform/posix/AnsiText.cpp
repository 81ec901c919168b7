#include "platform/AnsiText.h"

#include "platform/CodePage1252.h"

CString DecodeAnsiText(std::string_view bytes) {
    return DecodeUtf8Or1252(bytes);
}
