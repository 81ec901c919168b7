#!/usr/bin/env python3
"""SQL Server stand-in: a test fixture, not product code.

A TCP server on 127.0.0.1 that speaks enough TDS 7.4 for the real FreeTDS
ODBC driver to log in, run statements and read results, and that answers
the statements Daltrix sends the way SQL Server does (same error numbers,
classes, states and texts).  Data lives in SQLite files, one per database.

    python3 standin.py --port 0 --port-file PATH --data-dir DIR --record PATH
                       [--login USER:PASSWORD[:nocreate]]... [--refuse-logins]
                       [--silent] [--drop-on TEXT] [--hang-on TEXT] [--ansi-warnings-off]
                       [--verbose-truncation] [--trace]

See README.md for what is and is not emulated.
"""

import argparse
import json
import os
import signal
import socket
import socketserver
import sys
import threading
import traceback

import engine
import tds


class Recorder:
    """Appends one JSON line per SQL text received, flushed at once."""

    def __init__(self, path):
        self.lock = threading.Lock()
        self.file = open(path, "a", encoding="utf-8") if path else None

    def write(self, conn, db, sql, **extra):
        if self.file is None:
            return
        entry = {"conn": conn, "db": db, "sql": sql}
        entry.update(extra)
        line = json.dumps(entry, ensure_ascii=False)
        with self.lock:
            self.file.write(line + "\n")
            self.file.flush()


class Faults:
    """--drop-on and --hang-on: each takes the first statement whose text contains its trigger
    (case-sensitive), then it is spent, so a new connection works normally."""

    def __init__(self, drop_on, hang_on):
        self.lock = threading.Lock()
        self.pending = {kind: text for kind, text in (("drop", drop_on), ("hang", hang_on)) if text}

    def take(self, sql):
        with self.lock:
            for kind, text in self.pending.items():
                if text in sql:
                    del self.pending[kind]
                    return kind
        return None


class Fault(Exception):
    """Raised instead of running a statement that a fault took; ends the connection's normal service."""

    def __init__(self, kind):
        super().__init__(kind)
        self.kind = kind


class Config:
    def __init__(self, args):
        self.logins = {}
        for entry in args.login or []:
            parts = entry.split(":")
            if len(parts) < 2 or len(parts) > 3 or (len(parts) == 3 and parts[2] != "nocreate"):
                raise SystemExit("--login wants USER:PASSWORD or USER:PASSWORD:nocreate, got %r" % entry)
            self.logins[parts[0].lower()] = (parts[0], parts[1], len(parts) == 3)
        self.refuse_logins = args.refuse_logins
        self.silent = args.silent
        self.trace = args.trace
        self.faults = Faults(args.drop_on, args.hang_on)
        self.ansi_warnings = not args.ansi_warnings_off
        self.verbose_truncation = args.verbose_truncation


