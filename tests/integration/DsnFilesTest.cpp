// The file side of a conversion in the installation folder: backup, the new system DSN and the
// company DSN files.
#include "support/TestSupport.h"

#include "dsn/CompanyDsnCopy.h"
#include "dsn/KeptFiles.h"
#include "dsn/SystemDsnFiles.h"
#include "dsn/SystemDsnWriter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <set>

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
const std::string kOwnAndBackup = "Info: tqsys.dsn är skriven av Daltrix och skrivs om, tqsys.bak behålls";
const std::string kOwnNoBackup = "Info: tqsys.dsn är skriven av Daltrix och skrivs om, det finns ingen tqsys.bak";
const std::string kOwnDsn =
    "[ODBC]\r\nDRIVER=SQL Server\r\nUID=tqsys\r\nAnsiNPW=No\r\nDATABASE=Varnik_tqsys\r\n"
    "APP= Microsoft Open Database Connectivity\r\nSERVER=SRV01\r\nTRUSTED_CONNECTION=YES\r\n"
    "Description = Varnik L\xF6n systemdatabas\r\n";

std::string Utf16(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (char ch : ascii)
        bytes += std::string{ch, '\0'};
    return bytes;
}

// A folder as the backup finds it, and what it must do there; "<bak>" in a line stands for the
// backup's path, "<dsn>" for tqsys.dsn's.
struct BackupCase {
    const char* name;
    std::optional<std::string> dsn;  // nothing: no tqsys.dsn; "<dir>": a folder of that name
    std::optional<std::string> bak;
    std::vector<std::string> lines;
    bool result = true;
    bool lockedFolder = false;
};

void PrintTo(const BackupCase& c, std::ostream* out) {
    *out << c.name;
}

class Backup : public DsnFiles, public ::testing::WithParamInterface<BackupCase> {
protected:
    // Every file's content in the folder, folders left out.
    std::multiset<std::string> Contents() const {
        std::multiset<std::string> contents;
        for (const auto& e : fs::recursive_directory_iterator(install))
            if (e.is_regular_file())
                contents.insert(ReadFile(e.path()));
        return contents;
    }
    std::string Expanded(std::string line) const {
        for (const auto& [mark, path] : {std::pair{"<bak>", install / "tqsys.bak"},
                                         {"<dsn>", install / "tqsys.dsn"},
                                         {"<rec>", install / "Daltrix-sparade.txt"}})
            if (const size_t at = line.find(mark); at != std::string::npos)
                line.replace(at, 5, WinPath(path).ToUtf8());
        return line;
    }
};

