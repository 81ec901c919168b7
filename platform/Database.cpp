#include "Database.h"

#include "AnsiText.h"
#include "ConnectString.h"
#include "WrongBuild.h"

#include "platform/OdbcApi.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC wide characters must be UTF-16 units");

struct OdbcHandle {
    OdbcHandle(SQLSMALLINT handleType, SQLHANDLE parent) : type(handleType) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle)))
            handle = SQL_NULL_HANDLE;
    }
    // A connection is disconnected before it is freed, on every path: a driver manager refuses
    // to free a connected handle, and the driver's session would stay open.
    ~OdbcHandle() {
        if (connected)
            SQLDisconnect(handle);
        if (handle != SQL_NULL_HANDLE)
            SQLFreeHandle(type, handle);
    }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    SQLSMALLINT type;
    SQLHANDLE handle = SQL_NULL_HANDLE;
    bool connected = false;
};

namespace {

const SQLWCHAR* Wide(const CString& text) {
    return reinterpret_cast<const SQLWCHAR*>(text.GetString());
}

// "[FreeTDS][SQL Server]Invalid object name 'X'." -> the text after the bracketed origins.
CString StripOrigin(const CString& message, CString& origin) {
    int pos = 0;
    while (pos < message.GetLength() && message[pos] == u'[') {
        const int close = message.Find(u']', pos);
        if (close < 0)
            break;
        pos = close + 1;
    }
    origin = message.Left(pos);
    return message.Mid(pos);
}

// Every diagnostic record of the handle, in the driver's order.
std::vector<DiagnosticRecord> ReadDiagnostics(const OdbcHandle& on) {
    std::vector<DiagnosticRecord> records;
    for (SQLSMALLINT record = 1; on.handle != SQL_NULL_HANDLE; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> text(1024);
        SQLSMALLINT length = 0;
        SQLRETURN got = SQLGetDiagRecW(on.type, on.handle, record, state, &native, text.data(),
                                       static_cast<SQLSMALLINT>(text.size()), &length);
        if (got == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(text.size())) {
            text.resize(static_cast<size_t>(length) + 1);
            got = SQLGetDiagRecW(on.type, on.handle, record, state, &native, text.data(),
                                 static_cast<SQLSMALLINT>(text.size()), &length);
        }
        if (!SQL_SUCCEEDED(got))
            break;
        DiagnosticRecord read{CString(reinterpret_cast<const char16_t*>(state)), {}, static_cast<int>(native), {}};
        read.message = StripOrigin(CString(reinterpret_cast<const char16_t*>(text.data())), read.origin);
        records.push_back(std::move(read));
    }
    return records;
}

void Check(SQLRETURN ret, const OdbcHandle& on) {
    if (!SQL_SUCCEEDED(ret) && ret != SQL_NO_DATA)
        ThrowDBException(ReadDiagnostics(on), ret);
}

// Where every connect that failed raises: the driver manager's and the driver's records, ending
// with the build to take when the driver `connect` names is installed only for the other one.
[[noreturn]] void ThrowConnectFailure(const OdbcHandle& dbc, SQLRETURN ret, const CString& connect) {
    try {
        ThrowDBException(ReadDiagnostics(dbc), ret);
    } catch (CDBException& error) {
        AddWrongBuildHint(error, connect);
        throw;
    }
}

// The states in which a driver turns down an optional feature rather than fails: it lacks the
// feature (HYC00) or the function (IM001), or does not know the attribute (HY092) or its value
// (HY024). The driver managers map an ODBC 2 driver's states (S1C00, S1092) onto these. Some
// drivers say only "general error" (HY000): psqlODBC answers "Couldn't set unsupported connect
// attribute 113" to the connection timeout. For an attribute the work goes on without, that too is
// a refusal; a connection that is really broken fails at its next statement.
bool IsRefusal(const CString& state) {
    for (const char16_t* refusal : {u"HYC00", u"IM001", u"HY092", u"HY024", u"HY000"})
        if (state == refusal)
            return true;
    return false;
}

// The result of setting an attribute the work can go on without. A driver that refuses it is
// left without it; one that took a value of its own (01S02) keeps that; any other failure raises.
void CheckOptional(SQLRETURN ret, const OdbcHandle& on) {
    if (SQL_SUCCEEDED(ret))
        return;
    auto records = ReadDiagnostics(on);
    if (ret == SQL_ERROR && !records.empty() && IsRefusal(records.front().state))
        return;
    ThrowDBException(std::move(records), ret);
}

// An ODBC 2 driver knows no wide text: the driver managers convert its single-byte text for a
// wide request, but unixODBC leaves the buffer untouched for a part whose length is not known
// (SQL_NO_TOTAL). Its text is asked for in its own single-byte form and converted here.
bool IsOdbc2Driver(const OdbcHandle& dbc) {
    SQLWCHAR version[16] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN ret = SQLGetInfoW(dbc.handle, SQL_DRIVER_ODBC_VER, version, sizeof version, &length);
    return SQL_SUCCEEDED(ret) && version[0] == u'0' && version[1] < u'3';
}

SQLPOINTER Seconds(unsigned seconds) {
    return reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds));
}

}  // namespace

