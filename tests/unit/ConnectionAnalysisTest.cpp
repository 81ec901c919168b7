// What a completed connect string tells: masking, the login style, the driver and the server.
#include "conversion/ConnectionAnalysis.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

TEST(MaskPassword, ThePasswordItemBecomesAsterisksOrIsCutWhenLast) {
    EXPECT_EQ(MaskPassword(u"DRIVER={SQL Server};UID=u;PWD=s3cret;SERVER=S1").ToUtf8(),
              "DRIVER={SQL Server};UID=u;********;SERVER=S1");
    EXPECT_EQ(MaskPassword(u"SERVER=S1;PWD=x;APP=PWD=x;").ToUtf8(), "SERVER=S1;********;APP=********;");
    EXPECT_EQ(MaskPassword(u"DRIVER={SQL Server};SERVER=S1;PWD=s3;cret").ToUtf8(),
              "DRIVER={SQL Server};SERVER=S1;********;cret");
    EXPECT_EQ(MaskPassword(u"DRIVER={SQL Server};SERVER=S1;PWD=last").ToUtf8(), "DRIVER={SQL Server};SERVER=S1;");
    EXPECT_EQ(MaskPassword(u"SERVER=S1;pwd=lower;").ToUtf8(), "SERVER=S1;pwd=lower;");
    EXPECT_EQ(MaskPassword(u"").ToUtf8(), "");
}

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

TEST_P(ReadFacts, FromAFreshDialog) {
    const Case& c = GetParam();
    ConnectionFacts facts;
    ReadConnectionFacts(c.connect, facts);
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
        Case{"PasswordLastCutsWhatFollows", u"DRIVER={SQL Server};UID=u;PWD=pSERVER=x", false, 2, "{SQL Server}", ""},
        Case{"LowerCasePwdNotMaskedButParsedTheSame", u"DRIVER={SQL Server};SERVER=S;pwd=p;", false, 2, "{SQL Server}",
             "S"},
        Case{"TrustedMixedCase", u"DRIVER={SQL Server};Trusted_Connection=Yes;SERVER=S", true, 2, "{SQL Server}", "S"},
        Case{"TrustedTrue", u"DRIVER={SQL Server};TRUSTED_CONNECTION=true;SERVER=S", true, 2, "{SQL Server}", "S"},
        Case{"TrustedNo", u"DRIVER={SQL Server};Trusted_Connection=No;SERVER=S", false, 2, "{SQL Server}", "S"},
        Case{"NativeClient", u"DRIVER={SQL Server Native Client 11.0};SERVER=S", false, 2,
             "{SQL Server Native Client 11.0}", "S"},
        Case{"OdbcDriver17", u"driver={ODBC Driver 17 for SQL Server};SERVER=S;", false, 2,
             "{ODBC Driver 17 for SQL Server}", "S"},
        Case{"SqlNativeClientOld", u"DRIVER=SQL Native Client;SERVER=S", false, 2, "SQL Native Client", "S"},
        Case{"NotSqlServer", u"DRIVER={PostgreSQL Unicode};SERVER=pg1;", false, 0, "{PostgreSQL Unicode}", "Okänd"},
        Case{"NoDriverItem", u"DSN=x;SERVER=S;", false, 0, "", "Okänd"},
        Case{"ServerKeyMixedCaseNotFound", u"DRIVER={SQL Server};Server=S1;", false, 2, "{SQL Server}", ""},
        Case{"ValuesRunToTheEnd", u"SERVER=tcp:db.example,1433;DRIVER={SQL Server}", false, 2, "{SQL Server}",
             "tcp:db.example,1433"},
        Case{"EmptyDriverAtTheEnd", u"SERVER=S;DRIVER=", false, 0, "", "Okänd"},
        Case{"EmptyText", u"", false, 0, "", "Okänd"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadFactsAcrossRuns, AnEarlierRunsKindAndTrustedFlagAreKept) {
    ConnectionFacts facts;
    ReadConnectionFacts(u"DRIVER={SQL Server};SERVER=S1;Trusted_Connection=Yes", facts);
    ReadConnectionFacts(u"DRIVER={MySQL ODBC 8.0};SERVER=S2;UID=u;PWD=p;", facts);
    EXPECT_TRUE(facts.trustedConnection);
    EXPECT_EQ(facts.driverKind, 2);
    EXPECT_EQ(facts.driver.ToUtf8(), "{MySQL ODBC 8.0}");
    EXPECT_EQ(facts.server.ToUtf8(), "S2") << "kind 2 from the first run still searches SERVER=";

    ReadConnectionFacts(u"DSN=only", facts);
    EXPECT_EQ(facts.driver.ToUtf8(), "{MySQL ODBC 8.0}") << "a missing item keeps the value";
    EXPECT_EQ(facts.server.ToUtf8(), "S2");
}

}  // namespace
