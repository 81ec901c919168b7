// Finds Varnik_tqsys on the company's server, or creates it with its two tables and indexes.
#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

namespace {

// Sent one by one and outside a transaction: what succeeded before a failure stays.
constexpr const char16_t* kCreateStatements[] = {
    u"USE [master]",
    u"CREATE DATABASE [Varnik_tqsys] COLLATE Finnish_Swedish_CI_AS",
    u"USE [Varnik_tqsys]",
    u"CREATE TABLE TQ_FORETAG(Nummer int NULL, Namn char(128) NULL, FileDSN char(255) NULL)",
    u"CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON TQ_FORETAG(Nummer ASC)",
    u"CREATE TABLE TQ_PARAMETRAR(Licensnr int NULL, Licensagare char(255) NULL, Max_lontagare int NULL, "
    u"Max_foretag int NULL, Kontrollsumma int NULL, Nyckel char(64), Major int NULL, Minor int NULL, "
    u"Sokvag char(255) NULL, Password char(64) NULL, MultiplaPerioder int NULL)",
    u"CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON TQ_PARAMETRAR(Licensnr ASC)",
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
