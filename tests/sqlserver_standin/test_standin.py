"""Self-test of the SQL Server stand-in test fixture.

Starts standin.py and drives it with the real FreeTDS ODBC driver through
the real unixODBC driver manager (odbc_client.py, wide API, as Daltrix
uses it), plus FreeTDS's tsql and unixODBC's isql for the command-line view.

    python3 -m unittest discover -s tests/sqlserver_standin
"""

import json
import os
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import odbc_client as oc  # noqa: E402

STANDIN = os.path.join(HERE, "standin.py")
P = "[FreeTDS][SQL Server]"
TERMINATED = ("01000", 3621, P + "The statement has been terminated.")

_tmp_root = tempfile.mkdtemp(prefix="standin-selftest-")
oc.registered_driver_dir(os.path.join(_tmp_root, "odbc"))
_env = None


def env():
    global _env
    if _env is None:
        _env = oc.Env()
    return _env


def tearDownModule():
    shutil.rmtree(_tmp_root, ignore_errors=True)


class StandIn:
    """One stand-in process in a folder of its own."""

    def __init__(self, *args):
        self.dir = tempfile.mkdtemp(dir=_tmp_root)
        self.data = os.path.join(self.dir, "data")
        self.port_file = os.path.join(self.dir, "port")
        self.record = os.path.join(self.dir, "record.jsonl")
        self.stderr_path = os.path.join(self.dir, "stderr")
        self.stderr = open(self.stderr_path, "w")
        self.proc = subprocess.Popen(
            [sys.executable, STANDIN, "--port", "0", "--port-file", self.port_file, "--data-dir", self.data,
             "--record", self.record] + list(args),
            stdout=subprocess.PIPE, stderr=self.stderr, text=True)
        deadline = time.time() + 10
        while not os.path.exists(self.port_file):
            if self.proc.poll() is not None or time.time() > deadline:
                raise RuntimeError("stand-in did not start: %s" % self.log())
            time.sleep(0.02)
        with open(self.port_file) as f:
            self.port = int(f.read())
        self.banner = self.proc.stdout.readline()

    def log(self):
        self.stderr.flush()
        with open(self.stderr_path) as f:
            return f.read()

    def connect_string(self, uid="sa", pwd="secret", extra=""):
        return ("DRIVER={SQL Server};SERVER=127.0.0.1;PORT=%d;UID=%s;PWD=%s;TDS_Version=7.4%s"
                % (self.port, uid, pwd, extra))

    def connect(self, uid="sa", pwd="secret", extra="", login_timeout=5):
        return oc.Connection(env(), self.connect_string(uid, pwd, extra), login_timeout)

    def records(self):
        with open(self.record, encoding="utf-8") as f:
            return [json.loads(line) for line in f]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stdout.close()
        self.stderr.close()
        return self.proc.returncode


class StandInCase(unittest.TestCase):
    """One shared stand-in per test class; each test uses databases of its own."""

    server_args = ()

    @classmethod
    def setUpClass(cls):
        cls.server = StandIn(*cls.server_args)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def setUp(self):
        self.conns = []

    def tearDown(self):
        for c in self.conns:
            c.close()
        self.assertNotIn("Traceback", self.server.log(), "the stand-in logged a Python exception")

    def connect(self, **kw):
        c = self.server.connect(**kw)
        self.conns.append(c)
        return c

    def fresh_db(self, c, name):
        self.ok(c, "CREATE DATABASE [%s] COLLATE Finnish_Swedish_CI_AS" % name)
        r = c.execute("USE [%s]" % name)
        self.assertEqual(r.rc, oc.SQL_SUCCESS_WITH_INFO, r.records)
        return c

    def ok(self, c, sql, params=None, prepare=False):
        r = c.execute(sql, params, prepare)
        self.assertIn(r.rc, (oc.SQL_SUCCESS, oc.SQL_SUCCESS_WITH_INFO, oc.SQL_NO_DATA),
                      "%s -> %s" % (sql, r.records))
        return r

    def fails(self, c, sql, *expected, params=None, prepare=False):
        """The statement fails with exactly these diagnostic records (sqlstate ignored when None)."""
        r = c.execute(sql, params, prepare)
        self.assertEqual(r.rc, oc.SQL_ERROR, "%s should fail; got %s" % (sql, r.records))
        got = [(s if e[0] is not None else None, n, m) for (s, n, m), e in zip(r.records, expected)]
        self.assertEqual(got, list(expected), sql)
        self.assertEqual(len(r.records), len(expected), r.records)
        return r


# --------------------------------------------------------------------------

class ProcessTest(unittest.TestCase):
    def test_port_file_banner_and_clean_sigterm(self):
        s = StandIn()
        try:
            self.assertIn("127.0.0.1:%d" % s.port, s.banner)
            self.assertFalse([f for f in os.listdir(s.dir) if f.endswith(".tmp")], "temporary port file left")
            with socket.create_connection(("127.0.0.1", s.port), timeout=2):
                pass
            self.assertTrue(os.path.exists(os.path.join(s.data, "master.sqlite")))
        finally:
            rc = s.stop()
        self.assertEqual(rc, 0)
        with self.assertRaises(OSError):
            socket.create_connection(("127.0.0.1", s.port), timeout=1).close()

    def test_bad_login_option_is_rejected(self):
        r = subprocess.run([sys.executable, STANDIN, "--data-dir", os.path.join(_tmp_root, "x"),
                            "--login", "justauser"], capture_output=True, text=True, timeout=10)
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("USER:PASSWORD", r.stderr)


class OpenLoginTest(StandInCase):
    """Without --login every login is accepted."""

    def test_any_login_connects_without_sending_sql(self):
        c = self.connect(uid="whoever", pwd="anything")
        self.assertEqual(c.connect_rc, oc.SQL_SUCCESS)
        r = self.ok(c, "select db_name(), suser_sname()")
        self.assertEqual(r.rows, [["master", "whoever"]])
        self.assertEqual([e["sql"] for e in self.server.records() if e["sql"] != "select db_name(), suser_sname()"], [])

    def test_tds_version_auto(self):
        c = oc.Connection(env(), self.server.connect_string().replace("TDS_Version=7.4", "TDS_Version=auto"))
        self.conns.append(c)
        self.assertEqual(self.ok(c, "select 1").rows, [["1"]])

    def test_initial_database_from_connect_string(self):
        c = self.connect()
        self.ok(c, "CREATE DATABASE [StartHere]")
        c2 = self.connect(extra=";DATABASE=StartHere")
        self.assertEqual(self.ok(c2, "select db_name()").rows, [["StartHere"]])
        with self.assertRaises(oc.OdbcError) as cm:
            self.server.connect(extra=";DATABASE=NoSuchDb")
        natives = [r[1] for r in cm.exception.records]
        self.assertIn(4060, natives)
        self.assertIn((("42000", 18456, P + "Login failed for user 'sa'.")), cm.exception.records)


