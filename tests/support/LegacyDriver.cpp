// An ODBC driver that behaves like the oldest drivers old system databases still sit on: ODBC 2
// level (SQL_DRIVER_ODBC_VER "02.50", the ODBC 2 handle functions and SQLError), single-byte entry
// points only (the driver manager maps the wide calls onto them), the three timeouts refused,
// text handed out in parts of a few bytes with SQL_NO_TOTAL, char columns blank-padded. It
// serves the old system's tables from a text file (see LegacyDatabase.h) and answers
// "select <columns> from <table>"; anything else gets an error record.
//
// The connect string chooses how it behaves, so that each way an old driver differs can be met
// by a test:
//   Database=FILE                     the tables
//   ConnectionTimeout=, QueryTimeout= the SQLSTATE it refuses the timeout with (S1C00 when not
//                                     given), "accept", or "01S02" to take a value of its own
//   PartBytes=N                       the most bytes of text a SQLGetData hands out (4 when not
//                                     given; 0: as many as the buffer holds)
//   Counter=FILE                      a line "connect" or "disconnect" for each
//   FailFetchAt=N                     the fetch of row N fails as a broken network does (08S01)
// The login timeout is always refused: the driver manager sets it before the connect string
// arrives.
#include "LegacyDatabase.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using legacy::Column;
using legacy::Table;

struct Diagnostic {
    std::string state;
    std::string message;
};

// ODBC 2 hands each record out once, through SQLError.
struct Diagnostics {
    std::deque<Diagnostic> records;

    SQLRETURN Fail(std::string state, std::string message, SQLRETURN ret = SQL_ERROR) {
        records.push_back({std::move(state), "[Legacy]" + std::move(message)});
        return ret;
    }
};

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// How the driver answers one option: accept it, refuse it with a state, or take a value of its own.
struct OptionAnswer {
    std::string state;  // empty: accepted

    // As a connect string gives it: "accept" or the state.
    static OptionAnswer Given(const std::string& text) { return {Upper(text) == "ACCEPT" ? std::string() : text}; }

    SQLRETURN Answer(Diagnostics& diag, const char* option) const {
        if (state.empty())
            return SQL_SUCCESS;
        if (state == "01S02")
            return diag.Fail(state, std::string("Option value changed: ") + option, SQL_SUCCESS_WITH_INFO);
        return diag.Fail(state, std::string("Cannot set the ") + option);
    }
};

struct Settings {
    std::map<std::string, std::string> items;  // keys upper-case

    static Settings Parse(const std::string& connect) {
        Settings s;
        size_t pos = 0;
        while (pos < connect.size()) {
            size_t end = connect.find(';', pos);
            if (end == std::string::npos)
                end = connect.size();
            const std::string item = connect.substr(pos, end - pos);
            const size_t eq = item.find('=');
            if (eq != std::string::npos)
                s.items[Upper(Trim(item.substr(0, eq)))] = Trim(item.substr(eq + 1));
            pos = end + 1;
        }
        return s;
    }

    std::string Get(const std::string& key, const std::string& otherwise = {}) const {
        const auto found = items.find(key);
        return found == items.end() ? otherwise : found->second;
    }
};

void Count(const std::string& counterFile, const char* event) {
    if (counterFile.empty())
        return;
    std::ofstream(counterFile, std::ios::app) << event << '\n';
}

struct Environment {
    Diagnostics diag;
};

struct Connection {
    Diagnostics diag;
    bool connected = false;
    std::string counterFile;
    std::vector<Table> tables;
    OptionAnswer connectionTimeout;
    OptionAnswer queryTimeout;
    size_t partBytes = 0;
    size_t failFetchAt = 0;  // 0: every fetch succeeds
};

struct Statement {
    Connection* dbc;
    Diagnostics diag;
    const Table* table = nullptr;
    std::vector<size_t> columns;  // indexes into table->columns
    size_t row = 0;               // 1-based current row; 0 before the first fetch
    bool open = false;
    size_t getDataColumn = 0;  // the column SQLGetData last handed out a part of
    size_t getDataOffset = 0;  // how much of it went out
    bool getDataDone = false;
};

