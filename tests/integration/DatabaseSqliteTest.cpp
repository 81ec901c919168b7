// The database layer against the real SQLite3 ODBC driver, reached through file DSNs.
#include "support/TestSupport.h"

#include "platform/WrongBuild.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class SqliteDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        RunSqlite(dir / "old.db", {"CREATE TABLE T(Id int, Name char(10), Note varchar(20))",
                                   "INSERT INTO T VALUES(1, 'Acme  ', NULL)", "INSERT INTO T VALUES(2, 'Björk', '')"});
        WriteSqliteDsn(dir / "tqsys.dsn", dir / "old.db");
    }
    CString FileDsn() const { return CString(u"FILEDSN=") + WinPath(dir / "tqsys.dsn"); }
    TempDir dir;
};

TEST_F(SqliteDatabase, FileDsnOpensAndRowsReadAsTextWithBlanksKeptAndNullEmpty) {
    CDatabase db;
    ASSERT_TRUE(db.OpenEx(FileDsn(), 0));
    EXPECT_TRUE(db.IsOpen());
    CRecordset rs(&db);
    ASSERT_TRUE(rs.Open(CRecordset::snapshot, u"select Id, Name, Note from T order by Id"));
    ASSERT_FALSE(rs.IsEOF());
    CString id, name, note;
    rs.GetFieldValue(0, id);
    rs.GetFieldValue(1, name);
    EXPECT_FALSE(rs.GetFieldValueOrNull(2, note));
    EXPECT_EQ(id.ToUtf8(), "1");
    EXPECT_EQ(name.ToUtf8(), "Acme  ");
    EXPECT_EQ(note.ToUtf8(), "");
    rs.MoveNext();
    ASSERT_FALSE(rs.IsEOF());
    rs.GetFieldValue(1, name);
    EXPECT_TRUE(rs.GetFieldValueOrNull(2, note));
    EXPECT_EQ(name.ToUtf8(), "Björk");
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_THROW(rs.MoveNext(), CDBException);
    rs.Close();
    EXPECT_FALSE(rs.IsOpen());
}

TEST_F(SqliteDatabase, LongValuesArriveWhole) {
    const std::string longText(20000, 'x');
    RunSqlite(dir / "old.db", {"INSERT INTO T VALUES(3, 'L', '" + longText + "')"});
    CDatabase db;
    db.OpenEx(FileDsn());
    EXPECT_EQ(QueryRows(db, "select Note from T where Id = 3"), std::vector<std::string>{longText});
}

TEST_F(SqliteDatabase, DriverErrorsCarryTheDriversTextWithoutItsOrigin) {
    CDatabase db;
    db.OpenEx(FileDsn());
    CRecordset rs(&db);
    try {
        rs.Open(CRecordset::snapshot, u"select * from NOPE");
        FAIL() << "no exception";
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_strError.ToUtf8(), "no such table: NOPE (1)");
        EXPECT_NE(e.m_strStateNativeOrigin.Find(u"Origin:[SQLite]"), -1);
        EXPECT_EQ(e.SqlState(), CString(u"HY000"));
        EXPECT_EQ(e.NativeError(), 1);
    }
    EXPECT_FALSE(rs.IsOpen());
    EXPECT_THROW(db.ExecuteSQL(u"INSERT INTO NOPE VALUES(1)"), CDBException);
    db.ExecuteSQL(u"INSERT INTO T VALUES(9, 'N', 'n')");
    EXPECT_EQ(QueryRows(db, "select Name from T where Id = 9"), std::vector<std::string>{"N"});
}