class LoginListTest(StandInCase):
    server_args = ("--login", "sa:secret", "--login", "reader:pw:nocreate")

    def test_right_password_connects(self):
        self.connect(uid="sa", pwd="secret")
        self.connect(uid="SA", pwd="secret")          # login names are case-insensitive

    def test_wrong_password_and_unknown_user_fail_with_18456(self):
        for uid, pwd in (("sa", "Secret"), ("nobody", "secret"), ("reader", "")):
            with self.assertRaises(oc.OdbcError) as cm:
                self.server.connect(uid=uid, pwd=pwd)
            self.assertEqual(cm.exception.records[0], ("42000", 18456, P + "Login failed for user '%s'." % uid))

    def test_nocreate_login_gets_262_naming_the_current_database(self):
        admin = self.connect()
        self.ok(admin, "CREATE DATABASE [ReaderDb]")
        c = self.connect(uid="reader", pwd="pw")
        self.fails(c, "CREATE DATABASE [Varnik_tqsys] COLLATE Finnish_Swedish_CI_AS",
                   ("42000", 262, P + "CREATE DATABASE permission denied in database 'master'."))
        self.ok(c, "USE [ReaderDb]")
        self.fails(c, "CREATE DATABASE [Varnik_tqsys]",
                   ("42000", 262, P + "CREATE DATABASE permission denied in database 'ReaderDb'."))
        self.assertEqual(self.ok(admin, "select count(*) from sys.databases where name = 'Varnik_tqsys'").rows,
                         [["0"]])
        # Everything else is allowed for that login.
        self.ok(c, "CREATE TABLE T(a int)")
        self.assertEqual(self.ok(c, "INSERT INTO T VALUES (1)").rowcount, 1)


    def test_has_perms_by_name_create_any_database_follows_nocreate(self):
        for uid, pwd, allowed in (("sa", "secret", "1"), ("reader", "pw", "0")):
            r = self.ok(self.connect(uid=uid, pwd=pwd), "SELECT HAS_PERMS_BY_NAME(NULL, NULL, 'CREATE ANY DATABASE')")
            self.assertEqual((r.rows, r.columns[0][1]), ([[allowed]], 4), uid)      # SQL_INTEGER
        c = self.connect()
        for args in ("NULL, NULL, 'ALTER ANY LOGIN'", "'master', 'DATABASE', 'CREATE ANY DATABASE'", "NULL, NULL"):
            self.fails(c, "SELECT HAS_PERMS_BY_NAME(%s)" % args,
                       (None, 50000, P + "The SQL Server stand-in does not emulate HAS_PERMS_BY_NAME other than "
                                         "HAS_PERMS_BY_NAME(NULL, NULL, 'CREATE ANY DATABASE')."))


class RefusedLoginTest(StandInCase):
    server_args = ("--refuse-logins",)

    def test_every_login_fails(self):
        with self.assertRaises(oc.OdbcError) as cm:
            self.server.connect(uid="sa", pwd="secret")
        self.assertEqual(cm.exception.records[0], ("42000", 18456, P + "Login failed for user 'sa'."))


class SilentTest(StandInCase):
    server_args = ("--silent",)

    def test_login_timeout_fires(self):
        t0 = time.time()
        with self.assertRaises(oc.OdbcError) as cm:
            self.server.connect(login_timeout=2)
        elapsed = time.time() - t0
        self.assertEqual(cm.exception.records[0][0], "HYT00", cm.exception.records)
        self.assertGreater(elapsed, 1.5)
        self.assertLess(elapsed, 8)


class FaultCase(StandInCase):
    """A table with one row, on a stand-in whose fault (once per stand-in) takes a later statement."""

    def setUp(self):
        super().setUp()
        self.c = self.fresh_db(self.connect(), "Fault")
        self.ok(self.c, "CREATE TABLE T(a int, b varchar(20))")
        self.ok(self.c, "INSERT INTO T VALUES (1, 'Acme')")

    def rows_seen_anew(self):
        return self.ok(self.connect(extra=";DATABASE=Fault"), "select a, b from T order by a").rows

    def faults_recorded(self):
        return [(e["sql"], e.get("fault")) for e in self.server.records() if "fault" in e]


class DropOnTest(FaultCase):
    server_args = ("--drop-on", "Björk")

    def test_the_first_matching_batch_closes_its_connection_unanswered_and_unrun(self):
        r = self.c.execute("INSERT INTO T VALUES (7, 'Björk')")
        self.assertEqual(r.rc, oc.SQL_ERROR)
        self.assertEqual(r.records, [("01000", 20017, P + "Unexpected EOF from the server")])
        self.assertEqual(self.c.execute("select 1").records, [("08S01", 0, P + "Communication link failure")])
        self.assertEqual(self.rows_seen_anew(), [["1", "Acme"]])
        # Spent: the same text on a new connection runs.
        self.ok(self.connect(extra=";DATABASE=Fault"), "INSERT INTO T VALUES (7, 'Björk')")
        self.assertEqual(self.rows_seen_anew(), [["1", "Acme"], ["7", "Björk"]])
        self.assertEqual(self.faults_recorded(), [("INSERT INTO T VALUES (7, 'Björk')", "drop")])
        self.assertEqual([e["sql"] for e in self.server.records()].count("INSERT INTO T VALUES (7, 'Björk')"), 2)
        self.assertIn("fault drop on", self.server.log())