CDatabase::CDatabase() = default;

CDatabase::~CDatabase() {
    Close();
}

bool CDatabase::OpenEx(const CString& connect, unsigned /*options*/) {
    if (IsOpen())
        ThrowDBException({{u"08002", u"Connection is already open"}}, SQL_ERROR);
    const CString expanded = ExpandFileDsn(connect);
    RefuseUnusableNames(expanded);

    auto env = std::make_unique<OdbcHandle>(SQL_HANDLE_ENV, static_cast<SQLHANDLE>(SQL_NULL_HANDLE));
    if (env->handle == SQL_NULL_HANDLE)
        ThrowDBException({{u"HY001", u"Cannot allocate an ODBC environment"}}, SQL_ERROR);
    Check(SQLSetEnvAttr(env->handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0), *env);
    auto dbc = std::make_unique<OdbcHandle>(SQL_HANDLE_DBC, env->handle);
    if (dbc->handle == SQL_NULL_HANDLE)
        ThrowDBException(ReadDiagnostics(*env), SQL_ERROR);
    // A server that accepts the connection but never answers would otherwise hang the tool.
    CheckOptional(SQLSetConnectAttrW(dbc->handle, SQL_ATTR_LOGIN_TIMEOUT, Seconds(kLoginTimeoutSeconds), 0), *dbc);

    // A completed string longer than the first buffer is asked for again, whole: once connected,
    // the driver tells its length. (A first buffer near the SQLSMALLINT limit is no way out:
    // psqlODBC overflows it when it converts.)
    std::vector<SQLWCHAR> completed(kFirstCompletedLength);
    SQLSMALLINT completedLength = 0;
    const SQLUSMALLINT completion = m_promptAllowed ? SQL_DRIVER_COMPLETE : SQL_DRIVER_NOPROMPT;
    const auto driverConnect = [&] {
        return SQLDriverConnectW(dbc->handle, static_cast<SQLHWND>(m_promptOwner),
                                 const_cast<SQLWCHAR*>(Wide(expanded)), SQL_NTS, completed.data(),
                                 static_cast<SQLSMALLINT>(completed.size()), &completedLength, completion);
    };
    SQLRETURN ret = driverConnect();
    if (SQL_SUCCEEDED(ret) && completedLength >= static_cast<SQLSMALLINT>(completed.size())) {
        SQLDisconnect(dbc->handle);
        completed.assign(static_cast<size_t>(completedLength) + 1, 0);
        ret = driverConnect();
    }
    if (ret == SQL_NO_DATA)
        return false;  // the operator cancelled the driver's login prompt
    if (!SQL_SUCCEEDED(ret))
        ThrowConnectFailure(*dbc, ret, expanded);
    dbc->connected = true;
    // A string cut short would hide the items after the cut; none is kept rather than a part.
    const bool whole = completedLength >= 0 && completedLength < static_cast<SQLSMALLINT>(completed.size());
    CheckOptional(SQLSetConnectAttrW(dbc->handle, SQL_ATTR_CONNECTION_TIMEOUT, Seconds(kQueryTimeoutSeconds), 0), *dbc);

    m_singleByteText = IsOdbc2Driver(*dbc);
    m_connect.Set(whole ? CString(reinterpret_cast<const char16_t*>(completed.data())) : CString());
    m_env = std::move(env);
    m_dbc = std::move(dbc);
    return true;
}

void CDatabase::Close() {
    m_statement.reset();
    m_dbc.reset();
    m_env.reset();
    m_connect.Clear();
}

bool CDatabase::IsOpen() const {
    return m_dbc != nullptr;
}

CString CDatabase::GetConnect() const {
    return m_connect.Get().value_or(CString());
}

bool CDatabase::Reopen() {
    const std::optional<CString> completed = m_connect.Get();
    Close();
    if (!completed || completed->IsEmpty())
        ThrowDBException({{u"08001", u"The connection cannot be opened again: its connect string is not known"}});
    return OpenEx(*completed, 0);
}