TEST_F(SqliteDatabase, MissingFileDsnRaisesAClearTextAndCreatesNoFile) {
    const fs::path missing = dir / "nowhere.dsn";
    CDatabase db;
    try {
        db.OpenEx(CString(u"FILEDSN=") + WinPath(missing));
        FAIL() << "no exception";
    } catch (const CDBException& e) {
        EXPECT_NE(e.m_strError.Find(u"Invalid file dsn"), -1);
        EXPECT_EQ(e.SqlState(), CString(u"IM014"));
        EXPECT_NE(e.m_strError.Find(WinPath(missing)), -1);
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_FALSE(db.IsOpen());
}

TEST_F(SqliteDatabase, AnUnreadableFileDsnRaisesAClearTextAndStaysAsItWas) {
    fs::permissions(dir / "tqsys.dsn", fs::perms::none);
    CDatabase db;
    {
        PermissionBitsEnforced asNonRoot;
        try {
            db.OpenEx(FileDsn());
            FAIL() << "no exception";
        } catch (const CDBException& e) {
            EXPECT_EQ(e.m_strError,
                      CString(u"General error: Unable to read file dsn '") + WinPath(dir / "tqsys.dsn") + u"'");
        }
    }
    fs::permissions(dir / "tqsys.dsn", fs::perms::owner_read);
    EXPECT_NE(ReadFile(dir / "tqsys.dsn").find("DRIVER=SQLite3"), std::string::npos);
    EXPECT_FALSE(db.IsOpen());
}

TEST_F(SqliteDatabase, UnknownDriverIsReportedByTheDriverManager) {
    WriteFile(dir / "bad.dsn", "[ODBC]\r\nDRIVER=No Such Driver\r\n");
    CDatabase db;
    try {
        db.OpenEx(CString(u"FILEDSN=") + WinPath(dir / "bad.dsn"));
        FAIL() << "no exception";
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_strError.Find(u"["), -1) << e.m_strError.ToUtf8();
        EXPECT_FALSE(e.m_strError.IsEmpty());
        EXPECT_TRUE(IsDriverNotFound(e)) << e.m_strStateNativeOrigin.ToUtf8();
        // One driver list serves every program here: no build to recommend.
        EXPECT_EQ(e.m_strError.Find(u"drivrutinen"), -1) << e.m_strError.ToUtf8();
    }
    EXPECT_FALSE(db.IsOpen());
}

TEST_F(SqliteDatabase, ADriverWhoseLibraryIsMissingCountsAsNotFound) {
    // What a driver registered for another architecture's driver manager looks like here.
    CDatabase db;
    const std::string missing = (dir / "libnosuchodbc.so").string();
    try {
        db.OpenEx(CString::FromUtf8("DRIVER=" + missing + ";"));
        FAIL() << "no exception";
    } catch (const CDBException& e) {
        EXPECT_NE(e.m_strError.Find(u"Can't open lib"), -1) << e.m_strError.ToUtf8();
        EXPECT_TRUE(IsDriverNotFound(e)) << e.m_strStateNativeOrigin.ToUtf8();
    }
    EXPECT_FALSE(db.IsOpen());
}

TEST_F(SqliteDatabase, ConnectionKeepsItsCompletedConnectStringAndRefusesASecondOpen) {
    CDatabase db;
    db.OpenEx(FileDsn());
    EXPECT_NE(db.GetConnect().Find(CString::FromUtf8((dir / "old.db").string())), -1) << db.GetConnect().ToUtf8();
    EXPECT_THROW(db.OpenEx(FileDsn()), CDBException);
    db.Close();
    EXPECT_FALSE(db.IsOpen());
    EXPECT_TRUE(db.GetConnect().IsEmpty());
    EXPECT_TRUE(db.OpenEx(FileDsn()));
}

TEST_F(SqliteDatabase, ARecordsetOnAClosedConnectionStaysClosed) {
    CDatabase db;
    CRecordset rs(&db);
    EXPECT_FALSE(rs.Open(CRecordset::snapshot, u"select 1"));
    EXPECT_FALSE(rs.IsOpen());
    try {
        db.ExecuteSQL(u"select 1");
        FAIL() << "no exception";
    } catch (const CDBException& e) {
        EXPECT_EQ(e.m_strError, CString(u"Connection not open"));
        EXPECT_EQ(e.SqlState(), CString(u"08003"));
        EXPECT_EQ(e.NativeError(), 0);
    }
}

}  // namespace