class HangOnTest(FaultCase):
    server_args = ("--hang-on", "'Hang'")

    def test_the_first_matching_rpc_is_never_answered_not_even_its_cancel(self):
        other = self.connect(extra=";DATABASE=Fault")
        t0 = time.time()
        r = self.c.execute("INSERT INTO T VALUES (?, 'Hang')", params=[9], query_timeout=1)
        elapsed = time.time() - t0
        self.assertEqual(r.records, [("HYT00", 0, P + "Timeout expired")])
        # FreeTDS waits once for the answer and once more for the cancel's acknowledgement.
        self.assertGreater(elapsed, 1.5)
        self.assertLess(elapsed, 5)
        self.assertIn("hanging: ignored request type 0x06", self.server.log())
        self.assertEqual(self.c.execute("select 1", query_timeout=1).records,
                         [("08S01", 0, P + "Communication link failure")])
        # Other connections, open before or made after, are served; the statement never ran.
        self.assertEqual(self.ok(other, "select count(*) from T").rows, [["1"]])
        self.ok(self.connect(extra=";DATABASE=Fault"), "INSERT INTO T VALUES (?, 'Hang')", params=[9])
        self.assertEqual(self.rows_seen_anew(), [["1", "Acme"], ["9", "Hang"]])
        hung = [e for e in self.server.records() if e.get("fault")]
        self.assertEqual(len(hung), 1)
        self.assertEqual((hung[0]["sql"], hung[0]["rpc"], hung[0]["params"], hung[0]["fault"]),
                         ("INSERT INTO T VALUES (@P1, 'Hang')", "sp_executesql", ["@p1=9"], "hang"))


# --------------------------------------------------------------------------

class DatabaseTest(StandInCase):
    EXISTS = "select 1 from sys.databases where name = '%s'"

    def test_create_database_then_it_exists(self):
        c = self.connect()
        self.assertEqual(self.ok(c, self.EXISTS % "Varnik_tqsys").rows, [])
        r = c.execute("CREATE DATABASE [Varnik_tqsys] COLLATE Finnish_Swedish_CI_AS")
        self.assertEqual(r.rc, oc.SQL_NO_DATA, r.records)
        r = self.ok(c, self.EXISTS % "Varnik_tqsys")
        self.assertEqual(r.rows, [["1"]])
        self.assertEqual(r.columns[0][1], 4)                     # SQL_INTEGER
        self.assertTrue(os.path.exists(os.path.join(self.server.data, "Varnik_tqsys.sqlite")))
        self.fails(c, "CREATE DATABASE [Varnik_tqsys] COLLATE Finnish_Swedish_CI_AS",
                   ("42000", 1801, P + "Database 'Varnik_tqsys' already exists. Choose a different database name."))
        # Names are case-insensitive, as on a CI server.
        self.fails(c, "CREATE DATABASE VARNIK_TQSYS",
                   (None, 1801, P + "Database 'VARNIK_TQSYS' already exists. Choose a different database name."))
        self.assertEqual(self.ok(c, self.EXISTS % "varnik_TQSYS").rows, [["1"]])
        names = [r[0] for r in self.ok(c, "select name from sys.databases").rows]
        self.assertEqual(names[0], "master")
        self.assertIn("Varnik_tqsys", names)

    def test_use_changes_context_with_5701(self):
        c = self.connect()
        self.ok(c, "CREATE DATABASE [UseMe]")
        for sql in ("USE [UseMe]", "USE UseMe", "USE [master]", "USE master"):
            r = c.execute(sql)
            self.assertEqual(r.rc, oc.SQL_SUCCESS_WITH_INFO, sql)
            target = "UseMe" if "UseMe" in sql else "master"
            self.assertEqual(r.records, [("01000", 5701, P + "Changed database context to '%s'." % target)])
            self.assertEqual(self.ok(c, "select db_name()").rows, [[target]])

    def test_use_unknown_database_fails_with_911_and_keeps_context(self):
        c = self.connect()
        self.fails(c, "USE [Nowhere]",
                   (None, 911, P + "Database 'Nowhere' does not exist. Make sure that the name is entered correctly."))
        self.assertEqual(self.ok(c, "select db_name()").rows, [["master"]])

    def test_drop_and_recreate_is_seen_by_other_connections(self):
        a, b = self.connect(), self.connect()
        self.ok(a, "CREATE DATABASE [Again]")
        self.ok(b, "CREATE TABLE Again.dbo.T(a int)")
        self.ok(b, "INSERT INTO Again.dbo.T VALUES (1)")
        self.fails(a, "DROP DATABASE [Nope]",
                   (None, 3701, P + "Cannot drop the database 'Nope', because it does not exist or you do not have "
                                    "permission."))
        self.ok(a, "DROP DATABASE [Again]")
        self.assertFalse(os.path.exists(os.path.join(self.server.data, "Again.sqlite")))
        self.ok(a, "CREATE DATABASE [Again]")
        self.fails(b, "select a from Again.dbo.T", ("42S02", 208, P + "Invalid object name 'Again.dbo.T'."))

    def test_tables_are_per_database_and_master_takes_tables(self):
        c = self.connect()
        self.ok(c, "CREATE TABLE InMaster(a int)")
        self.ok(c, "INSERT INTO InMaster VALUES (7)")
        self.fresh_db(c, "Separate")
        self.fails(c, "select a from InMaster", ("42S02", 208, P + "Invalid object name 'InMaster'."))
        self.assertEqual(self.ok(c, "select a from master.dbo.InMaster").rows, [["7"]])
        self.assertEqual(self.ok(c, "select a from master..InMaster").rows, [["7"]])


# --------------------------------------------------------------------------

FORETAG = "CREATE TABLE TQ_FORETAG(Nummer int NULL, Namn char(128) NULL, FileDSN char(255) NULL)"
PARAMETRAR = ("CREATE TABLE TQ_PARAMETRAR(Licensnr int NULL, Licensagare char(255) NULL, Max_lontagare int NULL, "
              "Max_foretag int NULL, Kontrollsumma int NULL, Nyckel char(64), Major int NULL, Minor int NULL, "
              "Sokvag char(255) NULL, Password char(64) NULL, MultiplaPerioder int NULL)")
PRIMARY_KEY = "CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON TQ_FORETAG(Nummer ASC)"