class Connection:
    """One client connection: PRELOGIN, LOGIN7, then requests until the socket closes."""

    def __init__(self, server, sock, conn_no):
        self.server = server
        self.sock = sock
        self.conn_no = conn_no
        self.packet_size = 4096
        self.session = None
        self.prepared = {}          # handle -> (sql text, parameter names)
        self.next_handle = 1

    def log(self, text):
        sys.stderr.write("standin[conn %d]: %s\n" % (self.conn_no, text))
        sys.stderr.flush()

    def send(self, payload):
        tds.send_message(self.sock, tds.PKT_REPLY, payload, self.packet_size)

    def run(self):
        try:
            while True:
                msg = tds.read_message(self.sock)
                if msg is None:
                    return
                ptype, payload = msg
                try:
                    if not self.dispatch(ptype, payload):
                        return
                except (ConnectionError, BrokenPipeError):
                    return
                except Fault as fault:
                    if fault.kind == "hang":
                        self.ignore_everything()
                    return
                except Exception as exc:   # never let bad input kill the thread silently
                    self.log("error while handling packet type 0x%02X:\n%s"
                             % (ptype, traceback.format_exc()))
                    if ptype in (tds.PKT_PRELOGIN, tds.PKT_LOGIN7):
                        return
                    reply = (tds.build_message(50000, 1, 16, "SQL Server stand-in internal error: %s" % exc)
                             + tds.build_done(tds.DONE_ERROR))
                    self.send(reply)
        except (ConnectionError, OSError):
            pass
        finally:
            if self.session is not None:
                self.session.close()
            try:
                self.sock.close()
            except OSError:
                pass

    def ignore_everything(self):
        """Keep the socket open and read, never answering, until the client closes it."""
        try:
            while (msg := tds.read_message(self.sock)) is not None:
                self.log("hanging: ignored request type 0x%02X" % msg[0])
        except tds.ProtocolError:
            while self.sock.recv(4096):
                pass

    def receive_sql(self, sql, **extra):
        """Records a statement text as it arrives; a fault that takes it stops it before it runs."""
        fault = self.server.config.faults.take(sql)
        if fault:
            extra["fault"] = fault
        self.server.recorder.write(self.conn_no, self.session.db, sql, **extra)
        if fault:
            self.log("fault %s on: %s" % (fault, sql[:160]))
            raise Fault(fault)

    def dispatch(self, ptype, payload):
        if self.server.config.trace:
            self.log("request type 0x%02X, %d bytes: %s" % (ptype, len(payload), payload[:160].hex()))
        if ptype == tds.PKT_PRELOGIN:
            tds.parse_prelogin(payload)
            self.send(tds.build_prelogin_reply())
            return True
        if ptype == tds.PKT_LOGIN7:
            return self.login(payload)
        if ptype == tds.PKT_ATTENTION:
            # Requests are answered completely before the next is read, so
            # there is nothing left to stop: acknowledge the cancel.
            self.send(tds.build_done(tds.DONE_ATTN))
            return True
        if self.session is None:
            self.log("request type 0x%02X before login" % ptype)
            return False
        if ptype == tds.PKT_SQL_BATCH:
            sql = tds.parse_sql_batch(payload)
            self.receive_sql(sql)
            results = self.session.execute(sql)
            self.send(self.encode_results(results, tds.TOK_DONE))
            return True
        if ptype == tds.PKT_RPC:
            self.rpc(payload)
            return True
        if ptype == tds.PKT_TRANSACTION:
            request, begin_new = tds.parse_transaction_request(payload)
            res = self.session.transaction_request(request, begin_new)
            self.send(self.encode_results([res], tds.TOK_DONE))
            return True
        self.log("unsupported packet type 0x%02X" % ptype)
        self.send(tds.build_message(50000, 1, 16, "The SQL Server stand-in does not handle TDS packet type 0x%02X."
                                    % ptype) + tds.build_done(tds.DONE_ERROR))
        return True

    # -- login
    def login(self, payload):
        info = tds.parse_login7(payload)
        if 512 <= info["packet_size"] <= 32767:
            self.packet_size = info["packet_size"]
        cfg = self.server.config
        user = info["username"]
        ok = True
        can_create = True
        if cfg.refuse_logins or info["integrated"] or not user:
            ok = False
        elif cfg.logins:
            entry = cfg.logins.get(user.lower())
            if entry is None or entry[1] != info["password"]:
                ok = False
            else:
                can_create = not entry[2]
        out = bytearray()
        start_db = "master"
        if ok and info["database"]:
            found = self.server.catalog.find(info["database"])
            if found is None:
                out += tds.build_message(4060, 1, 11, 'Cannot open database "%s" requested by the login. '
                                                      'The login failed.' % info["database"])
                ok = False
            else:
                start_db = found[0]
        if not ok:
            out += tds.build_message(18456, 1, 14, "Login failed for user '%s'." % user)
            out += tds.build_done(tds.DONE_ERROR)
            self.send(bytes(out))
            return False
        self.session = engine.Session(self.server.catalog, self.conn_no, user, can_create,
                                      cfg.ansi_warnings, cfg.verbose_truncation)
        self.session.db = start_db
        out += tds.build_envchange(tds.ENV_DATABASE, start_db, "master")
        out += tds.build_message(5701, 2, 0, "Changed database context to '%s'." % start_db)
        out += tds.build_envchange(tds.ENV_COLLATION, tds.COLLATION_FINNISH_SWEDISH_CI_AS, b"")
        out += tds.build_envchange(tds.ENV_LANGUAGE, "us_english", "")
        out += tds.build_message(5703, 1, 0, "Changed language setting to us_english.")
        out += tds.build_loginack()
        out += tds.build_envchange(tds.ENV_PACKETSIZE, str(self.packet_size), str(self.packet_size))
        out += tds.build_done(tds.DONE_FINAL)
        self.send(bytes(out))
        return True

    # -- results
    def encode_results(self, results, done_token, more_after=False):
        """Token stream for a list of engine.Result.

        done_token is DONE for a batch, DONEINPROC inside an RPC (then the
        last one carries DONE_MORE as well, because DONEPROC follows).
        """
        out = bytearray()
        nocount = self.session.nocount if self.session else False
        for k, res in enumerate(results):
            for ev in res.events:
                if ev[0] == "env":
                    out += tds.build_envchange(ev[1], ev[2], ev[3])
                else:
                    _kind, number, state, severity, text = ev
                    out += tds.build_message(number, state, severity, text, engine.SERVER_NAME)
            if res.columns is not None:
                out += tds.build_colmetadata(res.columns)
                for row in res.rows:
                    out += tds.build_row(res.columns, row)
            status = 0
            if k < len(results) - 1 or more_after:
                status |= tds.DONE_MORE
            if res.error:
                status |= tds.DONE_ERROR
            if res.count is not None and not nocount:
                status |= tds.DONE_COUNT
            out += tds.build_done(status, res.curcmd, res.count or 0, done_token)
        return bytes(out)

    # -- RPC
    def rpc(self, payload):
        try:
            calls = tds.parse_rpc(payload)
        except tds.ProtocolError as exc:
            self.log("undecodable RPC: %s" % exc)
            self.send(tds.build_message(50000, 1, 16, "The SQL Server stand-in could not decode this RPC: %s" % exc)
                      + tds.build_done(tds.DONE_ERROR))
            return
        out = bytearray()
        for k, (name, params) in enumerate(calls):
            out += self.one_rpc(name, params, last=k == len(calls) - 1)
        self.send(bytes(out))

    def one_rpc(self, name, params, last):
        lname = name.lower()
        if lname.startswith("dbo."):
            lname = lname[4:]
        if lname.startswith("sys."):
            lname = lname[4:]
        done_status = 0 if last else tds.DONE_MORE
        out = bytearray()
        try:
            if lname == "sp_executesql":
                sql = str(params[0].value or "") if params else ""
                decl = str(params[1].value or "") if len(params) > 1 else ""
                out += self.run_procedure_sql(lname, sql, self.bind(decl, params[2:]))
                out += tds.build_returnstatus(0)
            elif lname in ("sp_prepexec", "sp_prepare"):
                if len(params) < 3:
                    raise engine.SqlError(8144, 16, 2, "Procedure or function %s has too many arguments "
                                                       "specified." % name)
                handle_param, decl, sql = params[0], str(params[1].value or ""), str(params[2].value or "")
                handle = self.next_handle
                self.next_handle += 1
                self.prepared[handle] = (sql, decl)
                if lname == "sp_prepexec":
                    out += self.run_procedure_sql(lname, sql, self.bind(decl, params[3:]))
                else:
                    self.receive_sql(sql, rpc="sp_prepare", params=[])
                out += tds.build_returnstatus(0)
                out += tds.build_returnvalue_int(0, handle_param.name or "@handle", handle)
            elif lname == "sp_execute":
                handle = params[0].value if params else None
                if handle not in self.prepared:
                    raise engine.SqlError(8179, 16, 2, "Could not find prepared statement with handle %s." % handle)
                sql, decl = self.prepared[handle]
                out += self.run_procedure_sql(lname, sql, self.bind(decl, params[1:]))
                out += tds.build_returnstatus(0)
            elif lname == "sp_unprepare":
                handle = params[0].value if params else None
                self.prepared.pop(handle, None)
                out += tds.build_returnstatus(0)
            else:
                self.receive_sql("EXEC %s" % name, rpc=name, params=[repr(p.value) for p in params])
                raise engine.SqlError(2812, 16, 62, "Could not find stored procedure '%s'." % name)
        except engine.SqlError as e:
            for number, state, severity, text in e.messages():
                out += tds.build_message(number, state, severity, text, engine.SERVER_NAME, name)
            out += tds.build_returnstatus(-6)
            out += tds.build_done(done_status | tds.DONE_ERROR, 0, 0, tds.TOK_DONEPROC)
            return bytes(out)
        out += tds.build_done(done_status, 0, 0, tds.TOK_DONEPROC)
        return bytes(out)

    def run_procedure_sql(self, procedure, sql, values):
        """Records and runs the statement a procedure call carries; its results, inside the call."""
        self.receive_sql(sql, rpc=procedure, params=self.describe(values))
        results = self.session.execute(sql, values)
        return self.encode_results(results, tds.TOK_DONEINPROC, more_after=True)

    @staticmethod
    def bind(decl, params):
        """Map parameter values to their @names (named, or by position in decl)."""
        names = [part.strip().split()[0].lower() for part in split_decl(decl) if part.strip()]
        values = {}
        for k, p in enumerate(params):
            name = p.name.lower() if p.name else (names[k] if k < len(names) else "@p%d" % (k + 1))
            if p.sql_type in engine.STRING_KINDS or p.sql_type in engine.NUMBER_KINDS:
                kind = p.sql_type
            elif isinstance(p.value, str):
                kind = "nvarchar"                 # text, ntext, dates: compared as text
            elif p.value is None or not isinstance(p.value, (bytes, bytearray)):
                kind = "float"                    # money, decimal
            else:
                raise engine.not_emulated("binary parameters")
            values[name] = (kind, p.value)
        return values

    @staticmethod
    def describe(values):
        return ["%s=%r" % (k, v[1]) for k, v in values.items()]


