// The file side of a conversion in the installation folder: backup, the new system DSN and the
// company DSN files.
#include "support/TestSupport.h"

#include "dsn/NarrowPath.h"
#include "dsn/SystemDsnWriter.h"
#include "platform/System.h"

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

TEST_F(DsnFiles, BackupWithoutASystemDsnIsFineAndStillRemovesTheOldBackup) {
    WriteFile(install / "tqsys.bak", "old");
    EXPECT_TRUE(f.dlg->BackupSystemDsn());
    EXPECT_EQ(f.LogFrom(1), (std::vector<std::string>{"020 " + kRenaming, "021 " + kNoDsn}));
    EXPECT_FALSE(fs::exists(install / "tqsys.bak"));

    EXPECT_TRUE(f.dlg->BackupSystemDsn());
    EXPECT_EQ(f.LogFrom(3), (std::vector<std::string>{"022 " + kRenaming, "023 " + kNoBackup, "024 " + kNoDsn}));
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
}

TEST_F(DsnFiles, AFullDiskIsAFailureNotASuccess) {
    f.dlg->m_installSysDsn = u"\\dev\\full";
    f.dlg->m_driver = u"SQL Server";
    EXPECT_FALSE(f.dlg->WriteSystemDsn());
    EXPECT_EQ(f.LogFrom(2),
              std::vector<std::string>{"021 FEL! Kunde inte skapa \\dev\\full! Felkod " + std::to_string(ENOSPC)});
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

TEST(NarrowPathTest, ShortAndLongPathsConvertWhole) {
    const NarrowPath shortPath(u"C:\\Program Files\\Varnik\\tqsys.bak", sys::kThreadAnsiCodePage);
    EXPECT_STREQ(shortPath.c_str(), "C:\\Program Files\\Varnik\\tqsys.bak");
    std::u16string longText(300, u'a');
    longText += u"ö";
    const NarrowPath longPath(CString(longText), sys::kThreadAnsiCodePage);
    EXPECT_EQ(std::string(longPath.c_str()), std::string(300, 'a') + "ö");
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
