// The characters a value cannot bring into Varnik_tqsys's char columns: their code page is 1252
// (Finnish_Swedish_CI_AS), and they store a character without a byte there as '?' or a look-alike.
#pragma once

#include "platform/CString.h"

#include <optional>

// The first character of the text that code page 1252 cannot hold, as a code point (a surrogate
// pair as the one character it encodes, a lone surrogate as itself); none when every one fits.
std::optional<char32_t> FirstCharacterOutside1252(const CString& text);

// A code point as Unicode writes it: "U+" and at least four upper-case hex digits.
CString CodePointName(char32_t codePoint);
