// Damaged file DSNs beside the tool: the system DSN read by "Starta" and a company DSN read by
// a conversion run. Each damage is made from the good file the bed wrote, so one table serves
// both; each must end in the stage's own failure line, or the line refusing a file that Windows
// reads otherwise than it shows, with a text that names the cause, never in a crash or a stop
// message.
#include "support/ConversionBed.h"

#include "app/LogFormats.h"

#include <random>

using namespace testing_support;

namespace {

struct Damage {
    const char* name;
    std::string (*make)(const std::string& good);
    const char* cause;     // a piece of the error text that names what is wrong
    bool refused = false;  // the tool refuses the file, which Windows would read
};

// Test lists show the case by its name.
void PrintTo(const Damage& c, std::ostream* out) {
    *out << c.name;
}

std::string Garbage(size_t size) {
    std::minstd_rand next(4711);
    std::string bytes;
    for (size_t i = 0; i < size; ++i)
        bytes += static_cast<char>(next() & 0xFF);
    return bytes;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// Short "Knnn=value" lines, about this many bytes of them.
std::string ManyItems(size_t bytes) {
    std::string lines;
    for (int i = 0; lines.size() < bytes; ++i)
        lines += "K" + std::to_string(i) + "=vvvvvvvvvvvvvvvv\r\n";
    return lines;
}

// The good file with its DRIVER= line, line end included, replaced.
std::string WithDriverLine(const std::string& good, const std::string& line) {
    const size_t start = good.find("DRIVER=");
    const size_t end = good.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << good;
    return end == std::string::npos ? good : good.substr(0, start) + line + good.substr(end + 2);
}

constexpr const char* kNoItems = "has no [ODBC] items";
constexpr const char* kNoDriver = "Data source name not found";

const Damage kDamages[] = {
    {"Empty", [](const std::string&) { return std::string(); }, kNoItems},
    {"BinaryGarbage", [](const std::string&) { return Garbage(4096); }, kNoItems},
    {"Utf16GarbageAfterItsMark", [](const std::string&) { return "\xFF\xFE" + Garbage(4096); }, kNoItems},
    {"NoOdbcSection", [](const std::string& good) { return Replaced(good, "[ODBC]", "[ODBC Data Sources]"); },
     kNoItems},
    {"DriverWithoutAValue", [](const std::string& good) { return WithDriverLine(good, "DRIVER=\r\n"); }, kNoDriver},
    {"OneMegabyteDriverName",
     [](const std::string& good) { return WithDriverLine(good, "DRIVER=" + std::string(1 << 20, 'x') + "\r\n"); },
     "Driver name too long"},
    {"OneMegabyteOfItemsWithoutADriver",
     [](const std::string& good) { return WithDriverLine(good, ManyItems(1 << 20)); }, kNoDriver},
    {"Utf8ByteOrderMark", [](const std::string& good) { return "\xEF\xBB\xBF" + good; }, "UTF-8 med BOM", true},
    {"DriverLineWithoutEqualsHidesTheDriver",
     [](const std::string& good) { return Replaced(good, "DRIVER=", "DRIVER\r\nDRIVER="); }, "raden DRIVER utan", true},
    {"LineWithoutAKey", [](const std::string& good) { return Replaced(good, "[ODBC]\r\n", "[ODBC]\r\n=x\r\n"); },
     "börjar med likhetstecken", true},
    {"KeyWithSemicolon", [](const std::string& good) { return good + "App;SERVER=annan\r\n"; }, "nyckeln App;SERVER",
     true},
};

std::string DamageName(const ::testing::TestParamInfo<Damage>& info) {
    return info.param.name;
}

// The line of this format and number, up to its one text; the refusal's line names the file.
std::string LinePrefix(const char16_t* format, int number, const Damage& damage, const fs::path& file) {
    if (damage.refused)
        return CString::Format(logfmt::kFileDsnRefused, {number, WinPath(file), CString()}).ToUtf8();
    return CString::Format(format, {number, CString()}).ToUtf8();
}

class BadSystemDsn : public ConversionBed, public ::testing::WithParamInterface<Damage> {};

TEST_P(BadSystemDsn, StartEndsWithTheOpenFailureLineAndAnEmptyList) {
    WriteFile(program / "tqsys.dsn", GetParam().make(ReadFile(program / "tqsys.dsn")));
    headless::Click(*f.dlg, IDC_START);
    const auto lines = f.LogFrom(3);
    ASSERT_EQ(lines.size(), 2u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "004 Hittade en tqsys.dsn som " + WinPath(program / "tqsys.dsn").ToUtf8());
    ExpectFailureLine(lines[1], LinePrefix(logfmt::kCannotOpenSystemDb, 5, GetParam(), program / "tqsys.dsn"),
                      GetParam().cause);
    EXPECT_EQ(f.dlg->m_companyList.GetItemCount(), 0);
    EXPECT_FALSE(f.dlg->m_sysDb.IsOpen());
    EXPECT_TRUE(headless::TheScreen().stopMessages.empty());
}

INSTANTIATE_TEST_SUITE_P(Damages, BadSystemDsn, ::testing::ValuesIn(kDamages), DamageName);

class BadCompanyDsn : public ConversionBed, public ::testing::WithParamInterface<Damage> {};

TEST_P(BadCompanyDsn, TheRunEndsAtTheConnectionAndTouchesNothing) {
    WriteFile(program / "tq0007.dsn", GetParam().make(ReadFile(program / "tq0007.dsn")));
    StartAndConvert("7");
    const auto lines = f.LogFrom(7);
    ASSERT_EQ(lines.size(), 2u) << ::testing::PrintToString(lines);
    ExpectFailureLine(lines[0], LinePrefix(logfmt::kCannotOpenDbWithError, 8, GetParam(), program / "tq0007.dsn"),
                      GetParam().cause);
    EXPECT_EQ(lines[1], CString::Format(logfmt::kNoServerAddress, {9}).ToUtf8());
    EXPECT_TRUE(headless::TheScreen().stopMessages.empty());
    EXPECT_TRUE(f.dlg->GetDlgItem(IDC_START)->IsWindowEnabled());
    EXPECT_TRUE(server->Statements().empty());
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), "[ODBC]\r\nDRIVER=Gammal\r\n");
}

