"""A small ODBC 3 client over the unixODBC driver manager (ctypes), for the
stand-in's self-test.

It uses the wide (UTF-16) API the way Daltrix does, so the self-test sees
exactly what an ODBC application sees: return codes, every diagnostic
record, column descriptions and data fetched as SQL_C_WCHAR.

Set ODBCSYSINI before the first connect (see registered_driver_dir).
"""

import ctypes
import os

SQL_SUCCESS = 0
SQL_SUCCESS_WITH_INFO = 1
SQL_NO_DATA = 100
SQL_ERROR = -1
SQL_INVALID_HANDLE = -2

SQL_HANDLE_ENV = 1
SQL_HANDLE_DBC = 2
SQL_HANDLE_STMT = 3
SQL_ATTR_ODBC_VERSION = 200
SQL_OV_ODBC3 = 3
SQL_ATTR_LOGIN_TIMEOUT = 103
SQL_ATTR_AUTOCOMMIT = 102
SQL_ATTR_QUERY_TIMEOUT = 0
SQL_NTS = -3
SQL_DRIVER_NOPROMPT = 0
SQL_C_WCHAR = -8
SQL_C_SLONG = -16
SQL_NULL_DATA = -1
SQL_PARAM_INPUT = 1
SQL_INTEGER = 4
SQL_WVARCHAR = -9
SQL_COMMIT = 0
SQL_ROLLBACK = 1

SQLHANDLE = ctypes.c_void_p
SQLLEN = ctypes.c_ssize_t
SQLRETURN = ctypes.c_short

DRIVER_PATH = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"

_lib = None


def registered_driver_dir(directory, driver_path=DRIVER_PATH):
    """Write an odbcinst.ini registering FreeTDS as [SQL Server] and point ODBCSYSINI at it."""
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, "odbcinst.ini"), "w") as f:
        f.write("[SQL Server]\nDescription=FreeTDS for the stand-in self-test\nDriver=%s\n" % driver_path)
    with open(os.path.join(directory, "odbc.ini"), "w") as f:
        f.write("")
    os.environ["ODBCSYSINI"] = directory
    os.environ["ODBCINI"] = os.path.join(directory, "odbc.ini")
    return directory


def lib():
    global _lib
    if _lib is None:
        _lib = ctypes.CDLL("libodbc.so.2")
        for name in ("SQLAllocHandle", "SQLSetEnvAttr", "SQLSetConnectAttrW", "SQLDriverConnectW",
                     "SQLExecDirectW", "SQLPrepareW", "SQLExecute", "SQLNumResultCols",
                     "SQLDescribeColW", "SQLFetch", "SQLGetData", "SQLRowCount", "SQLMoreResults",
                     "SQLGetDiagRecW", "SQLFreeHandle", "SQLDisconnect", "SQLBindParameter",
                     "SQLEndTran", "SQLCloseCursor", "SQLSetStmtAttrW", "SQLCancel", "SQLFreeStmt"):
            getattr(_lib, name).restype = SQLRETURN
    return _lib


def _w(text):
    return ctypes.create_string_buffer(text.encode("utf-16-le") + b"\0\0")


def _unw(buf, nchars):
    return bytes(buf)[:2 * nchars].decode("utf-16-le")


class OdbcError(Exception):
    def __init__(self, rc, records):
        super().__init__("rc=%d %s" % (rc, records))
        self.rc = rc
        self.records = records


def diag(handle_type, handle):
    """Every diagnostic record: [(sqlstate, native, message)]."""
    out = []
    state = ctypes.create_string_buffer(16)
    native = ctypes.c_int()
    msg = ctypes.create_string_buffer(4096)
    msglen = ctypes.c_short()
    n = 1
    while True:
        rc = lib().SQLGetDiagRecW(ctypes.c_short(handle_type), handle, ctypes.c_short(n), state,
                                  ctypes.byref(native), msg, ctypes.c_short(2040), ctypes.byref(msglen))
        if rc not in (SQL_SUCCESS, SQL_SUCCESS_WITH_INFO):
            return out
        out.append((_unw(state, 5), native.value, _unw(msg, msglen.value)))
        n += 1


class Env:
    def __init__(self):
        self.h = SQLHANDLE()
        rc = lib().SQLAllocHandle(SQL_HANDLE_ENV, None, ctypes.byref(self.h))
        assert rc == SQL_SUCCESS, rc
        lib().SQLSetEnvAttr(self.h, SQL_ATTR_ODBC_VERSION, ctypes.c_void_p(SQL_OV_ODBC3), 0)

    def close(self):
        lib().SQLFreeHandle(SQL_HANDLE_ENV, self.h)


