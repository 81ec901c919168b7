// The database layer and "Starta" against a driver as old as the ones old system databases sit
// on: ODBC 2, single-byte entry points only, the timeouts refused.
#include "support/TestSupport.h"

#include "platform/headless/HeadlessWindow.h"
#include "res/resource.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class LegacyDriver : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(database, legacy::DatabaseText(LegacyOldSystem(
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
    for (const std::string answer : {"HYC00", "HY092", "HY024", "IM001", "S1C00", "01S02", "accept"}) {
        SCOPED_TRACE(answer);
        CDatabase db;
        ASSERT_TRUE(db.OpenEx(Connect("ConnectionTimeout=" + answer + ";QueryTimeout=" + answer)));
        EXPECT_EQ(QueryRows(db, "select Nummer from TQ_FORETAG"), (std::vector<std::string>{"1", "7"}));
    }
}

TEST_F(LegacyDriver, AnyOtherFailureOfATimeoutStillRaises) {
    CDatabase db;
    EXPECT_THROW(db.OpenEx(Connect("ConnectionTimeout=HY000")), CDBException);
    EXPECT_FALSE(db.IsOpen());
    ASSERT_TRUE(db.OpenEx(Connect("QueryTimeout=HY001")));
    CRecordset rs(&db);
    EXPECT_THROW(rs.Open(CRecordset::snapshot, u"select Nummer from TQ_FORETAG"), CDBException);
    EXPECT_FALSE(rs.IsOpen());
}

TEST_F(LegacyDriver, StartaListsTheCompaniesThroughATqsysDsnNamingIt) {
    const fs::path install = dir / "Varnik";
    const fs::path program = dir / "Verktyg";
    fs::create_directories(install);
    fs::create_directories(program);
    WriteLegacyDsn(program / "tqsys.dsn", database, {"PartBytes=0"});
    DialogFixture f;
    f.PlaceProgram(program);
    f.dlg->m_installDir = WinPath(install);

    headless::Click(*f.dlg, IDC_START);
    EXPECT_EQ(f.Log().back(),
              "005 Dubbelklicka på ett företags nummer nedan för att välja databasserver för Varnik_tqsys");
    ASSERT_EQ(f.dlg->m_companyList.GetItemCount(), 2);
    EXPECT_EQ(f.dlg->m_companyList.GetItemText(0, 0).ToUtf8(), "7");
    EXPECT_EQ(f.dlg->m_companyList.GetItemText(1, 1).ToUtf8(), "Acme AB" + std::string(121, ' '));
}

}  // namespace
