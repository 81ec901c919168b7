// Daltrix.exe's command line: the verbs a script gives, read as an operator would expect.
#include "app/CommandLine.h"
#include "app/LogFormats.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using Verb = ScriptCommand::Verb;

struct Case {
    std::vector<CString> arguments;
    Verb verb;
    const char* company;
    bool yes;
};

TEST(CommandLine, ReadsTheVerbsCaseBlindWithEitherMarkAndRefusesAnythingElse) {
    const Case cases[] = {
        {{}, Verb::None, "", false},
        {{u"/?"}, Verb::Usage, "", false},
        {{u"-?"}, Verb::Usage, "", false},
        {{u"/kontrollera", u"7"}, Verb::Check, "7", false},
        {{u"-KONTROLLERA", u" 12 "}, Verb::Check, "12", false},
        {{u"/konvertera", u"7"}, Verb::Convert, "7", false},
        {{u"/Konvertera", u"7", u"-JA"}, Verb::Convert, "7", true},
        {{u"/aterstall"}, Verb::Restore, "", false},
        {{u"-AterStall", u"/ja"}, Verb::Restore, "", true},
        {{u"/konvertera"}, Verb::Wrong, "", false},
        {{u"/konvertera", u""}, Verb::Wrong, "", false},
        {{u"/kontrollera", u" \t "}, Verb::Wrong, "", false},
        {{u"/konvertera", u"/ja"}, Verb::Wrong, "", false},
        {{u"/kontrollera", u"7", u"/ja"}, Verb::Wrong, "", false},
        {{u"/konvertera", u"7", u"8"}, Verb::Wrong, "", false},
        {{u"/aterställ"}, Verb::Wrong, "", false},
        {{u"7"}, Verb::Wrong, "", false},
        {{u"/?", u"/ja"}, Verb::Wrong, "", false},
    };
    for (const Case& c : cases) {
        std::string given;
        for (const CString& argument : c.arguments)
            given += argument.ToUtf8() + " ";
        const ScriptCommand command = ParseCommandLine(c.arguments);
        EXPECT_EQ(command.verb, c.verb) << given;
        EXPECT_EQ(command.company.ToUtf8(), c.company) << given;
        EXPECT_EQ(command.yes, c.yes) << given;
        EXPECT_EQ(command.wrong.IsEmpty(), c.verb != Verb::Wrong) << given;
    }
}

// A script run logs whatever ended it, so no type of exception can leave it waiting on a box.
TEST(ScriptFailure, AnythingThrownIsLoggedWithItsTextOrAFixedOne) {
    const CString fixed = logfmt::kFailureWithoutText;
    const std::pair<std::exception_ptr, CString> cases[] = {
        {std::make_exception_ptr(CMemoryException()), u"Out of memory."},
        {std::make_exception_ptr(std::length_error("basic_string::_M_create")), u"basic_string::_M_create"},
        {std::make_exception_ptr(std::runtime_error("")), fixed},
        {std::make_exception_ptr(42), fixed},
    };
    for (const auto& [failure, text] : cases)
        EXPECT_EQ(FailureText(failure).ToUtf8(), text.ToUtf8());
}

}  // namespace
