"""SQL emulation for the SQL Server stand-in test fixture.

Each SQL Server database is one SQLite file in the data directory
(<data-dir>/<name>.sqlite); master is created at start-up.  Tables are
created in SQLite with their SQL Server declared types ("int", "char(128)",
...), so the declared type of every column can be read back from SQLite's
own schema (PRAGMA table_info).  Indexes are kept in a side table,
__standin_index, because SQL Server index names are per table while SQLite's
are per database, and because SQL Server's uniqueness rules (one NULL
allowed, case-insensitive, trailing blanks ignored) are not SQLite's.

Only the statements and behaviour the tool and its tests rely on are
emulated; see README.md.
"""

import os
import re
import sqlite3
import threading
import zlib
from decimal import Decimal

import tds

SERVER_NAME = "STANDIN"
DEFAULT_COLLATION = "Finnish_Swedish_CI_AS"
VERSION_TEXT = ("Microsoft SQL Server 2019 (RTM) - 15.0.2000.5 (X64)\n"
                "\tSQL Server stand-in test fixture (Python %s, SQLite %s)")
HIDDEN_PREFIX = "__standin_"

INT_RANGES = {
    "tinyint": (0, 255),
    "smallint": (-2 ** 15, 2 ** 15 - 1),
    "int": (-2 ** 31, 2 ** 31 - 1),
    "bigint": (-2 ** 63, 2 ** 63 - 1),
}
INT_SIZES = {"tinyint": 1, "smallint": 2, "int": 4, "bigint": 8}
INT_KINDS = set(INT_RANGES)
STRING_KINDS = {"char", "varchar", "nchar", "nvarchar"}
NUMBER_KINDS = INT_KINDS | {"bit", "float", "real", "numeric"}

TERMINATED = (3621, 1, 0, "The statement has been terminated.")


# --------------------------------------------------------------------------
# Errors

class SqlError(Exception):
    """A SQL Server error: one ERROR token, optionally followed by 3621.

    aborts_batch: SQL Server stops the rest of the batch after this error
    (conversion errors and name resolution errors do that).
    """

    def __init__(self, number, severity, state, text, terminated=False,
                 aborts_batch=False):
        super().__init__(text)
        self.number = number
        self.severity = severity
        self.state = state
        self.text = text
        self.terminated = terminated
        self.aborts_batch = aborts_batch

    def messages(self):
        out = [(self.number, self.state, self.severity, self.text)]
        if self.terminated:
            out.append(TERMINATED)
        return out


class SyntaxErr(SqlError):
    pass


def syntax_error(tok):
    if tok.kind == "id" and tok.value.upper() in RESERVED:
        return SyntaxErr(156, 15, 1, "Incorrect syntax near the keyword '%s'." % tok.text)
    return SyntaxErr(102, 15, 1, "Incorrect syntax near '%s'." % tok.text)


def not_emulated(what):
    return SqlError(50000, 16, 1, "The SQL Server stand-in does not emulate %s." % what)


def invalid_object(name):
    return SqlError(208, 16, 1, "Invalid object name '%s'." % name, aborts_batch=True)


def invalid_column(name):
    return SqlError(207, 16, 1, "Invalid column name '%s'." % name, aborts_batch=True)


# --------------------------------------------------------------------------
# Tokens

RESERVED = {
    "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "BEGIN", "BETWEEN", "BY",
    "CASE", "CHECK", "CLUSTERED", "COLLATE", "COLUMN", "COMMIT", "CONSTRAINT",
    "CREATE", "DATABASE", "DEFAULT", "DELETE", "DESC", "DISTINCT", "DROP",
    "ELSE", "END", "EXEC", "EXECUTE", "EXISTS", "FROM", "GROUP", "HAVING",
    "IDENTITY", "IF", "IN", "INDEX", "INSERT", "INTO", "IS", "JOIN", "KEY",
    "LIKE", "NONCLUSTERED", "NOT", "NULL", "ON", "OR", "ORDER", "PRIMARY",
    "PRINT", "ROLLBACK", "SELECT", "SET", "TABLE", "TOP", "TRAN",
    "TRANSACTION", "UNION", "UNIQUE", "UPDATE", "USE", "VALUES", "WHERE",
    "WITH",
}


class Tok:
    __slots__ = ("kind", "text", "value", "national")

    def __init__(self, kind, text, value=None, national=False):
        self.kind = kind          # id, qid, str, num, var, op, param, eof
        self.text = text          # as written, for error messages
        self.value = text if value is None else value
        self.national = national

    def __repr__(self):
        return "Tok(%s,%r)" % (self.kind, self.text)


_NUM_RE = re.compile(r"(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?")
_ID_RE = re.compile(r"[^\W\d][\w@$#]*|[#_][\w@$#]*", re.UNICODE)
_OPS = ("<>", "!=", "<=", ">=", "!<", "!>", "(", ")", ",", ".", "*", "=", "<",
        ">", "+", "-", "/", "%", ";")


def unclosed(rest):
    return SyntaxErr(105, 15, 1, "Unclosed quotation mark after the character string '%s'." % rest)


def delimited(sql, start, close):
    """A quoted text or bracketed name from `start`, where a doubled closing character stands
    for itself: (the index past it, its value)."""
    j = start + 1
    buf = []
    while True:
        k = sql.find(close, j)
        if k < 0:
            raise unclosed(sql[start + 1:])
        buf.append(sql[j:k])
        if sql.startswith(close, k + 1):
            buf.append(close)
            j = k + 2
            continue
        return k + 1, "".join(buf)


def tokenize(sql):
    toks = []
    i, n = 0, len(sql)
    while i < n:
        c = sql[i]
        if c.isspace():
            i += 1
            continue
        if sql.startswith("--", i):
            j = sql.find("\n", i)
            i = n if j < 0 else j + 1
            continue
        if sql.startswith("/*", i):
            depth, j = 1, i + 2
            while j < n and depth:
                if sql.startswith("/*", j):
                    depth += 1
                    j += 2
                elif sql.startswith("*/", j):
                    depth -= 1
                    j += 2
                else:
                    j += 1
            if depth:
                raise SyntaxErr(113, 15, 1, "Missing end comment mark '*/'.")
            i = j
            continue
        national = False
        if c in "Nn" and i + 1 < n and sql[i + 1] == "'":
            national = True
            i += 1
            c = "'"
        if c == "'":
            j, value = delimited(sql, i, "'")
            toks.append(Tok("str", sql[i:j], value, national))
            i = j
            continue
        if c == "[":
            j, value = delimited(sql, i, "]")
            toks.append(Tok("qid", sql[i:j], value))
            i = j
            continue
        if c == '"':
            k = sql.find('"', i + 1)
            if k < 0:
                raise unclosed(sql[i + 1:])
            toks.append(Tok("qid", sql[i:k + 1], sql[i + 1:k]))
            i = k + 1
            continue
        if c.isdigit() or (c == "." and i + 1 < n and sql[i + 1].isdigit()):
            m = _NUM_RE.match(sql, i)
            toks.append(Tok("num", m.group(0)))
            i = m.end()
            continue
        if c == "@":
            m = re.compile(r"@@?[\w@$#]*").match(sql, i)
            toks.append(Tok("var", m.group(0)))
            i = m.end()
            continue
        m = _ID_RE.match(sql, i)
        if m:
            toks.append(Tok("id", m.group(0)))
            i = m.end()
            continue
        for op in _OPS:
            if sql.startswith(op, i):
                toks.append(Tok("op", op))
                i += len(op)
                break
        else:
            raise SyntaxErr(102, 15, 1, "Incorrect syntax near '%s'." % c)
    toks.append(Tok("eof", toks[-1].text if toks else ""))
    return toks


# --------------------------------------------------------------------------
# Types and values

class ColType:
    __slots__ = ("kind", "size", "nullable")

    def __init__(self, kind, size=None, nullable=True):
        self.kind = kind
        if size is None:
            size = INT_SIZES.get(kind, 8 if kind == "float" else 4 if kind == "real" else 1)
        self.size = size
        self.nullable = nullable

    def declared(self):
        if self.kind in STRING_KINDS:
            return "%s(%d)" % (self.kind, self.size)
        return self.kind

    def tds_column(self, name, from_table=False):
        if self.kind in INT_KINDS:
            return tds.Column(name, "int", INT_SIZES[self.kind], self.nullable, from_table)
        if self.kind == "bit":
            return tds.Column(name, "bit", 1, self.nullable, from_table)
        if self.kind in ("float", "real", "numeric"):
            return tds.Column(name, "float", 4 if self.kind == "real" else 8,
                              self.nullable, from_table)
        return tds.Column(name, self.kind, self.size, self.nullable, from_table)


def parse_declared(text, notnull):
    m = re.fullmatch(r"\s*(\w+)\s*(?:\(\s*(\d+)\s*\))?\s*", text or "")
    if not m:
        raise not_emulated("the column type '%s'" % text)
    kind = m.group(1).lower()
    size = int(m.group(2)) if m.group(2) else None
    return ColType(kind, size, not notnull)


def fold(s):
    """Comparison key of Finnish_Swedish_CI_AS: case-insensitive, trailing blanks ignored."""
    return s.rstrip(" ").casefold()


_SWEDISH_ORDER = {"å": "\U000F0001", "ä": "\U000F0002", "æ": "\U000F0002",
                  "ö": "\U000F0003", "ø": "\U000F0003", "ü": "y"}


def sort_key_text(s):
    return "".join(_SWEDISH_ORDER.get(ch, ch) for ch in fold(s))


def sqlite_fold(value):
    return fold(value) if isinstance(value, str) else value


def format_key_value(v):
    if v is None:
        return "<NULL>"
    if isinstance(v, str):
        return v.rstrip(" ")
    return str(v)


def literal_value(tok):
    """(kind, value) of a literal token."""
    if tok.kind == "str":
        return ("nvarchar" if tok.national else "varchar", tok.value)
    if tok.kind == "num":
        t = tok.text
        if "e" in t or "E" in t:
            return ("float", float(t))
        if "." in t:
            return ("numeric", Decimal(t))
        v = int(t)
        if v <= INT_RANGES["int"][1]:
            return ("int", v)
        if v <= INT_RANGES["bigint"][1]:
            return ("bigint", v)
        return ("numeric", Decimal(v))
    if tok.kind == "param":
        return tok.value
    raise ValueError(tok)


