// The database layer and "Starta" against a driver as old as the ones old system databases sit
// on: ODBC 2, single-byte entry points only, the timeouts refused.
#include "support/ConversionBed.h"

#include "platform/headless/HeadlessWindow.h"
#include "res/resource.h"

#include <algorithm>
#include <dlfcn.h>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

TEST(LegacyDriverLibrary, HasTheOdbc2HandleFunctionsAndNoWideEntryPoints) {
    void* const library = ::dlopen(DALTRIX_LEGACY_DRIVER, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    for (const char* present : {"SQLAllocEnv", "SQLAllocConnect", "SQLAllocStmt", "SQLError", "SQLDriverConnect",
                                "SQLExecDirect", "SQLGetData", "SQLGetInfo"})
        EXPECT_NE(::dlsym(library, present), nullptr) << present;
    for (const char* absent : {"SQLAllocHandle", "SQLGetDiagRec", "SQLDriverConnectW", "SQLExecDirectW",
                               "SQLGetDiagRecW", "SQLGetInfoW", "SQLSetConnectAttrW", "SQLSetStmtAttrW", "SQLErrorW"})
        EXPECT_EQ(::dlsym(library, absent), nullptr) << absent;
    ::dlclose(library);
}

class LegacyDriver : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(database, legacy::DatabaseText(legacy::OldSystem(
                                {{"1", "Acme AB", "tq0001.dsn"}, {"7", "Björk & Söner", "tq0007.dsn"}}, {})));
    }

    // A connect string naming the legacy driver and its database, with these variants.
    CString Connect(const std::string& variants = "") const {
        return CString::FromUtf8("DRIVER=Legacy;Database=" + database.string() + ";PartBytes=0;" + variants);
    }

    TempDir dir;
    fs::path database = dir / "old.txt";
};

TEST_F(LegacyDriver, ATimeoutTheDriverRefusesIsLeftUnsetAndTheWorkGoesOn) {
    // S1000, an ODBC 2 driver's general error, reaches the tool as HY000: psqlODBC's words for an
    // attribute it does not know.
    for (const std::string answer : {"HYC00", "HY092", "HY024", "IM001", "S1C00", "S1000", "01S02", "accept"}) {
        SCOPED_TRACE(answer);
        CDatabase db;
        ASSERT_TRUE(db.OpenEx(Connect("ConnectionTimeout=" + answer + ";QueryTimeout=" + answer)));
        EXPECT_EQ(QueryRows(db, "select Nummer from TQ_FORETAG"), (std::vector<std::string>{"1", "7"}));
    }
}

TEST_F(LegacyDriver, AnyOtherFailureOfATimeoutStillRaises) {
    CDatabase db;
    try {
        db.OpenEx(Connect("ConnectionTimeout=08S01"));
        FAIL() << "no exception";
    } catch (const CDBException& e) {
        EXPECT_EQ(e.SqlState(), CString(u"08S01"));
        EXPECT_EQ(e.m_strError, CString(u"Cannot set the connection timeout"));
    }
    EXPECT_FALSE(db.IsOpen());
    ASSERT_TRUE(db.OpenEx(Connect("QueryTimeout=HY001")));
    CRecordset rs(&db);
    EXPECT_THROW(rs.Open(CRecordset::snapshot, u"select Nummer from TQ_FORETAG"), CDBException);
    EXPECT_FALSE(rs.IsOpen());
}

TEST_F(LegacyDriver, TextHandedOutInPartsArrivesWholeAndPadded) {
    const std::string longName(300, 'L');  // longer than a part of the layer's own
    WriteFile(database, legacy::DatabaseText(legacy::OldSystem(
                            {{"1", "Bj\xF6rk & S\xF6ner \x80", "tq0001.dsn"}, {"2", longName, legacy::Cell()}}, {})));
    for (const std::string part : {"1", "3", "7", "0"}) {
        SCOPED_TRACE("PartBytes=" + part);
        CDatabase db;
        ASSERT_TRUE(db.OpenEx(Connect("PartBytes=" + part)));
        const auto rows = QueryRows(db, "select Nummer, Namn, FileDSN from TQ_FORETAG");
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0], "1|Björk & Söner €" + std::string(128 - 15, ' ') + "|tq0001.dsn" + std::string(245, ' '));
        EXPECT_EQ(rows[1], "2|" + longName + "|<NULL>");
    }
}

