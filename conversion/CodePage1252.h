// Which characters Windows code page 1252 has a byte for: the code page of Varnik_tqsys's char
// columns (Finnish_Swedish_CI_AS), which store any other character as '?' or a look-alike.
#pragma once

#include "platform/CString.h"

#include <optional>

// The first character of the text that code page 1252 cannot hold, as a code point (a surrogate
// pair as the one character it encodes, a lone surrogate as itself); none when every one fits.
std::optional<char32_t> FirstCharacterOutside1252(const CString& text);

// A code point as Unicode writes it: "U+" and at least four upper-case hex digits.
CString CodePointName(char32_t codePoint);
