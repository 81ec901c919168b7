#pragma once

#include "platform/CString.h"

// File-name matching by the Windows rules: letter case is ignored, "*" matches any run of
// characters, and "?" matches one character or, where the name part ends (before its dot or
// at the end), none.
bool MatchesWildcard(const CString& pattern, const CString& name);
