// What the posix back end cannot learn from the system the way Windows does: the program's
// Windows-shaped path and the administrator state, set by the program that hosts the logic; and
// a watch on one folder's file changes for the tests of killed runs.
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

// For tests of a run killed at any instant: counts the calls that change files under `folder`
// (each create or emptying, write, flush, rename and removal) and, when `stopAt` is not 0, ends
// the process with kStoppedExitCode just before the call of that number, running nothing after.
inline constexpr int kStoppedExitCode = 86;
void WatchFileOperations(const CString& folder, int stopAt = 0);
int FileOperationsSeen();
void EndWatch();
}  // namespace posix_host
