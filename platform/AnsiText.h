// Text in the system's single-byte code page, as a driver manager converts an ANSI driver's text.
#pragma once

#include "CString.h"

#include <string_view>

// Windows: the ANSI code page (1252 on Swedish Windows). Linux, where the driver managers convert
// with the locale's code set: UTF-8, or code page 1252 for bytes that are no UTF-8.
CString DecodeAnsiText(std::string_view bytes);
