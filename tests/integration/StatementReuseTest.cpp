// The statements of one connection run on one reused statement handle: each must start clean,
// whatever the one before it left behind, on FreeTDS, which serves one statement at a time.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

TEST(StatementReuse, EachStatementStartsCleanWhateverTheOneBeforeLeft) {
    StandIn server;
    try {
        CDatabase db;
        ASSERT_TRUE(db.OpenEx(CString::FromUtf8(server.ConnectString())));
        db.ExecuteSQL(u"create table T (Id int, Name varchar(10))");
        db.ExecuteSQL(u"create unique index Id on T(Id)");
        db.ExecuteSQL(u"insert into T values (1, 'a')");
        // Rows nobody reads, a rejected row, and batches that fail before and after a result.
        db.ExecuteSQL(u"select Id, Name from T");
        db.ExecuteSQL(u"insert into T values (2, 'b')");
        EXPECT_THROW(db.ExecuteSQL(u"insert into T values (1, 'x')"), CDBException);
        db.ExecuteSQL(u"insert into T values (3, 'c')");
        EXPECT_THROW(db.ExecuteSQL(u"select Id from T; insert into T values (2, 'x')"), CDBException);
        db.ExecuteSQL(u"insert into T values (4, 'd')");
        EXPECT_THROW(db.ExecuteSQL(u"insert into T values (3, 'x'); select Id from T"), CDBException);
        db.ExecuteSQL(u"insert into T values (6, 'f')");
        // A connection closed and opened again has no handle of the old one.
        db.Close();
        ASSERT_TRUE(db.OpenEx(CString::FromUtf8(server.ConnectString())));
        db.ExecuteSQL(u"insert into T values (7, 'e')");
        EXPECT_EQ(QueryRows(db, "select Name from T order by Id"),
                  (std::vector<std::string>{"a", "b", "c", "d", "f", "e"}));
    } catch (const CDBException& e) {
        FAIL() << e.m_strError.ToUtf8();
    }
}

}  // namespace
