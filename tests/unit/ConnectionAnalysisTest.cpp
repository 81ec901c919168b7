// What a completed connect string tells: the login style, the driver, the server and the
// encryption settings, never anything from inside a password.
#include "conversion/ConnectionAnalysis.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct Case {
    const char* name;
    const char16_t* connect;
    bool trusted;
    int kind;
    const char* driver;
    const char* server;
};

// Test lists show the case by its name.
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class ReadFacts : public ::testing::TestWithParam<Case> {};

TEST_P(ReadFacts, FromOneCompletedConnectString) {
    const Case& c = GetParam();
    const ConnectionFacts facts = ReadConnectionFacts(c.connect);
    EXPECT_EQ(facts.trustedConnection, c.trusted);
    EXPECT_EQ(facts.driverKind, c.kind);
    EXPECT_EQ(facts.driver.ToUtf8(), c.driver);
    EXPECT_EQ(facts.server.ToUtf8(), c.server);
}

INSTANTIATE_TEST_SUITE_P(
    Connections, ReadFacts,
    ::testing::Values(
        Case{"PasswordInTheMiddle", u"DRIVER={SQL Server};SERVER=SRV01;UID=sa;PWD=SERVER=evil;DATABASE=x;", false, 2,
             "{SQL Server}", "SRV01"},
        Case{"PasswordBeforeServerIsNotTakenAsServer", u"DRIVER=SQL Server;PWD=aSERVER=evil;SERVER=good", false, 2,
             "SQL Server", "good"},
        Case{"BracedPasswordHoldingAServerItem", u"DRIVER={SQL Server};PWD={a;SERVER=evil};SERVER=good;", false, 2,
             "{SQL Server}", "good"},
        Case{"BracedPasswordHoldingTrustedAndDriverItems",
             u"PWD={x;Trusted_Connection=Yes;DRIVER={SQL Server}};SERVER=evil};DRIVER=Gammal;SERVER=S", false, 0,
             "Gammal", "Okänd"},
        Case{"UnclosedBracedPasswordSwallowsTheRest", u"DRIVER={SQL Server};PWD={a;SERVER=evil", false, 2,
             "{SQL Server}", ""},
        Case{"LowerCasePasswordKeyIsAPasswordToo", u"DRIVER={SQL Server};pwd={;server=evil};Server=S;", false, 2,
             "{SQL Server}", "S"},
        Case{"TrustedMixedCase", u"DRIVER={SQL Server};Trusted_Connection=Yes;SERVER=S", true, 2, "{SQL Server}", "S"},
        Case{"TrustedTrue", u"DRIVER={SQL Server};TRUSTED_CONNECTION=true;SERVER=S", true, 2, "{SQL Server}", "S"},
        Case{"TrustedNo", u"DRIVER={SQL Server};Trusted_Connection=No;SERVER=S", false, 2, "{SQL Server}", "S"},
        Case{"NotSqlServer", u"DRIVER={PostgreSQL Unicode};SERVER=pg1;", false, 0, "{PostgreSQL Unicode}", "Okänd"},
        Case{"NoDriverItem", u"DSN=x;SERVER=S;", false, 0, "", "Okänd"},
        Case{"ServerKeyInAnyCase", u"DRIVER={SQL Server};Server=S1;", false, 2, "{SQL Server}", "S1"},
        Case{"ValuesRunToTheEnd", u"SERVER=tcp:db.example,1433;DRIVER={SQL Server}", false, 2, "{SQL Server}",
             "tcp:db.example,1433"},
        Case{"NoServerItem", u"DRIVER={SQL Server};UID=u", false, 2, "{SQL Server}", ""},
        Case{"EmptyDriverAtTheEnd", u"SERVER=S;DRIVER=", false, 0, "", "Okänd"},
        Case{"EmptyText", u"", false, 0, "", "Okänd"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every generation of Microsoft's SQL Server drivers a site may still have; the name goes into
// the new system DSN as the connection gives it, braces and all.
class SqlServerDriverGeneration : public ::testing::TestWithParam<const char16_t*> {};

TEST_P(SqlServerDriverGeneration, IsASqlServerDriverAndKeptAsGiven) {
    const CString driver = GetParam();
    for (const CString& given : {CString(u"{") + driver + u"}", driver}) {
        const ConnectionFacts facts = ReadConnectionFacts(CString(u"DRIVER=") + given + u";SERVER=SRV01;UID=u;");
        EXPECT_EQ(facts.driverKind, kSqlServerDriver) << given.ToUtf8();
        EXPECT_EQ(facts.driver, given);
        EXPECT_EQ(facts.server.ToUtf8(), "SRV01");
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, SqlServerDriverGeneration,
                         ::testing::Values(u"SQL Server", u"SQL Native Client", u"SQL Server Native Client 10.0",
                                           u"SQL Server Native Client 11.0", u"ODBC Driver 11 for SQL Server",
                                           u"ODBC Driver 13 for SQL Server", u"ODBC Driver 17 for SQL Server",
                                           u"ODBC Driver 18 for SQL Server"));

TEST(ReadFacts, EncryptionItemsAreKeptAsTheConnectionNamesThem) {
    const ConnectionFacts facts = ReadConnectionFacts(
        u"DRIVER={ODBC Driver 18 for SQL Server};SERVER=S;encrypt=Yes;UID=u;PWD={Encrypt=no};"
        u"TrustServerCertificate={yes};APP=x;HostNameInCertificate=db.example;ServerCertificate=C:\\cert\\db.cer");
    EXPECT_EQ(facts.encryptionItems, (ConnectItems{{u"encrypt", u"Yes"},
                                                   {u"TrustServerCertificate", u"{yes}"},
                                                   {u"HostNameInCertificate", u"db.example"},
                                                   {u"ServerCertificate", u"C:\\cert\\db.cer"}}));
    EXPECT_TRUE(ReadConnectionFacts(u"DRIVER={SQL Server};SERVER=S").encryptionItems.empty());
}

TEST(ReadFacts, EachConnectionIsReadOnItsOwn) {
    const ConnectionFacts first = ReadConnectionFacts(u"DRIVER={SQL Server};SERVER=S1;Trusted_Connection=Yes");
    EXPECT_TRUE(first.trustedConnection);
    const ConnectionFacts second = ReadConnectionFacts(u"DRIVER={MySQL ODBC 8.0};SERVER=S2;UID=u;PWD=p;");
    EXPECT_FALSE(second.trustedConnection);
    EXPECT_EQ(second.driverKind, 0);
    EXPECT_EQ(second.server.ToUtf8(), "Okänd");
}

TEST(NamesKnownServer, NeedsADriverAndAServerThatIsNamed) {
    EXPECT_TRUE(NamesKnownServer(u"{SQL Server}", u"SRV01"));
    EXPECT_FALSE(NamesKnownServer(u"{SQL Server}", u""));
    EXPECT_FALSE(NamesKnownServer(u"{SQL Server}", u"Okänd"));
    EXPECT_FALSE(NamesKnownServer(u"", u"SRV01"));
}

}  // namespace