class StatementResult:
    """What one SQLExecDirect/SQLExecute gave: rc, diagnostics and all result sets."""

    def __init__(self, rc, records):
        self.rc = rc
        self.records = records
        self.results = []          # [(columns [(name, sqltype, size, nullable)], rows)]
        self.rowcount = None

    @property
    def columns(self):
        return self.results[0][0] if self.results else []

    @property
    def rows(self):
        return self.results[0][1] if self.results else []

    @property
    def messages(self):
        return [r[2] for r in self.records]

    @property
    def natives(self):
        return [r[1] for r in self.records]


class Connection:
    def __init__(self, env, connect_string, login_timeout=5):
        self.env = env
        self.h = SQLHANDLE()
        rc = lib().SQLAllocHandle(SQL_HANDLE_DBC, env.h, ctypes.byref(self.h))
        assert rc == SQL_SUCCESS, rc
        lib().SQLSetConnectAttrW(self.h, SQL_ATTR_LOGIN_TIMEOUT, ctypes.c_void_p(login_timeout), 0)
        out = ctypes.create_string_buffer(4096)
        outlen = ctypes.c_short()
        rc = lib().SQLDriverConnectW(self.h, None, _w(connect_string), SQL_NTS, out, ctypes.c_short(1024),
                                     ctypes.byref(outlen), SQL_DRIVER_NOPROMPT)
        self.connect_rc = rc
        self.connect_records = diag(SQL_HANDLE_DBC, self.h)
        if rc not in (SQL_SUCCESS, SQL_SUCCESS_WITH_INFO):
            lib().SQLFreeHandle(SQL_HANDLE_DBC, self.h)
            self.h = None
            raise OdbcError(rc, self.connect_records)

    def set_autocommit(self, on):
        rc = lib().SQLSetConnectAttrW(self.h, SQL_ATTR_AUTOCOMMIT, ctypes.c_void_p(1 if on else 0), 0)
        if rc not in (SQL_SUCCESS, SQL_SUCCESS_WITH_INFO):
            raise OdbcError(rc, diag(SQL_HANDLE_DBC, self.h))

    def end_tran(self, commit=True):
        rc = lib().SQLEndTran(SQL_HANDLE_DBC, self.h, SQL_COMMIT if commit else SQL_ROLLBACK)
        if rc not in (SQL_SUCCESS, SQL_SUCCESS_WITH_INFO):
            raise OdbcError(rc, diag(SQL_HANDLE_DBC, self.h))
        return rc

    def execute(self, sql, params=None, prepare=False, query_timeout=None):
        """Run one statement; fetch every result set as text (None for NULL).

        params: list of int/str/None, bound as SQL_INTEGER / SQL_WVARCHAR.
        prepare: SQLPrepareW + SQLExecute instead of SQLExecDirectW.
        """
        stmt = self.prepare(sql, query_timeout) if prepare else Statement(self, query_timeout)
        try:
            if prepare:
                if stmt.prepare_result is not None:
                    return stmt.prepare_result
                return stmt.execute(params)
            return stmt.execute_direct(sql, params)
        finally:
            stmt.close()

    def prepare(self, sql, query_timeout=None):
        stmt = Statement(self, query_timeout)
        rc = lib().SQLPrepareW(stmt.h, _w(sql), SQL_NTS)
        if rc not in (SQL_SUCCESS, SQL_SUCCESS_WITH_INFO):
            stmt.prepare_result = StatementResult(rc, diag(SQL_HANDLE_STMT, stmt.h))
        return stmt

    def close(self):
        if self.h is not None:
            lib().SQLDisconnect(self.h)
            lib().SQLFreeHandle(SQL_HANDLE_DBC, self.h)
            self.h = None


