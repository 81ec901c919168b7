// The product's own tqsys.dsn, its only way back to the old system database, through sequences
// of whole runs that fail and succeed: after each, it is byte for byte either tqsys.dsn, nothing
// having been done, or tqsys.bak.
#include "support/ConversionBed.h"

#include <cerrno>

using namespace testing_support;

namespace {

const std::string kProductsOwn = "[ODBC]\r\nDRIVER=Gammal\r\n";

class SystemDsnSequence : public ConversionBed {
protected:
    void ExpectWayBack() const {
        const bool untouched =
            fs::is_regular_file(install / "tqsys.dsn") && ReadFile(install / "tqsys.dsn") == kProductsOwn;
        const bool backedUp =
            fs::is_regular_file(install / "tqsys.bak") && ReadFile(install / "tqsys.bak") == kProductsOwn;
        EXPECT_TRUE(untouched || backedUp) << "the product's own tqsys.dsn is gone";
    }

    void ExpectRepointed() const {
        EXPECT_EQ(f.Log().back().substr(4), "Klart! Klicka Avsluta");
        EXPECT_NE(ReadFile(install / "tqsys.dsn").find("\r\nDATABASE=Varnik_tqsys\r\n"), std::string::npos);
        EXPECT_EQ(ReadFile(install / "tqsys.bak"), kProductsOwn);
        EXPECT_FALSE(fs::exists(fs::symlink_status(install / "tqsys.tmp"))) << "a temporary file stayed";
    }

    // Double-clicks the company again in the same dialog; its lines.
    std::vector<std::string> RunAgain(int row = 1) {
        const size_t before = f.Log().size();
        headless::DoubleClickRow(*f.dlg, IDC_COMPANY_LIST, f.dlg->m_companyList, row);
        return f.LogFrom(before);
    }
};

TEST_F(SystemDsnSequence, AFailedWriteThenARetry) {
    fs::create_directories(install / "tqsys.tmp");  // the new file cannot be written
    StartAndConvert("7");
    const auto log = f.Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3].substr(4), "Skapar ny tqsys.dsn");
    EXPECT_EQ(log[log.size() - 2].substr(4), "Återställer tqsys.dsn från tqsys.bak");
    EXPECT_EQ(log.back().substr(4), "FEL! Kunde inte skapa " + WinPath(install / "tqsys.dsn").ToUtf8() + "! Felkod " +
                                        std::to_string(EISDIR));
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), kProductsOwn);
    EXPECT_FALSE(fs::exists(install / "tqsys.bak"));
    EXPECT_TRUE(f.dlg->GetDlgItem(IDC_START)->IsWindowEnabled());

    fs::remove(install / "tqsys.tmp");
    RunAgain();
    ExpectRepointed();
    ExpectWayBack();
}

TEST_F(SystemDsnSequence, TwoCompleteRunsInOneDialog) {
    StartAndConvert("7");
    ExpectRepointed();
    const auto lines = RunAgain();
    ExpectRepointed();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.substr(4) == "Info: tqsys.dsn pekar redan på Varnik_tqsys, tqsys.bak behålls";
    }));
    ExpectWayBack();
}

TEST_F(SystemDsnSequence, ACompleteRunTheToolStartedAgainACompleteRun) {
    StartAndConvert("7");
    ExpectRepointed();
    StartToolAgain();
    StartAndConvert("1");
    ExpectRepointed();
    ExpectWayBack();
}

TEST_F(SystemDsnSequence, AnUndeletableBackupThenARetry) {
    fs::create_directories(install / "tqsys.bak" / "kept");  // a backup _unlink cannot remove
    StartAndConvert("7");
    EXPECT_EQ(f.Log().back().substr(4),
              "Kunde inte byta namn på " + WinPath(install / "tqsys.dsn").ToUtf8() + " " + std::to_string(EEXIST));
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), kProductsOwn);
    ExpectWayBack();

    fs::remove_all(install / "tqsys.bak");  // the operator clears it away
    RunAgain();
    ExpectRepointed();
    ExpectWayBack();
}

TEST_F(SystemDsnSequence, NoSystemDsnAtAllKeepsAnOlderBackupThroughAFailedRun) {
    fs::rename(install / "tqsys.dsn", install / "tqsys.bak");  // an earlier run's backup, nothing in its place
    fs::create_directories(install / "tqsys.tmp");
    StartAndConvert("7");
    EXPECT_EQ(f.Log().back().rfind(Numbered(f.Log().size(), "FEL! Kunde inte skapa "), 0), 0u) << f.Log().back();
    EXPECT_FALSE(fs::exists(install / "tqsys.dsn"));
    ExpectWayBack();

    fs::remove(install / "tqsys.tmp");
    RunAgain();
    ExpectRepointed();
    ExpectWayBack();
}

}  // namespace
