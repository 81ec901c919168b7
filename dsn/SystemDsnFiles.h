// The installation folder's system DSN files: the backup's name, what a file points at, and a
// replacement that never leaves a partial file.
#pragma once

#include "platform/CString.h"

#include <vector>

CString SystemDsnBackupPath(const CString& installDir);

// True when the file DSN names the database Varnik_tqsys: a tqsys.dsn this tool wrote.
bool PointsAtVarnikTqsys(const CString& dsnPath);

// Writes the bytes to a temporary file in the folder and moves it over `target` in one step, so
// `target` is either as it was or the whole new file. 0, or the error number of the step that
// failed; the temporary file is gone either way.
int ReplaceFileSafely(const CString& folder, const CString& target, const std::vector<unsigned char>& bytes);
