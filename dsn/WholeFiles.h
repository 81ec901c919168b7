// Files put in place whole: written under a temporary name beside the target, flushed to the
// disk, and only then given the target's name, in one step. Whenever the process is killed or the
// power fails, the target's name holds the old file or the whole new one, never a part.
#pragma once

#include "platform/CString.h"

#include <vector>

// Replaces `target` (or creates it); 0, or the error number of the step that failed, with the
// target as it was and the temporary file gone.
int PutInPlace(const CString& target, const std::vector<unsigned char>& bytes);

// The same for a name that must be free: EEXIST, and nothing replaced, when it is taken.
int PutNew(const CString& target, const std::vector<unsigned char>& bytes);

// The path of a file of the folder.
CString InFolder(const CString& folder, const CString& name);
// 0, or the runtime's error number; ENOENT for a file that is not there.
int RemoveFile(const CString& path);
// Why a file could not be read, as an error number: not there, a folder, or no access.
int WhyUnreadable(const CString& path);
