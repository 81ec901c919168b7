// The installation folder's system DSN files: the backup's name, whether a file is one this tool
// wrote, and a replacement that never leaves a partial file.
#pragma once

#include "platform/CString.h"

#include <vector>

CString SystemDsnBackupPath(const CString& installDir);

// True only for a file this tool wrote and nobody changed since: its bytes are exactly what the
// writer makes of its own DRIVER, SERVER, TRUSTED_CONNECTION and certificate items. Anything else
// (unreadable, UTF-16, edited, another server's file that names Varnik_tqsys) is the product's.
bool WrittenByThisTool(const CString& dsnPath);

// Writes the bytes to a temporary file in the folder and moves it over `target` in one step, so
// `target` is either as it was or the whole new file. 0, or the error number of the step that
// failed; the temporary file is gone either way.
int ReplaceFileSafely(const CString& folder, const CString& target, const std::vector<unsigned char>& bytes);