// A handle belongs to the driver manager from its allocation until it is freed.
template <class Handle>
void* HandOut(std::unique_ptr<Handle> object) {
    return object.release();
}

template <class Handle>
std::unique_ptr<Handle> TakeBack(void* handle) {
    return std::unique_ptr<Handle>(static_cast<Handle*>(handle));
}

// A handle as a function other than SQLError meets it: what an earlier call reported is gone.
template <class Handle>
Handle* Enter(void* handle) {
    auto* object = static_cast<Handle*>(handle);
    object->diag.records.clear();
    return object;
}

std::string Text(const SQLCHAR* text, SQLINTEGER length) {
    if (!text)
        return {};
    const char* chars = reinterpret_cast<const char*>(text);
    return length == SQL_NTS ? std::string(chars) : std::string(chars, static_cast<size_t>(length));
}

// Copies `text` into a caller's buffer of `size` bytes with a terminating zero; false when cut.
bool CopyOut(const std::string& text, SQLCHAR* out, SQLLEN size) {
    if (!out || size <= 0)
        return text.empty();
    const size_t room = static_cast<size_t>(size) - 1;
    const size_t n = std::min(room, text.size());
    std::memcpy(out, text.data(), n);
    out[n] = 0;
    return n == text.size();
}

// The value of a cell as the column hands it out: char(n) blank-padded to n.
std::string CellText(const Column& column, const std::string& value) {
    if (column.type == legacy::ColumnType::Char && value.size() < column.size)
        return value + std::string(column.size - value.size(), ' ');
    return value;
}

// "select a, b from T": the only statement an old system database is asked here.
SQLRETURN Prepare(Statement& stmt, const std::string& sql) {
    const std::string upper = Upper(sql);
    const size_t from = upper.find(" FROM ");
    if (upper.rfind("SELECT ", 0) != 0 || from == std::string::npos)
        return stmt.diag.Fail("37000", "Syntax error or access violation: " + sql);
    const std::string tableName = Trim(upper.substr(from + 6));
    const auto& tables = stmt.dbc->tables;
    const auto table =
        std::find_if(tables.begin(), tables.end(), [&](const Table& t) { return Upper(t.name) == tableName; });
    if (table == tables.end())
        return stmt.diag.Fail("S0002", "Table not found: " + Trim(sql.substr(from + 6)));
    std::vector<size_t> columns;
    for (const auto& item : legacy::Split(sql.substr(7, from - 7), ',')) {
        const std::string name = Trim(item);
        const auto column = std::find_if(table->columns.begin(), table->columns.end(),
                                         [&](const Column& c) { return Upper(c.name) == Upper(name); });
        if (column == table->columns.end())
            return stmt.diag.Fail("S0022", "Column not found: " + name);
        columns.push_back(static_cast<size_t>(column - table->columns.begin()));
    }
    stmt.table = &*table;
    stmt.columns = std::move(columns);
    stmt.row = 0;
    stmt.open = true;
    return SQL_SUCCESS;
}

SQLRETURN GetText(Statement& stmt, SQLUSMALLINT number, SQLCHAR* out, SQLLEN size, SQLLEN* indicator) {
    const auto& cells = stmt.table->rows[stmt.row - 1];
    const size_t index = stmt.columns[number - 1];
    const std::optional<std::string>& cell = cells[index];
    if (stmt.getDataColumn != number) {
        stmt.getDataColumn = number;
        stmt.getDataOffset = 0;
        stmt.getDataDone = false;
    }
    if (stmt.getDataDone)
        return SQL_NO_DATA_FOUND;
    if (!cell) {
        stmt.getDataDone = true;
        if (!indicator)
            return stmt.diag.Fail("22002", "Indicator variable required but not supplied");
        *indicator = SQL_NULL_DATA;
        return SQL_SUCCESS;
    }
    const std::string text = CellText(stmt.table->columns[index], *cell);
    const size_t left = text.size() - stmt.getDataOffset;
    size_t part = size > 0 ? std::min(left, static_cast<size_t>(size) - 1) : 0;
    if (stmt.dbc->partBytes > 0)
        part = std::min(part, stmt.dbc->partBytes);
    if (out && size > 0) {
        std::memcpy(out, text.data() + stmt.getDataOffset, part);
        out[part] = 0;
    }
    stmt.getDataOffset += part;
    if (part < left) {
        // Old drivers do not say how much is left.
        if (indicator)
            *indicator = SQL_NO_TOTAL;
        return stmt.diag.Fail("01004", "Data truncated", SQL_SUCCESS_WITH_INFO);
    }
    stmt.getDataDone = true;
    if (indicator)
        *indicator = static_cast<SQLLEN>(left);
    return SQL_SUCCESS;
}

