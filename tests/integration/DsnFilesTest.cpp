// The file side of a conversion in the installation folder: backup, the new system DSN and the
// company DSN files.
#include "support/TestSupport.h"

#include "dsn/SystemDsnWriter.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace testing_support;

namespace {

class DsnFiles : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(install);
        f.dlg->m_installDir = WinPath(install);
        f.dlg->m_installSysDsn = WinPath(install / "tqsys.dsn");
        f.dlg->m_msgNo = 20;
    }
    TempDir dir;
    fs::path install = dir / "Varnik";
    DialogFixture f;
};

const std::string kRenaming = "Byter namn på tqsys.dsn om den finns";
const std::string kNoBackup = "Info: Fanns ingen backuppfil för tqsys.dsn. Helt OK";
const std::string kNoDsn = "Info: Finns ingen tqsys.dsn för 64-bitars. Helt OK";
const std::string kToBak = "Info: Byter namn på tqsys.dsn till tqsys.bak";

TEST_F(DsnFiles, BackupReplacesAnOldBackupWithTheCurrentSystemDsn) {
    WriteFile(install / "tqsys.dsn", "current");
    WriteFile(install / "tqsys.bak", "old");
    EXPECT_TRUE(f.dlg->BackupSystemDsn());
    EXPECT_EQ(f.LogFrom(1), (std::vector<std::string>{"020 " + kRenaming, "021 " + kToBak}));
    EXPECT_FALSE(fs::exists(install / "tqsys.dsn"));
    EXPECT_EQ(ReadFile(install / "tqsys.bak"), "current");
}

TEST_F(DsnFiles, BackupWithoutAnOldBackupSaysSoAndRenames) {
    WriteFile(install / "tqsys.dsn", "current");
    EXPECT_TRUE(f.dlg->BackupSystemDsn());
    EXPECT_EQ(f.LogFrom(1), (std::vector<std::string>{"020 " + kRenaming, "021 " + kNoBackup, "022 " + kToBak}));
    EXPECT_EQ(ReadFile(install / "tqsys.bak"), "current");
}

TEST_F(DsnFiles, BackupWithoutASystemDsnIsFineAndKeepsTheOldBackup) {
    // With nothing to take its place, the old backup may be the product's only way back.
    WriteFile(install / "tqsys.bak", "old");
    EXPECT_TRUE(f.dlg->BackupSystemDsn());
    EXPECT_EQ(f.LogFrom(1), (std::vector<std::string>{"020 " + kRenaming, "021 " + kNoDsn}));
    EXPECT_EQ(ReadFile(install / "tqsys.bak"), "old");

    fs::remove(install / "tqsys.bak");
    EXPECT_TRUE(f.dlg->BackupSystemDsn());
    EXPECT_EQ(f.LogFrom(3), (std::vector<std::string>{"022 " + kRenaming, "023 " + kNoDsn}));
}

TEST_F(DsnFiles, ASystemDsnThisToolWroteIsNotRenamedOverTheBackup) {
    WriteFile(install / "tqsys.dsn", "[ODBC]\r\nDRIVER=SQL Server\r\ndatabase = varnik_TQSYS\r\n");
    WriteFile(install / "tqsys.bak", "the product's own");
    EXPECT_TRUE(f.dlg->BackupSystemDsn());
    EXPECT_EQ(f.LogFrom(1),
              (std::vector<std::string>{"020 " + kRenaming,
                                        "021 Info: tqsys.dsn pekar redan på Varnik_tqsys, tqsys.bak behålls"}));
    EXPECT_EQ(ReadFile(install / "tqsys.bak"), "the product's own");
    f.dlg->m_driver = u"SQL Server";
    EXPECT_TRUE(f.dlg->WriteSystemDsn());
    EXPECT_NE(ReadFile(install / "tqsys.dsn").find("DATABASE=Varnik_tqsys"), std::string::npos);
    EXPECT_EQ(ReadFile(install / "tqsys.bak"), "the product's own");
}