def convert(value, target, column=None, ansi_warnings=True, table=None, verbose_truncation=False):
    """Convert (kind, v) to the Python value stored for column type target.

    Implements the implicit conversions SQL Server applies on INSERT/UPDATE
    and in comparisons, with its error numbers and texts. With ANSI_WARNINGS
    OFF a text longer than its column is cut without an error, as SQL Server does.
    With verbose_truncation an over-long text gives 2628 naming table
    ('db.dbo.t') and column, as SQL Server 2019 does, instead of 8152.
    """
    kind, v = value
    if v is None:
        return None
    t = target.kind
    if t in INT_KINDS:
        lo, hi = INT_RANGES[t]
        if kind in STRING_KINDS:
            s = v.strip(" ")
            if not re.fullmatch(r"[+-]?\d*", s):
                raise SqlError(245, 16, 1, "Conversion failed when converting the %s value '%s' to data type %s."
                               % (kind, v, t), aborts_batch=True)
            digits = s.lstrip("+-")
            n = int(s) if digits else 0
            if not lo <= n <= hi:
                if t in ("int", "bigint"):
                    raise SqlError(248, 16, 1, "The conversion of the %s value '%s' overflowed %s %s column."
                                   % (kind, v, "an" if t == "int" else "a", t), aborts_batch=True)
                raise SqlError(244, 16, 1, "The conversion of the %s value '%s' overflowed an %s column. "
                               "Use a larger integer column." % (kind, v, "INT1" if t == "tinyint" else "INT2"),
                               aborts_batch=True)
            return n
        if kind in ("float", "real", "numeric"):
            n = int(v)
            src = "numeric" if kind == "numeric" else "float"
        else:
            n = int(v)
            src = "expression"
        if not lo <= n <= hi:
            raise SqlError(8115, 16, 2, "Arithmetic overflow error converting %s to data type %s." % (src, t),
                           terminated=True)
        return n
    if t == "bit":
        if kind in STRING_KINDS:
            s = v.strip(" ")
            if s.upper() == "TRUE":
                return 1
            if s.upper() == "FALSE":
                return 0
            if not re.fullmatch(r"[+-]?\d+", s):
                raise SqlError(245, 16, 1, "Conversion failed when converting the %s value '%s' to data type bit."
                               % (kind, v), aborts_batch=True)
            return 1 if int(s) else 0
        return 1 if v else 0
    if t in ("float", "real", "numeric"):
        if kind in STRING_KINDS:
            try:
                return float(v.strip(" ") or "0")
            except ValueError:
                raise SqlError(8114, 16, 5, "Error converting data type %s to float." % kind,
                               aborts_batch=True)
        return float(v)
    if t in STRING_KINDS:
        if kind in STRING_KINDS:
            s = v
        else:
            s = str(v)
            if len(s) > target.size:
                raise SqlError(8115, 16, 2, "Arithmetic overflow error converting expression to data type %s."
                               % ("varchar" if t in ("char", "varchar") else "nvarchar"), terminated=True)
        if len(s) > target.size:
            if ansi_warnings and len(s.rstrip(" ")) > target.size:
                if verbose_truncation:
                    raise SqlError(2628, 16, 1, "String or binary data would be truncated in table '%s', column "
                                   "'%s'. Truncated value: '%s'." % (table, column, s[:target.size]),
                                   terminated=True)
                raise SqlError(8152, 16, 14, "String or binary data would be truncated.", terminated=True)
            s = s[:target.size]
        if t in ("char", "varchar"):
            # Characters outside the column's code page become '?'.
            s = s.encode(tds.CHAR_ENCODING, "replace").decode(tds.CHAR_ENCODING)
        return s
    raise not_emulated("data type %s" % t)


def compare(a, b):
    """Three-valued comparison of two (kind, v) values: -1/0/1 or None."""
    (ka, va), (kb, vb) = a, b
    if va is None or vb is None:
        return None
    sa, sb = ka in STRING_KINDS, kb in STRING_KINDS
    if sa and sb:
        xa, xb = sort_key_text(va), sort_key_text(vb)
    elif sa:
        xa, xb = convert(a, ColType(numeric_target(kb))), vb
    elif sb:
        xa, xb = va, convert(b, ColType(numeric_target(ka)))
    else:
        xa, xb = va, vb
    return (xa > xb) - (xa < xb)


def numeric_target(kind):
    return kind if kind in INT_KINDS or kind in ("float", "real", "bit") else "float"


def value_sort_key(value):
    kind, v = value
    if v is None:
        return (0, 0)
    if kind in STRING_KINDS:
        return (1, sort_key_text(v))
    return (1, v)


# --------------------------------------------------------------------------
# Expressions

class Expr:
    pass


class Lit(Expr):
    def __init__(self, value, text):
        self.value, self.text = value, text


class ColRef(Expr):
    def __init__(self, parts, text):
        self.parts, self.text = parts, text


class Star(Expr):
    def __init__(self, qualifier=None):
        self.qualifier = qualifier


class Var(Expr):
    def __init__(self, name):
        self.name = name


class Func(Expr):
    def __init__(self, name, args, star=False):
        self.name, self.args, self.star = name.upper(), args, star


class Unary(Expr):
    def __init__(self, op, e):
        self.op, self.e = op, e


class Bin(Expr):
    def __init__(self, op, l, r):
        self.op, self.l, self.r = op, l, r


class Cmp(Expr):
    def __init__(self, op, l, r):
        self.op, self.l, self.r = op, l, r


class Logic(Expr):
    def __init__(self, op, l, r=None):
        self.op, self.l, self.r = op, l, r


class IsNull(Expr):
    def __init__(self, e, negate):
        self.e, self.negate = e, negate


class Like(Expr):
    def __init__(self, e, pattern, negate):
        self.e, self.pattern, self.negate = e, pattern, negate


class InList(Expr):
    def __init__(self, e, items, negate):
        self.e, self.items, self.negate = e, items, negate


AGGREGATES = {"COUNT", "MAX", "MIN", "SUM"}


def has_aggregate(e):
    if isinstance(e, Func):
        return e.name in AGGREGATES or any(has_aggregate(a) for a in e.args)
    for attr in ("e", "l", "r"):
        sub = getattr(e, attr, None)
        if isinstance(sub, Expr) and has_aggregate(sub):
            return True
    return False


# --------------------------------------------------------------------------
# Statements

class Stmt:
    kind = ""


class SelectStmt(Stmt):
    kind = "select"

    def __init__(self):
        self.distinct = False
        self.top = None
        self.items = []           # (expr, alias)
        self.source = None        # qualified name parts
        self.alias = None
        self.where = None
        self.order = []           # (expr, descending)


class InsertStmt(Stmt):
    kind = "insert"

    def __init__(self, table, columns, rows):
        self.table, self.columns, self.rows = table, columns, rows


class UpdateStmt(Stmt):
    kind = "update"

    def __init__(self, table, sets, where):
        self.table, self.sets, self.where = table, sets, where


class DeleteStmt(Stmt):
    kind = "delete"

    def __init__(self, table, where):
        self.table, self.where = table, where


class CreateDatabaseStmt(Stmt):
    kind = "create_database"

    def __init__(self, name, collation):
        self.name, self.collation = name, collation


class CreateTableStmt(Stmt):
    kind = "create_table"

    def __init__(self, table, columns):
        self.table, self.columns = table, columns     # columns: (name, ColType)


class CreateIndexStmt(Stmt):
    kind = "create_index"

    def __init__(self, name, table, columns, unique, clustered):
        self.name, self.table, self.columns = name, table, columns
        self.unique, self.clustered = unique, clustered


class DropStmt(Stmt):
    kind = "drop"

    def __init__(self, what, name, table=None):
        self.what, self.name, self.table = what, name, table


class UseStmt(Stmt):
    kind = "use"

    def __init__(self, name):
        self.name = name


class SetStmt(Stmt):
    kind = "set"

    def __init__(self, option, value):
        self.option, self.value = option, value


class ExecStmt(Stmt):
    kind = "exec"

    def __init__(self, name):
        self.name = name


class TranStmt(Stmt):
    kind = "tran"

    def __init__(self, action, only_if_open=False):
        self.action, self.only_if_open = action, only_if_open


# --------------------------------------------------------------------------
# Parser

STATEMENT_STARTS = {"SELECT", "INSERT", "UPDATE", "DELETE", "CREATE", "DROP",
                    "USE", "SET", "BEGIN", "COMMIT", "ROLLBACK", "IF", "EXEC", "EXECUTE"}


