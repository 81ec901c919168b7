// Text in the system's single-byte code page, as a driver manager converts an ANSI driver's text.
#pragma once

#include "CString.h"

#include <string_view>

// UTF-8 when the bytes are valid UTF-8; else, on Windows, the ANSI code page (1252 on Swedish
// Windows), and on Linux, where the driver managers convert with the locale's code set, code
// page 1252.
CString DecodeAnsiText(std::string_view bytes);
