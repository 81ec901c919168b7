// The win32 system back end where Windows itself decides the answer: sharing, relative paths,
// code pages and the process token. Runs under Wine with the shared behaviour tests.
#include "platform/win32/Win32Api.h"

#include "platform/Database.h"
#include "platform/ProtectedText.h"
#include "platform/System.h"
#include "platform/WrongBuild.h"
#include "InstalledDriver.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace installed_driver;

namespace sys {
// Failures show the answer by its name.
void PrintTo(DriverInstalled installed, std::ostream* out) {
    static const char* const names[] = {"NotKnown", "ForThisBuild", "For32BitOnly", "For64BitOnly", "Nowhere"};
    *out << names[static_cast<int>(installed)];
}
}  // namespace sys

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

CString Text(const fs::path& path) {
    return CString(path.u16string());
}

void Put(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Get(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// The file opened as another program may hold it: `share` says what others may still do.
Handle Hold(const fs::path& path, DWORD share) {
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

class Win32System : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        dir = fs::temp_directory_path() / ("daltrix-win32-" + std::to_string(random()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::current_path(fs::temp_directory_path(), ignored);
        fs::remove_all(dir, ignored);
    }
    fs::path dir;
};

TEST_F(Win32System, MissingMeansFileNotFoundAndNothingElse) {
    // The reason a path under a missing folder counts as present: Windows answers it with
    // "path not found" (3), not "file not found" (2).
    const fs::path underMissingFolder = dir / "no-folder" / "tqsys.dsn";
    EXPECT_EQ(GetFileAttributesW(underMissingFolder.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(sys::PathIsMissing(Text(underMissingFolder)));

    EXPECT_TRUE(sys::PathIsMissing(Text(dir / "tqsys.dsn")));
    EXPECT_FALSE(sys::PathIsMissing(Text(dir)));
    EXPECT_FALSE(sys::PathIsMissing(Text(dir) + u"\\"));
    EXPECT_TRUE(sys::IsDirectory(Text(dir) + u"\\"));
    EXPECT_FALSE(sys::IsDirectory(Text(dir / "tqsys.dsn")));
}

TEST_F(Win32System, RuntimeErrorNumbersAreTheDocumentedOnes) {
    Put(dir / "tqsys.dsn", "new");
    Put(dir / "tqsys.bak", "old");
    EXPECT_EQ(sys::Rename(Text(dir / "tqsys.dsn"), Text(dir / "tqsys.bak")), 17);  // EEXIST
    EXPECT_EQ(Get(dir / "tqsys.bak"), "old");
    EXPECT_EQ(sys::UnlinkNarrow((dir / "none.bak").string()), 2);  // ENOENT
    EXPECT_EQ(sys::UnlinkNarrow((dir / "tqsys.bak").string()), 0);
    EXPECT_EQ(sys::Rename(Text(dir / "tqsys.dsn"), Text(dir / "tqsys.bak")), 0);
}

TEST_F(Win32System, FilesHeldWithoutSharingCannotBeRewrittenOrReplaced) {
    Put(dir / "tqsys.dsn", "held");
    Put(dir / "tq0001.dsn", "company");
    const Handle held = Hold(dir / "tqsys.dsn", 0);
    ASSERT_TRUE(held);

    const int error = sys::WriteNewFile((dir / "tqsys.dsn").string(), {'x', '\r', '\n'});
    EXPECT_NE(error, 0);
    EXPECT_EQ(error, EACCES) << "a sharing violation reaches the runtime as EACCES";
    EXPECT_EQ(sys::ReplaceFile(Text(dir / "tq0001.dsn"), Text(dir / "tqsys.dsn")), EACCES);
    EXPECT_FALSE(sys::ReadWholeFile(Text(dir / "tqsys.dsn")).has_value());
}

TEST_F(Win32System, AFileOpenForWritingByOthersCanStillBeRead) {
    Put(dir / "tqsys.dsn", "[ODBC]\r\n");
    const Handle held = Hold(dir / "tqsys.dsn", FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(held);
    const auto bytes = sys::ReadWholeFile(Text(dir / "tqsys.dsn"));
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "[ODBC]\r\n");
}

// The log file: another program may read it, or append to it, while the tool runs; one that holds
// it for writing alone keeps the tool out, with the system's words for why.
TEST_F(Win32System, AnAppendFileSharesReadingAndAppendingAndNamesALock) {
    const fs::path log = dir / "Daltrix.log";
    CString error;
    sys::AppendFile file;
    ASSERT_TRUE(file.Open(Text(log), error));
    ASSERT_TRUE(file.Append({'0', '0', '1', '\r', '\n'}, error));
    {
        const Handle reader = Hold(log, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_TRUE(reader) << "a reader such as Notepad cannot open the log while the tool runs";
        ASSERT_TRUE(file.Append({'0', '0', '2', '\r', '\n'}, error));
    }
    EXPECT_EQ(Get(log), "001\r\n002\r\n");

    Put(dir / "locked.log", "");
    const Handle holder = Hold(dir / "locked.log", 0);
    ASSERT_TRUE(holder);
    sys::AppendFile second;
    EXPECT_FALSE(second.Open(Text(dir / "locked.log"), error));
    const std::string text = error.ToUtf8();
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n') << "the system's text without its line end";
}

TEST_F(Win32System, WrittenBytesAreNotTranslated) {
    // The caller writes the line ends itself; a text-mode stream would double the CR.
    const std::vector<unsigned char> bytes{'[', 'O', 'D', 'B', 'C', ']', '\r', '\n', '\n', 0x1A, 'x'};
    ASSERT_EQ(sys::WriteNewFile((dir / "t.dsn").string(), bytes), 0);
    const auto back = sys::ReadWholeFile(Text(dir / "t.dsn"));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, bytes);
    ASSERT_EQ(sys::WriteNewFile((dir / "t.dsn").string(), {}), 0);
    EXPECT_EQ(fs::file_size(dir / "t.dsn"), 0u);
}

TEST_F(Win32System, ListingResolvesARelativeFolderWithOrWithoutItsBackslash) {
    fs::create_directories(dir / "DSN");
    Put(dir / "DSN" / "tq0001.dsn", "1");
    Put(dir / "DSN" / "Tq0002.DSN", "2");
    fs::current_path(dir);

    for (const CString& folder : {CString(u"DSN"), CString(u"DSN\\"), CString(u".\\DSN")}) {
        const auto entries = sys::ListDirectory(folder);
        ASSERT_EQ(entries.size(), 2u) << folder.ToUtf8();
        for (const auto& entry : entries) {
            const CString expected = Text(dir / "DSN" / fs::path(entry.name.Str()));
            EXPECT_EQ(entry.fullPath.ToUtf8(), expected.ToUtf8());
            EXPECT_TRUE(entry.name == CString(u"tq0001.dsn") || entry.name == CString(u"Tq0002.DSN"))
                << entry.name.ToUtf8();
        }
    }
    EXPECT_TRUE(sys::ListDirectory(Text(dir / "DSN" / "tq0001.dsn")).empty()) << "a file is not a folder";
}

TEST(Win32Conversion, TheCodePageDecidesTheBytes) {
    const CString text(u"L\u00f6n");
    unsigned error = 99;
    char buffer[8] = {};
    ASSERT_EQ(sys::WideToNarrow(1252, text.GetString(), text.GetLength() + 1, buffer, sizeof buffer, error), 4);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(std::string(buffer), "L\xF6n");
    ASSERT_EQ(sys::WideToNarrow(65001, text.GetString(), text.GetLength() + 1, buffer, sizeof buffer, error), 5);
    EXPECT_EQ(std::string(buffer), "L\xC3\xB6n");

    // Exactly the room it needs succeeds; one byte less is error 122 and nothing written.
    EXPECT_EQ(sys::WideToNarrow(1252, text.GetString(), text.GetLength() + 1, buffer, 4, error), 4);
    EXPECT_EQ(sys::WideToNarrow(1252, text.GetString(), text.GetLength() + 1, buffer, 3, error), 0);
    EXPECT_EQ(error, sys::kErrorInsufficientBuffer);
}

TEST(Win32Process, ModuleFileNameIsThisProgram) {
    const CString path = sys::ModuleFileName();
    ASSERT_GT(path.GetLength(), 3);
    EXPECT_EQ(path.Mid(1, 2), CString(u":\\")) << path.ToUtf8();
    EXPECT_EQ(path.Mid(path.ReverseFind(u'\\') + 1), CString(u"system_win32_test.exe")) << path.ToUtf8();
    EXPECT_FALSE(sys::PathIsMissing(path));
}

// The token's own group list, read another way than the back end does.
bool AdministratorsEnabledInToken() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    const Handle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token, TokenGroups, buffer.data(), size, &size))
        return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        const PSID sid = groups->Groups[i].Sid;
        if (*GetSidSubAuthorityCount(sid) == 2 && *GetSidSubAuthority(sid, 0) == SECURITY_BUILTIN_DOMAIN_RID &&
            *GetSidSubAuthority(sid, 1) == DOMAIN_ALIAS_RID_ADMINS)
            return (groups->Groups[i].Attributes & SE_GROUP_ENABLED) != 0;
    }
    return false;
}

TEST(Win32Process, AdministratorTestAgreesWithTheTokensGroups) {
    EXPECT_EQ(sys::IsAdministrator(), AdministratorsEnabledInToken());
}

TEST(Win32ProtectedText, GivesBackTheTextItWasGiven) {
    const CString connect(u"DRIVER={SQL Server};SERVER=srv\\LÖN;UID=sa;PWD=hemligt \u00e5\u00e4\u00f6;");
    ProtectedText kept;
    EXPECT_EQ(kept.Get().value_or(u"x").ToUtf8(), "") << "nothing set reads as empty text";
    kept.Set(connect);
    ASSERT_TRUE(kept.Get().has_value());
    EXPECT_EQ(kept.Get()->ToUtf8(), connect.ToUtf8());

    const ProtectedText copy = kept;
    EXPECT_EQ(copy.Get().value_or(u"").ToUtf8(), connect.ToUtf8());

    kept.Set(CString());
    EXPECT_EQ(kept.Get().value_or(u"x").ToUtf8(), "");
    kept.Set(connect);
    kept.Clear();
    EXPECT_EQ(kept.Get().value_or(u"x").ToUtf8(), "");
}

// --- installed ODBC drivers ---------------------------------------------------------------------

CString Text(const std::wstring& text) {
    return win32::FromWide(text.c_str(), text.size());
}

TEST(Win32OdbcDrivers, ADriverInThisBuildsViewIsInstalledForIt) {
    for (const auto entries : {InstalledDriver::ListAndKey, InstalledDriver::ListOnly, InstalledDriver::KeyOnly}) {
        const std::wstring name = UniqueDriverName();
        EXPECT_EQ(sys::FindOdbcDriver(Text(name)), sys::DriverInstalled::Nowhere);
        {
            const InstalledDriver driver(name, kThisView, entries);
            EXPECT_EQ(sys::FindOdbcDriver(Text(name)), sys::DriverInstalled::ForThisBuild) << "entries " << entries;
            // Also when the other view has it too.
            const InstalledDriver there(name, kOtherView, entries);
            EXPECT_EQ(sys::FindOdbcDriver(Text(name)), sys::DriverInstalled::ForThisBuild) << "entries " << entries;
        }
        EXPECT_EQ(sys::FindOdbcDriver(Text(name)), sys::DriverInstalled::Nowhere) << "entries " << entries;
    }
    EXPECT_EQ(sys::FindOdbcDriver(CString()), sys::DriverInstalled::Nowhere);
}

TEST(Win32OdbcDrivers, ADriverOnlyInTheOtherViewNamesTheBuildThatSeesIt) {
    const sys::DriverInstalled otherBuildOnly =
        k64BitBuild ? sys::DriverInstalled::For32BitOnly : sys::DriverInstalled::For64BitOnly;
    for (const auto entries : {InstalledDriver::ListAndKey, InstalledDriver::ListOnly, InstalledDriver::KeyOnly}) {
        const std::wstring name = UniqueDriverName();
        const InstalledDriver driver(name, kOtherView, entries);
        // With one view, "the other view" is this one: never a hint to take a build that
        // cannot run here.
        EXPECT_EQ(sys::FindOdbcDriver(Text(name)),
                  HasTwoRegistryViews() ? otherBuildOnly : sys::DriverInstalled::ForThisBuild)
            << "entries " << entries;
    }
}

TEST(Win32OdbcDrivers, AConnectThatFailsForWantOfTheDriverNamesTheOtherBuild) {
    const std::wstring name = UniqueDriverName();
    const InstalledDriver driver(name, kOtherView);
    CDatabase db;
    try {
        db.OpenEx(CString(u"DRIVER={") + Text(name) + u"};SERVER=127.0.0.1;");
        FAIL() << "no exception";
    } catch (const CDBException& e) {
        EXPECT_TRUE(IsDriverNotFound(e)) << e.m_strStateNativeOrigin.ToUtf8() << e.m_strError.ToUtf8();
        const CString hint(ExpectedHint());
        if (hint.IsEmpty()) {
            EXPECT_EQ(e.m_strError.Find(u"drivrutinen"), -1) << e.m_strError.ToUtf8();
        } else {
            const int at = e.m_strError.GetLength() - hint.GetLength();
            ASSERT_GT(at, 0) << e.m_strError.ToUtf8();
            EXPECT_EQ(e.m_strError.Mid(at), hint) << e.m_strError.ToUtf8();
        }
    }
    EXPECT_FALSE(db.IsOpen());
}

TEST(Win32OdbcDrivers, ADriverNoBuildSeesGetsNoHint) {
    CDatabase db;
    try {
        db.OpenEx(CString(u"DRIVER={") + Text(UniqueDriverName()) + u"};SERVER=127.0.0.1;");
        FAIL() << "no exception";
    } catch (const CDBException& e) {
        EXPECT_TRUE(IsDriverNotFound(e)) << e.m_strStateNativeOrigin.ToUtf8() << e.m_strError.ToUtf8();
        EXPECT_EQ(e.m_strError.Find(u"drivrutinen"), -1) << e.m_strError.ToUtf8();
    }
}

}  // namespace
