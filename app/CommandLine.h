// Daltrix.exe's command line: the operator's verbs, for a script that runs the tool unattended.
#pragma once

#include "platform/CString.h"

#include <exception>
#include <vector>

struct ScriptCommand {
    enum class Verb { None, Usage, Check, Convert, Restore, Wrong };
    Verb verb = Verb::None;
    CString company;   // the company number, as the list shows it
    bool yes = false;  // /ja: the questions are answered Yes
    CString wrong;     // for Verb::Wrong: what is wrong with the arguments
    CString given;     // the arguments as given, for the log
};

// The exit codes a script reads in %ERRORLEVEL%.
enum ExitCode {
    kExitDone = 0,                  // converted and proven, nothing found, restored
    kExitNothingChanged = 1,        // the run stopped, the check found obstacles, the restore refused
    kExitWrongArguments = 2,        // the arguments or the company number are wrong
    kExitRepointedWithRemarks = 3,  // repointed, with findings /ja accepted or files to copy by hand
    kExitRestoreIncomplete = 4,     // the restore put some files back, not all: running it again finishes
};

// Options are read whatever their letter case, with "-" as well as "/" in front.
ScriptCommand ParseCommandLine(const std::vector<CString>& arguments);

// The text a script run logs for the failure that ended it, whatever its type: a framework
// exception's message, a standard exception's text, or a fixed text when it has none.
CString FailureText(const std::exception_ptr& failure);

// The text "/?" shows.
extern const char16_t* const kUsage;