SQLRETURN ErrorOf(Diagnostics& diag, SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT size,
                  SQLSMALLINT* length) {
    if (diag.records.empty())
        return SQL_NO_DATA_FOUND;
    const Diagnostic record = diag.records.front();
    diag.records.pop_front();
    CopyOut(record.state, state, 6);
    if (native)
        *native = 0;
    if (length)
        *length = static_cast<SQLSMALLINT>(record.message.size());
    return CopyOut(record.message, message, size) ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocEnv(SQLHENV* env) {
    *env = HandOut(std::make_unique<Environment>());
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFreeEnv(SQLHENV env) {
    TakeBack<Environment>(env);
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLAllocConnect(SQLHENV, SQLHDBC* dbc) {
    *dbc = HandOut(std::make_unique<Connection>());
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFreeConnect(SQLHDBC dbc) {
    auto* connection = Enter<Connection>(dbc);
    if (connection->connected)
        return connection->diag.Fail("S1010", "Function sequence error: still connected");
    TakeBack<Connection>(dbc);
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLAllocStmt(SQLHDBC dbc, SQLHSTMT* stmt) {
    auto* connection = Enter<Connection>(dbc);
    if (!connection->connected)
        return connection->diag.Fail("08003", "Connection not open");
    auto statement = std::make_unique<Statement>();
    statement->dbc = connection;
    *stmt = HandOut(std::move(statement));
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT stmt, SQLUSMALLINT option) {
    auto* statement = Enter<Statement>(stmt);
    if (option == SQL_DROP) {
        TakeBack<Statement>(stmt);
        return SQL_SUCCESS;
    }
    if (option == SQL_CLOSE)
        statement->open = false;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC dbc, SQLHWND, SQLCHAR* in, SQLSMALLINT inLength, SQLCHAR* out,
                                   SQLSMALLINT outSize, SQLSMALLINT* outLength, SQLUSMALLINT) {
    auto* connection = Enter<Connection>(dbc);
    const std::string connect = Text(in, inLength);
    const Settings settings = Settings::Parse(connect);
    connection->connectionTimeout = OptionAnswer::Given(settings.Get("CONNECTIONTIMEOUT", "S1C00"));
    connection->queryTimeout = OptionAnswer::Given(settings.Get("QUERYTIMEOUT", "S1C00"));
    const std::string partBytes = settings.Get("PARTBYTES", "4");
    const std::string failFetchAt = settings.Get("FAILFETCHAT", "0");
    for (const std::string& number : {partBytes, failFetchAt})
        if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
            return connection->diag.Fail("08001", "Not a number: " + number);
    connection->partBytes = static_cast<size_t>(std::stoul(partBytes));
    connection->failFetchAt = static_cast<size_t>(std::stoul(failFetchAt));
    connection->counterFile = settings.Get("COUNTER");

    std::string error;
    const auto tables = legacy::ReadDatabase(settings.Get("DATABASE"), error);
    if (!tables)
        return connection->diag.Fail("08001", "Unable to open the database: " + error);
    connection->tables = *tables;
    connection->connected = true;
    Count(connection->counterFile, "connect");

    if (outLength)
        *outLength = static_cast<SQLSMALLINT>(connect.size());
    if (out && !CopyOut(connect, out, outSize))
        return connection->diag.Fail("01004", "Data truncated", SQL_SUCCESS_WITH_INFO);
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC dbc) {
    auto* connection = Enter<Connection>(dbc);
    if (!connection->connected)
        return connection->diag.Fail("08003", "Connection not open");
    connection->connected = false;
    Count(connection->counterFile, "disconnect");
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLError(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt, SQLCHAR* state, SQLINTEGER* native,
                           SQLCHAR* message, SQLSMALLINT size, SQLSMALLINT* length) {
    if (stmt)
        return ErrorOf(static_cast<Statement*>(stmt)->diag, state, native, message, size, length);
    if (dbc)
        return ErrorOf(static_cast<Connection*>(dbc)->diag, state, native, message, size, length);
    if (env)
        return ErrorOf(static_cast<Environment*>(env)->diag, state, native, message, size, length);
    return SQL_INVALID_HANDLE;
}

// Options are set through the ODBC 3 attribute functions, the only ones unixODBC passes an ODBC 2
// driver's wide calls to; with only SQLSetConnectOption and SQLSetStmtOption it answers the
// timeouts itself (HY092, IM001) and the driver never sees them.
SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER, SQLINTEGER) {
    auto* connection = Enter<Connection>(dbc);
    if (attribute == SQL_ATTR_LOGIN_TIMEOUT)  // set by the driver manager before the connect string arrives
        return OptionAnswer{"S1C00"}.Answer(connection->diag, "login timeout");
    if (attribute == SQL_ATTR_CONNECTION_TIMEOUT)
        return connection->connectionTimeout.Answer(connection->diag, "connection timeout");
    return connection->diag.Fail("S1092", "Option type out of range");
}

SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER, SQLINTEGER) {
    auto* statement = Enter<Statement>(stmt);
    if (attribute == SQL_ATTR_QUERY_TIMEOUT)
        return statement->dbc->queryTimeout.Answer(statement->diag, "query timeout");
    return statement->diag.Fail("S1092", "Option type out of range");
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC dbc, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT size, SQLSMALLINT* length) {
    auto* connection = Enter<Connection>(dbc);
    static const std::map<SQLUSMALLINT, std::string> texts{{SQL_DRIVER_ODBC_VER, "02.50"}};
    const auto text = texts.find(type);
    if (text == texts.end())
        return connection->diag.Fail("S1096", "Information type out of range");
    if (length)
        *length = static_cast<SQLSMALLINT>(text->second.size());
    if (value && !CopyOut(text->second, static_cast<SQLCHAR*>(value), size))
        return connection->diag.Fail("01004", "Data truncated", SQL_SUCCESS_WITH_INFO);
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT stmt, SQLCHAR* sql, SQLINTEGER length) {
    return Prepare(*Enter<Statement>(stmt), Text(sql, length));
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT stmt, SQLSMALLINT* count) {
    auto* statement = Enter<Statement>(stmt);
    *count = statement->open ? static_cast<SQLSMALLINT>(statement->columns.size()) : 0;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT stmt) {
    auto* statement = Enter<Statement>(stmt);
    if (!statement->open)
        return statement->diag.Fail("24000", "Invalid cursor state");
    statement->getDataColumn = 0;
    if (statement->row + 1 == statement->dbc->failFetchAt)
        return statement->diag.Fail("08S01", "Communication link failure");
    if (statement->row >= statement->table->rows.size()) {
        statement->row = statement->table->rows.size() + 1;
        return SQL_NO_DATA_FOUND;
    }
    ++statement->row;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT type, SQLPOINTER value, SQLLEN size,
                             SQLLEN* indicator) {
    auto* statement = Enter<Statement>(stmt);
    if (!statement->open || statement->row == 0 || statement->row > statement->table->rows.size())
        return statement->diag.Fail("24000", "Invalid cursor state");
    if (number < 1 || number > statement->columns.size())
        return statement->diag.Fail("S1002", "Invalid column number");
    if (type != SQL_C_CHAR && type != SQL_C_DEFAULT)
        return statement->diag.Fail("S1C00", "Driver not capable: only character data is handed out");
    return GetText(*statement, number, static_cast<SQLCHAR*>(value), size, indicator);
}

}  // extern "C"
