// Values of a company's file DSN that a connect string can only carry in braces reach the
// server whole, through unixODBC and FreeTDS.
#include "support/TestSupport.h"

#include "conversion/ConnectionAnalysis.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

TEST(FileDsnValues, PasswordsWithSemicolonsAndBracesLogIn) {
    const std::vector<std::pair<std::string, std::string>> logins{
        {"varnik", "Hem;ligt"}, {"anna", "{Hemligt;1"}, {"bo", "Hem}ligt"}};
    std::vector<std::string> options;
    for (const auto& [user, password] : logins)
        options.insert(options.end(), {"--login", user + ":" + password});
    StandIn server(options);
    TempDir dir;
    for (const auto& [user, password] : logins) {
        server.WriteCompanyDsn(dir / "tq0001.dsn", user, password);
        CDatabase db;
        try {
            EXPECT_TRUE(db.OpenEx(CString(u"FILEDSN=") + WinPath(dir / "tq0001.dsn") + u";", 0)) << user;
        } catch (const CDBException& e) {
            ADD_FAILURE() << user << ": " << e.m_strError.ToUtf8();
        }
    }
}

TEST(FileDsnValues, ASingleByteFileDsnLogsInWithCharactersOfCodePage1252) {
    // "Pa€s–ord’s" as the product writes it: code page 1252, one byte a character.
    StandIn server({"--login", "anna:Pa\u20ACs\u2013ord\u2019s"});
    TempDir dir;
    server.WriteCompanyDsn(dir / "tq0001.dsn", "anna", "Pa\x80s\x96ord\x92s");
    CDatabase db;
    try {
        EXPECT_TRUE(db.OpenEx(CString(u"FILEDSN=") + WinPath(dir / "tq0001.dsn") + u";", 0));
    } catch (const CDBException& e) {
        ADD_FAILURE() << e.m_strError.ToUtf8();
    }
}

// A tool folder whose path holds ";", "{" or "}" reaches its file DSNs: the path goes in braces.
TEST(FileDsnValues, AToolFolderWithSeparatorsAndBracesInItsPathIsReached) {
    StandIn server;
    TempDir dir;
    for (const char* folder : {"Verk;tyg", "{Verktyg}", "Verk}tyg;{2}"}) {
        fs::create_directories(dir / folder);
        server.WriteCompanyDsn(dir / folder / "tq0007.dsn");
        const CString connect = CompanyConnectString(WinPath(dir / folder) + u"\\", u"7");
        CDatabase db;
        try {
            EXPECT_TRUE(db.OpenEx(connect, 0)) << folder;
        } catch (const CDBException& e) {
            ADD_FAILURE() << folder << ": " << e.m_strError.ToUtf8();
        }
    }
}

// A completed connect string longer than any buffer a first guess would take is read whole, and
// the items after its long one are still found.
TEST(FileDsnValues, ALongCompletedConnectStringIsReadWhole) {
    StandIn server;
    TempDir dir;
    server.WriteCompanyDsn(dir / "tq0001.dsn", "varnik", "Hemligt#1", "{SQL Server}",
                           "WSID=" + std::string(20000, 'w') + "\r\n");
    CDatabase db;
    ASSERT_TRUE(db.OpenEx(CString(u"FILEDSN=") + WinPath(dir / "tq0001.dsn") + u";", 0));
    const CString completed = db.GetConnect();
    EXPECT_GT(completed.GetLength(), 20000);
    EXPECT_EQ(ReadConnectionFacts(completed).server.ToUtf8(), "127.0.0.1");
}

}  // namespace