TEST_F(DsnFiles, ASystemDsnForAnotherDatabaseOrWithoutABackupIsRenamedAsAlways) {
    WriteFile(install / "tqsys.dsn", "[ODBC]\r\nDATABASE=Varnik_tqsys\r\n");
    EXPECT_TRUE(f.dlg->BackupSystemDsn());
    EXPECT_EQ(f.LogFrom(1), (std::vector<std::string>{"020 " + kRenaming, "021 " + kNoBackup, "022 " + kToBak}));

    WriteFile(install / "tqsys.dsn", "[ODBC]\r\nDATABASE=Varnik_tqsys_old\r\n");
    EXPECT_TRUE(f.dlg->BackupSystemDsn());
    EXPECT_EQ(f.LogFrom(4), (std::vector<std::string>{"023 " + kRenaming, "024 " + kToBak}));
    EXPECT_EQ(ReadFile(install / "tqsys.bak"), "[ODBC]\r\nDATABASE=Varnik_tqsys_old\r\n");
}

TEST_F(DsnFiles, BackupInAMissingFolderTriesTheRenameAndFails) {
    f.dlg->m_installDir = WinPath(dir / "Saknas");
    f.dlg->m_installSysDsn = WinPath(dir / "Saknas") + u"\\tqsys.dsn";
    EXPECT_FALSE(f.dlg->BackupSystemDsn());
    EXPECT_EQ(f.LogFrom(1), (std::vector<std::string>{"020 " + kRenaming, "021 " + kNoBackup, "022 " + kToBak,
                                                      "023 Kunde inte byta namn på " + f.dlg->m_installSysDsn.ToUtf8() +
                                                          " " + std::to_string(ENOENT)}));
}

TEST_F(DsnFiles, AnUndeletableBackupMakesTheRenameFailWithItsErrorNumberAndKeepsBothFiles) {
    WriteFile(install / "tqsys.dsn", "current");
    fs::create_directories(install / "tqsys.bak" / "inside");  // a backup _unlink cannot remove
    EXPECT_FALSE(f.dlg->BackupSystemDsn());
    EXPECT_EQ(f.LogFrom(1),
              (std::vector<std::string>{"020 " + kRenaming, "021 " + kNoBackup, "022 " + kToBak,
                                        "023 Kunde inte byta namn på " + WinPath(install / "tqsys.dsn").ToUtf8() + " " +
                                            std::to_string(EEXIST)}));
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), "current");
    EXPECT_TRUE(fs::exists(install / "tqsys.bak" / "inside"));
}

const std::string kDsnYes =
    "[ODBC]\r\nDRIVER=SQL Server\r\nUID=tqsys\r\nAnsiNPW=No\r\nDATABASE=Varnik_tqsys\r\n"
    "APP= Microsoft Open Database Connectivity\r\nSERVER=SRV01\r\nTRUSTED_CONNECTION=YES\r\n"
    "Description = Varnik L\xF6n systemdatabas\r\n";

TEST_F(DsnFiles, TheNewSystemDsnIsByteExact) {
    f.dlg->m_driver = u"SQL Server";
    f.dlg->m_server = u"SRV01";
    f.dlg->m_trustedConnection = true;
    EXPECT_TRUE(f.dlg->WriteSystemDsn());
    EXPECT_EQ(f.LogFrom(1), std::vector<std::string>{"020 Skapar ny tqsys.dsn"});
    const std::string written = ReadFile(install / "tqsys.dsn");
    EXPECT_EQ(written.size(), 194u);
    EXPECT_EQ(written, kDsnYes);

    f.dlg->m_trustedConnection = false;
    EXPECT_TRUE(f.dlg->WriteSystemDsn());
    std::string expectNo = kDsnYes;
    expectNo.replace(expectNo.find("=YES"), 4, "=NO");
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), expectNo);
    EXPECT_EQ(expectNo.size(), 193u);
}

TEST_F(DsnFiles, ValuesGoInAsTheyStandEmptyOrWithPercentSigns) {
    f.dlg->m_driver = u"";
    f.dlg->m_server = u"A%sB%d";
    EXPECT_TRUE(f.dlg->WriteSystemDsn());
    const std::string written = ReadFile(install / "tqsys.dsn");
    EXPECT_NE(written.find("\r\nDRIVER=\r\n"), std::string::npos);
    EXPECT_NE(written.find("\r\nSERVER=A%sB%d\r\n"), std::string::npos);
    EXPECT_NE(written.find("TRUSTED_CONNECTION=NO\r\n"), std::string::npos);
}