TEST_F(LegacyDriver, AZeroByteInsideAValueDoesNotCutIt) {
    const std::string withZero("A\0B", 3);
    WriteFile(database, legacy::DatabaseText(legacy::OldSystem({{"1", withZero + "C", withZero}}, {})));
    for (const std::string part : {"2", "0"}) {
        SCOPED_TRACE("PartBytes=" + part);
        CDatabase db;
        ASSERT_TRUE(db.OpenEx(Connect("PartBytes=" + part)));
        EXPECT_EQ(JoinedRows(WithoutPadding(QueryFields(db, "select Namn, FileDSN from TQ_FORETAG"))),
                  std::vector<std::string>{withZero + "C|" + withZero});
    }
}

TEST_F(LegacyDriver, AConnectionThatConnectedIsAlwaysDisconnected) {
    const fs::path counter = dir / "counter.txt";
    const std::string counted = "Counter=" + counter.string() + ";";
    {
        CDatabase closed;
        ASSERT_TRUE(closed.OpenEx(Connect(counted)));
        closed.Close();
        EXPECT_EQ(ReadFile(counter), "connect\ndisconnect\n");
        CDatabase destroyed;
        ASSERT_TRUE(destroyed.OpenEx(Connect(counted)));
    }
    EXPECT_EQ(ReadFile(counter), "connect\ndisconnect\nconnect\ndisconnect\n");

    // A later step of the open fails after the driver connected.
    fs::remove(counter);
    CDatabase failed;
    EXPECT_THROW(failed.OpenEx(Connect(counted + "ConnectionTimeout=08S01")), CDBException);
    EXPECT_EQ(ReadFile(counter), "connect\ndisconnect\n");

    // A connect that fails has nothing to disconnect.
    fs::remove(counter);
    EXPECT_THROW(
        failed.OpenEx(CString::FromUtf8("DRIVER=Legacy;Database=" + (dir / "none.txt").string() + ";" + counted)),
        CDBException);
    EXPECT_FALSE(fs::exists(counter));
}

TEST_F(LegacyDriver, StartaListsTheCompaniesThroughATqsysDsnNamingIt) {
    const fs::path install = dir / "Varnik";
    const fs::path program = dir / "Verktyg";
    fs::create_directories(install);
    fs::create_directories(program);
    WriteLegacyDsn(program / "tqsys.dsn", database);
    DialogFixture f{program};
    f.dlg->m_installDir = WinPath(install);

    headless::Click(*f.dlg, IDC_START);
    EXPECT_EQ(f.Log().back(),
              "005 Dubbelklicka på ett företags nummer nedan för att välja databasserver för Varnik_tqsys");
    ASSERT_EQ(f.dlg->m_companyList.GetItemCount(), 2);
    EXPECT_EQ(f.dlg->m_companyList.GetItemText(0, 0).ToUtf8(), "7");
    EXPECT_EQ(f.dlg->m_companyList.GetItemText(1, 1).ToUtf8(), "Acme AB" + std::string(121, ' '));
}

// The network breaks while the company list is read, after its first row: no half list is shown
// for a conversion to copy.
TEST_F(LegacyDriver, ACompanyListWhoseReadBreaksOffHalfWayIsNotShownAtAll) {
    const fs::path install = dir / "Varnik";
    const fs::path program = dir / "Verktyg";
    fs::create_directories(install);
    fs::create_directories(program);
    WriteLegacyDsn(program / "tqsys.dsn", database, {"FailFetchAt=2"});
    DialogFixture f{program};
    f.dlg->m_installDir = WinPath(install);

    headless::Click(*f.dlg, IDC_START);
    EXPECT_EQ(f.LogFrom(4), std::vector<std::string>{"005 Kunde inte läsa företagslistan, fel Communication link "
                                                     "failure"});
    EXPECT_EQ(f.dlg->m_companyList.GetItemCount(), 0);
    EXPECT_TRUE(headless::TheScreen().stopMessages.empty());
    EXPECT_FALSE(f.dlg->LoadCompanyList());
    EXPECT_EQ(f.dlg->m_companyList.GetItemCount(), 0);
}

