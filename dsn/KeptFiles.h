// Files of the installation folder that a run would replace are kept beside it under a name of
// their own: the file's name, a dot and a number ("tqsys.bak.1", "tq0007.dsn.2"), which no
// "*.dsn" pattern matches, so the product never takes a kept file for one of its own.
#pragma once

#include "platform/CString.h"

#include <optional>

// Renames the file to its first free kept name, never over another file; 0 with that name in
// `keptPath`, or the error number of the rename.
int KeepAside(const CString& path, CString& keptPath);

// The file's kept copy with the highest number, the one kept last; nothing when it has none.
std::optional<CString> LastKept(const CString& path);

// True when both files can be read and hold the same bytes.
bool SameFileContent(const CString& a, const CString& b);
