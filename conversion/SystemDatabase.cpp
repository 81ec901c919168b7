// Finds Varnik_tqsys on the company's server, creates it with its two tables and indexes, or
// completes one whose creation broke off.
#include "SystemTables.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

namespace {

// Sent one by one and outside a transaction: what succeeded before a failure stays.
constexpr const char16_t* kCreateStatements[] = {
    u"USE [master]",       u"CREATE DATABASE [Varnik_tqsys] COLLATE Finnish_Swedish_CI_AS",
    u"USE [Varnik_tqsys]", kCreateCompanyTable,
    kCreateCompanyIndex,   kCreateParameterTable,
    kCreateParameterIndex,
};

}  // namespace

bool CDaltrixDlg::SystemDatabaseExists() {
    CRecordset databases(&m_serverDb);
    databases.Open(CRecordset::snapshot, u"select 1 from sys.databases where name = 'Varnik_tqsys'", 0);
    if (!databases.IsOpen()) {
        AddLog(logfmt::kNoConnection);
        return false;
    }
    if (databases.IsEOF()) {
        AddLog(logfmt::kDatabaseMissing);
        databases.Close();
        return false;
    }
    AddLog(logfmt::kDatabaseExists);
    databases.Close();
    return true;
}

bool CDaltrixDlg::CreateSystemDatabase() {
    AddLog(logfmt::kCreatingDatabase);
    try {
        for (const char16_t* statement : kCreateStatements)
            m_serverDb.ExecuteSQL(statement);
        AddLog(logfmt::kDatabaseCreated);
        return true;
    } catch (const CDBException& e) {
        AddLog(logfmt::kCannotCreateDatabase, {e.m_strError});
        return false;
    }
}

// A Varnik_tqsys that a run left half-made lacks a table or an index: rows inserted into it
// would not be kept unique, so it is completed first, or nothing is inserted.
bool CDaltrixDlg::CompleteSystemDatabase() {
    try {
        m_serverDb.ExecuteSQL(u"USE [Varnik_tqsys]");
        CString blocked;
        const auto missing = MissingCreationStatements(ReadSystemLayout(m_serverDb), blocked);
        if (!blocked.IsEmpty())
            ThrowDBException({{u"42000", blocked}});
        if (missing.empty())
            return true;
        AddLog(logfmt::kCompletingDatabase);
        for (const char16_t* statement : missing) {
            AddLog(logfmt::kCompletionStatement, {CString(statement)});
            m_serverDb.ExecuteSQL(statement);
        }
        AddLog(logfmt::kDatabaseCompleted);
        return true;
    } catch (const CDBException& e) {
        AddLog(logfmt::kCannotCompleteDatabase, {e.m_strError});
        return false;
    }
}