class SchemaTest(StandInCase):
    def test_create_tables_report_no_data_and_keep_declared_types(self):
        c = self.fresh_db(self.connect(), "Schema1")
        for sql in (FORETAG, PARAMETRAR):
            self.assertEqual(c.execute(sql).rc, oc.SQL_NO_DATA)
        r = self.ok(c, "select COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE from "
                       "INFORMATION_SCHEMA.COLUMNS where TABLE_NAME = 'TQ_PARAMETRAR' order by ORDINAL_POSITION")
        self.assertEqual(r.rows[5], ["Nyckel", "char", "64", "YES"])    # no NULL/NOT NULL: nullable
        self.assertEqual(r.rows[0], ["Licensnr", "int", None, "YES"])
        self.assertEqual(len(r.rows), 11)
        self.fails(c, FORETAG, ("42S01", 2714, P + "There is already an object named 'TQ_FORETAG' in the database."))

    def test_catalog_queries_of_the_tool(self):
        c = self.fresh_db(self.connect(), "Varnik_tqsys")
        for sql in (FORETAG, PARAMETRAR, PRIMARY_KEY, "CREATE TABLE Other(Nummer int)",
                    "CREATE INDEX [PrimaryKey] ON Other(Nummer)"):
            self.ok(c, sql)
        sizes = {"Namn": "128", "FileDSN": "255", "Licensagare": "255", "Nyckel": "64", "Sokvag": "255",
                 "Password": "64"}
        columns = [["TQ_FORETAG", n, sizes.get(n)] for n in ("Nummer", "Namn", "FileDSN")] + [
            ["TQ_PARAMETRAR", n, sizes.get(n)] for n in ("Licensnr", "Licensagare", "Max_lontagare", "Max_foretag",
                                                         "Kontrollsumma", "Nyckel", "Major", "Minor", "Sokvag",
                                                         "Password", "MultiplaPerioder")]
        for sql, rows in (("select TABLE_NAME, COLUMN_NAME, CHARACTER_MAXIMUM_LENGTH from INFORMATION_SCHEMA.COLUMNS "
                           "where TABLE_NAME in ('TQ_FORETAG', 'TQ_PARAMETRAR')", columns),
                          ("select is_unique from sys.indexes where name = 'PrimaryKey' and object_id = "
                           "OBJECT_ID('TQ_FORETAG')", [["1"]])):
            self.assertEqual(self.ok(c, sql).rows, rows, sql)

    def test_unique_index_names_are_per_table(self):
        c = self.fresh_db(self.connect(), "Schema2")
        self.ok(c, FORETAG)
        self.ok(c, "CREATE TABLE Other(Nummer int)")
        self.assertEqual(c.execute(PRIMARY_KEY).rc, oc.SQL_NO_DATA)
        self.ok(c, "CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON Other(Nummer ASC)")
        self.fails(c, PRIMARY_KEY,
                   ("42S11", 1913, P + "The operation failed because an index or statistics with name 'PrimaryKey' "
                                       "already exists on table 'TQ_FORETAG'."))
        r = self.ok(c, "select name, is_unique from sys.indexes where object_id = object_id('TQ_FORETAG')")
        self.assertEqual(r.rows, [["PrimaryKey", "1"]])

    def test_index_on_missing_table_or_column(self):
        c = self.fresh_db(self.connect(), "Schema3")
        self.fails(c, PRIMARY_KEY,
                   (None, 1088, P + 'Cannot find the object "TQ_FORETAG" because it does not exist or you do not '
                                    'have permissions.'))
        self.ok(c, FORETAG)
        self.fails(c, "CREATE UNIQUE INDEX ix ON TQ_FORETAG(Nope)",
                   (None, 1911, P + "Column name 'Nope' does not exist in the target table or view."))

    def test_unique_index_over_duplicates_fails_with_1505_and_3621(self):
        c = self.fresh_db(self.connect(), "Schema4")
        self.ok(c, FORETAG)
        self.ok(c, "INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES('1','A','a.dsn')")
        self.ok(c, "INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES('1','B','b.dsn')")
        self.fails(c, PRIMARY_KEY,
                   ("23000", 1505, P + "The CREATE UNIQUE INDEX statement terminated because a duplicate key was "
                                       "found for the object name 'dbo.TQ_FORETAG' and the index name 'PrimaryKey'. "
                                       "The duplicate key value is (1)."),
                   TERMINATED)
        # The failed index does not exist afterwards: a duplicate insert still works.
        self.ok(c, "INSERT INTO TQ_FORETAG (Nummer) VALUES (1)")


