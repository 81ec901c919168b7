// The installation folder's system DSN files: their names, and whether a file is one this tool
// wrote.
#pragma once

#include "platform/CString.h"

inline constexpr const char16_t* kSystemDsnName = u"tqsys.dsn";
inline constexpr const char16_t* kSystemDsnBackupName = u"tqsys.bak";

CString SystemDsnBackupPath(const CString& installDir);

// True only for a file this tool wrote and nobody changed since: its bytes are exactly what the
// writer makes of its own DRIVER, SERVER, TRUSTED_CONNECTION and certificate items. Anything else
// (unreadable, UTF-16, edited, another server's file that names Varnik_tqsys) is the product's.
bool WrittenByThisTool(const CString& dsnPath);