class Parser:
    def __init__(self, tokens):
        self.t = tokens
        self.i = 0

    # -- token helpers
    def peek(self, k=0):
        return self.t[min(self.i + k, len(self.t) - 1)]

    def next(self):
        tok = self.peek()
        if tok.kind != "eof":
            self.i += 1
        return tok

    def fail(self, tok=None):
        raise syntax_error(tok or self.peek())

    def is_kw(self, word, k=0):
        tok = self.peek(k)
        return tok.kind == "id" and tok.value.upper() == word

    def accept_kw(self, *words):
        for w in words:
            if self.is_kw(w):
                return self.next()
        return None

    def expect_kw(self, word):
        if not self.is_kw(word):
            self.fail()
        return self.next()

    def is_op(self, op, k=0):
        tok = self.peek(k)
        return tok.kind == "op" and tok.value == op

    def accept_op(self, op):
        if self.is_op(op):
            return self.next()
        return None

    def expect_op(self, op):
        if not self.is_op(op):
            self.fail()
        return self.next()

    def name(self):
        tok = self.peek()
        if tok.kind == "qid" or (tok.kind == "id" and tok.value.upper() not in RESERVED):
            return self.next().value
        self.fail()

    def qualified(self):
        """Up to four dot-separated parts; db..name leaves the schema empty."""
        parts = [self.name()]
        while self.is_op("."):
            self.next()
            if self.is_op("."):
                parts.append("")
                continue
            parts.append(self.name())
        if len(parts) > 4:
            self.fail()
        return parts

    def at_statement_end(self):
        tok = self.peek()
        return (tok.kind == "eof" or (tok.kind == "op" and tok.value == ";")
                or (tok.kind == "id" and tok.value.upper() in STATEMENT_STARTS))

    # -- batch
    def batch(self):
        stmts = []
        while True:
            while self.accept_op(";"):
                pass
            if self.peek().kind == "eof":
                return stmts
            stmts.append(self.statement())

    def statement(self):
        tok = self.peek()
        if tok.kind != "id":
            self.fail()
        word = tok.value.upper()
        handler = {
            "SELECT": self.select_stmt, "INSERT": self.insert_stmt,
            "UPDATE": self.update_stmt, "DELETE": self.delete_stmt,
            "CREATE": self.create_stmt, "DROP": self.drop_stmt,
            "USE": self.use_stmt, "SET": self.set_stmt,
            "BEGIN": self.begin_stmt, "COMMIT": self.commit_stmt,
            "ROLLBACK": self.commit_stmt, "IF": self.if_stmt,
            "EXEC": self.exec_stmt, "EXECUTE": self.exec_stmt,
        }.get(word)
        if handler is None:
            self.fail(self.peek(1) if self.peek(1).kind != "eof" else tok)
        return handler()

    # -- SELECT
    def select_stmt(self):
        self.expect_kw("SELECT")
        s = SelectStmt()
        if self.accept_kw("DISTINCT"):
            s.distinct = True
        else:
            self.accept_kw("ALL")
        if self.accept_kw("TOP"):
            paren = self.accept_op("(")
            tok = self.next()
            if tok.kind == "num" and tok.text.isdigit():
                s.top = int(tok.text)
            elif tok.kind == "param" and isinstance(tok.value[1], int):
                s.top = tok.value[1]
            else:
                self.fail(tok)
            if paren:
                self.expect_op(")")
        while True:
            if self.is_op("*"):
                self.next()
                s.items.append((Star(), None))
            elif (self.peek().kind in ("id", "qid") and self.is_op(".", 1) and self.is_op("*", 2)):
                q = self.next().value
                self.next()
                self.next()
                s.items.append((Star(q), None))
            else:
                e = self.expr()
                alias = None
                if self.accept_kw("AS"):
                    alias = self.alias_name()
                elif self.peek().kind in ("qid", "str") or (
                        self.peek().kind == "id" and self.peek().value.upper() not in RESERVED):
                    alias = self.alias_name()
                s.items.append((e, alias))
            if not self.accept_op(","):
                break
        if self.accept_kw("FROM"):
            s.source = self.qualified()
            if self.accept_kw("AS"):
                s.alias = self.name()
            elif self.peek().kind == "qid" or (
                    self.peek().kind == "id" and self.peek().value.upper() not in RESERVED):
                s.alias = self.name()
            if self.accept_kw("WITH"):
                self.expect_op("(")
                while not self.accept_op(")"):
                    if self.peek().kind == "eof":
                        self.fail()
                    self.next()
        if self.accept_kw("WHERE"):
            s.where = self.expr()
        if self.accept_kw("ORDER"):
            self.expect_kw("BY")
            while True:
                e = self.expr()
                desc = False
                if self.accept_kw("DESC"):
                    desc = True
                else:
                    self.accept_kw("ASC")
                s.order.append((e, desc))
                if not self.accept_op(","):
                    break
        for word in ("GROUP", "HAVING", "UNION", "JOIN"):
            if self.is_kw(word):
                raise not_emulated("%s in SELECT" % word)
        if self.is_op(","):
            raise not_emulated("more than one table in FROM")
        return s

    def alias_name(self):
        tok = self.next()
        if tok.kind in ("qid", "str") or (tok.kind == "id" and tok.value.upper() not in RESERVED):
            return tok.value
        self.fail(tok)

    # -- INSERT / UPDATE / DELETE
    def insert_stmt(self):
        self.expect_kw("INSERT")
        self.accept_kw("INTO")
        table = self.qualified()
        columns = None
        if self.accept_op("("):
            columns = [self.name()]
            while self.accept_op(","):
                columns.append(self.name())
            self.expect_op(")")
        if self.is_kw("SELECT") or self.is_kw("DEFAULT"):
            raise not_emulated("INSERT other than INSERT ... VALUES")
        self.expect_kw("VALUES")
        rows = []
        while True:
            self.expect_op("(")
            row = [self.expr()]
            while self.accept_op(","):
                row.append(self.expr())
            self.expect_op(")")
            rows.append(row)
            if not self.accept_op(","):
                break
        return InsertStmt(table, columns, rows)

    def update_stmt(self):
        self.expect_kw("UPDATE")
        table = self.qualified()
        self.expect_kw("SET")
        sets = []
        while True:
            col = self.qualified()[-1]
            self.expect_op("=")
            sets.append((col, self.expr()))
            if not self.accept_op(","):
                break
        where = self.expr() if self.accept_kw("WHERE") else None
        return UpdateStmt(table, sets, where)

    def delete_stmt(self):
        self.expect_kw("DELETE")
        self.accept_kw("FROM")
        table = self.qualified()
        where = self.expr() if self.accept_kw("WHERE") else None
        return DeleteStmt(table, where)

    # -- DDL
    def create_stmt(self):
        self.expect_kw("CREATE")
        if self.accept_kw("DATABASE"):
            name = self.name()
            collation = None
            if self.accept_kw("COLLATE"):
                collation = self.name()
            if not self.at_statement_end():
                raise not_emulated("CREATE DATABASE options other than COLLATE")
            return CreateDatabaseStmt(name, collation)
        if self.accept_kw("TABLE"):
            return self.create_table_rest()
        unique = bool(self.accept_kw("UNIQUE"))
        clustered = False
        if self.accept_kw("CLUSTERED"):
            clustered = True
        else:
            self.accept_kw("NONCLUSTERED")
        if self.accept_kw("INDEX"):
            name = self.name()
            self.expect_kw("ON")
            table = self.qualified()
            self.expect_op("(")
            cols = []
            while True:
                col = self.name()
                desc = bool(self.accept_kw("DESC"))
                if not desc:
                    self.accept_kw("ASC")
                cols.append((col, desc))
                if not self.accept_op(","):
                    break
            self.expect_op(")")
            if self.accept_kw("WITH") or self.is_kw("INCLUDE") or self.is_kw("WHERE"):
                raise not_emulated("CREATE INDEX options")
            return CreateIndexStmt(name, table, cols, unique, clustered)
        if self.peek().kind == "id" and self.peek().value.upper() in (
                "VIEW", "PROCEDURE", "PROC", "FUNCTION", "TRIGGER", "LOGIN", "USER", "SCHEMA"):
            raise not_emulated("CREATE %s" % self.peek().value.upper())
        self.fail()

    def create_table_rest(self):
        table = self.qualified()
        self.expect_op("(")
        columns = []
        while True:
            if self.is_kw("CONSTRAINT") or self.is_kw("PRIMARY") or self.is_kw("UNIQUE"):
                raise not_emulated("table constraints")
            col = self.name()
            tname_tok = self.peek()
            tname = self.name().lower()
            size = None
            if self.accept_op("("):
                tok = self.next()
                if tok.kind == "num" and tok.text.isdigit():
                    size = int(tok.text)
                elif tok.kind == "id" and tok.value.upper() == "MAX":
                    raise not_emulated("(max) column types")
                else:
                    self.fail(tok)
                if self.accept_op(","):
                    self.next()
                self.expect_op(")")
            ctype = self.column_type(tname, size, tname_tok, len(columns) + 1)
            while True:
                if self.accept_kw("NULL"):
                    ctype.nullable = True
                elif self.is_kw("NOT") and self.is_kw("NULL", 1):
                    self.next()
                    self.next()
                    ctype.nullable = False
                elif self.accept_kw("COLLATE"):
                    self.name()
                elif self.peek().kind == "id" and self.peek().value.upper() in (
                        "PRIMARY", "UNIQUE", "DEFAULT", "IDENTITY", "CHECK", "CONSTRAINT", "REFERENCES"):
                    raise not_emulated("column constraints (%s)" % self.peek().value.upper())
                else:
                    break
            columns.append((col, ctype))
            if not self.accept_op(","):
                break
        self.expect_op(")")
        return CreateTableStmt(table, columns)

    @staticmethod
    def column_type(tname, size, tok, ordinal):
        if tname == "integer":
            tname = "int"
        if tname in ("character",):
            tname = "char"
        if tname == "sysname":
            return ColType("nvarchar", 128)
        if tname in INT_KINDS or tname == "bit":
            return ColType(tname)
        if tname == "float":
            return ColType("real" if size is not None and size <= 24 else "float")
        if tname == "real":
            return ColType("real")
        if tname in STRING_KINDS:
            n = 1 if size is None else size
            limit = 8000 if tname in ("char", "varchar") else 4000
            if not 1 <= n <= limit:
                raise SqlError(131, 15, 2, "The size (%d) given to the column '%s' exceeds the maximum allowed "
                               "for any data type (%d)." % (n, tok.value, limit))
            return ColType(tname, n)
        if tname in ("datetime", "datetime2", "date", "time", "smalldatetime", "decimal",
                     "numeric", "money", "smallmoney", "text", "ntext", "image", "binary",
                     "varbinary", "uniqueidentifier", "xml", "datetimeoffset"):
            raise not_emulated("the data type %s" % tname)
        raise SqlError(2715, 16, 6, "Column, parameter, or variable #%d: Cannot find data type %s."
                       % (ordinal, tok.value))

    def drop_stmt(self):
        self.expect_kw("DROP")
        if self.accept_kw("DATABASE"):
            return DropStmt("database", self.name())
        if self.accept_kw("TABLE"):
            return DropStmt("table", self.qualified())
        if self.accept_kw("INDEX"):
            parts = self.qualified()
            if self.accept_kw("ON"):
                return DropStmt("index", parts[-1], self.qualified())
            if len(parts) < 2:
                self.fail()
            return DropStmt("index", parts[-1], parts[:-1])
        self.fail()

    def exec_stmt(self):
        self.next()
        name = ".".join(self.qualified())
        while not self.at_statement_end():
            self.next()
        return ExecStmt(name)

    # -- session statements
    def use_stmt(self):
        self.expect_kw("USE")
        return UseStmt(self.name())

    def set_stmt(self):
        self.expect_kw("SET")
        tok = self.next()
        if tok.kind != "id":
            if tok.kind == "var":
                raise not_emulated("variables")
            self.fail(tok)
        option = tok.value.upper()
        words = []
        while not self.at_statement_end():
            t = self.next()
            if t.kind == "op" and t.value == ",":
                continue
            words.append(t.value if t.kind != "num" else t.text)
        if not words:
            self.fail(self.peek())
        return SetStmt(option, " ".join(str(w) for w in words))

    def begin_stmt(self):
        self.expect_kw("BEGIN")
        if not (self.accept_kw("TRAN") or self.accept_kw("TRANSACTION")):
            raise not_emulated("BEGIN ... END blocks")
        if self.peek().kind in ("id", "qid") and not self.at_statement_end():
            self.next()
        return TranStmt("begin")

    def commit_stmt(self):
        word = self.next().value.upper()
        if not (self.accept_kw("TRAN") or self.accept_kw("TRANSACTION")):
            self.accept_kw("WORK")
        if self.peek().kind in ("id", "qid") and not self.at_statement_end():
            self.next()
        return TranStmt("commit" if word == "COMMIT" else "rollback")

    def if_stmt(self):
        # Only the transaction clean-up idiom: IF @@TRANCOUNT > 0 COMMIT|ROLLBACK
        self.expect_kw("IF")
        tok = self.next()
        if not (tok.kind == "var" and tok.value.upper() == "@@TRANCOUNT"):
            raise not_emulated("IF statements other than IF @@TRANCOUNT > 0 ...")
        self.expect_op(">")
        n = self.next()
        if n.kind != "num" or n.text != "0":
            self.fail(n)
        if not (self.is_kw("COMMIT") or self.is_kw("ROLLBACK")):
            raise not_emulated("IF statements other than IF @@TRANCOUNT > 0 ...")
        stmt = self.commit_stmt()
        stmt.only_if_open = True
        return stmt

    # -- expressions
    def expr(self):
        e = self.and_expr()
        while self.accept_kw("OR"):
            e = Logic("OR", e, self.and_expr())
        return e

    def and_expr(self):
        e = self.not_expr()
        while self.accept_kw("AND"):
            e = Logic("AND", e, self.not_expr())
        return e

    def not_expr(self):
        if self.accept_kw("NOT"):
            return Logic("NOT", self.not_expr())
        return self.predicate()

    def predicate(self):
        e = self.additive()
        tok = self.peek()
        if tok.kind == "op" and tok.value in ("=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"):
            self.next()
            op = {"!=": "<>", "!<": ">=", "!>": "<="}.get(tok.value, tok.value)
            return Cmp(op, e, self.additive())
        if self.accept_kw("IS"):
            negate = bool(self.accept_kw("NOT"))
            self.expect_kw("NULL")
            return IsNull(e, negate)
        negate = False
        if self.is_kw("NOT") and (self.is_kw("LIKE", 1) or self.is_kw("IN", 1)):
            self.next()
            negate = True
        if self.accept_kw("LIKE"):
            return Like(e, self.additive(), negate)
        if self.accept_kw("IN"):
            self.expect_op("(")
            items = [self.expr()]
            while self.accept_op(","):
                items.append(self.expr())
            self.expect_op(")")
            return InList(e, items, negate)
        if negate:
            self.fail()
        return e

    def additive(self):
        e = self.multiplicative()
        while self.is_op("+") or self.is_op("-"):
            op = self.next().value
            e = Bin(op, e, self.multiplicative())
        return e

    def multiplicative(self):
        e = self.unary()
        while self.is_op("*") or self.is_op("/") or self.is_op("%"):
            op = self.next().value
            e = Bin(op, e, self.unary())
        return e

    def unary(self):
        if self.is_op("-") or self.is_op("+"):
            op = self.next().value
            inner = self.unary()
            if isinstance(inner, Lit) and inner.value[0] in NUMBER_KINDS and inner.value[1] is not None:
                kind, v = inner.value
                if op == "-":
                    v = -v
                    if kind == "numeric" and v == INT_RANGES["int"][0]:
                        kind, v = "int", int(v)
                    elif kind == "bigint" and v == INT_RANGES["int"][0]:
                        kind = "int"
                return Lit((kind, v), op + inner.text)
            return Unary(op, inner)
        return self.primary()

    def primary(self):
        tok = self.peek()
        if tok.kind in ("num", "str", "param"):
            self.next()
            return Lit(literal_value(tok), tok.text)
        if tok.kind == "var":
            self.next()
            if not tok.value.startswith("@@"):
                raise SqlError(137, 15, 2, 'Must declare the scalar variable "%s".' % tok.value,
                               aborts_batch=True)
            return Var(tok.value.upper())
        if tok.kind == "op" and tok.value == "(":
            self.next()
            if self.is_kw("SELECT"):
                raise not_emulated("subqueries")
            e = self.expr()
            self.expect_op(")")
            return e
        if tok.kind == "id" and tok.value.upper() == "NULL":
            self.next()
            return Lit(("int", None), "NULL")
        if tok.kind in ("id", "qid"):
            if tok.kind == "id" and self.is_op("(", 1):
                name = self.next().value
                self.next()
                args, star = [], False
                if self.accept_op("*"):
                    star = True
                elif not self.is_op(")"):
                    self.accept_kw("DISTINCT")
                    args.append(self.expr())
                    while self.accept_op(","):
                        args.append(self.expr())
                self.expect_op(")")
                return Func(name, args, star)
            if tok.kind == "id" and tok.value.upper() in RESERVED:
                self.fail()
            start = self.i
            parts = self.qualified()
            text = ".".join(t.text for t in self.t[start:self.i] if t.kind != "op")
            return ColRef(parts, text)
        self.fail()