class Statement:
    """One statement handle; prepared statements can be executed repeatedly."""

    def __init__(self, conn, query_timeout=None):
        self.h = SQLHANDLE()
        self.keep = []
        self.prepare_result = None
        rc = lib().SQLAllocHandle(SQL_HANDLE_STMT, conn.h, ctypes.byref(self.h))
        assert rc == SQL_SUCCESS, rc
        if query_timeout is not None:
            lib().SQLSetStmtAttrW(self.h, SQL_ATTR_QUERY_TIMEOUT, ctypes.c_void_p(query_timeout), 0)

    TEXT_CAPACITY = 1024           # characters per bound text parameter

    def bind(self, params):
        """Bind parameters; when the kinds match the previous binding, only the
        buffers change (so FreeTDS re-executes with sp_execute)."""
        params = list(params or [])
        kinds = [int if isinstance(p, int) else str for p in params]
        if self.keep and [k for k, _v, _i in self.keep] == kinds:
            for (kind, val, ind), p in zip(self.keep, params):
                self._store(kind, val, ind, p)
            return
        self.keep = []
        for k, (kind, p) in enumerate(zip(kinds, params)):
            ind = SQLLEN()
            if kind is int:
                val = ctypes.c_int()
                rc = lib().SQLBindParameter(self.h, ctypes.c_ushort(k + 1), ctypes.c_short(SQL_PARAM_INPUT),
                                            ctypes.c_short(SQL_C_SLONG), ctypes.c_short(SQL_INTEGER),
                                            ctypes.c_size_t(0), ctypes.c_short(0), ctypes.byref(val),
                                            SQLLEN(0), ctypes.byref(ind))
            else:
                val = ctypes.create_string_buffer(2 * self.TEXT_CAPACITY + 2)
                rc = lib().SQLBindParameter(self.h, ctypes.c_ushort(k + 1), ctypes.c_short(SQL_PARAM_INPUT),
                                            ctypes.c_short(SQL_C_WCHAR), ctypes.c_short(SQL_WVARCHAR),
                                            ctypes.c_size_t(self.TEXT_CAPACITY), ctypes.c_short(0), val,
                                            SQLLEN(len(val)), ctypes.byref(ind))
            if rc not in (SQL_SUCCESS, SQL_SUCCESS_WITH_INFO):
                raise OdbcError(rc, diag(SQL_HANDLE_STMT, self.h))
            self.keep.append((kind, val, ind))
            self._store(kind, val, ind, p)

    def _store(self, kind, val, ind, p):
        if p is None:
            ind.value = SQL_NULL_DATA
        elif kind is int:
            val.value = p
            ind.value = 0
        else:
            data = p.encode("utf-16-le")
            assert len(data) <= 2 * self.TEXT_CAPACITY, "parameter too long for the test client"
            ctypes.memmove(val, data + b"\0\0", len(data) + 2)
            ind.value = len(data)

    def execute_direct(self, sql, params=None):
        self.bind(params)
        return self.collect(lib().SQLExecDirectW(self.h, _w(sql), SQL_NTS))

    def execute(self, params=None):
        self.bind(params)
        return self.collect(lib().SQLExecute(self.h))

    def collect(self, rc):
        stmt = self.h
        result = StatementResult(rc, diag(SQL_HANDLE_STMT, stmt))
        if rc in (SQL_SUCCESS, SQL_SUCCESS_WITH_INFO):
            count = SQLLEN()
            lib().SQLRowCount(stmt, ctypes.byref(count))
            result.rowcount = count.value
            while True:
                cols = self._columns(stmt)
                if cols:
                    result.results.append((cols, self._rows(stmt, len(cols), result)))
                rc2 = lib().SQLMoreResults(stmt)
                if rc2 == SQL_NO_DATA:
                    break
                result.records += diag(SQL_HANDLE_STMT, stmt)
                if rc2 == SQL_ERROR:
                    result.rc = SQL_ERROR
                    break
        lib().SQLFreeStmt(stmt, ctypes.c_ushort(0))              # SQL_CLOSE
        return result

    @staticmethod
    def _columns(stmt):
        n = ctypes.c_short()
        lib().SQLNumResultCols(stmt, ctypes.byref(n))
        cols = []
        for i in range(1, n.value + 1):
            name = ctypes.create_string_buffer(512)
            namelen, dtype, digits, nullable = ctypes.c_short(), ctypes.c_short(), ctypes.c_short(), ctypes.c_short()
            size = ctypes.c_size_t()
            lib().SQLDescribeColW(stmt, ctypes.c_ushort(i), name, ctypes.c_short(255), ctypes.byref(namelen),
                                  ctypes.byref(dtype), ctypes.byref(size), ctypes.byref(digits),
                                  ctypes.byref(nullable))
            cols.append((_unw(name, namelen.value), dtype.value, size.value, nullable.value))
        return cols

    @staticmethod
    def _rows(stmt, ncols, result):
        rows = []
        buf = ctypes.create_string_buffer(65536)
        ind = SQLLEN()
        while True:
            rc = lib().SQLFetch(stmt)
            if rc == SQL_NO_DATA:
                return rows
            if rc not in (SQL_SUCCESS, SQL_SUCCESS_WITH_INFO):
                result.records += diag(SQL_HANDLE_STMT, stmt)
                result.rc = rc
                return rows
            row = []
            for i in range(1, ncols + 1):
                lib().SQLGetData(stmt, ctypes.c_ushort(i), ctypes.c_short(SQL_C_WCHAR), buf, SQLLEN(len(buf)),
                                 ctypes.byref(ind))
                row.append(None if ind.value == SQL_NULL_DATA else _unw(buf, ind.value // 2))
            rows.append(row)

    def close(self):
        if self.h is not None:
            lib().SQLFreeHandle(SQL_HANDLE_STMT, self.h)
            self.h = None