class InsertTest(StandInCase):
    def setUp(self):
        super().setUp()
        self.c = self.connect()
        self.fresh_db(self.c, "Ins_" + self._testMethodName[-20:])
        self.ok(self.c, FORETAG)
        self.ok(self.c, PARAMETRAR)
        self.ok(self.c, PRIMARY_KEY)

    def one_int(self, literal):
        self.ok(self.c, "DELETE FROM TQ_PARAMETRAR")
        r = self.c.execute("INSERT INTO TQ_PARAMETRAR (Kontrollsumma) VALUES (%s)" % literal)
        if r.rc == oc.SQL_ERROR:
            return r.records
        self.assertEqual(r.rowcount, 1)
        return self.ok(self.c, "select Kontrollsumma from TQ_PARAMETRAR").rows[0][0]

    def test_insert_counts_one_row_and_reads_back(self):
        r = self.c.execute("INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES('1','Acme AB','tq0001.dsn')")
        self.assertEqual((r.rc, r.rowcount, r.records), (oc.SQL_SUCCESS, 1, []))
        self.assertEqual(self.ok(self.c, "select Nummer from TQ_FORETAG").rows, [["1"]])

    def test_string_to_int_conversions_that_succeed(self):
        for literal, stored in (("''", "0"), ("'  12 '", "12"), ("'+5'", "5"), ("'-3'", "-3"), ("' '", "0"),
                                ("'2147483647'", "2147483647"), ("'-2147483648'", "-2147483648"),
                                ("42", "42"), ("-7", "-7"), ("NULL", None), ("1.9", "1")):
            self.assertEqual(self.one_int(literal), stored, literal)

    def test_string_to_int_conversions_that_fail_with_245(self):
        for value in ("abc", "1.5", "12abc", "1 2", "0x10"):
            self.assertEqual(self.one_int("'%s'" % value),
                             [("22018", 245, P + "Conversion failed when converting the varchar value '%s' to data "
                                                 "type int." % value)], value)
        self.assertEqual(self.ok(self.c, "select count(*) from TQ_PARAMETRAR").rows, [["0"]])

    def test_int_overflow_fails_with_248(self):
        for value in ("99999999999", "2147483648", "-2147483649"):
            records = self.one_int("'%s'" % value)
            self.assertEqual([r[1:] for r in records],
                             [(248, P + "The conversion of the varchar value '%s' overflowed an int column." % value)])

    def test_char_truncation_8152_then_3621_but_trailing_blanks_are_dropped(self):
        self.fails(self.c, "INSERT INTO TQ_PARAMETRAR (Nyckel) VALUES ('%s')" % ("k" * 65),
                   ("22001", 8152, P + "String or binary data would be truncated."), TERMINATED)
        self.ok(self.c, "INSERT INTO TQ_PARAMETRAR (Nyckel) VALUES ('%s     ')" % ("k" * 64))
        self.assertEqual(self.ok(self.c, "select Nyckel from TQ_PARAMETRAR").rows, [["k" * 64]])

    def test_duplicate_key_gives_2601_and_3621_as_two_records(self):
        self.ok(self.c, "INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES('1','Acme AB','tq0001.dsn')")
        self.fails(self.c, "INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES('1','Other AB','tq0002.dsn')",
                   ("23000", 2601, P + "Cannot insert duplicate key row in object 'dbo.TQ_FORETAG' with unique index "
                                       "'PrimaryKey'. The duplicate key value is (1)."),
                   TERMINATED)
        self.assertEqual(self.ok(self.c, "select rtrim(Namn) from TQ_FORETAG").rows, [["Acme AB"]])
        # One NULL key is allowed, a second is a duplicate, as in SQL Server.
        self.ok(self.c, "INSERT INTO TQ_FORETAG (Namn) VALUES ('no number')")
        self.fails(self.c, "INSERT INTO TQ_FORETAG (Namn) VALUES ('no number either')",
                   ("23000", 2601, P + "Cannot insert duplicate key row in object 'dbo.TQ_FORETAG' with unique "
                                       "index 'PrimaryKey'. The duplicate key value is (<NULL>)."), TERMINATED)

    def test_unique_char_key_ignores_case_and_trailing_blanks(self):
        self.ok(self.c, "CREATE UNIQUE INDEX ByName ON TQ_FORETAG(Namn)")
        self.ok(self.c, "INSERT INTO TQ_FORETAG (Nummer, Namn) VALUES (1, 'Åkeri AB')")
        self.fails(self.c, "INSERT INTO TQ_FORETAG (Nummer, Namn) VALUES (2, 'åKERI ab   ')",
                   ("23000", 2601, P + "Cannot insert duplicate key row in object 'dbo.TQ_FORETAG' with unique index "
                                       "'ByName'. The duplicate key value is (åKERI ab)."), TERMINATED)
        self.ok(self.c, "INSERT INTO TQ_FORETAG (Nummer, Namn) VALUES (3, 'Akeri AB')")    # accent-sensitive

    def test_duplicate_inside_one_statement_inserts_nothing(self):
        self.fails(self.c, "INSERT INTO TQ_FORETAG (Nummer) VALUES (5), (6), (5)",
                   ("23000", 2601, P + "Cannot insert duplicate key row in object 'dbo.TQ_FORETAG' with unique index "
                                       "'PrimaryKey'. The duplicate key value is (5)."), TERMINATED)
        self.assertEqual(self.ok(self.c, "select count(*) from TQ_FORETAG").rows, [["0"]])

    def test_unknown_table_and_column(self):
        self.fails(self.c, "INSERT INTO TQ_NOPE (Nummer) VALUES ('1')",
                   ("42S02", 208, P + "Invalid object name 'TQ_NOPE'."))
        self.fails(self.c, "INSERT INTO TQ_FORETAG (Nummer, Nope) VALUES ('1', '2')",
                   ("42S22", 207, P + "Invalid column name 'Nope'."))

    def test_insert_into_master_table(self):
        self.ok(self.c, "USE [master]")
        self.ok(self.c, "CREATE TABLE MasterTable(a int NULL, b char(3) NULL)")
        self.assertEqual(self.ok(self.c, "INSERT INTO MasterTable (a, b) VALUES ('1', 'x')").rowcount, 1)
        self.assertEqual(self.ok(self.c, "select a, b from MasterTable").rows, [["1", "x  "]])

    def test_parametrar_row_as_the_tool_writes_it(self):
        sql = ("INSERT INTO TQ_PARAMETRAR (Kontrollsumma, Licensnr, Licensagare, Max_lontagare, Max_foretag, Nyckel, "
               "Major, Minor, Sokvag, Password, MultiplaPerioder) VALUES ('123','4711','Lönsam Ägare AB','25','',"
               "'AB''CD','3',NULL,'C:\\TQ\\Data','hemligt','1')")
        self.assertEqual(self.ok(self.c, sql).rowcount, 1)
        r = self.ok(self.c, "select * from TQ_PARAMETRAR")
        row = r.rows[0]
        self.assertEqual([c[0] for c in r.columns][:3], ["Licensnr", "Licensagare", "Max_lontagare"])
        self.assertEqual(row[0], "4711")
        self.assertEqual(row[1], "Lönsam Ägare AB".ljust(255))
        self.assertEqual(row[3], "0")
        self.assertEqual(row[4], "123")
        self.assertEqual(row[5], "AB'CD".ljust(64))
        self.assertEqual(row[7], None)
        self.assertEqual(row[8], "C:\\TQ\\Data".ljust(255))

    def test_not_null_column_rejects_null_with_515(self):
        self.ok(self.c, "CREATE TABLE Strict(a int NOT NULL, b int)")
        db = self.ok(self.c, "select db_name()").rows[0][0]
        self.fails(self.c, "INSERT INTO Strict (b) VALUES (1)",
                   ("23000", 515, P + "Cannot insert the value NULL into column 'a', table '%s.dbo.Strict'; column "
                                      "does not allow nulls. INSERT fails." % db),
                   TERMINATED)