def parse_batch(sql, params=None):
    toks = tokenize(sql)
    if params:
        for k, tok in enumerate(toks):
            if tok.kind == "var" and not tok.value.startswith("@@"):
                p = params.get(tok.value.lower())
                if p is not None:
                    toks[k] = Tok("param", tok.text, p)
    return Parser(toks).batch()


# --------------------------------------------------------------------------
# Catalog: the databases in the data directory

class Table:
    def __init__(self, name, columns, indexes):
        self.name = name
        self.columns = columns                       # [(name, ColType)]
        self.by_name = {c[0].lower(): i for i, c in enumerate(columns)}
        self.indexes = indexes                       # [Index]

    def column(self, name):
        i = self.by_name.get(name.lower())
        if i is None:
            raise invalid_column(name)
        return i


class Index:
    def __init__(self, name, unique, clustered, columns):
        self.name, self.unique, self.clustered, self.columns = name, unique, clustered, columns


class Catalog:
    """The data directory, shared by all sessions."""

    def __init__(self, data_dir):
        self.dir = os.path.abspath(data_dir)
        os.makedirs(self.dir, exist_ok=True)
        self.lock = threading.Lock()
        self.sessions = set()
        self.sessions_lock = threading.Lock()
        if self.find("master") is None:
            self._init_file(os.path.join(self.dir, "master.sqlite"), "master", DEFAULT_COLLATION)
        # As on SQL Server, every new database starts as a copy of model.
        if self.find("model") is None:
            self._init_file(os.path.join(self.dir, "model.sqlite"), "model", DEFAULT_COLLATION)

    def path_of(self, name):
        return os.path.join(self.dir, name + ".sqlite")

    def databases(self):
        """[(name, path)] with master first."""
        out = []
        for fn in sorted(os.listdir(self.dir)):
            if fn.endswith(".sqlite"):
                out.append((fn[:-len(".sqlite")], os.path.join(self.dir, fn)))
        out.sort(key=lambda d: (d[0].lower() != "master", d[0].lower()))
        return out

    def find(self, name):
        key = name.casefold()
        for db, path in self.databases():
            if db.casefold() == key:
                return db, path
        return None

    @staticmethod
    def _init_file(path, name, collation):
        con = sqlite3.connect(path, isolation_level=None)
        try:
            con.execute("CREATE TABLE IF NOT EXISTS __standin_database(name TEXT, collation TEXT)")
            con.execute("DELETE FROM __standin_database")
            con.execute("INSERT INTO __standin_database VALUES (?, ?)", (name, collation))
            con.execute("CREATE TABLE IF NOT EXISTS __standin_index(table_name TEXT, index_name TEXT, "
                        "is_unique INTEGER, is_clustered INTEGER, columns TEXT)")
        finally:
            con.close()

    def create(self, name, collation):
        if not name or name.startswith(".") or any(c in name for c in "/\\\0:*?\"<>|") or len(name) > 123:
            raise SqlError(50000, 16, 1, "The SQL Server stand-in cannot store a database named '%s'." % name)
        with self.lock:
            if self.find(name) is not None:
                raise SqlError(1801, 16, 3, "Database '%s' already exists. Choose a different database name." % name)
            path = self.path_of(name)
            tmp = path + ".creating"
            source = sqlite3.connect(self.find("model")[1])
            target = sqlite3.connect(tmp)
            try:
                source.backup(target)
            finally:
                target.close()
                source.close()
            self._init_file(tmp, name, collation or DEFAULT_COLLATION)
            os.replace(tmp, path)

    def drop(self, name, requester):
        with self.lock:
            found = self.find(name)
            if found is None or found[0].lower() == "master":
                if found is not None:
                    raise SqlError(3708, 16, 1, "Cannot drop the database 'master' because it is a system database.")
                raise SqlError(3701, 11, 1, "Cannot drop the database '%s', because it does not exist or you do "
                                             "not have permission." % name)
            with self.sessions_lock:
                in_use = any(s.db.lower() == found[0].lower() for s in self.sessions)
            if in_use:
                raise SqlError(3702, 16, 4, 'Cannot drop database "%s" because it is currently in use.' % found[0])
            requester.forget_db(found[0])       # other sessions notice the file is gone on next use
            os.remove(found[1])
            for suffix in ("-journal", "-wal", "-shm"):
                try:
                    os.remove(found[1] + suffix)
                except FileNotFoundError:
                    pass

    def collation_of(self, path):
        try:
            con = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
            try:
                row = con.execute("SELECT collation FROM __standin_database").fetchone()
                return row[0] if row else DEFAULT_COLLATION
            finally:
                con.close()
        except sqlite3.Error:
            return DEFAULT_COLLATION


def object_id(name):
    return (zlib.crc32(name.lower().encode("utf-8")) & 0x3FFFFFFF) | 0x10000000


# --------------------------------------------------------------------------
# Statement results

