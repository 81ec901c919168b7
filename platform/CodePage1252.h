// Windows code page 1252, the single-byte text of Swedish Windows: of old DSN files, of old
// drivers' text and of Varnik_tqsys's char columns (Finnish_Swedish_CI_AS). It is Latin-1 but for
// 0x80..0x9F, where it puts 27 characters of its own (€ ‚ ƒ „ … † ‡ ˆ ‰ Š ‹ Œ Ž ‘ ’ “ ” • – — ˜ ™ š
// › œ ž Ÿ) and leaves five bytes unassigned.
#pragma once

#include "CString.h"

#include <string_view>

// Whether code page 1252 assigns a byte to the character. The C1 controls U+0080..U+009F are not
// assigned: their bytes hold other characters, or none.
bool IsIn1252(char16_t ch);

// Single-byte text read as code page 1252. The five unassigned bytes (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) read as the C1 controls of the same number, as Windows reads them.
CString Decode1252(std::string_view bytes);

// UTF-8 text when the bytes are valid UTF-8 (which single-byte text with any byte over 0x7F almost
// never is), else code page 1252.
CString DecodeUtf8Or1252(std::string_view bytes);