class AnsiWarningsOffTest(StandInCase):
    server_args = ("--ansi-warnings-off",)

    def test_an_over_long_text_is_cut_without_a_word_until_the_session_turns_warnings_on(self):
        c = self.fresh_db(self.connect(), "AnsiOff")
        self.ok(c, FORETAG)
        r = self.ok(c, "INSERT INTO TQ_FORETAG (Nummer, Namn) VALUES('1','%s')" % ("n" * 129))
        self.assertEqual(r.records, [])
        self.assertEqual(self.ok(c, "select Namn from TQ_FORETAG").rows, [["n" * 128]])
        self.ok(c, "SET ANSI_WARNINGS ON")
        self.fails(c, "INSERT INTO TQ_FORETAG (Nummer, Namn) VALUES('2','%s')" % ("n" * 129),
                   ("22001", 8152, P + "String or binary data would be truncated."), TERMINATED)


class VerboseTruncationTest(StandInCase):
    server_args = ("--verbose-truncation",)

    def test_over_long_text_gives_2628_with_table_column_and_the_part_that_fits(self):
        c = self.fresh_db(self.connect(), "Varnik_tqsys")
        self.ok(c, PARAMETRAR)
        self.ok(c, "INSERT INTO TQ_PARAMETRAR (Licensnr) VALUES (1)")
        message = P + ("String or binary data would be truncated in table 'Varnik_tqsys.dbo.TQ_PARAMETRAR', "
                       "column '%s'. Truncated value: '%s'.")
        for sql, column, fits in (
                ("INSERT INTO TQ_PARAMETRAR (Nyckel) VALUES ('%s')" % ("k" * 60 + "ÅÄÖ-X"), "Nyckel",
                 "k" * 60 + "ÅÄÖ-"),
                ("UPDATE TQ_PARAMETRAR SET Sokvag = '%s'" % ("C:\\" + "s" * 260), "Sokvag", "C:\\" + "s" * 252)):
            self.fails(c, sql, ("42000", 2628, message % (column, fits)), TERMINATED)
        self.assertEqual(self.ok(c, "select Licensnr, Nyckel, Sokvag from TQ_PARAMETRAR").rows, [["1", None, None]])
        # Trailing blanks beyond the size are still dropped silently.
        self.ok(c, "UPDATE TQ_PARAMETRAR SET Nyckel = '%s   '" % ("k" * 64))