TEST_F(DsnFiles, AReadOnlySystemDsnMakesTheWriterFailAndStaysUnchanged) {
    WriteFile(install / "tqsys.dsn", "keep me");
    fs::permissions(install / "tqsys.dsn", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    f.dlg->m_driver = u"SQL Server";
    {
        PermissionBitsEnforced asNonRoot;
        EXPECT_FALSE(f.dlg->WriteSystemDsn());
    }
    EXPECT_EQ(f.LogFrom(1),
              (std::vector<std::string>{"020 Skapar ny tqsys.dsn", "021 FEL! Kunde inte skapa " +
                                                                       WinPath(install / "tqsys.dsn").ToUtf8() +
                                                                       "! Felkod " + std::to_string(EACCES)}));
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), "keep me");
    EXPECT_FALSE(fs::exists(install / "tqsys.tmp"));
}

TEST_F(DsnFiles, AFullDiskPutsTheProductsOwnSystemDsnBackAndLeavesNothingHalfWritten) {
    WriteFile(install / "tqsys.dsn", "the product's own");
    ASSERT_TRUE(f.dlg->BackupSystemDsn());
    // The new file is written beside the old one first; here that write meets a full disk.
    fs::create_symlink("/dev/full", install / "tqsys.tmp");
    f.dlg->m_driver = u"SQL Server";
    const size_t before = f.Log().size();
    EXPECT_FALSE(f.dlg->WriteSystemDsn());
    EXPECT_EQ(f.LogFrom(before),
              (std::vector<std::string>{"023 Skapar ny tqsys.dsn", "024 Återställer tqsys.dsn från tqsys.bak",
                                        "025 FEL! Kunde inte skapa " + WinPath(install / "tqsys.dsn").ToUtf8() +
                                            "! Felkod " + std::to_string(ENOSPC)}));
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), "the product's own");
    EXPECT_FALSE(fs::exists(install / "tqsys.bak"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(install / "tqsys.tmp")));
}

TEST_F(DsnFiles, ABackupThatCannotBePutBackStaysTheWayBack) {
    WriteFile(install / "tqsys.dsn", "the product's own");
    ASSERT_TRUE(f.dlg->BackupSystemDsn());
    fs::create_directories(install / "tqsys.tmp");  // the new file cannot be written
    fs::create_directories(install / "tqsys.dsn");  // nor the old one put back
    const size_t before = f.Log().size();
    EXPECT_FALSE(f.dlg->WriteSystemDsn());
    const auto lines = f.LogFrom(before);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "024 Återställer tqsys.dsn från tqsys.bak");
    EXPECT_EQ(lines[2],
              "025 Kunde inte byta namn på " + WinPath(install / "tqsys.bak").ToUtf8() + " " + std::to_string(EEXIST));
    EXPECT_EQ(lines[3].rfind("026 FEL! Kunde inte skapa ", 0), 0u);
    EXPECT_EQ(ReadFile(install / "tqsys.bak"), "the product's own");
}

TEST_F(DsnFiles, TheNewFileReplacesTheOldInOneStepAndNoTemporaryFileStays) {
    f.dlg->m_driver = u"SQL Server";
    f.dlg->m_server = u"SRV01";
    f.dlg->m_trustedConnection = true;
    ASSERT_TRUE(f.dlg->WriteSystemDsn());
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), kDsnYes);
    EXPECT_EQ(std::distance(fs::directory_iterator(install), fs::directory_iterator()), 1);
}

TEST_F(DsnFiles, EncryptionItemsFollowTheTrustedConnectionLine) {
    f.dlg->m_driver = u"{ODBC Driver 18 for SQL Server}";
    f.dlg->m_server = u"SRV01";
    f.dlg->m_encryptionItems = {{u"Encrypt", u"yes"}, {u"trustservercertificate", u"Yes"}};
    ASSERT_TRUE(f.dlg->WriteSystemDsn());
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"),
              "[ODBC]\r\nDRIVER={ODBC Driver 18 for SQL Server}\r\nUID=tqsys\r\nAnsiNPW=No\r\n"
              "DATABASE=Varnik_tqsys\r\nAPP= Microsoft Open Database Connectivity\r\nSERVER=SRV01\r\n"
              "TRUSTED_CONNECTION=NO\r\nEncrypt=yes\r\ntrustservercertificate=Yes\r\n"
              "Description = Varnik L\xF6n systemdatabas\r\n");
}

