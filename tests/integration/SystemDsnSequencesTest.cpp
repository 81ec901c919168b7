// The files the product had in its installation folder, through sequences of whole runs that
// fail and succeed: after each, every file it ever had is still in the folder under some name,
// byte for byte, and a run that stops leaves the folder as it found it.
#include "support/ConversionBed.h"

#include "dsn/KeptFiles.h"
#include "dsn/SystemDsnFiles.h"

#include <cerrno>
#include <set>

using namespace testing_support;

namespace {

const std::string kProductsOwn = "[ODBC]\r\nDRIVER=Gammal\r\n";

class SystemDsnSequence : public ConversionBed {
protected:
    void SetUp() override {
        ConversionBed::SetUp();
        Remember();
    }

    // Notes every file of the installation folder that this tool did not write.
    void Remember() {
        for (const auto& e : fs::directory_iterator(install))
            if (e.is_regular_file() && !WrittenByThisTool(WinPath(e.path())) &&
                e.path().filename() != fs::path(kKeptRecordName))
                m_productsFiles.insert(ReadFile(e.path()));
    }

    void ExpectEveryFileTheProductHad() {
        std::multiset<std::string> present;
        for (const auto& e : fs::directory_iterator(install))
            if (e.is_regular_file())
                present.insert(ReadFile(e.path()));
        for (const auto& content : m_productsFiles)
            EXPECT_TRUE(present.contains(content)) << "lost: " << content;
        Remember();
    }

    void ExpectRepointed() const {
        EXPECT_EQ(f.Log().back().substr(4), "Klart! Klicka Avsluta");
        EXPECT_TRUE(WrittenByThisTool(WinPath(install / "tqsys.dsn")));
        EXPECT_FALSE(fs::exists(fs::symlink_status(install / "tqsys.dsn.tmp"))) << "a temporary file stayed";
    }

    // Double-clicks the company again in the same dialog; its lines.
    std::vector<std::string> RunAgain(int row = 1) {
        const size_t before = f.Log().size();
        headless::DoubleClickRow(*f.dlg, IDC_COMPANY_LIST, f.dlg->m_companyList, row);
        return f.LogFrom(before);
    }

    std::multiset<std::string> m_productsFiles;
};

TEST_F(SystemDsnSequence, AFailedWriteThenARetryLeavesTheFolderAsItWasInBetween) {
    WriteFile(install / "tqsys.bak", "an older backup");
    WriteFile(install / "tq0007.dsn", "the installation's own company file");
    Remember();
    fs::create_directories(install / "tqsys.dsn.tmp");  // the new file cannot be written
    StartAndConvert("7");
    const auto log = f.Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3].substr(4), "Skapar ny tqsys.dsn");
    EXPECT_EQ(log[log.size() - 2].substr(4),
              "Info: " + WinPath(install / "tqsys.bak").ToUtf8() + ".1 heter åter tqsys.bak");
    EXPECT_EQ(log.back().substr(4), "FEL! Kunde inte skapa " + WinPath(install / "tqsys.dsn").ToUtf8() + "! Felkod " +
                                        std::to_string(EISDIR));
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), kProductsOwn);
    EXPECT_EQ(ReadFile(install / "tqsys.bak"), "an older backup");
    EXPECT_FALSE(fs::exists(install / "tqsys.bak.1"));
    EXPECT_TRUE(f.dlg->GetDlgItem(IDC_START)->IsWindowEnabled());

    fs::remove(install / "tqsys.dsn.tmp");
    const auto lines = RunAgain();
    ExpectRepointed();
    EXPECT_EQ(ReadFile(install / "tqsys.bak.1"), "an older backup");
    EXPECT_EQ(ReadFile(install / "tq0007.dsn.1"), "the installation's own company file");
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        Numbered(f.Log().size() - 1,
                                 "Info: tq0007.dsn i installationsmappen skilde sig från "
                                 "verktygets och sparas som " +
                                     WinPath(install / "tq0007.dsn").ToUtf8() + ".1")),
              lines.end());
    ExpectEveryFileTheProductHad();
}

TEST_F(SystemDsnSequence, TwoCompleteRunsInOneDialog) {
    StartAndConvert("7");
    ExpectRepointed();
    const auto lines = RunAgain();
    ExpectRepointed();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.substr(4) == "Info: tqsys.dsn är skriven av Daltrix och skrivs om, tqsys.bak behålls";
    }));
    ExpectEveryFileTheProductHad();
}

TEST_F(SystemDsnSequence, ACompleteRunTheToolStartedAgainACompleteRun) {
    StartAndConvert("7");
    ExpectRepointed();
    StartToolAgain();
    StartAndConvert("1");
    ExpectRepointed();
    ExpectEveryFileTheProductHad();
}

// Whatever stood in tqsys.dsn's place, a run keeps it: a file this tool wrote that someone edited,
// and a product's own that names Varnik_tqsys on another server, each with an older backup beside.
TEST_F(SystemDsnSequence, RunsOverFilesThatLookLikeThisToolsKeepEveryOne) {
    StartAndConvert("7");
    ExpectRepointed();
    WriteFile(install / "tqsys.dsn", ReadFile(install / "tqsys.dsn") + "; ändrad för hand\r\n");
    Remember();
    RunAgain();
    ExpectRepointed();
    ExpectEveryFileTheProductHad();

    WriteFile(install / "tqsys.dsn", "[ODBC]\r\nDRIVER=SQL Server\r\nDATABASE=Varnik_tqsys\r\nSERVER=ANNAN\r\n");
    Remember();
    StartToolAgain();
    StartAndConvert("1");
    ExpectRepointed();
    ExpectEveryFileTheProductHad();
    EXPECT_TRUE(fs::exists(install / "tqsys.bak.2"));
}

TEST_F(SystemDsnSequence, NoSystemDsnAtAllKeepsAnOlderBackupThroughAFailedRun) {
    fs::rename(install / "tqsys.dsn", install / "tqsys.bak");  // an earlier run's backup, nothing in its place
    fs::create_directories(install / "tqsys.dsn.tmp");
    StartAndConvert("7");
    EXPECT_EQ(f.Log().back().rfind(Numbered(f.Log().size(), "FEL! Kunde inte skapa "), 0), 0u) << f.Log().back();
    EXPECT_FALSE(fs::exists(install / "tqsys.dsn"));
    ExpectEveryFileTheProductHad();

    fs::remove(install / "tqsys.dsn.tmp");
    RunAgain();
    ExpectRepointed();
    ExpectEveryFileTheProductHad();
}

}  // namespace
