// Daltrix.log beside the program: what a run leaves in it, across starts, when it cannot be
// written, and what never goes into it.
#include "support/ConversionBed.h"

#include "app/LogFormats.h"
#include "platform/System.h"

#include <sys/stat.h>
#include <unistd.h>

#include <regex>

using namespace testing_support;

namespace {

class LogFile : public ConversionBed {
protected:
    // The header line this start wrote: date and time, version, processor, computer.
    static void ExpectStartLine(const std::string& line) {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        const std::regex header(
            "=== Daltrix ([0-9.]+) \\(x(64|86)\\) startad "
            "20[0-9]{2}-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9] på datorn (.*) ===");
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(line, parts, header)) << line;
        EXPECT_EQ(parts[1].str(), DALTRIX_VERSION);
        EXPECT_EQ(parts[3].str(), host);
    }

    // The last line of the dialog's log.
    std::string LastLine() const { return f.Log().empty() ? "" : f.Log().back(); }
    // The last line's text without its number.
    std::string LastText() const { return LastLine().size() > 4 ? LastLine().substr(4) : ""; }

    static std::string Between(const std::string& text, const std::string& from, const std::string& to) {
        const size_t start = text.find(from);
        return start == std::string::npos ? "" : text.substr(start, text.find(to, start) - start);
    }
};

TEST_F(LogFile, AfterACompleteRunItHoldsItsHeaderLineAndThenExactlyTheDialogsLines) {
    StartAndConvert("7");
    ASSERT_EQ(LastText(), "Klart! Klicka Avsluta");

    const std::string bytes = ReadFile(f.LogFile());
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF=== Daltrix ", 0), 0u) << "UTF-8 with a byte-order mark, header first";
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), std::count(bytes.begin(), bytes.end(), '\r'))
        << "every line ends in CR LF, and no other CR or LF is in the file";

    const auto lines = f.LogFileLines();
    ASSERT_EQ(lines.size(), f.Log().size() + 1);
    ExpectStartLine(lines[0]);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), f.Log());
}

TEST_F(LogFile, EachLineIsInTheFileAsSoonAsItIsInTheDialog) {
    headless::Click(*f.dlg, IDC_START);
    const auto lines = f.LogFileLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), f.Log());

    f.dlg->AddLog(logfmt::kServerIs, {u"S1"});
    EXPECT_EQ(f.LogFileLines().back(), f.Log().back());
}

TEST_F(LogFile, ASecondStartOfTheProgramAppendsItsOwnPartAfterTheFirst) {
    StartAndConvert("7");
    const auto firstStart = f.LogFileLines();

    StartToolAgain();
    headless::Click(*f.dlg, IDC_START);
    const auto lines = f.LogFileLines();
    ASSERT_EQ(lines.size(), firstStart.size() + 1 + f.Log().size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(firstStart.size())),
              firstStart);
    ExpectStartLine(lines[firstStart.size()]);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(firstStart.size()) + 1, lines.end()), f.Log());
    EXPECT_EQ(f.Log().front(), "001 Klicka Starta för att påbörja konverteringen") << "each start counts from 001";

    const std::string bytes = ReadFile(f.LogFile());
    EXPECT_EQ(bytes.find("\xEF\xBB\xBF", 1), std::string::npos) << "the byte-order mark opens the file only";
}

// The folder the operator runs the tool from may be read-only (a share, a CD), or the file may
// be read-only: the tool says so once and does its job.
TEST_F(LogFile, WhenItCannotBeWrittenTheLogSaysSoOnceAndTheRunStillCompletes) {
    struct Case {
        const char* name;
        bool readOnlyFolder;
    };
    for (const Case& c : {Case{"read-only folder", true}, Case{"read-only file", false}}) {
        SCOPED_TRACE(c.name);
        fs::remove_all(install);  // no backup from the case before
        Prepare();
        fs::remove(f.LogFile());
        if (!c.readOnlyFolder)
            WriteFile(f.LogFile(), "");
        ::chmod((c.readOnlyFolder ? program : f.LogFile()).c_str(), 0555);
        {
            const PermissionBitsEnforced enforced;
            StartToolAgain();
            StartAndConvert("7");
        }
        ::chmod((c.readOnlyFolder ? program : f.LogFile()).c_str(), 0755);

        const auto lines = f.Log();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[1], "002 Loggen kan inte sparas i " + WinPath(f.LogFile()).ToUtf8() + ": Permission denied");
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.find("Loggen kan inte sparas") != l.npos; }),
                  1);
        EXPECT_EQ(LastText(), "Klart! Klicka Avsluta");
        EXPECT_EQ(LastLine().substr(0, 4), Numbered(lines.size(), "")) << "every line numbered, the new one too";
        EXPECT_FALSE(f.dlg->GetDlgItem(IDC_START)->IsWindowEnabled());
        EXPECT_EQ(ReadFile(install / "tqsys.bak"), "[ODBC]\r\nDRIVER=Gammal\r\n");
        EXPECT_EQ(ReadFile(f.LogFile()), "") << "nothing reached the file";
    }
}

// A disk that fills up: the file opens, the writes fail.
TEST_F(LogFile, AFileThatStopsTakingLinesIsReportedOnceAndLeftAlone) {
    fs::remove(f.LogFile());
    fs::create_symlink("/dev/full", f.LogFile());
    StartToolAgain();
    headless::Click(*f.dlg, IDC_START);
    const auto lines = f.Log();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "002 Loggen kan inte sparas i " + WinPath(f.LogFile()).ToUtf8() + ": No space left on device");
    EXPECT_EQ(lines[2].substr(0, 12), "003 Startar.");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("Loggen kan inte sparas") != l.npos; }),
              1);
}

// A driver's message may hold a line break; the file keeps one line per line of the log.
TEST_F(LogFile, ALineBreakInsideALineBecomesABlank) {
    f.dlg->AddLog(logfmt::kCannotOpenDbWithError, {u"första\r\nandra\ntredje"});
    EXPECT_EQ(f.LogFileLines().back(), "002 Kunde inte öppna databasen: första andra tredje");
}

// The company's password stands in its DSN file only; it is in braces there because it holds a
// ';', the form most likely to leak whole if a connect string were ever logged.
TEST_F(LogFile, NoPasswordReachesItNeitherFromACompleteRunNorFromARefusedLogin) {
    const std::string password = "Hemligt;Losen=1";
    for (const bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "refused login" : "complete run");
        Prepare(refused ? std::vector<std::string>{"--refuse-logins"}
                        : std::vector<std::string>{"--login", "varnik:" + password});
        server->WriteCompanyDsn(program / "tq0007.dsn", "varnik", "{" + password + "}");
        StartToolAgain();
        StartAndConvert("7");
        EXPECT_EQ(LastText(), refused ? "Kunde inte bestämma serveradress" : "Klart! Klicka Avsluta")
            << "the braced password was " << (refused ? "refused" : "used");

        const std::string file = ReadFile(f.LogFile());
        EXPECT_NE(file.find(f.Log().back()), std::string::npos);
        for (const std::string& secret : {password, std::string("Hemligt"), std::string("Losen=1")})
            EXPECT_EQ(file.find(secret), std::string::npos) << secret << " in:\n" << file;
        EXPECT_EQ(file.find("PWD="), std::string::npos);
    }
}

}  // namespace