class Result:
    """What one statement produced, in the order the tokens go out."""

    def __init__(self, curcmd=tds.CMD_OTHER):
        self.events = []          # ("env", type, new, old) | ("msg", number, state, severity, text)
        self.columns = None       # [tds.Column] when the statement returns rows
        self.rows = []
        self.count = None         # row count for DONE_COUNT
        self.curcmd = curcmd
        self.error = False

    def env(self, env_type, new, old):
        self.events.append(("env", env_type, new, old))

    def msg(self, number, state, severity, text):
        self.events.append(("msg", number, state, severity, text))
        if severity > 10:
            self.error = True


# --------------------------------------------------------------------------
# Session: one client connection's state

class Session:
    def __init__(self, catalog, conn_no, user, can_create=True, ansi_warnings=True, verbose_truncation=False):
        self.catalog = catalog
        self.conn_no = conn_no
        self.spid = 50 + conn_no
        self.user = user
        self.can_create = can_create
        self.db = "master"
        self.cons = {}                 # lower db name -> (sqlite3.Connection, path, inode)
        self.trancount = 0
        self.tran_dbs = set()
        self.tran_seq = 0
        self.tran_desc = b"\0" * 8
        self.implicit = False
        self.nocount = False
        self.ansi_warnings = ansi_warnings
        self.verbose_truncation = verbose_truncation
        self.rowcount_limit = 0
        self.last_rowcount = 0
        with catalog.sessions_lock:
            catalog.sessions.add(self)

    def close(self):
        with self.catalog.sessions_lock:
            self.catalog.sessions.discard(self)
        for con, _path, _ino in self.cons.values():
            try:
                if con.in_transaction:
                    con.execute("ROLLBACK")
                con.close()
            except sqlite3.Error:
                pass
        self.cons.clear()

    def forget_db(self, name):
        cached = self.cons.pop(name.lower(), None)
        if cached is not None:
            try:
                cached[0].close()
            except sqlite3.Error:
                pass

    # -- connections and transactions
    def _con(self, dbname):
        key = dbname.lower()
        cached = self.cons.get(key)
        if cached is not None and key not in self.tran_dbs:
            # A database dropped (or its file replaced) since: do not keep using the old file.
            try:
                if os.stat(cached[1]).st_ino != cached[2]:
                    raise FileNotFoundError
            except FileNotFoundError:
                self.forget_db(key)
                cached = None
        if cached is None:
            found = self.catalog.find(dbname)
            if found is None:
                raise SqlError(911, 16, 1, "Database '%s' does not exist. Make sure that the name is entered "
                                           "correctly." % dbname)
            con = sqlite3.connect(found[1], timeout=10, isolation_level=None, check_same_thread=False)
            con.execute("PRAGMA synchronous=OFF")
            con.create_function("ss_fold", 1, sqlite_fold, deterministic=True)
            cached = (con, found[1], os.stat(found[1]).st_ino)
            self.cons[key] = cached
        con = cached[0]
        if self.trancount and key not in self.tran_dbs:
            con.execute("BEGIN")
            self.tran_dbs.add(key)
        return con

    def begin_tran(self, res):
        if self.trancount == 0:
            self.tran_seq += 1
            self.tran_desc = (self.spid << 32 | self.tran_seq).to_bytes(8, "little")
            res.env(tds.ENV_BEGIN_TRAN, self.tran_desc, b"")
        self.trancount += 1

    def end_tran(self, res, commit):
        for key in list(self.tran_dbs):
            con = self.cons.get(key, (None,))[0]
            if con is not None and con.in_transaction:
                con.execute("COMMIT" if commit else "ROLLBACK")
        self.tran_dbs.clear()
        self.trancount = 0
        res.env(tds.ENV_COMMIT_TRAN if commit else tds.ENV_ROLLBACK_TRAN, b"", self.tran_desc)

    def _implicit_begin(self, res):
        if self.implicit and self.trancount == 0:
            self.begin_tran(res)

    def write(self, dbname, res, fn):
        """Run fn(con) as one statement: atomic, and inside the open transaction if any."""
        self._implicit_begin(res)
        con = self._con(dbname)
        try:
            if self.trancount:
                con.execute("SAVEPOINT standin_stmt")
                try:
                    out = fn(con)
                except BaseException:
                    con.execute("ROLLBACK TO standin_stmt")
                    con.execute("RELEASE standin_stmt")
                    raise
                con.execute("RELEASE standin_stmt")
                return out
            con.execute("BEGIN IMMEDIATE")
            try:
                out = fn(con)
            except BaseException:
                con.execute("ROLLBACK")
                raise
            con.execute("COMMIT")
            return out
        except sqlite3.OperationalError as e:
            if "locked" in str(e) or "busy" in str(e):
                raise SqlError(1222, 16, 56, "Lock request time out period exceeded.", terminated=True)
            raise

    def read_con(self, dbname, res):
        self._implicit_begin(res)
        return self._con(dbname)

    # -- names
    def split_name(self, parts):
        """(database, schema, object) from a qualified name."""
        parts = list(parts)
        if len(parts) == 4:
            raise not_emulated("linked servers")
        while len(parts) < 3:
            parts.insert(0, "")
        db, schema, obj = parts
        return (db or self.db), (schema or "dbo"), obj

    def load_table(self, con, name):
        if name.lower().startswith(HIDDEN_PREFIX):
            return None
        row = con.execute("SELECT name FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE",
                          (name,)).fetchone()
        if row is None:
            return None
        real = row[0]
        cols = [(r[1], parse_declared(r[2], r[3])) for r in con.execute('PRAGMA table_info("%s")' % qi(real))]
        idx = [Index(r[0], bool(r[1]), bool(r[2]), r[3].split(","))
               for r in con.execute("SELECT index_name, is_unique, is_clustered, columns FROM __standin_index "
                                    "WHERE table_name=? COLLATE NOCASE", (real,))]
        return Table(real, cols, idx)

    def table_for(self, parts, res, writing):
        db, _schema, obj = self.split_name(parts)
        try:
            con = self.read_con(db, res) if not writing else self._con(db)
        except SqlError as e:
            if e.number == 911:
                raise invalid_object(".".join(p for p in parts))
            raise
        t = self.load_table(con, obj)
        if t is None:
            raise invalid_object(obj if len(parts) == 1 else ".".join(parts))
        return db, con, t

    # -- batches
    def execute(self, sql, params=None):
        """Run a batch; return a list of Result, one per statement."""
        try:
            stmts = parse_batch(sql, params)
        except SqlError as e:
            res = Result()
            for m in e.messages():
                res.msg(*m)
            return [res]
        results = []
        for stmt in stmts:
            res = Result()
            try:
                self.run(stmt, res)
            except SqlError as e:
                for m in e.messages():
                    # A failing SELECT modifies nothing, so SQL Server does not add 3621.
                    if m is not TERMINATED or stmt.kind != "select":
                        res.msg(*m)
                res.columns = None
                res.rows = []
                res.count = None
                results.append(res)
                if e.aborts_batch:
                    break
                continue
            results.append(res)
        if not results:
            results.append(Result())
        return results

    def run(self, stmt, res):
        getattr(self, "do_" + stmt.kind)(stmt, res)

    # -- USE / SET / transactions
    def do_use(self, stmt, res):
        found = self.catalog.find(stmt.name)
        if found is None:
            raise SqlError(911, 16, 1, "Database '%s' does not exist. Make sure that the name is entered "
                                       "correctly." % stmt.name)
        self.change_db(found[0], res)

    def change_db(self, name, res):
        old = self.db
        self.db = name
        res.env(tds.ENV_DATABASE, name, old)
        res.msg(5701, 2, 0, "Changed database context to '%s'." % name)

    def do_exec(self, stmt, res):
        # No stored procedures exist here.
        raise SqlError(2812, 16, 62, "Could not find stored procedure '%s'." % stmt.name)

    def do_set(self, stmt, res):
        value = stmt.value.upper()
        if stmt.option == "IMPLICIT_TRANSACTIONS":
            self.implicit = value == "ON"
        elif stmt.option == "NOCOUNT":
            self.nocount = value == "ON"
        elif stmt.option == "ANSI_WARNINGS":
            self.ansi_warnings = value == "ON"
        elif stmt.option == "ROWCOUNT":
            try:
                self.rowcount_limit = max(0, int(value))
            except ValueError:
                raise not_emulated("SET ROWCOUNT with a variable")
        # Every other SET option is accepted and has no effect here.

    def do_tran(self, stmt, res):
        if stmt.action == "begin":
            self.begin_tran(res)
            return
        if self.trancount == 0:
            if stmt.only_if_open:
                return
            if stmt.action == "commit":
                raise SqlError(3902, 16, 1, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.")
            raise SqlError(3903, 16, 1, "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.")
        if stmt.action == "commit" and self.trancount > 1:
            self.trancount -= 1
            return
        self.end_tran(res, stmt.action == "commit")

    def transaction_request(self, request, begin_new):
        """A transaction manager request from the client (TDS 7.2+ autocommit off)."""
        res = Result()
        try:
            if request == tds.TM_BEGIN_XACT:
                self.begin_tran(res)
            elif request in (tds.TM_COMMIT_XACT, tds.TM_ROLLBACK_XACT):
                commit = request == tds.TM_COMMIT_XACT
                if self.trancount == 0:
                    if commit:
                        raise SqlError(3902, 16, 1, "The COMMIT TRANSACTION request has no corresponding "
                                                    "BEGIN TRANSACTION.")
                    raise SqlError(3903, 16, 1, "The ROLLBACK TRANSACTION request has no corresponding "
                                                "BEGIN TRANSACTION.")
                self.end_tran(res, commit)
                if begin_new:
                    self.begin_tran(res)
            else:
                raise not_emulated("transaction manager request %d" % request)
        except SqlError as e:
            for m in e.messages():
                res.msg(*m)
        return res

    # -- CREATE / DROP DATABASE
    def do_create_database(self, stmt, res):
        if not self.can_create:
            raise SqlError(262, 14, 1, "CREATE DATABASE permission denied in database '%s'." % self.db)
        if self.trancount:
            raise SqlError(226, 16, 6, "CREATE DATABASE statement not allowed within multi-statement transaction.")
        self.catalog.create(stmt.name, stmt.collation)

    def do_drop(self, stmt, res):
        if stmt.what == "database":
            if self.trancount:
                raise SqlError(226, 16, 6, "DROP DATABASE statement not allowed within multi-statement "
                                           "transaction.")
            self.catalog.drop(stmt.name, self)
            return
        if stmt.what == "table":
            db, _s, obj = self.split_name(stmt.name)

            def drop(con):
                t = self.load_table(con, obj)
                if t is None:
                    raise SqlError(3701, 11, 5, "Cannot drop the table '%s', because it does not exist or you do "
                                                "not have permission." % ".".join(stmt.name))
                con.execute('DROP TABLE "%s"' % qi(t.name))
                con.execute("DELETE FROM __standin_index WHERE table_name=?", (t.name,))
            self.write(db, res, drop)
            return
        db, _s, obj = self.split_name(stmt.table)

        def drop_index(con):
            t = self.load_table(con, obj)
            found = t and [i for i in t.indexes if i.name.lower() == stmt.name.lower()]
            if not found:
                raise SqlError(3701, 11, 7, "Cannot drop the index '%s.%s', because it does not exist or you do "
                                            "not have permission." % (".".join(stmt.table), stmt.name))
            con.execute("DELETE FROM __standin_index WHERE table_name=? AND index_name=?",
                        (t.name, found[0].name))
            con.execute('DROP INDEX IF EXISTS "%s"' % qi(sqlite_index_name(t.name, found[0].name)))
        self.write(db, res, drop_index)

    # -- CREATE TABLE / INDEX
    def do_create_table(self, stmt, res):
        db, _s, obj = self.split_name(stmt.table)
        if obj.lower().startswith(HIDDEN_PREFIX) or obj.startswith("#"):
            raise not_emulated("the table name '%s'" % obj)
        seen = set()
        for name, _t in stmt.columns:
            if name.lower() in seen:
                raise SqlError(2705, 16, 3, "Column names in each table must be unique. Column name '%s' in "
                                            "table '%s' is specified more than once." % (name, obj))
            seen.add(name.lower())

        def create(con):
            if self.load_table(con, obj) is not None:
                raise SqlError(2714, 16, 6, "There is already an object named '%s' in the database." % obj)
            cols = ", ".join('"%s" %s%s' % (qi(n), t.declared(), "" if t.nullable else " NOT NULL")
                             for n, t in stmt.columns)
            con.execute('CREATE TABLE "%s" (%s)' % (qi(obj), cols))
        self.write(db, res, create)

    def do_create_index(self, stmt, res):
        db, _s, obj = self.split_name(stmt.table)

        def create(con):
            t = self.load_table(con, obj)
            if t is None:
                raise SqlError(1088, 16, 12, 'Cannot find the object "%s" because it does not exist or you do not '
                                             'have permissions.' % obj)
            cols = []
            for name, _desc in stmt.columns:
                if name.lower() not in t.by_name:
                    raise SqlError(1911, 16, 1, "Column name '%s' does not exist in the target table or view." % name)
                cols.append(t.columns[t.by_name[name.lower()]][0])
            for ix in t.indexes:
                if ix.name.lower() == stmt.name.lower():
                    raise SqlError(1913, 16, 1, "The operation failed because an index or statistics with name "
                                                "'%s' already exists on table '%s'." % (stmt.name, t.name))
            if stmt.clustered:
                for ix in t.indexes:
                    if ix.clustered:
                        raise SqlError(1902, 16, 3, "Cannot create more than one clustered index on table '%s'. "
                                                    "Drop the existing clustered index '%s' before creating "
                                                    "another." % (t.name, ix.name))
            if stmt.unique:
                seen = {}
                sel = ", ".join('"%s"' % qi(c) for c in cols)
                for row in con.execute('SELECT %s FROM "%s" ORDER BY rowid' % (sel, qi(t.name))):
                    key = tuple(sqlite_fold(v) for v in row)
                    if key in seen:
                        raise SqlError(1505, 16, 1, "The CREATE UNIQUE INDEX statement terminated because a "
                                                    "duplicate key was found for the object name 'dbo.%s' and the "
                                                    "index name '%s'. The duplicate key value is (%s)."
                                       % (t.name, stmt.name, ", ".join(format_key_value(v) for v in row)),
                                       terminated=True)
                    seen[key] = True
            con.execute("INSERT INTO __standin_index VALUES (?, ?, ?, ?, ?)",
                        (t.name, stmt.name, int(stmt.unique), int(stmt.clustered), ",".join(cols)))
            # A plain SQLite index on the same columns keeps duplicate checks fast.
            con.execute('CREATE INDEX IF NOT EXISTS "%s" ON "%s" (%s)'
                        % (qi(sqlite_index_name(t.name, stmt.name)), qi(t.name),
                           ", ".join('"%s"' % qi(c) for c in cols)))
        self.write(db, res, create)

    # -- INSERT / UPDATE / DELETE
    def do_insert(self, stmt, res):
        res.curcmd = tds.CMD_INSERT
        db, _con, t = self.table_for(stmt.table, res, writing=True)
        if stmt.columns is None:
            targets = list(range(len(t.columns)))
        else:
            targets = []
            for name in stmt.columns:
                i = t.column(name)
                if i in targets:
                    raise SqlError(264, 16, 1, "The column name '%s' is specified more than once in the SET clause "
                                               "or column list of an INSERT. A column cannot be assigned more than "
                                               "one value in the same clause. Modify the clause to make sure that a "
                                               "column is updated only once. If this clause updates or inserts "
                                               "columns in a view, column aliasing can conceal the duplication in "
                                               "your code." % name)
                targets.append(i)
        for row in stmt.rows:
            if len(row) != len(targets):
                if len(row) < len(targets):
                    raise SqlError(109, 15, 1, "There are more columns in the INSERT statement than values "
                                               "specified in the VALUES clause. The number of values in the VALUES "
                                               "clause must match the number of columns specified in the INSERT "
                                               "statement.")
                raise SqlError(110, 15, 1, "There are fewer columns in the INSERT statement than values specified "
                                           "in the VALUES clause. The number of values in the VALUES clause must "
                                           "match the number of columns specified in the INSERT statement.")
        records = []
        for row in stmt.rows:
            values = [None] * len(t.columns)
            for i, e in zip(targets, row):
                v = self.eval(e, None)
                values[i] = self.to_column(v, db, t, i)
            self.check_not_null(db, t, values, "INSERT")
            records.append(values)

        def insert(con):
            names = ", ".join('"%s"' % qi(c[0]) for c in t.columns)
            marks = ", ".join("?" * len(t.columns))
            for values in records:
                self.check_unique(con, t, values, None)
                con.execute('INSERT INTO "%s" (%s) VALUES (%s)' % (qi(t.name), names, marks), values)
            return len(records)
        res.count = self.write(db, res, insert)
        self.last_rowcount = res.count

    def to_column(self, value, db, t, i):
        """value converted for column i of table t in database db, under this session's settings."""
        name, ctype = t.columns[i]
        return convert(value, ctype, name, self.ansi_warnings, "%s.dbo.%s" % (db, t.name), self.verbose_truncation)

    def check_not_null(self, db, t, values, verb):
        for (name, ctype), v in zip(t.columns, values):
            if v is None and not ctype.nullable:
                raise SqlError(515, 16, 2, "Cannot insert the value NULL into column '%s', table '%s.dbo.%s'; "
                                           "column does not allow nulls. %s fails." % (name, db, t.name, verb),
                               terminated=True)

    def check_unique(self, con, t, values, rowid):
        for ix in t.indexes:
            if not ix.unique:
                continue
            conds, args = [], []
            key = []
            for c in ix.columns:
                i = t.by_name[c.lower()]
                v = values[i]
                key.append(v)
                if t.columns[i][1].kind in STRING_KINDS and v is not None:
                    conds.append('ss_fold("%s") = ?' % qi(c))
                    args.append(fold(v))
                else:
                    conds.append('"%s" IS ?' % qi(c))
                    args.append(v)
            sql = 'SELECT 1 FROM "%s" WHERE %s' % (qi(t.name), " AND ".join(conds))
            if rowid is not None:
                sql += " AND rowid <> ?"
                args.append(rowid)
            if con.execute(sql + " LIMIT 1", args).fetchone():
                raise SqlError(2601, 14, 1, "Cannot insert duplicate key row in object 'dbo.%s' with unique index "
                                            "'%s'. The duplicate key value is (%s)."
                               % (t.name, ix.name, ", ".join(format_key_value(v) for v in key)),
                               terminated=True)

    def table_rows(self, con, t):
        names = ", ".join('"%s"' % qi(c[0]) for c in t.columns)
        sql = 'SELECT rowid, %s FROM "%s"' % (names, qi(t.name)) if names else 'SELECT rowid FROM "%s"' % qi(t.name)
        return con.execute(sql).fetchall()

    def filtered(self, con, t, where, alias=None):
        if where is not None:
            self.check_refs(where, t.columns)
        out = []
        for raw in self.table_rows(con, t):
            row = RowCtx(t, raw[1:], raw[0], alias)
            if where is None or self.truth(where, row):
                out.append(row)
        return out

    def do_update(self, stmt, res):
        res.curcmd = tds.CMD_UPDATE
        db, _con, t = self.table_for(stmt.table, res, writing=True)
        sets = [(t.column(c), e) for c, e in stmt.sets]
        for _i, e in sets:
            self.check_refs(e, t.columns)

        def update(con):
            n = 0
            for row in self.filtered(con, t, stmt.where):
                values = list(row.values)
                for i, e in sets:
                    values[i] = self.to_column(self.eval(e, row), db, t, i)
                self.check_not_null(db, t, values, "UPDATE")
                self.check_unique(con, t, values, row.rowid)
                assign = ", ".join('"%s" = ?' % qi(t.columns[i][0]) for i, _ in sets)
                con.execute('UPDATE "%s" SET %s WHERE rowid = ?' % (qi(t.name), assign),
                            [values[i] for i, _ in sets] + [row.rowid])
                n += 1
            return n
        res.count = self.write(db, res, update)
        self.last_rowcount = res.count

    def do_delete(self, stmt, res):
        res.curcmd = tds.CMD_DELETE
        db, _con, t = self.table_for(stmt.table, res, writing=True)

        def delete(con):
            rows = self.filtered(con, t, stmt.where)
            con.executemany('DELETE FROM "%s" WHERE rowid = ?' % qi(t.name), [(r.rowid,) for r in rows])
            return len(rows)
        res.count = self.write(db, res, delete)
        self.last_rowcount = res.count

    # -- SELECT
    def do_select(self, stmt, res):
        res.curcmd = tds.CMD_SELECT
        if stmt.source is None:
            if stmt.where is not None and not self.truth(stmt.where, None):
                rows = []
            else:
                rows = [None]
            source_cols = []
        else:
            source_cols, rows = self.source_rows(stmt, res)
        # Expand the select list.
        items = []                                   # (expr, name, ColType)
        for e, alias in stmt.items:
            if isinstance(e, Star):
                if stmt.source is None:
                    raise SqlError(263, 16, 1, "Must specify table to select from.")
                for i, (name, ctype) in enumerate(source_cols):
                    items.append((ColRef([name], name), name, ctype))
                continue
            ctype = self.type_of(e, source_cols)
            name = alias if alias is not None else (e.parts[-1] if isinstance(e, ColRef) else "")
            if isinstance(e, ColRef) and alias is None:
                i = self.lookup_col(source_cols, e)
                name = source_cols[i][0]
            items.append((e, name, ctype))
        aliases = {n.lower() for _e, n, _t in items if n}
        for e, _desc in stmt.order:
            self.check_refs(e, source_cols, aliases)
        aggregate = any(has_aggregate(e) for e, _, _ in items)
        if aggregate:
            out_rows = [[self.eval_aggregate(e, rows) for e, _, _ in items]]
            ordered = out_rows
        else:
            if stmt.order:
                rows = self.sort_rows(rows, stmt, items)
            ordered = [[self.eval(e, r) for e, _, _ in items] for r in rows]
            if stmt.distinct:
                seen, unique = set(), []
                for r in ordered:
                    key = tuple(value_sort_key(v) for v in r)
                    if key not in seen:
                        seen.add(key)
                        unique.append(r)
                ordered = unique
        limit = stmt.top
        if self.rowcount_limit and (limit is None or self.rowcount_limit < limit):
            limit = self.rowcount_limit
        if limit is not None:
            ordered = ordered[:limit]
        res.columns = [ctype.tds_column(name, from_table=isinstance(e, ColRef)) for e, name, ctype in items]
        out = []
        for r in ordered:
            vals = []
            for (e, name, ctype), v in zip(items, r):
                vals.append(self.output_value(v, ctype))
            out.append(vals)
        res.rows = out
        res.count = len(out)
        self.last_rowcount = res.count

    def output_value(self, value, ctype):
        kind, v = value
        if v is None:
            return None
        if ctype.kind in STRING_KINDS:
            return v if isinstance(v, str) else str(v)
        if ctype.kind in INT_KINDS or ctype.kind == "bit":
            return int(v)
        return float(v)

    def sort_rows(self, rows, stmt, items):
        keyed = []
        for r in rows:
            keys = []
            for e, desc in stmt.order:
                if isinstance(e, Lit) and e.value[0] == "int":
                    k = e.value[1]
                    if not 1 <= k <= len(items):
                        raise SqlError(108, 16, 1, "The ORDER BY position number %d is out of range of the "
                                                   "number of items in the select list." % k)
                    v = self.eval(items[k - 1][0], r)
                elif isinstance(e, ColRef) and len(e.parts) == 1 and any(
                        n.lower() == e.parts[0].lower() and not isinstance(x, ColRef) for x, n, _ in items):
                    x = [x for x, n, _ in items if n.lower() == e.parts[0].lower()][0]
                    v = self.eval(x, r)
                else:
                    v = self.eval(e, r)
                keys.append(value_sort_key(v))
            keyed.append((keys, r))
        for pos in range(len(stmt.order) - 1, -1, -1):
            keyed.sort(key=lambda kr: kr[0][pos], reverse=stmt.order[pos][1])
        return [r for _, r in keyed]

    def source_rows(self, stmt, res):
        parts = stmt.source
        db, schema, obj = self.split_name(parts)
        lschema, lobj = schema.lower(), obj.lower()
        if lschema in ("sys", "information_schema") or lobj == "sysdatabases":
            cols, data = self.virtual_table(db, lschema, lobj, parts)
            t = Table(obj, cols, [])
            if stmt.where is not None:
                self.check_refs(stmt.where, cols)
            rows = []
            for k, values in enumerate(data):
                row = RowCtx(t, values, k, stmt.alias)
                if stmt.where is None or self.truth(stmt.where, row):
                    rows.append(row)
            return cols, rows
        db, con, t = self.table_for(parts, res, writing=False)
        return t.columns, self.filtered(con, t, stmt.where, stmt.alias)

    def virtual_table(self, db, schema, obj, parts):
        name = ColType("nvarchar", 128, False)
        intnn = ColType("int", None, False)
        if obj in ("databases", "sysdatabases") and schema in ("sys", "dbo"):
            cols = [("name", name), ("database_id", intnn), ("collation_name", ColType("nvarchar", 128)),
                    ("state_desc", ColType("nvarchar", 60))]
            data = []
            for k, (dbname, path) in enumerate(self.catalog.databases()):
                dbid = 1 if dbname.lower() == "master" else 4 + k
                data.append((dbname, dbid, self.catalog.collation_of(path), "ONLINE"))
            return cols, data
        try:
            con = self._con(db)
        except SqlError:
            raise invalid_object(".".join(parts))
        tables = [r[0] for r in con.execute("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name")
                  if not r[0].lower().startswith(HIDDEN_PREFIX)]
        if schema == "sys" and obj in ("tables", "objects"):
            cols = [("name", name), ("object_id", intnn), ("type", ColType("char", 2, False)),
                    ("type_desc", ColType("nvarchar", 60))]
            return cols, [(n, object_id(n), "U", "USER_TABLE") for n in tables]
        if schema == "sys" and obj == "indexes":
            cols = [("object_id", intnn), ("name", ColType("nvarchar", 128)), ("index_id", intnn),
                    ("type", ColType("tinyint", None, False)), ("type_desc", ColType("nvarchar", 60)),
                    ("is_unique", ColType("bit", None, False))]
            data = []
            for n in tables:
                t = self.load_table(con, n)
                for k, ix in enumerate(t.indexes):
                    data.append((object_id(n), ix.name, (1 if ix.clustered else 2) + k, 1 if ix.clustered else 2,
                                 "CLUSTERED" if ix.clustered else "NONCLUSTERED", int(ix.unique)))
            return cols, data
        if schema == "information_schema" and obj == "tables":
            cols = [("TABLE_CATALOG", name), ("TABLE_SCHEMA", name), ("TABLE_NAME", name),
                    ("TABLE_TYPE", ColType("varchar", 10))]
            return cols, [(db, "dbo", n, "BASE TABLE") for n in tables]
        if schema == "information_schema" and obj == "columns":
            cols = [("TABLE_CATALOG", name), ("TABLE_SCHEMA", name), ("TABLE_NAME", name),
                    ("COLUMN_NAME", name), ("ORDINAL_POSITION", ColType("int")),
                    ("IS_NULLABLE", ColType("varchar", 3)), ("DATA_TYPE", ColType("nvarchar", 128)),
                    ("CHARACTER_MAXIMUM_LENGTH", ColType("int"))]
            data = []
            for n in tables:
                t = self.load_table(con, n)
                for k, (cname, ctype) in enumerate(t.columns):
                    data.append((db, "dbo", n, cname, k + 1, "YES" if ctype.nullable else "NO", ctype.kind,
                                 ctype.size if ctype.kind in STRING_KINDS else None))
            return cols, data
        raise invalid_object(".".join(parts))

    # -- expression evaluation
    def check_refs(self, e, cols, aliases=()):
        """Raise 207 for a column name the source does not have, even when no row is read."""
        if isinstance(e, ColRef):
            if len(e.parts) == 1 and e.parts[0].lower() in aliases:
                return
            self.lookup_col(cols, e)
            return
        for attr in ("e", "l", "r", "pattern"):
            sub = getattr(e, attr, None)
            if isinstance(sub, Expr):
                self.check_refs(sub, cols, aliases)
        for sub in getattr(e, "args", None) or getattr(e, "items", None) or []:
            if isinstance(sub, Expr):
                self.check_refs(sub, cols, aliases)

    @staticmethod
    def lookup_col(cols, ref):
        name = ref.parts[-1].lower()
        for i, (n, _t) in enumerate(cols):
            if n.lower() == name:
                return i
        raise invalid_column(ref.parts[-1])

    def type_of(self, e, cols):
        if isinstance(e, Lit):
            kind, v = e.value
            if kind in STRING_KINDS:
                return ColType(kind, max(1, len(v)) if v is not None else 1, v is None)
            if kind == "numeric":
                return ColType("float", 8, False)
            return ColType(kind, None, v is None)
        if isinstance(e, ColRef):
            return cols[self.lookup_col(cols, e)][1]
        if isinstance(e, Var):
            return {
                "@@VERSION": ColType("nvarchar", 300, False),
                "@@SPID": ColType("smallint", None, False),
                "@@SERVERNAME": ColType("nvarchar", 128, False),
                "@@SERVICENAME": ColType("nvarchar", 128, False),
                "@@LANGUAGE": ColType("nvarchar", 128, False),
            }.get(e.name, ColType("int", None, False))
        if isinstance(e, Func):
            if e.name == "COUNT":
                return ColType("int", None, False)
            if e.name in ("MAX", "MIN", "UPPER", "LOWER", "RTRIM", "LTRIM", "ISNULL", "COALESCE"):
                t = self.type_of(e.args[0], cols) if e.args else ColType("int")
                kind = t.kind
                if e.name in ("UPPER", "LOWER", "RTRIM", "LTRIM"):
                    # The string functions return varchar/nvarchar, so char padding goes.
                    kind = {"char": "varchar", "nchar": "nvarchar"}.get(kind, kind)
                return ColType(kind, t.size, True)
            if e.name == "SUM":
                t = self.type_of(e.args[0], cols)
                return ColType("bigint" if t.kind == "bigint" else "int" if t.kind in INT_KINDS else "float")
            if e.name in ("LEN", "DATALENGTH", "OBJECT_ID", "DB_ID", "HAS_PERMS_BY_NAME"):
                return ColType("int")
            return ColType("nvarchar", 128)
        if isinstance(e, Unary):
            return self.type_of(e.e, cols)
        if isinstance(e, Bin):
            a, b = self.type_of(e.l, cols), self.type_of(e.r, cols)
            if a.kind in STRING_KINDS and b.kind in STRING_KINDS and e.op == "+":
                return ColType("nvarchar" if "n" in (a.kind[0], b.kind[0]) else "varchar",
                               min(8000, a.size + b.size))
            return a if a.kind not in STRING_KINDS else b
        raise not_emulated("this expression in a select list")

    def truth(self, e, row):
        v = self.eval_bool(e, row)
        return v is True

    def eval_bool(self, e, row):
        if isinstance(e, Logic):
            a = self.eval_bool(e.l, row)
            if e.op == "NOT":
                return None if a is None else not a
            b = self.eval_bool(e.r, row)
            if e.op == "AND":
                if a is False or b is False:
                    return False
                return None if a is None or b is None else True
            if a is True or b is True:
                return True
            return None if a is None or b is None else False
        if isinstance(e, Cmp):
            c = compare(self.eval(e.l, row), self.eval(e.r, row))
            if c is None:
                return None
            return {"=": c == 0, "<>": c != 0, "<": c < 0, ">": c > 0, "<=": c <= 0, ">=": c >= 0}[e.op]
        if isinstance(e, IsNull):
            isnull = self.eval(e.e, row)[1] is None
            return isnull != e.negate
        if isinstance(e, Like):
            kind, v = self.eval(e.e, row)
            _pk, pv = self.eval(e.pattern, row)
            if v is None or pv is None:
                return None
            rx = "".join(".*" if ch == "%" else "." if ch == "_" else re.escape(ch) for ch in str(pv))
            hit = re.fullmatch(rx, str(v).rstrip(" ") if kind == "char" else str(v),
                               re.IGNORECASE | re.DOTALL) is not None
            return hit != e.negate
        if isinstance(e, InList):
            v = self.eval(e.e, row)
            seen_null = False
            for item in e.items:
                c = compare(v, self.eval(item, row))
                if c == 0:
                    return not e.negate
                if c is None:
                    seen_null = True
            return None if seen_null else e.negate
        raise SqlError(4145, 15, 1, "An expression of non-boolean type specified in a context where a condition "
                                    "is expected.")

    def eval(self, e, row):
        """Value of an expression as (kind, python value)."""
        if isinstance(e, Lit):
            return e.value
        if isinstance(e, ColRef):
            if row is None:
                raise SqlError(128, 15, 1, 'The name "%s" is not permitted in this context. Valid expressions are '
                                           'constants, constant expressions, and (in some contexts) variables. '
                                           'Column names are not permitted.' % e.text)
            return row.get(e)
        if isinstance(e, Var):
            return self.eval_var(e.name)
        if isinstance(e, Func):
            return self.eval_func(e, row)
        if isinstance(e, Unary):
            kind, v = self.eval(e.e, row)
            if v is None or e.op == "+":
                return kind, v
            if kind in STRING_KINDS:
                raise SqlError(8117, 16, 1, "Operand data type %s is invalid for minus operator." % kind)
            return kind, -v
        if isinstance(e, Bin):
            return self.eval_bin(e, row)
        if isinstance(e, (Cmp, Logic, IsNull, Like, InList)):
            raise syntax_error(Tok("op", "="))
        raise not_emulated("this expression")

    def eval_bin(self, e, row):
        a, b = self.eval(e.l, row), self.eval(e.r, row)
        if a[1] is None or b[1] is None:
            return (a[0] if a[0] not in STRING_KINDS else b[0], None)
        if e.op == "+" and a[0] in STRING_KINDS and b[0] in STRING_KINDS:
            kind = "nvarchar" if "nvarchar" in (a[0], b[0]) or "nchar" in (a[0], b[0]) else "varchar"
            return kind, a[1] + b[1]
        if a[0] in STRING_KINDS:
            a = (b[0], convert(a, ColType(numeric_target(b[0]))))
        if b[0] in STRING_KINDS:
            b = (a[0], convert(b, ColType(numeric_target(a[0]))))
        x, y = a[1], b[1]
        kind = "float" if "float" in (a[0], b[0]) else "numeric" if "numeric" in (a[0], b[0]) else \
            "bigint" if "bigint" in (a[0], b[0]) else "int"
        if e.op in ("/", "%") and y == 0:
            raise SqlError(8134, 16, 1, "Divide by zero error encountered.", terminated=True)
        if e.op == "+":
            r = x + y
        elif e.op == "-":
            r = x - y
        elif e.op == "*":
            r = x * y
        elif e.op == "/":
            r = int(x / y) if kind in INT_KINDS else x / y
        else:
            r = int(x - y * int(x / y)) if kind in INT_KINDS else x % y
        if kind in INT_KINDS and not INT_RANGES[kind][0] <= r <= INT_RANGES[kind][1]:
            raise SqlError(8115, 16, 2, "Arithmetic overflow error converting expression to data type %s." % kind,
                           terminated=True)
        return kind, r

    def eval_var(self, name):
        import platform
        if name == "@@VERSION":
            return "nvarchar", VERSION_TEXT % (platform.python_version(), sqlite3.sqlite_version)
        if name == "@@SPID":
            return "smallint", self.spid
        if name == "@@TRANCOUNT":
            return "int", self.trancount
        if name == "@@ROWCOUNT":
            return "int", self.last_rowcount
        if name in ("@@SERVERNAME", "@@SERVICENAME"):
            return "nvarchar", SERVER_NAME if name == "@@SERVERNAME" else "MSSQLSERVER"
        if name == "@@LANGUAGE":
            return "nvarchar", "us_english"
        if name == "@@ERROR":
            return "int", 0
        if name == "@@OPTIONS":
            return "int", 5496
        raise SqlError(137, 15, 2, 'Must declare the scalar variable "%s".' % name, aborts_batch=True)

    def eval_func(self, e, row):
        n = e.name
        args = [self.eval(a, row) for a in e.args]
        if n in AGGREGATES:
            raise SqlError(147, 15, 1, "An aggregate may not appear in the WHERE clause unless it is in a subquery "
                                       "contained in a HAVING clause or a select list, and the column being "
                                       "aggregated is an outer reference.")
        if n == "DB_NAME" and not args:
            return "nvarchar", self.db
        if n in ("USER_NAME", "SUSER_SNAME", "SUSER_NAME", "CURRENT_USER") and not args:
            return "nvarchar", "dbo" if n == "USER_NAME" else self.user
        if n == "OBJECT_ID" and args:
            name = args[0][1]
            if name is None:
                return "int", None
            parts = [p.strip("[]") for p in name.split(".")]
            db, _s, obj = self.split_name(parts)
            try:
                con = self._con(db)
            except SqlError:
                return "int", None
            t = self.load_table(con, obj)
            return "int", object_id(t.name) if t else None
        if n == "HAS_PERMS_BY_NAME":
            # Only the server permission that the nocreate flag takes away.
            if [v for _k, v in args] != [None, None, "CREATE ANY DATABASE"]:
                raise not_emulated("HAS_PERMS_BY_NAME other than HAS_PERMS_BY_NAME(NULL, NULL, "
                                   "'CREATE ANY DATABASE')")
            return "int", int(self.can_create)
        if n == "DB_ID":
            name = args[0][1] if args else self.db
            dbs = [d for d, _ in self.catalog.databases()]
            for k, d in enumerate(dbs):
                if d.lower() == str(name).lower():
                    return "int", 1 if d.lower() == "master" else 4 + k
            return "int", None
        if n in ("UPPER", "LOWER", "RTRIM", "LTRIM") and len(args) == 1:
            kind, v = args[0]
            if v is None:
                return kind, None
            v = str(v)
            return kind, {"UPPER": v.upper, "LOWER": v.lower, "RTRIM": lambda: v.rstrip(" "),
                          "LTRIM": lambda: v.lstrip(" ")}[n]()
        if n in ("LEN", "DATALENGTH") and len(args) == 1:
            kind, v = args[0]
            if v is None:
                return "int", None
            s = str(v)
            return "int", len(s.rstrip(" ")) if n == "LEN" else len(s) * (2 if kind[0] == "n" else 1)
        if n in ("ISNULL", "COALESCE") and args:
            for a in args:
                if a[1] is not None:
                    return a
            return args[0]
        raise SqlError(195, 15, 10, "'%s' is not a recognized built-in function name." % e.name)

    def eval_aggregate(self, e, rows):
        if isinstance(e, Func) and e.name in AGGREGATES:
            if e.name == "COUNT":
                if e.star:
                    return "int", len(rows)
                return "int", sum(1 for r in rows if self.eval(e.args[0], r)[1] is not None)
            vals = [self.eval(e.args[0], r) for r in rows]
            vals = [v for v in vals if v[1] is not None]
            kind = self.type_of(e.args[0], rows[0].table.columns if rows else []).kind if rows else "int"
            if not vals:
                return kind, None
            if e.name == "SUM":
                return kind, sum(v[1] for v in vals)
            best = vals[0]
            for v in vals[1:]:
                c = compare(v, best)
                if (e.name == "MAX" and c > 0) or (e.name == "MIN" and c < 0):
                    best = v
            return best
        if isinstance(e, Lit):
            return e.value
        if isinstance(e, Var):
            return self.eval_var(e.name)
        if isinstance(e, ColRef):
            raise SqlError(8120, 16, 1, "Column '%s' is invalid in the select list because it is not contained in "
                                        "either an aggregate function or the GROUP BY clause." % e.text)
        raise not_emulated("this expression with aggregates")


class RowCtx:
    """One source row during evaluation."""

    __slots__ = ("table", "values", "rowid", "alias")

    def __init__(self, table, values, rowid, alias):
        self.table, self.values, self.rowid, self.alias = table, values, rowid, alias

    def get(self, ref):
        if len(ref.parts) > 1:
            q = ref.parts[-2].lower()
            if q not in (self.table.name.lower(), (self.alias or "").lower()):
                raise SqlError(4104, 16, 1, 'The multi-part identifier "%s" could not be bound.' % ref.text)
        i = self.table.by_name.get(ref.parts[-1].lower())
        if i is None:
            raise invalid_column(ref.parts[-1])
        return self.table.columns[i][1].kind, self.values[i]


def qi(name):
    """Quote an identifier for SQLite (inside double quotes)."""
    return name.replace('"', '""')


def sqlite_index_name(table, index):
    return "%s%s$%s" % (HIDDEN_PREFIX, table, index)