TEST_F(DsnFiles, AValueWithoutASingleByteFormIsRefusedBeforeTheFileIsTouched) {
    WriteFile(install / "tqsys.dsn", "previous");
    f.dlg->m_server = u"SRV\u20AC";  // the euro sign has no single-byte form here
    EXPECT_FALSE(f.dlg->WriteSystemDsn());
    EXPECT_EQ(f.LogFrom(2),
              std::vector<std::string>{"021 FEL! Kunde inte skapa " + WinPath(install / "tqsys.dsn").ToUtf8() +
                                       "! Felkod " + std::to_string(EILSEQ)});
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), "previous");
    EXPECT_TRUE(SystemDsnBytes(u"Lön ÿ").has_value());
}

class CompanyDsnCopy : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(source);
        fs::create_directories(target);
    }
    bool Copy() { return CopyCompanyDsnFiles(WinPath(source) + u"\\", WinPath(target)); }
    std::vector<std::string> TargetNames() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(target))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    TempDir dir;
    fs::path source = dir / "Verktyg";
    fs::path target = dir / "Varnik";
};

TEST_F(CompanyDsnCopy, CopiesCompanyFilesByTheWindowsPatternButNeverTheSystemDsn) {
    for (const char* name : {"tqsys.dsn", "TQSYS.DSN", "tq0001.dsn", "TQ0002.DSN", "tq1.dsn", "tq.dsn", "tq12345.dsn",
                             "x.dsn", "tq0003.txt"})
        WriteFile(source / name, name);
    WriteFile(target / "tqsys.dsn", "new system dsn");
    WriteFile(target / "tq0001.dsn", "stale");
    EXPECT_TRUE(Copy());
    EXPECT_EQ(TargetNames(), (std::vector<std::string>{"TQ0002.DSN", "tq.dsn", "tq0001.dsn", "tq1.dsn", "tqsys.dsn"}));
    EXPECT_EQ(ReadFile(target / "tqsys.dsn"), "new system dsn");
    EXPECT_EQ(ReadFile(target / "tq0001.dsn"), "tq0001.dsn");
}

TEST_F(CompanyDsnCopy, ASourceFolderNamedAfterTheSystemDsnStillHasItsFilesCopied) {
    source = dir / "tqsys-verktyg";
    fs::create_directories(source);
    WriteFile(source / "tq0001.dsn", "one");
    EXPECT_TRUE(Copy());
    EXPECT_EQ(TargetNames(), std::vector<std::string>{"tq0001.dsn"});
}

TEST_F(CompanyDsnCopy, AFailedCopyIsReportedAndTheOthersAreStillCopied) {
    for (const char* name : {"tq0001.dsn", "tq0002.dsn", "tq0003.dsn"})
        WriteFile(source / name, name);
    fs::create_directories(source / "tq0004.dsn");  // a matching folder cannot be copied
    WriteFile(target / "tq0002.dsn", "read-only");
    fs::permissions(target / "tq0002.dsn", fs::perms::owner_read);
    {
        PermissionBitsEnforced asNonRoot;
        EXPECT_FALSE(Copy());
    }
    EXPECT_EQ(ReadFile(target / "tq0001.dsn"), "tq0001.dsn");
    EXPECT_EQ(ReadFile(target / "tq0002.dsn"), "read-only");
    EXPECT_EQ(ReadFile(target / "tq0003.dsn"), "tq0003.dsn");
}

TEST_F(CompanyDsnCopy, NothingToCopyOrNoSourceFolderIsSuccess) {
    EXPECT_TRUE(Copy());
    source = dir / "Saknas";
    EXPECT_TRUE(Copy());
    EXPECT_TRUE(TargetNames().empty());
}

}  // namespace
