// The new tqsys.dsn: nine lines pointing the product at Varnik_tqsys.
#pragma once

#include "platform/CString.h"

#include <optional>
#include <vector>

CString ComposeSystemDsn(const CString& driver, const CString& server, bool trustedConnection);

// The text as the file holds it: one byte per character, CR LF for every line feed. Nothing
// when a character has no single-byte form.
std::optional<std::vector<unsigned char>> SystemDsnBytes(const CString& text);
