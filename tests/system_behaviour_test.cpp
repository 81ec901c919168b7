// The system services as the logic relies on them. The same tests run against the posix back
// end natively and against the win32 back end under Wine.
#include "platform/System.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class SystemServices : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        dir = fs::temp_directory_path() / ("daltrix-sys-" + std::to_string(random()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    static CString Text(const fs::path& p) { return CString(p.u16string()); }
    static void Put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
    static std::string Get(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir;
};

TEST_F(SystemServices, OnlyFileNotFoundCountsAsMissing) {
    Put(dir / "file.txt", "x");
    fs::create_directories(dir / "folder");
    EXPECT_FALSE(sys::PathIsMissing(Text(dir / "file.txt")));
    EXPECT_FALSE(sys::PathIsMissing(Text(dir / "folder")));
    EXPECT_TRUE(sys::PathIsMissing(Text(dir / "nothing.dsn")));
    EXPECT_FALSE(sys::PathIsMissing(Text(dir / "no-folder" / "nothing.dsn"))) << "path not found counts as present";
    EXPECT_TRUE(sys::IsDirectory(Text(dir / "folder")));
    EXPECT_FALSE(sys::IsDirectory(Text(dir / "file.txt")));
}

TEST_F(SystemServices, UnlinkAndRenameGiveTheRuntimesErrorNumbers) {
    EXPECT_EQ(sys::UnlinkNarrow((dir / "missing.bak").string()), ENOENT);
    Put(dir / "a.dsn", "a");
    Put(dir / "b.bak", "b");
    EXPECT_EQ(sys::Rename(Text(dir / "a.dsn"), Text(dir / "b.bak")), EEXIST) << "a rename never replaces";
    EXPECT_EQ(Get(dir / "a.dsn"), "a");
    EXPECT_EQ(Get(dir / "b.bak"), "b");
    EXPECT_EQ(sys::UnlinkNarrow((dir / "b.bak").string()), 0);
    EXPECT_FALSE(fs::exists(dir / "b.bak"));
    EXPECT_EQ(sys::Rename(Text(dir / "a.dsn"), Text(dir / "b.bak")), 0);
    EXPECT_EQ(Get(dir / "b.bak"), "a");
    EXPECT_EQ(sys::Rename(Text(dir / "a.dsn"), Text(dir / "c.bak")), ENOENT);
}

TEST_F(SystemServices, WriteNewFileReplacesTheContentByteForByte) {
    const std::vector<unsigned char> bytes{'[', 'O', '\r', '\n', 0xF6, '\n'};
    Put(dir / "t.dsn", "a much longer earlier content");
    EXPECT_EQ(sys::WriteNewFile((dir / "t.dsn").string(), bytes), 0);
    EXPECT_EQ(Get(dir / "t.dsn"), std::string("[O\r\n\xF6\n"));
    EXPECT_EQ(sys::WriteNewFile((dir / "no-folder" / "t.dsn").string(), bytes), ENOENT);
}

TEST_F(SystemServices, ANewFileNeverTakesATakenNameAReplacementDoesAndReadingGivesTheBytes) {
    Put(dir / "s.dsn", "source");
    EXPECT_EQ(sys::CreateNewFile((dir / "s.dsn").string(), {'x'}), EEXIST);
    EXPECT_EQ(Get(dir / "s.dsn"), "source");
    EXPECT_EQ(sys::CreateNewFile((dir / "n.tmp").string(), {'n', 'e', 'w'}), 0);
    EXPECT_EQ(sys::ReplaceFile(Text(dir / "n.tmp"), Text(dir / "s.dsn")), 0);
    EXPECT_EQ(Get(dir / "s.dsn"), "new");
    EXPECT_FALSE(fs::exists(dir / "n.tmp"));
    const auto read = sys::ReadWholeFile(Text(dir / "s.dsn"));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(std::string(read->begin(), read->end()), "new");
    EXPECT_FALSE(sys::ReadWholeFile(Text(dir / "none.dsn")).has_value());
    EXPECT_FALSE(sys::ReadWholeFile(Text(dir)).has_value());
}

