// What the posix back end cannot learn from the system the way Windows does: the program's
// Windows-shaped path and the administrator state, set by the program that hosts the logic.
#pragma once

#include "platform/CString.h"

namespace posix_host {
// The program path to report; by default the running executable.
void SetProgramPath(const CString& windowsShapedPath);
void UseRunningProgramPath();
// By default the process counts as administrator when it runs as root.
void SetAdministrator(bool administrator);
// "\" separators become "/": the logic builds Windows-shaped paths.
std::string NativePath(const CString& path);
std::string NativePath(const std::string& narrowPath);
}  // namespace posix_host