def split_decl(decl):
    """Split '@P1 int,@P2 decimal(10,2)' at commas outside parentheses."""
    parts, depth, cur = [], 0, []
    for ch in decl:
        if ch == "(":
            depth += 1
        elif ch == ")":
            depth -= 1
        if ch == "," and depth == 0:
            parts.append("".join(cur))
            cur = []
        else:
            cur.append(ch)
    parts.append("".join(cur))
    return parts


class StandInServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, config, catalog, recorder):
        super().__init__(("127.0.0.1", 0), None)
        self.config = config
        self.catalog = catalog
        self.recorder = recorder
        self.conn_lock = threading.Lock()
        self.conn_count = 0

    def finish_request(self, request, client_address):
        with self.conn_lock:
            self.conn_count += 1
            conn_no = self.conn_count
        request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if self.config.silent:
            # Hold the socket and never answer: the client's timeouts must fire.
            try:
                while request.recv(4096):
                    pass
            except OSError:
                pass
            return
        Connection(self, request, conn_no).run()

    def shutdown_request(self, request):
        try:
            request.close()
        except OSError:
            pass


def make_server(port, config, catalog, recorder):
    class _Server(StandInServer):
        def server_bind(self):
            self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            self.socket.bind(("127.0.0.1", port))
            self.server_address = self.socket.getsockname()

    return _Server(config, catalog, recorder)