TEST_P(Backup, NeverLosesAFileTheProductHad) {
    const BackupCase& c = GetParam();
    for (const auto& [name, content] : {std::pair{"tqsys.dsn", c.dsn}, {"tqsys.bak", c.bak}})
        if (content == "<dir>")
            fs::create_directories(install / name / "inne");
        else if (content)
            WriteFile(install / name, *content);
    const auto before = Contents();
    bool result;
    {
        fs::permissions(install, c.lockedFolder ? fs::perms::owner_read | fs::perms::owner_exec : fs::perms::owner_all);
        PermissionBitsEnforced asNonRoot;
        result = f.dlg->BackupSystemDsn();
    }
    fs::permissions(install, fs::perms::owner_all);
    EXPECT_EQ(result, c.result);
    std::vector<std::string> expected;
    for (size_t i = 0; i < c.lines.size(); ++i)
        expected.push_back("0" + std::to_string(20 + i) + " " + Expanded(c.lines[i]));
    EXPECT_EQ(f.LogFrom(1), expected);
    // Nothing goes: a run that stops leaves every file as it was, one that goes on only adds copies.
    const auto after = Contents();
    if (!result) {
        EXPECT_EQ(after, before);
    }
    for (const auto& content : before)
        EXPECT_GE(after.count(content), before.count(content)) << content;
    // When it succeeds, the writer may take tqsys.dsn's place: it is gone, this tool's own, or
    // tqsys.bak holds it.
    const fs::path dsn = install / "tqsys.dsn";
    if (result && fs::is_regular_file(dsn) && !WrittenByThisTool(WinPath(dsn))) {
        EXPECT_EQ(ReadFile(install / "tqsys.bak"), ReadFile(dsn));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, Backup,
    ::testing::Values(BackupCase{"ProductsOwnAndNoBackup", "own", std::nullopt, {kRenaming, kNoBackup, kToBak}},
                      BackupCase{"ProductsOwnAndAnOlderBackup",
                                 "own",
                                 "older",
                                 {kRenaming, "Info: Den äldre tqsys.bak sparas som <bak>.1", kToBak}},
                      BackupCase{"NoSystemDsnKeepsTheBackup", std::nullopt, "older", {kRenaming, kNoDsn}},
                      BackupCase{"Nothing", std::nullopt, std::nullopt, {kRenaming, kNoDsn}},
                      BackupCase{
                          "ThisToolsFileIsReplacedAndTheBackupStays", kOwnDsn, "older", {kRenaming, kOwnAndBackup}},
                      BackupCase{"ThisToolsFileWithoutBackup", kOwnDsn, std::nullopt, {kRenaming, kOwnNoBackup}},
                      BackupCase{"AnotherServersVarnikTqsysIsTheProducts",
                                 "[ODBC]\r\nDATABASE=Varnik_tqsys\r\nSERVER=X\r\n",
                                 "older",
                                 {kRenaming, "Info: Den äldre tqsys.bak sparas som <bak>.1", kToBak}},
                      BackupCase{"ThisToolsFileEditedIsTheProducts",
                                 kOwnDsn + "; ändrad\r\n",
                                 "older",
                                 {kRenaming, "Info: Den äldre tqsys.bak sparas som <bak>.1", kToBak}},
                      BackupCase{"ThisToolsFileSavedAsUtf16IsTheProducts",
                                 Utf16(kOwnDsn),
                                 "older",
                                 {kRenaming, "Info: Den äldre tqsys.bak sparas som <bak>.1", kToBak}},
                      BackupCase{"ASystemDsnThatCannotBeCopiedStopsWithNothingChanged",
                                 "<dir>",
                                 "older",
                                 {kRenaming, "Info: Den äldre tqsys.bak sparas som <bak>.1", kToBak,
                                  "Kunde inte byta namn på <dsn> " + std::to_string(EISDIR)},
                                 false},
                      BackupCase{"ABackupThatHoldsTheSystemDsnAlreadyServes", "own", "own", {kRenaming, kToBak}},
                      BackupCase{"ABackupThatCannotBeKeptStopsWithNothingChanged",
                                 "own",
                                 "older",
                                 {kRenaming, "Kunde inte skriva <rec>: " + std::string(std::strerror(EACCES))},
                                 false,
                                 true}),
    [](const ::testing::TestParamInfo<BackupCase>& info) { return std::string(info.param.name); });

TEST_F(DsnFiles, BackupInAMissingFolderTriesTheRenameAndFails) {
    f.dlg->m_installDir = WinPath(dir / "Saknas");
    f.dlg->m_installSysDsn = WinPath(dir / "Saknas") + u"\\tqsys.dsn";
    EXPECT_FALSE(f.dlg->BackupSystemDsn());
    // A folder that is not there counts as holding both files; the first rename finds out.
    EXPECT_EQ(f.LogFrom(1), (std::vector<std::string>{
                                "020 " + kRenaming, "021 Kunde inte byta namn på " + WinPath(dir / "Saknas").ToUtf8() +
                                                        "\\tqsys.bak " + std::to_string(ENOENT)}));
}

const std::string& kDsnYes = kOwnDsn;

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
    EXPECT_FALSE(fs::exists(install / "tqsys.dsn.tmp"));
}

TEST_F(DsnFiles, AFullDiskLeavesTheProductsOwnSystemDsnAndNothingHalfWritten) {
    WriteFile(install / "tqsys.dsn", "the product's own");
    ASSERT_TRUE(f.dlg->BackupSystemDsn());
    // The new file is written beside the old one first; here that write meets a full disk.
    fs::create_symlink("/dev/full", install / "tqsys.dsn.tmp");
    f.dlg->m_driver = u"SQL Server";
    const size_t before = f.Log().size();
    EXPECT_FALSE(f.dlg->WriteSystemDsn());
    EXPECT_EQ(f.LogFrom(before),
              (std::vector<std::string>{"023 Skapar ny tqsys.dsn", "024 FEL! Kunde inte skapa " +
                                                                       WinPath(install / "tqsys.dsn").ToUtf8() +
                                                                       "! Felkod " + std::to_string(ENOSPC)}));
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), "the product's own");
    EXPECT_EQ(std::distance(fs::directory_iterator(install), fs::directory_iterator()), 1) << "the copy is gone";
}

