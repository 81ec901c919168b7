// The new tqsys.dsn: nine lines pointing the product at Varnik_tqsys.
#pragma once

#include "platform/ConnectString.h"
#include "platform/CString.h"

#include <optional>
#include <vector>

// The file's text. The company connection's items about encryption and the server's
// certificate, when it has any, follow the TRUSTED_CONNECTION line as they stand.
CString ComposeSystemDsn(const CString& driver, const CString& server, bool trustedConnection,
                         const ConnectItems& encryptionItems = {});

// The text as the file holds it: one byte per character, CR LF for every line feed. Nothing
// when a character has no single-byte form.
std::optional<std::vector<unsigned char>> SystemDsnBytes(const CString& text);
