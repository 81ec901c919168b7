// "Starta" and a whole conversion by the real dialog of the Windows build, with the old system
// database on the legacy test driver: ODBC 2, single-byte entry points only, text in parts of a
// few bytes, the timeouts refused. Wine's odbc32 reaches it through unixODBC inside the Wine
// process, as it reaches FreeTDS. run_conversion_test.sh lays out the demo installation and its
// stand-in; with DALTRIX_LEGACY_DRIVER set it registers that native build of the driver as
// "Legacy" and names a Unix folder of the run's own in DALTRIX_LEGACY_DIR.
#include "CompleteRunLog.h"
#include "DialogDriver.h"

#include "platform/Database.h"
#include "res/resource.h"
#include "support/LegacyDatabase.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace dialog_driver;

namespace {

const std::string kToolDir = "C:\\Verktyg\\";
constexpr auto kRunPatience = 120s;

std::string Setting(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// A Unix path as this program opens it: Wine's drive Z: is the Unix root.
std::string Reachable(std::string unixPath) {
    for (char& ch : unixPath)
        if (ch == '/')
            ch = '\\';
    return unixPath.insert(0, "Z:");
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::string> Narrow(const std::vector<std::u16string>& texts) {
    std::vector<std::string> lines;
    for (const auto& text : texts)
        lines.push_back(CString(text).ToUtf8());
    return lines;
}

// The companies' names as the stand-in's Varnik_tqsys holds them, by number.
std::vector<std::string> ServerCompanyNames() {
    CDatabase db;
    db.OpenEx(CString::FromUtf8("DRIVER={SQL Server};SERVER=127.0.0.1;PORT=" + Setting("DALTRIX_STANDIN_PORT") +
                                ";UID=varnik;PWD=Demo-Losen-2026;DATABASE=Varnik_tqsys;TDS_Version=7.4;"));
    CRecordset rows(&db);
    rows.Open(CRecordset::snapshot, u"select Namn from TQ_FORETAG order by Nummer");
    std::vector<std::string> names;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        CString name;
        rows.GetFieldValue(0, name);
        names.push_back(name.Trim().ToUtf8());
    }
    return names;
}

class LegacyOldSystem : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string dir = Setting("DALTRIX_LEGACY_DIR");
        ASSERT_FALSE(dir.empty()) << "no DALTRIX_LEGACY_DIR: run_conversion_test.sh without DALTRIX_LEGACY_DRIVER";
        ASSERT_FALSE(Setting("DALTRIX_STANDIN_PORT").empty()) << "no stand-in port in DALTRIX_STANDIN_PORT";
        counter = dir + "/counter.txt";
        WriteBytes(Reachable(dir + "/old.txt"), legacy::DatabaseText(legacy::SiteOldSystem()));
        // The driver reads the paths itself, as Unix paths.
        WriteBytes(kToolDir + "tqsys.dsn",
                   "[ODBC]\r\nDRIVER=Legacy\r\nDatabase=" + dir + "/old.txt\r\nCounter=" + counter + "\r\n");
    }

    std::string counter;
};

TEST_F(LegacyOldSystem, StartaListsItsCompaniesAndAWholeConversionRunsFromIt) {
    {
        ModalRun run(kMainCaption);
        ASSERT_TRUE(run.Window());
        const HWND log = run.Item(IDC_LOG_LIST);
        const HWND companies = run.Item(IDC_COMPANY_LIST);
        PostMessageW(run.Item(IDC_START), BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return ItemCount(companies) == 3; })) << ItemCount(companies) << " companies";
        Settle(run.Window());
        // Each row goes on top; the driver's code page 1252 text reads as Windows reads it.
        EXPECT_EQ(Narrow(ColumnTexts(companies, 0)), (std::vector<std::string>{"12", "7", "1"}));
        EXPECT_EQ(CString(ItemText(companies, 1, 1)).ToUtf8(), "Björk & Söner" + std::string(128 - 13, ' '));

        DoubleClickRow(companies, 1);
        ASSERT_TRUE(WaitUntil(
            [&] { return CString(ItemText(log, ItemCount(log) - 1)).Mid(4) == CString(u"Klart! Klicka Avsluta"); },
            kRunPatience))
            << CString(ItemText(log, ItemCount(log) - 1)).ToUtf8();
        Settle(run.Window());
        const std::string dsn = "FILEDSN=" + kToolDir + "tq0007.dsn;";
        EXPECT_EQ(Narrow(ColumnTexts(log)),
                  CompleteRun({"001 Klicka Starta för att påbörja konverteringen",
                               "002 Startar. För att välja databasserver för Varnik_tqsys väljer du ett aktivt företag "
                               "i listan nedan.",
                               "003 Du kan eventuellt behöva logga in.",
                               "004 Hittade en tqsys.dsn som " + kToolDir + "tqsys.dsn",
                               "005 Dubbelklicka på ett företags nummer nedan för att välja databasserver för "
                               "Varnik_tqsys",
                               "006 Företag 7 är valt", "007 DSN är " + dsn, "008 Server är 127.0.0.1"},
                              3));
        EXPECT_EQ(ServerCompanyNames(), (std::vector<std::string>{"Acme AB", "Björk & Söner", "O'Brien & Co"}));
        EXPECT_EQ(ReadBytes(Reachable(counter)), "connect\n") << "the old database stays open";
    }
    // The tool has closed.
    EXPECT_EQ(ReadBytes(Reachable(counter)), "connect\ndisconnect\n");
}

}  // namespace
