// ODBC connections and queries over the ODBC 3 wide API, one code path for Windows ODBC,
// unixODBC and Wine's odbc32. Every failing call raises CDBException with every diagnostic record.
#pragma once

#include "CString.h"
#include "Exceptions.h"
#include "ProtectedText.h"

#include <memory>

struct OdbcHandle;

class CDatabase {
public:
    CDatabase();
    virtual ~CDatabase();
    CDatabase(const CDatabase&) = delete;
    CDatabase& operator=(const CDatabase&) = delete;

    // Opens the connection; options 0 lets the driver complete the string and prompt for what
    // is missing. A "FILEDSN=" item is read here, not by the driver manager. Returns false,
    // leaving the connection closed, when the operator cancels the driver's prompt.
    virtual bool OpenEx(const CString& connect, unsigned options = 0);
    // The window a driver's login prompt belongs to (none: the prompt has no owner); the caller
    // names it before the open.
    void SetPromptOwner(void* window) { m_promptOwner = window; }
    // Without a prompt, a connection that would need one fails instead (an unattended run).
    void AllowPrompt(bool allowed) { m_promptAllowed = allowed; }
    virtual void Close();
    bool IsOpen() const;

    // Runs one statement and reads every result it produces; raises on any error in any of them.
    void ExecuteSQL(const CString& sql);

    // The completed connect string the connection was made with, as the driver returned it.
    // Empty when it cannot be read back whole.
    CString GetConnect() const;
    // Closes the connection and opens a fresh session with its completed connect string, which
    // needs no login prompt; the string stays protected in between.
    bool Reopen();

    static constexpr unsigned kLoginTimeoutSeconds = 15;
    static constexpr unsigned kQueryTimeoutSeconds = 15;
    static constexpr size_t kFirstCompletedLength = 8192;

private:
    friend class CRecordset;
    std::unique_ptr<OdbcHandle> m_env;
    std::unique_ptr<OdbcHandle> m_dbc;
    std::unique_ptr<OdbcHandle> m_statement;  // ExecuteSQL's, reused
    ProtectedText m_connect;
    bool m_singleByteText = false;  // text is read in the driver's single-byte form
    void* m_promptOwner = nullptr;
    bool m_promptAllowed = true;
};

// The connection to the company's SQL Server.
class CMyDatabase : public CDatabase {};

class CRecordset {
public:
    enum OpenType { snapshot = 1 };
    explicit CRecordset(CDatabase* database);
    virtual ~CRecordset();
    CRecordset(const CRecordset&) = delete;
    CRecordset& operator=(const CRecordset&) = delete;

    // Runs the query and makes its first row current. On a connection that is not open it
    // returns false and the recordset stays closed; a database error raises CDBException.
    bool Open(OpenType type, const CString& sql, unsigned options = 0);
    bool IsOpen() const;
    bool IsEOF() const;
    // The value of column `index` (from 0) of the current row as text; NULL reads as empty text.
    void GetFieldValue(short index, CString& value);
    // Like the above, but tells a NULL apart from an empty text.
    bool GetFieldValueOrNull(short index, CString& value);
    void MoveNext();
    void Close();
    short GetODBCFieldCount() const { return m_columns; }

private:
    void Fetch();
    CDatabase* m_database;
    std::unique_ptr<OdbcHandle> m_stmt;
    bool m_eof = true;
    short m_columns = 0;
};