namespace {

std::unique_ptr<OdbcHandle> NewStatement(const OdbcHandle& dbc) {
    auto stmt = std::make_unique<OdbcHandle>(SQL_HANDLE_STMT, dbc.handle);
    if (stmt->handle == SQL_NULL_HANDLE)
        ThrowDBException(ReadDiagnostics(dbc), SQL_ERROR);
    CheckOptional(SQLSetStmtAttrW(stmt->handle, SQL_ATTR_QUERY_TIMEOUT, Seconds(CDatabase::kQueryTimeoutSeconds), 0),
                  *stmt);
    return stmt;
}

// Closes a reused statement's cursor on every way out, failures included, so that the next
// statement on it finds no results left pending.
struct ClosedOnExit {
    const OdbcHandle& stmt;
    ~ClosedOnExit() { SQLFreeStmt(stmt.handle, SQL_CLOSE); }
};

// How many units of a part the buffer holds. A length says so, up to the room before the
// terminator. SQL_NO_TOTAL says nothing: the rule is that such a part fills the buffer, but old
// drivers hand out a few bytes at a time. The terminator they write last marks the end, and since
// the buffer was filled with non-zero units beforehand, it is the last zero in it, even when the
// value holds zeros of its own.
template <class Unit>
size_t PartLength(const std::vector<Unit>& buffer, SQLLEN indicator) {
    const size_t room = buffer.size() - 1;
    if (indicator >= 0)
        return std::min(room, static_cast<size_t>(indicator) / sizeof(Unit));
    const auto terminator = std::find(buffer.rbegin(), buffer.rend(), Unit{0});
    return terminator == buffer.rend() ? room : static_cast<size_t>(buffer.rend() - terminator) - 1;
}

// A column's value, in as many parts as the driver hands it out in; none for NULL.
template <class Unit>
std::optional<std::basic_string<Unit>> ReadValue(const OdbcHandle& stmt, SQLUSMALLINT column, SQLSMALLINT type) {
    // Room for a char(255) value in one part.
    constexpr size_t kUnits = 256;
    constexpr Unit kUnwritten = 0x7F;
    std::vector<Unit> buffer(kUnits);
    std::basic_string<Unit> value;
    for (;;) {
        std::fill(buffer.begin(), buffer.end(), kUnwritten);
        SQLLEN indicator = 0;
        const SQLRETURN ret = SQLGetData(stmt.handle, column, type, buffer.data(),
                                         static_cast<SQLLEN>(kUnits * sizeof(Unit)), &indicator);
        if (ret == SQL_NO_DATA)
            return value;
        Check(ret, stmt);
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        value.append(buffer.data(), PartLength(buffer, indicator));
        // SQL_SUCCESS means this was the last part; with-info (01004) means more follows.
        if (ret == SQL_SUCCESS)
            return value;
    }
}

}  // namespace

void CDatabase::ExecuteSQL(const CString& sql) {
    if (!IsOpen())
        ThrowDBException({{u"08003", u"Connection not open"}}, SQL_ERROR);
    // One handle serves every statement of the connection: a migration sends one per company,
    // and a handle of its own each, allocated and given its timeout, costs a good part of that.
    if (!m_statement)
        m_statement = NewStatement(*m_dbc);
    const OdbcHandle& stmt = *m_statement;
    const ClosedOnExit closed{stmt};
    Check(SQLExecDirectW(stmt.handle, const_cast<SQLWCHAR*>(Wide(sql)), sql.GetLength()), stmt);
    // A server may report an error in a later result of the same statement.
    SQLRETURN more;
    while ((more = SQLMoreResults(stmt.handle)) != SQL_NO_DATA)
        Check(more, stmt);
}

CRecordset::CRecordset(CDatabase* database) : m_database(database) {
}

CRecordset::~CRecordset() {
    Close();
}

bool CRecordset::Open(OpenType /*type*/, const CString& sql, unsigned /*options*/) {
    Close();
    if (!m_database || !m_database->IsOpen())
        return false;
    auto stmt = NewStatement(*m_database->m_dbc);
    Check(SQLExecDirectW(stmt->handle, const_cast<SQLWCHAR*>(Wide(sql)), sql.GetLength()), *stmt);
    m_stmt = std::move(stmt);
    Check(SQLNumResultCols(m_stmt->handle, &m_columns), *m_stmt);
    m_eof = m_columns == 0;
    if (!m_eof)
        Fetch();
    return true;
}

bool CRecordset::IsOpen() const {
    return m_stmt != nullptr;
}

bool CRecordset::IsEOF() const {
    return m_eof;
}

void CRecordset::Fetch() {
    const SQLRETURN ret = SQLFetch(m_stmt->handle);
    Check(ret, *m_stmt);
    m_eof = ret == SQL_NO_DATA;
}

void CRecordset::MoveNext() {
    if (!IsOpen() || m_eof)
        ThrowDBException({{u"24000", u"No current row"}}, SQL_ERROR);
    Fetch();
}

bool CRecordset::GetFieldValueOrNull(short index, CString& value) {
    if (!IsOpen() || m_eof)
        ThrowDBException({{u"24000", u"No current row"}}, SQL_ERROR);
    const auto column = static_cast<SQLUSMALLINT>(index + 1);
    if (!m_database->m_singleByteText) {
        try {
            auto text = ReadValue<char16_t>(*m_stmt, column, SQL_C_WCHAR);
            value = text ? CString(std::move(*text)) : CString();
            return text.has_value();
        } catch (const CDBException& e) {
            // An ANSI driver of ODBC 3 may refuse wide text outright (psqlODBC's ANSI driver:
            // 07006), where unixODBC converts only for ODBC 2 drivers: this connection's text is
            // read in its single-byte form from here on.
            if (e.SqlState() != u"07006")
                throw;
            m_database->m_singleByteText = true;
        }
    }
    const auto bytes = ReadValue<char>(*m_stmt, column, SQL_C_CHAR);
    value = bytes ? DecodeAnsiText(*bytes) : CString();
    return bytes.has_value();
}

void CRecordset::GetFieldValue(short index, CString& value) {
    GetFieldValueOrNull(index, value);
}

void CRecordset::Close() {
    m_stmt.reset();
    m_eof = true;
    m_columns = 0;
}