// The conversion bed's old system, on the legacy driver as old Windows sites have it: its text
// in code page 1252, every variant as the oldest drivers behave (parts of a few bytes, the
// timeouts refused), and its connects counted.
class LegacyConversion : public ConversionBed {
protected:
    void SetUp() override {
        Prepare();
        WriteFile(dir / "old.txt", legacy::DatabaseText(legacy::SiteOldSystem()));
        WriteLegacyDsn(program / "tqsys.dsn", dir / "old.txt", {"Counter=" + counter.string()});
    }

    fs::path counter = dir / "counter.txt";
};

TEST_F(LegacyConversion, ACompleteRunFromAnOldDatabaseOnTheLegacyDriver) {
    EXPECT_EQ(StartAndConvert("7"), 0);
    EXPECT_EQ(f.Log(), CompleteRunOfCompany7());
    EXPECT_TRUE(headless::TheScreen().stopMessages.empty());
    ExpectOldSystemOnServer();

    // The old database stays open until the tool closes, and is disconnected then.
    EXPECT_EQ(ReadFile(counter), "connect\n");
    f.dlg.reset();
    EXPECT_EQ(ReadFile(counter), "connect\ndisconnect\n");
}

// An old driver that pads char fields with zero bytes: the padding goes, and a zero inside a
// value refuses its row where it is listed, so no statement is ever cut at it.
TEST_F(LegacyConversion, ZeroPaddingIsDroppedAndAZeroInsideAValueRefusesItsRow) {
    const std::string zeros(3, '\0');
    WriteFile(dir / "old.txt",
              legacy::DatabaseText(legacy::OldSystem({{"1", "Acme AB", "tq0001.dsn"},
                                                      {"7", "Nollor AB" + zeros + "  ", "tq0007.dsn" + zeros},
                                                      {"12", std::string("Noll\0inne AB", 12), ""}},
                                                     {{"4711", "Varnik Demo AB", "1000", "50", "99", "NYCKEL-1" + zeros,
                                                       "3", "2", "C:\\Varnik", "pw", "1"}})));
    StartAndConvert("7");
    EXPECT_EQ(f.dlg->m_companyList.GetItemText(0, 1).TrimRight().ToUtf8(), "Noll\u2400inne AB");
    const auto log = f.Log();
    const auto has = [&](const std::string& text) {
        return std::any_of(log.begin(), log.end(), [&](const std::string& line) { return line.substr(4) == text; });
    };
    EXPECT_TRUE(
        has("Kunde inte uppdatera företagslistan: 12, Noll\u2400inne AB,  Namn innehåller ett nolltecken, "
            "som skulle kapa värdet"));
    EXPECT_TRUE(has("Företag 12 saknas i Varnik_tqsys"));
    EXPECT_EQ(log.back().substr(4),
              "Konverteringen avbröts. Inga filer i " + WinPath(install).ToUtf8() + " har ändrats.");
    EXPECT_EQ(ServerRows("select Nummer, Namn, FileDSN from TQ_FORETAG"),
              (std::vector<std::string>{"7|Nollor AB|tq0007.dsn", "1|Acme AB|tq0001.dsn"}));
    EXPECT_EQ(ServerRows("select Nyckel from TQ_PARAMETRAR"), std::vector<std::string>{"NYCKEL-1"});
    for (const auto& statement : server->Statements())
        EXPECT_EQ(statement.find('\0'), std::string::npos) << statement;
}

TEST_F(LegacyConversion, EveryStartaDisconnectsTheConnectionItReplaces) {
    for (int run = 0; run < 3; ++run)
        headless::Click(*f.dlg, IDC_START);
    EXPECT_EQ(f.dlg->m_companyList.GetItemCount(), 3);
    f.dlg.reset();
    EXPECT_EQ(ReadFile(counter), "connect\ndisconnect\nconnect\ndisconnect\nconnect\ndisconnect\n");
}

}  // namespace