INSTANTIATE_TEST_SUITE_P(Damages, BadCompanyDsn, ::testing::ValuesIn(kDamages), DamageName);

// The reader decodes UTF-16 after its mark, so the same good files in that form work.
using Utf16Dsn = ConversionBed;

// The file's ASCII text as UTF-16LE after its byte-order mark.
std::string Utf16WithMark(const fs::path& file) {
    std::string bytes = "\xFF\xFE";
    for (const char ch : ReadFile(file))
        bytes += std::string{ch, '\0'};
    return bytes;
}

TEST_F(Utf16Dsn, ASystemDsnInUtf16ListsTheCompanies) {
    WriteFile(program / "tqsys.dsn", Utf16WithMark(program / "tqsys.dsn"));
    headless::Click(*f.dlg, IDC_START);
    EXPECT_EQ(f.LogFrom(4), std::vector<std::string>{CString::Format(logfmt::kDoubleClickCompany, {5}).ToUtf8()});
    EXPECT_EQ(f.dlg->m_companyList.GetItemCount(), 3);
    EXPECT_EQ(f.dlg->m_companyList.GetItemText(0, 0).ToUtf8(), "12");
}

TEST_F(Utf16Dsn, ACompanyDsnInUtf16ReachesTheServer) {
    WriteFile(program / "tq0007.dsn", Utf16WithMark(program / "tq0007.dsn"));
    StartAndConvert("7");
    const auto lines = f.LogFrom(7);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], CString::Format(logfmt::kServerIs, {8, CString(u"127.0.0.1")}).ToUtf8());
}

}  // namespace