class SelectTest(StandInCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        c = cls.server.connect()
        for sql in ("CREATE DATABASE [Sel] COLLATE Finnish_Swedish_CI_AS", "USE [Sel]", FORETAG, PRIMARY_KEY):
            c.execute(sql)
        for n, name in ((3, "Östra Lön AB"), (1, "alfa"), (2, "Zeta"), (4, "Åby Ängar"), (5, "Beta"), (6, "Äpplet")):
            r = c.execute("INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES('%d','%s','tq%04d.dsn')"
                          % (n, name, n))
            assert r.rc == 0, r.records
        c.execute("INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES('7', NULL, NULL)")
        c.close()

    def setUp(self):
        super().setUp()
        self.c = self.connect(extra=";DATABASE=Sel")

    def test_char_columns_blank_padded_with_swedish_characters(self):
        r = self.ok(self.c, "select Nummer, Namn, FileDSN from TQ_FORETAG where Nummer = 3")
        self.assertEqual(r.rows, [["3", "Östra Lön AB".ljust(128), "tq0003.dsn".ljust(255)]])
        self.assertEqual(r.columns, [("Nummer", 4, 10, 1), ("Namn", 1, 128, 1), ("FileDSN", 1, 255, 1)])
        # Stored as Unicode text, without the padding.
        con = sqlite3.connect(os.path.join(self.server.data, "Sel.sqlite"))
        try:
            stored = con.execute("select Namn from TQ_FORETAG where Nummer = 3").fetchone()[0]
        finally:
            con.close()
        self.assertEqual(stored, "Östra Lön AB")

    def test_nulls_come_back_as_null(self):
        r = self.ok(self.c, "select Namn, FileDSN from TQ_FORETAG where Nummer = 7")
        self.assertEqual(r.rows, [[None, None]])
        self.assertEqual(self.ok(self.c, "select Nummer from TQ_FORETAG where Namn is null").rows, [["7"]])

    def test_order_by_number_and_swedish_collation(self):
        r = self.ok(self.c, "select Nummer from TQ_FORETAG order by Nummer")
        self.assertEqual([x[0] for x in r.rows], ["1", "2", "3", "4", "5", "6", "7"])
        r = self.ok(self.c, "select rtrim(Namn) from TQ_FORETAG where Namn is not null order by Namn")
        self.assertEqual([x[0] for x in r.rows], ["alfa", "Beta", "Zeta", "Åby Ängar", "Äpplet", "Östra Lön AB"])
        r = self.ok(self.c, "select Nummer from TQ_FORETAG order by Nummer DESC")
        self.assertEqual(r.rows[0], ["7"])

    def test_where_is_case_insensitive_and_ignores_trailing_blanks(self):
        self.assertEqual(self.ok(self.c, "select Nummer from TQ_FORETAG where Namn = 'ÖSTRA lön ab  '").rows, [["3"]])
        self.assertEqual(self.ok(self.c, "select Nummer from TQ_FORETAG where Nummer = '2'").rows, [["2"]])
        self.assertEqual(self.ok(self.c, "select count(*) from TQ_FORETAG where Nummer > 2 and Nummer <> 7").rows,
                         [["4"]])

    def test_select_star_column_order_and_parameters(self):
        r = self.ok(self.c, "select * from TQ_FORETAG where Nummer = ?", params=[1])
        self.assertEqual([c[0] for c in r.columns], ["Nummer", "Namn", "FileDSN"])
        self.assertEqual(r.rows[0][:1], ["1"])
        r = self.ok(self.c, "select Nummer from TQ_FORETAG where Namn = ?", params=["åby ängar"], prepare=True)
        self.assertEqual(r.rows, [["4"]])

    def test_prepared_statement_executes_again(self):
        st = self.c.prepare("select Nummer from TQ_FORETAG where Nummer = ?")
        try:
            self.assertEqual(st.execute([2]).rows, [["2"]])
            self.assertEqual(st.execute([5]).rows, [["5"]])
            self.assertEqual(st.execute([99]).rows, [])
        finally:
            st.close()
        rpcs = [e.get("rpc") for e in self.server.records()
                if e["sql"] == "select Nummer from TQ_FORETAG where Nummer = @P1"]
        self.assertEqual(rpcs[-3:], ["sp_prepexec", "sp_execute", "sp_execute"])

    def test_trivial_selects(self):
        self.assertEqual(self.ok(self.c, "select 1").rows, [["1"]])
        self.assertIn("Microsoft SQL Server", self.ok(self.c, "select @@version").rows[0][0])
        self.assertEqual(self.ok(self.c, "select 'Åsa', N'Örn'").rows, [["Åsa", "Örn"]])

    def test_unknown_names_and_bad_syntax(self):
        self.fails(self.c, "select Nummer from TQ_NOPE", ("42S02", 208, P + "Invalid object name 'TQ_NOPE'."))
        self.fails(self.c, "select Nope from TQ_FORETAG", ("42S22", 207, P + "Invalid column name 'Nope'."))
        self.fails(self.c, "select Nummer from TQ_FORETAG where Nope = 1",
                   ("42S22", 207, P + "Invalid column name 'Nope'."))
        self.fails(self.c, "select Nummer frm TQ_FORETAG", ("42000", 102, P + "Incorrect syntax near 'TQ_FORETAG'."))
        self.fails(self.c, "INSERT INTO TQ_FORETAG (Nummer VALUES (1)",
                   ("42000", 156, P + "Incorrect syntax near the keyword 'VALUES'."))


class DmlAndBatchTest(StandInCase):
    def setUp(self):
        super().setUp()
        self.c = self.fresh_db(self.connect(), "Dml_" + self._testMethodName[-20:])
        self.ok(self.c, "CREATE TABLE T(a int, b varchar(5))")
        self.ok(self.c, "CREATE UNIQUE INDEX ua ON T(a)")
        self.ok(self.c, "INSERT INTO T VALUES (1, 'x'), (2, 'y'), (3, 'z')")

    def values(self):
        return self.ok(self.c, "select a, b from T order by a").rows

    def test_update_and_delete_counts_and_unique_check(self):
        self.assertEqual(self.ok(self.c, "UPDATE T SET b = 'q' WHERE a >= 2").rowcount, 2)
        self.fails(self.c, "UPDATE T SET a = 1 WHERE a = 3",
                   ("23000", 2601, P + "Cannot insert duplicate key row in object 'dbo.T' with unique index 'ua'. "
                                       "The duplicate key value is (1)."), TERMINATED)
        self.assertEqual(self.ok(self.c, "DELETE FROM T WHERE a = 2").rowcount, 1)
        self.assertEqual(self.values(), [["1", "x"], ["3", "q"]])

    def test_batch_error_semantics(self):
        # A syntax error anywhere stops the whole batch before it runs.
        self.fails(self.c, "INSERT INTO T VALUES (10, 'a'); selec x", ("42000", 102, P + "Incorrect syntax near 'x'."))
        # A conversion error ends the batch at that statement; earlier statements stay done.
        r = self.c.execute("INSERT INTO T VALUES (11, 'a'); INSERT INTO T VALUES ('bad', 'b'); "
                           "INSERT INTO T VALUES (12, 'c')")
        self.assertEqual(r.natives, [245])
        # A duplicate key ends only its statement.
        r = self.c.execute("INSERT INTO T VALUES (1, 'd'); INSERT INTO T VALUES (13, 'e')")
        self.assertEqual(r.natives, [2601, 3621])
        self.assertEqual([v[0] for v in self.values()], ["1", "2", "3", "11", "13"])

    def test_failing_select_has_no_3621_and_unknown_procedures(self):
        self.fails(self.c, "select 1/0", ("22012", 8134, P + "Divide by zero error encountered."))
        self.fails(self.c, "EXEC sp_who", (None, 2812, P + "Could not find stored procedure 'sp_who'."))


class TransactionTest(StandInCase):
    def test_autocommit_off_commit_and_rollback(self):
        c = self.fresh_db(self.connect(), "Tran")
        self.ok(c, "CREATE TABLE T(a int)")
        c.set_autocommit(False)
        self.ok(c, "INSERT INTO T VALUES (1)")
        c.end_tran(commit=True)
        self.ok(c, "INSERT INTO T VALUES (2)")
        other = self.connect(extra=";DATABASE=Tran")
        c.end_tran(commit=False)
        c.set_autocommit(True)
        self.assertEqual(self.ok(other, "select a from T").rows, [["1"]])
        self.assertEqual(self.ok(c, "select @@trancount").rows, [["0"]])

    def test_sql_level_transactions(self):
        c = self.fresh_db(self.connect(), "TranSql")
        self.ok(c, "CREATE TABLE T(a int)")
        self.ok(c, "BEGIN TRANSACTION")
        self.ok(c, "INSERT INTO T VALUES (1)")
        self.assertEqual(self.ok(c, "select @@trancount").rows, [["1"]])
        self.ok(c, "ROLLBACK TRANSACTION")
        self.ok(c, "SET IMPLICIT_TRANSACTIONS ON")
        self.ok(c, "INSERT INTO T VALUES (2)")
        self.assertEqual(self.ok(c, "select @@trancount").rows, [["1"]])
        self.ok(c, "COMMIT")
        self.ok(c, "SET IMPLICIT_TRANSACTIONS OFF")
        self.assertEqual(self.ok(c, "select a from T").rows, [["2"]])
        self.fails(c, "COMMIT", ("25000", 3902, P + "The COMMIT TRANSACTION request has no corresponding BEGIN "
                                                   "TRANSACTION."))

    def test_set_statements_succeed_without_a_count(self):
        c = self.connect()
        for sql in ("SET TEXTSIZE 2147483647", "SET ANSI_NULLS ON", "SET TRANSACTION ISOLATION LEVEL READ COMMITTED",
                    "SET NOCOUNT OFF"):
            self.assertEqual(c.execute(sql).rc, oc.SQL_NO_DATA, sql)


class RecordTest(StandInCase):
    def test_every_sql_text_recorded_in_order_with_connection_and_database(self):
        a = self.connect()
        b = self.connect()
        self.ok(a, "CREATE DATABASE [Rec]")
        self.ok(a, "USE [Rec]")
        self.ok(b, "select 1")
        self.ok(a, "CREATE TABLE R(x int)")
        a.execute("INSERT INTO R VALUES ('bad')")
        self.ok(a, "INSERT INTO R VALUES (?)", params=[5])
        got = [(e["db"], e["sql"]) for e in self.server.records()]
        self.assertEqual(got, [("master", "CREATE DATABASE [Rec]"), ("master", "USE [Rec]"), ("master", "select 1"),
                               ("Rec", "CREATE TABLE R(x int)"), ("Rec", "INSERT INTO R VALUES ('bad')"),
                               ("Rec", "INSERT INTO R VALUES (@P1)")])
        conns = [e["conn"] for e in self.server.records()]
        self.assertEqual(len(set(conns)), 2)
        self.assertEqual(conns[0], conns[1])
        self.assertNotEqual(conns[1], conns[2])
        self.assertEqual(self.server.records()[-1]["rpc"], "sp_executesql")


class RobustnessTest(StandInCase):
    server_args = ("--trace",)

    def test_garbage_on_the_socket_does_not_stop_the_server(self):
        with socket.create_connection(("127.0.0.1", self.server.port), timeout=2) as s:
            s.sendall(b"\x12\x01\x00\x10\x00\x00\x00\x00" + b"\xff" * 8)     # PRELOGIN
            s.recv(4096)
            s.sendall(b"\x10\x01\x00\x0c\x00\x00\x00\x00junk")                # truncated LOGIN7
            s.settimeout(3)
            try:
                while s.recv(4096):
                    pass
            except socket.timeout:
                self.fail("the stand-in kept a broken connection open")
        with socket.create_connection(("127.0.0.1", self.server.port), timeout=2) as s:
            s.sendall(b"\x01\x01\x00\x06\x00\x00")                           # header shorter than 8
        self.assertEqual(self.ok(self.connect(), "select 2").rows, [["2"]])
        # The broken login is logged, with its traceback, to stderr; clear it for tearDown.
        self.assertIn("LOGIN7", self.server.log())
        open(self.server.stderr_path, "w").close()

    def test_cancel_of_unread_rows_is_acknowledged(self):
        c = self.fresh_db(self.connect(), "Cancel")
        self.ok(c, "CREATE TABLE Big(a int, b char(200))")
        self.ok(c, "INSERT INTO Big VALUES " + ",".join("(%d, 'r%d')" % (i, i) for i in range(300)))
        # The query timeout turns a stand-in that never acknowledges the cancel into a failure, not a hang.
        st = oc.Statement(c, query_timeout=2)
        try:
            L = oc.lib()
            self.assertEqual(L.SQLExecDirectW(st.h, oc._w("select * from Big"), oc.SQL_NTS), 0)
            self.assertEqual(L.SQLFetch(st.h), 0)
            self.assertEqual(L.SQLCloseCursor(st.h), 0)              # unread rows: FreeTDS sends ATTENTION
            r = st.execute_direct("select count(*) from Big")
            self.assertEqual(r.rows, [["300"]])
        finally:
            st.close()
        self.assertIn("request type 0x06", self.server.log())
        open(self.server.stderr_path, "w").close()

    def test_concurrent_connections(self):
        c = self.fresh_db(self.connect(), "Conc")
        self.ok(c, "CREATE TABLE T(a int, who int)")
        self.ok(c, "CREATE UNIQUE INDEX ux ON T(a)")
        # The row every worker collides with is there before any starts: a worker's own first row
        # must never be the one another collides with, whichever thread runs first.
        self.ok(c, "INSERT INTO T VALUES (0, -1)")
        errors = []

        def worker(k):
            try:
                w = self.server.connect(extra=";DATABASE=Conc")
                for i in range(25):
                    r = w.execute("INSERT INTO T VALUES (%d, %d)" % (k * 100 + i + 1, k))
                    if r.rc != 0:
                        errors.append(r.records)
                r = w.execute("INSERT INTO T VALUES (%d, %d)" % (0, k))        # everyone collides on 0
                if r.natives != [2601, 3621]:
                    errors.append(r.records)
                w.close()
            except Exception as e:    # reported below
                errors.append(repr(e))

        threads = [threading.Thread(target=worker, args=(k,)) for k in range(5)]
        for t in threads:
            t.start()
        for t in threads:
            t.join(30)
        self.assertEqual(errors, [])
        self.assertEqual(self.ok(c, "select count(*) from T").rows, [["126"]])


class CommandLineClientTest(StandInCase):
    def test_isql_shows_both_records_of_a_duplicate_key(self):
        if not shutil.which("isql"):
            self.skipTest("unixODBC isql not installed")
        c = self.fresh_db(self.connect(), "Isql")
        self.ok(c, FORETAG)
        self.ok(c, PRIMARY_KEY)
        insert = "INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES('1','Acme AB','tq0001.dsn')\n"
        out = subprocess.run(["isql", "-v", "-k", self.server.connect_string(extra=";DATABASE=Isql"), "-b"],
                             input=insert + insert + "select Nummer from TQ_FORETAG\n",
                             capture_output=True, text=True, timeout=20).stdout
        self.assertIn("[23000][FreeTDS][SQL Server]Cannot insert duplicate key row in object 'dbo.TQ_FORETAG' with "
                      "unique index 'PrimaryKey'. The duplicate key value is (1).", out)
        self.assertIn("[01000][FreeTDS][SQL Server]The statement has been terminated.", out)
        self.assertEqual(self.ok(c, "select count(*) from TQ_FORETAG").rows, [["1"]])

    def test_tsql_runs_batches(self):
        if not shutil.which("tsql"):
            self.skipTest("FreeTDS tsql not installed")
        script = ("CREATE DATABASE [Tsql]\ngo\nUSE [Tsql]\ngo\nCREATE TABLE T(a int, b char(4))\ngo\n"
                  "INSERT INTO T VALUES (1, 'åäö')\ngo\nselect a, b from T\ngo\nselect x from Nope\ngo\n")
        r = subprocess.run(["tsql", "-H", "127.0.0.1", "-p", str(self.server.port), "-U", "sa", "-P", "secret"],
                           input=script, capture_output=True, text=True, timeout=20,
                           env=dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8"))
        out = r.stdout + r.stderr
        self.assertIn("1\tåäö \n", out)
        self.assertIn("Msg 208 (severity 16, state 1) from STANDIN", out)
        self.assertIn("Invalid object name 'Nope'.", out)


if __name__ == "__main__":
    unittest.main()