TEST_F(SystemServices, ListingGivesNamesAsStoredWithFullPaths) {
    Put(dir / "tq0001.dsn", "1");
    Put(dir / "TQSYS.DSN", "s");
    fs::create_directories(dir / "sub");
    auto entries = sys::ListDirectory(Text(dir) + u"/");
    std::vector<std::string> names;
    for (const auto& e : entries) {
        names.push_back(e.name.ToUtf8());
        EXPECT_EQ(e.fullPath.Mid(e.fullPath.GetLength() - e.name.GetLength()), e.name);
        EXPECT_FALSE(sys::PathIsMissing(e.fullPath)) << e.fullPath.ToUtf8();
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"TQSYS.DSN", "sub", "tq0001.dsn"}));
    EXPECT_TRUE(sys::ListDirectory(Text(dir / "none")).empty());
}

TEST_F(SystemServices, AnAppendFileIsCreatedAndEveryOpeningAddsAtTheEnd) {
    const fs::path log = dir / "Daltrix.log";
    CString error;
    {
        sys::AppendFile file;
        ASSERT_TRUE(file.Open(Text(log), error)) << error.ToUtf8();
        EXPECT_TRUE(file.IsEmpty());
        ASSERT_TRUE(file.Append({'a', '\r', '\n'}, error));
        EXPECT_FALSE(file.IsEmpty());
        EXPECT_EQ(Get(log), "a\r\n") << "on disk before the file is closed";
    }
    sys::AppendFile again;
    ASSERT_TRUE(again.Open(Text(log), error));
    EXPECT_FALSE(again.IsEmpty());
    Put(log, Get(log) + "b\r\n");  // another program adding to it meanwhile
    ASSERT_TRUE(again.Append({'c', '\r', '\n'}, error));
    EXPECT_EQ(Get(log), "a\r\nb\r\nc\r\n");
}

TEST_F(SystemServices, AnAppendFileThatCannotBeOpenedGivesTheSystemsText) {
    sys::AppendFile file;
    CString error;
    EXPECT_FALSE(file.Open(Text(dir / "no-folder" / "Daltrix.log"), error));
    EXPECT_FALSE(error.IsEmpty());
    EXPECT_FALSE(file.Open(Text(dir), error)) << "a folder is no file to append to";
    EXPECT_FALSE(error.IsEmpty());
}

TEST(SystemFacts, TheComputerTheTimeAndTheProgram) {
    EXPECT_FALSE(sys::ComputerName().IsEmpty());
    const sys::LocalTime now = sys::Now();
    EXPECT_GE(now.year, 2024);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31);
    EXPECT_TRUE(now.hour >= 0 && now.hour < 24 && now.minute >= 0 && now.minute < 60 && now.second >= 0 &&
                now.second <= 60);
    EXPECT_EQ(sys::ProgramVersion().ToUtf8(), DALTRIX_VERSION) << "the project's version";
    EXPECT_EQ(sys::ProgramArchitecture().ToUtf8(), sizeof(void*) == 8 ? "x64" : "x86");
}

TEST_F(SystemServices, NarrowConversionAsksForMoreRoomWithError122) {
    const CString text(u"C:\\Program Files\\Varnik\\tqsys.bak");
    unsigned error = 0;
    char small[4];
    EXPECT_EQ(sys::WideToNarrow(sys::kThreadAnsiCodePage, text.GetString(), text.GetLength() + 1, small, 4, error), 0);
    EXPECT_EQ(error, sys::kErrorInsufficientBuffer);
    const int needed =
        sys::WideToNarrow(sys::kThreadAnsiCodePage, text.GetString(), text.GetLength() + 1, nullptr, 0, error);
    EXPECT_EQ(needed, text.GetLength() + 1);
    std::vector<char> buffer(static_cast<size_t>(needed));
    EXPECT_EQ(sys::WideToNarrow(sys::kThreadAnsiCodePage, text.GetString(), text.GetLength() + 1, buffer.data(), needed,
                                error),
              needed);
    EXPECT_STREQ(buffer.data(), "C:\\Program Files\\Varnik\\tqsys.bak");
}

}  // namespace