def write_port_file(path, port):
    directory = os.path.dirname(os.path.abspath(path))
    tmp = os.path.join(directory, ".%s.%d.tmp" % (os.path.basename(path), os.getpid()))
    with open(tmp, "w") as f:
        f.write("%d\n" % port)
    os.replace(tmp, path)


def main(argv=None):
    ap = argparse.ArgumentParser(description="SQL Server stand-in (test fixture): TDS 7.4 on 127.0.0.1, "
                                             "backed by SQLite.")
    ap.add_argument("--port", type=int, default=0, help="TCP port; 0 picks a free one")
    ap.add_argument("--port-file", help="write the chosen port here (atomically)")
    ap.add_argument("--data-dir", required=True, help="one SQLite file per database is kept here")
    ap.add_argument("--record", help="append every SQL text received here, one JSON object a line")
    ap.add_argument("--login", action="append", metavar="USER:PASSWORD[:nocreate]",
                    help="accepted login (repeatable); without any, every login is accepted")
    ap.add_argument("--refuse-logins", action="store_true", help="fail every login with error 18456")
    ap.add_argument("--silent", action="store_true", help="accept connections and never answer")
    ap.add_argument("--drop-on", metavar="TEXT",
                    help="close the connection, unanswered, at the first statement containing TEXT")
    ap.add_argument("--hang-on", metavar="TEXT",
                    help="stop answering that connection for good at the first statement containing TEXT")
    ap.add_argument("--ansi-warnings-off", action="store_true",
                    help="start every session with ANSI_WARNINGS OFF: over-long texts are cut without an error")
    ap.add_argument("--verbose-truncation", action="store_true",
                    help="report an over-long text as SQL Server 2019 does: 2628 naming table, column and value")
    ap.add_argument("--trace", action="store_true", help="log every request received to stderr")
    args = ap.parse_args(argv)

    config = Config(args)
    catalog = engine.Catalog(args.data_dir)
    recorder = Recorder(args.record)
    server = make_server(args.port, config, catalog, recorder)
    port = server.server_address[1]

    stop = threading.Event()

    def on_signal(signum, frame):
        stop.set()

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)

    thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True)
    thread.start()
    if args.port_file:
        write_port_file(args.port_file, port)
    print("SQL Server stand-in listening on 127.0.0.1:%d" % port, flush=True)
    while not stop.wait(0.1):
        pass
    server.shutdown()
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