// A folder that becomes read-only keeps the new file out and the copy in: the copy is named, and
// the record still says what a run or a restore ends.
TEST_F(DsnFiles, ACopyThatCannotBeUndoneIsNamedAndRecorded) {
    WriteFile(install / "tqsys.dsn", "the product's own");
    WriteFile(install / "tqsys.bak", "an older backup");
    ASSERT_TRUE(f.dlg->BackupSystemDsn());
    const size_t before = f.Log().size();
    fs::permissions(install, fs::perms::owner_read | fs::perms::owner_exec);
    {
        PermissionBitsEnforced asNonRoot;
        EXPECT_FALSE(f.dlg->WriteSystemDsn());
    }
    fs::permissions(install, fs::perms::owner_all);
    EXPECT_EQ(f.LogFrom(before),
              (std::vector<std::string>{"023 Skapar ny tqsys.dsn",
                                        "024 Kunde inte lägga tillbaka " + WinPath(install / "tqsys.bak").ToUtf8() +
                                            " som tqsys.dsn: " + std::strerror(EACCES),
                                        "025 FEL! Kunde inte skapa " + WinPath(install / "tqsys.dsn").ToUtf8() +
                                            "! Felkod " + std::to_string(EACCES)}));
    EXPECT_EQ(ReadFile(install / "tqsys.dsn"), "the product's own");
    EXPECT_EQ(ReadFile(install / "tqsys.bak.1"), "an older backup");
    EXPECT_EQ(*ReadKeptRecord(WinPath(install)),
              (std::vector<KeptEntry>{{u"tqsys.bak", u"tqsys.bak.1"}, {u"tqsys.dsn", u"tqsys.bak"}}));
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
    CompanyDsnCopyResult Copy() { return CopyCompanyDsnFiles(WinPath(source) + u"\\", WinPath(target)); }
    std::vector<std::string> TargetNames() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(target))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::vector<std::string> Names(const std::vector<std::pair<CString, CString>>& pairs) {
        std::vector<std::string> names;
        for (const auto& [name, detail] : pairs)
            names.push_back(name.ToUtf8() + " " + detail.ToUtf8());
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
    WriteFile(target / "tq1.dsn", "tq1.dsn");  // the same: left as it is
    const auto result = Copy();
    EXPECT_TRUE(result.kept.empty());
    EXPECT_TRUE(result.failed.empty());
    EXPECT_EQ(TargetNames(), (std::vector<std::string>{"TQ0002.DSN", "tq.dsn", "tq0001.dsn", "tq1.dsn", "tqsys.dsn"}));
    EXPECT_EQ(ReadFile(target / "tqsys.dsn"), "new system dsn");
    EXPECT_EQ(ReadFile(target / "tq0001.dsn"), "tq0001.dsn");
}

TEST_F(CompanyDsnCopy, ASourceFolderNamedAfterTheSystemDsnStillHasItsFilesCopied) {
    source = dir / "tqsys-verktyg";
    fs::create_directories(source);
    WriteFile(source / "tq0001.dsn", "one");
    EXPECT_TRUE(Copy().failed.empty());
    EXPECT_EQ(TargetNames(), std::vector<std::string>{"tq0001.dsn"});
}

// The installation's own files that differ are kept, copies are left writable, and a file that
// cannot be copied (a read-only one in the way, a folder) is named with the system's reason while
// the others are still copied.
TEST_F(CompanyDsnCopy, KeepsWhatItReplacesAndReportsWhatItCannotCopy) {
    for (const char* name : {"tq0001.dsn", "tq0002.dsn", "tq0003.dsn"})
        WriteFile(source / name, name);
    fs::permissions(source / "tq0003.dsn", fs::perms::owner_read);
    fs::create_directories(source / "tq0004.dsn");  // a matching folder cannot be copied
    WriteFile(target / "tq0002.dsn", "the installation's own");
    fs::permissions(target / "tq0002.dsn", fs::perms::owner_read);
    CompanyDsnCopyResult result;
    {
        PermissionBitsEnforced asNonRoot;
        result = Copy();
    }
    EXPECT_EQ(Names(result.kept),
              std::vector<std::string>{"tq0002.dsn " + WinPath(target / "tq0002.dsn").ToUtf8() + ".1"});
    EXPECT_EQ(Names(result.failed), (std::vector<std::string>{"tq0002.dsn " + std::string(std::strerror(EACCES)),
                                                              "tq0004.dsn " + std::string(std::strerror(EISDIR))}));
    EXPECT_EQ(ReadFile(target / "tq0002.dsn"), "the installation's own");
    EXPECT_EQ(ReadFile(target / "tq0002.dsn.1"), "the installation's own");
    for (const char* name : {"tq0001.dsn", "tq0003.dsn"}) {
        EXPECT_EQ(ReadFile(target / name), name);
        EXPECT_NE(fs::status(target / name).permissions() & fs::perms::owner_write, fs::perms::none) << name;
    }

    // A folder that cannot be written keeps every file as it was and names each one.
    WriteFile(source / "tq0001.dsn", "changed");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_exec);
    {
        PermissionBitsEnforced asNonRoot;
        result = Copy();
    }
    fs::permissions(target, fs::perms::owner_all);
    EXPECT_EQ(Names(result.failed), (std::vector<std::string>{"tq0001.dsn " + std::string(std::strerror(EACCES)),
                                                              "tq0002.dsn " + std::string(std::strerror(EACCES)),
                                                              "tq0004.dsn " + std::string(std::strerror(EISDIR))}));
    EXPECT_EQ(ReadFile(target / "tq0001.dsn"), "tq0001.dsn");
}

TEST_F(CompanyDsnCopy, NothingToCopyOrNoSourceFolderIsSuccess) {
    EXPECT_TRUE(Copy().failed.empty());
    source = dir / "Saknas";
    EXPECT_TRUE(Copy().failed.empty());
    EXPECT_TRUE(TargetNames().empty());
}

}  // namespace
