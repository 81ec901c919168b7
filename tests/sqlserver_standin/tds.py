"""TDS 7.4 wire format for the SQL Server stand-in test fixture.

Only what the stand-in needs: reading client messages (PRELOGIN, LOGIN7,
SQL batch, RPC, attention, transaction manager requests) and building the
server's token stream (LOGINACK, ENVCHANGE, INFO/ERROR, COLMETADATA, ROW,
RETURNSTATUS, RETURNVALUE, DONE family).  All layouts are the TDS 7.2+ ones:
8-byte DONE row counts, 4-byte user types, ALL_HEADERS in front of batches.
"""

import struct

# Packet types (first byte of the 8-byte packet header).
PKT_SQL_BATCH = 0x01
PKT_RPC = 0x03
PKT_REPLY = 0x04
PKT_ATTENTION = 0x06
PKT_TRANSACTION = 0x0E
PKT_LOGIN7 = 0x10
PKT_PRELOGIN = 0x12

STATUS_EOM = 0x01

# Tokens.
TOK_COLMETADATA = 0x81
TOK_RETURNSTATUS = 0x79
TOK_ERROR = 0xAA
TOK_INFO = 0xAB
TOK_RETURNVALUE = 0xAC
TOK_LOGINACK = 0xAD
TOK_ROW = 0xD1
TOK_ENVCHANGE = 0xE3
TOK_DONE = 0xFD
TOK_DONEPROC = 0xFE
TOK_DONEINPROC = 0xFF

# DONE status bits.
DONE_FINAL = 0x0000
DONE_MORE = 0x0001
DONE_ERROR = 0x0002
DONE_COUNT = 0x0010
DONE_ATTN = 0x0020

# DONE CurCmd values (informational only; FreeTDS does not act on them).
CMD_SELECT = 0xC1
CMD_INSERT = 0xC3
CMD_DELETE = 0xC4
CMD_UPDATE = 0xC5
CMD_OTHER = 0x00

# ENVCHANGE types.
ENV_DATABASE = 1
ENV_LANGUAGE = 2
ENV_PACKETSIZE = 4
ENV_COLLATION = 7
ENV_BEGIN_TRAN = 8
ENV_COMMIT_TRAN = 9
ENV_ROLLBACK_TRAN = 10

# Transaction manager request types.
TM_BEGIN_XACT = 5
TM_COMMIT_XACT = 7
TM_ROLLBACK_XACT = 8
TM_SAVE_XACT = 9

# Data types used in results and parameters.
TYPE_NULL = 0x1F
TYPE_INT1 = 0x30
TYPE_BIT = 0x32
TYPE_INT2 = 0x34
TYPE_INT4 = 0x38
TYPE_DATETIM4 = 0x3A
TYPE_FLT4 = 0x3B
TYPE_MONEY = 0x3C
TYPE_DATETIME = 0x3D
TYPE_FLT8 = 0x3E
TYPE_MONEY4 = 0x7A
TYPE_INT8 = 0x7F
TYPE_GUID = 0x24
TYPE_INTN = 0x26
TYPE_DATEN = 0x28
TYPE_TIMEN = 0x29
TYPE_DATETIME2N = 0x2A
TYPE_DATETIMEOFFSETN = 0x2B
TYPE_BITN = 0x68
TYPE_DECIMALN = 0x6A
TYPE_NUMERICN = 0x6C
TYPE_FLTN = 0x6D
TYPE_MONEYN = 0x6E
TYPE_DATETIMN = 0x6F
TYPE_BIGVARBIN = 0xA5
TYPE_BIGVARCHR = 0xA7
TYPE_BIGBINARY = 0xAD
TYPE_BIGCHAR = 0xAF
TYPE_NVARCHAR = 0xE7
TYPE_NCHAR = 0xEF
TYPE_IMAGE = 0x22
TYPE_TEXT = 0x23
TYPE_NTEXT = 0x63

FIXED_LEN = {
    TYPE_NULL: 0, TYPE_INT1: 1, TYPE_BIT: 1, TYPE_INT2: 2, TYPE_INT4: 4,
    TYPE_DATETIM4: 4, TYPE_FLT4: 4, TYPE_MONEY: 8, TYPE_DATETIME: 8,
    TYPE_FLT8: 8, TYPE_MONEY4: 4, TYPE_INT8: 8,
}
BYTELEN_TYPES = {TYPE_GUID, TYPE_INTN, TYPE_BITN, TYPE_FLTN, TYPE_MONEYN,
                 TYPE_DATETIMN}
USHORTLEN_BIN = {TYPE_BIGVARBIN, TYPE_BIGBINARY}
USHORTLEN_CHAR = {TYPE_BIGVARCHR, TYPE_BIGCHAR, TYPE_NVARCHAR, TYPE_NCHAR}

# Finnish_Swedish_CI_AS: LCID 0x040B, ignore case/kana/width flags, sort id 0.
# FreeTDS maps this LCID to code page 1252, which is how char data is sent.
COLLATION_FINNISH_SWEDISH_CI_AS = bytes([0x0B, 0x04, 0xD0, 0x00, 0x00])
CHAR_ENCODING = "cp1252"

TDS74 = 0x74000004


class ProtocolError(Exception):
    """The client sent something this fixture cannot decode."""


# --------------------------------------------------------------------------
# Packet level

def recv_exact(sock, n):
    buf = bytearray()
    while len(buf) < n:
        chunk = sock.recv(n - len(buf))
        if not chunk:
            return None
        buf += chunk
    return bytes(buf)


def read_message(sock):
    """Read one client message (all packets up to EOM).

    Returns (packet_type, payload) or None when the peer closed the socket.
    """
    payload = bytearray()
    msg_type = None
    while True:
        header = recv_exact(sock, 8)
        if header is None:
            return None
        ptype, status, length = header[0], header[1], struct.unpack(">H", header[2:4])[0]
        if length < 8:
            raise ProtocolError("packet length %d" % length)
        body = recv_exact(sock, length - 8)
        if body is None:
            return None
        if msg_type is None:
            msg_type = ptype
        payload += body
        if status & STATUS_EOM:
            return msg_type, bytes(payload)


def send_message(sock, ptype, payload, packet_size=4096):
    """Send a server message, split into packets of at most packet_size."""
    room = max(packet_size, 512) - 8
    chunks = [payload[i:i + room] for i in range(0, len(payload), room)] or [b""]
    out = bytearray()
    for i, chunk in enumerate(chunks):
        last = i == len(chunks) - 1
        out += struct.pack(">BBHHBB", ptype, STATUS_EOM if last else 0,
                           len(chunk) + 8, 0, (i + 1) & 0xFF, 0)
        out += chunk
    sock.sendall(bytes(out))


# --------------------------------------------------------------------------
# Small encoders

def ucs2(text):
    return text.encode("utf-16-le", "surrogatepass")


def b_varchar(text):
    data = ucs2(text)
    return struct.pack("<B", len(data) // 2) + data


def us_varchar(text):
    data = ucs2(text)
    return struct.pack("<H", len(data) // 2) + data


def b_varbyte(data):
    return struct.pack("<B", len(data)) + data


def token_with_length(tok, body):
    return struct.pack("<BH", tok, len(body)) + body


# --------------------------------------------------------------------------
# PRELOGIN

PL_VERSION = 0
PL_ENCRYPTION = 1
PL_INSTOPT = 2
PL_THREADID = 3
PL_MARS = 4
PL_TERMINATOR = 0xFF

ENCRYPT_NOT_SUP = 0x02


def parse_prelogin(payload):
    opts = {}
    pos = 0
    while pos < len(payload) and payload[pos] != PL_TERMINATOR:
        if pos + 5 > len(payload):
            raise ProtocolError("truncated PRELOGIN option list")
        token = payload[pos]
        off, length = struct.unpack(">HH", payload[pos + 1:pos + 5])
        opts[token] = payload[off:off + length]
        pos += 5
    return opts


def build_prelogin_reply():
    # Server version 15.0.2000 (SQL Server 2019), no encryption, MARS off.
    options = [
        (PL_VERSION, bytes([15, 0, 0x07, 0xD0, 0, 0])),
        (PL_ENCRYPTION, bytes([ENCRYPT_NOT_SUP])),
        (PL_INSTOPT, b"\x00"),
        (PL_THREADID, b""),
        (PL_MARS, b"\x00"),
    ]
    header_len = 5 * len(options) + 1
    header = bytearray()
    data = bytearray()
    for token, value in options:
        header += struct.pack(">BHH", token, header_len + len(data), len(value))
        data += value
    header.append(PL_TERMINATOR)
    return bytes(header + data)


# --------------------------------------------------------------------------
# LOGIN7

def decode_password(raw):
    out = bytearray()
    for b in raw:
        b ^= 0xA5
        out.append(((b & 0x0F) << 4) | (b >> 4))
    return out.decode("utf-16-le", "replace")


def parse_login7(payload):
    if len(payload) < 94:
        raise ProtocolError("LOGIN7 too short")
    (length, tds_version, packet_size, _prog_ver, client_pid, _conn_id,
     flags1, flags2, type_flags, flags3, _tz, _lcid) = struct.unpack(
        "<IIIIIIBBBBiI", payload[:36])

    def field(offset_pos, raw=False):
        ib, cch = struct.unpack("<HH", payload[offset_pos:offset_pos + 4])
        data = payload[ib:ib + 2 * cch]
        return data if raw else data.decode("utf-16-le", "replace")

    return {
        "tds_version": tds_version,
        "packet_size": packet_size,
        "client_pid": client_pid,
        "integrated": bool(flags2 & 0x80),
        "hostname": field(36),
        "username": field(40),
        "password": decode_password(field(44, raw=True)),
        "appname": field(48),
        "servername": field(52),
        "library": field(60),
        "language": field(64),
        "database": field(68),
    }


def build_loginack(prog_name="Microsoft SQL Server", version=(15, 0, 7, 208)):
    body = (struct.pack("<B", 1) + struct.pack(">I", TDS74) + b_varchar(prog_name)
            + bytes(version))
    return token_with_length(TOK_LOGINACK, body)


# --------------------------------------------------------------------------
# Tokens

def build_envchange(env_type, new, old):
    if env_type in (ENV_COLLATION, ENV_BEGIN_TRAN, ENV_COMMIT_TRAN, ENV_ROLLBACK_TRAN):
        body = struct.pack("<B", env_type) + b_varbyte(new) + b_varbyte(old)
    else:
        body = struct.pack("<B", env_type) + b_varchar(new) + b_varchar(old)
    return token_with_length(TOK_ENVCHANGE, body)


def build_message(number, state, severity, text, server="STANDIN", proc="", line=1):
    """ERROR token for severity > 10, INFO token otherwise (as SQL Server does)."""
    tok = TOK_ERROR if severity > 10 else TOK_INFO
    body = (struct.pack("<iBB", number, state, severity) + us_varchar(text)
            + b_varchar(server) + b_varchar(proc) + struct.pack("<i", line))
    return token_with_length(tok, body)


def build_done(status=DONE_FINAL, curcmd=CMD_OTHER, count=0, token=TOK_DONE):
    return struct.pack("<BHHQ", token, status, curcmd, count)


def build_returnstatus(value=0):
    return struct.pack("<Bi", TOK_RETURNSTATUS, value)


def build_returnvalue_int(ordinal, name, value):
    body = struct.pack("<BH", TOK_RETURNVALUE, ordinal) + b_varchar(name)
    body += struct.pack("<BIH", 0x01, 0, 0x0001)          # output param, nullable
    body += struct.pack("<BB", TYPE_INTN, 4)
    if value is None:
        body += b"\x00"
    else:
        body += struct.pack("<Bi", 4, value)
    return body


class Column:
    """A result column: SQL type name and size drive the TDS encoding.

    kind: 'int' (size 1/2/4/8), 'bit', 'float' (size 4/8), 'char', 'varchar',
    'nchar', 'nvarchar' (size = max characters).
    """

    def __init__(self, name, kind, size=4, nullable=True, from_table=False):
        self.name = name
        self.kind = kind
        self.size = size
        self.nullable = nullable
        self.from_table = from_table

    def metadata(self):
        flags = 0x0001 if self.nullable else 0
        if self.from_table:
            flags |= 0x0008                                  # updateable
        out = struct.pack("<IH", 0, flags)
        if self.kind == "int":
            out += struct.pack("<BB", TYPE_INTN, self.size)
        elif self.kind == "bit":
            out += struct.pack("<BB", TYPE_BITN, 1)
        elif self.kind == "float":
            out += struct.pack("<BB", TYPE_FLTN, self.size)
        elif self.kind in ("char", "varchar"):
            t = TYPE_BIGCHAR if self.kind == "char" else TYPE_BIGVARCHR
            out += struct.pack("<BH", t, self.size) + COLLATION_FINNISH_SWEDISH_CI_AS
        elif self.kind in ("nchar", "nvarchar"):
            t = TYPE_NCHAR if self.kind == "nchar" else TYPE_NVARCHAR
            out += struct.pack("<BH", t, 2 * self.size) + COLLATION_FINNISH_SWEDISH_CI_AS
        else:
            raise ValueError("no TDS encoding for column kind %r" % self.kind)
        return out + b_varchar(self.name)

    def encode(self, value):
        kind = self.kind
        if kind == "int":
            if value is None:
                return b"\x00"
            fmt = {1: "<B", 2: "<h", 4: "<i", 8: "<q"}[self.size]
            return struct.pack("<B", self.size) + struct.pack(fmt, int(value))
        if kind == "bit":
            return b"\x00" if value is None else struct.pack("<BB", 1, 1 if value else 0)
        if kind == "float":
            if value is None:
                return b"\x00"
            return struct.pack("<B", self.size) + struct.pack(
                "<f" if self.size == 4 else "<d", float(value))
        if value is None:
            return b"\xff\xff"
        text = str(value)
        if kind in ("char", "nchar"):
            text = text.ljust(self.size)
        if kind in ("char", "varchar"):
            data = text.encode(CHAR_ENCODING, "replace")
        else:
            data = ucs2(text)
        return struct.pack("<H", len(data)) + data


def build_colmetadata(columns):
    out = struct.pack("<BH", TOK_COLMETADATA, len(columns))
    for col in columns:
        out += col.metadata()
    return out


def build_row(columns, values):
    out = bytearray([TOK_ROW])
    for col, value in zip(columns, values):
        out += col.encode(value)
    return bytes(out)


# --------------------------------------------------------------------------
# Client requests

def skip_all_headers(payload):
    """Strip the ALL_HEADERS block; return (transaction descriptor, rest)."""
    if len(payload) < 4:
        return None, payload
    total = struct.unpack("<I", payload[:4])[0]
    # A TDS 7.1 client sends no ALL_HEADERS; recognise the block by its shape.
    if total < 4 or total > len(payload) or total > 1024:
        return None, payload
    descriptor = None
    pos = 4
    while pos + 6 <= total:
        hlen, htype = struct.unpack("<IH", payload[pos:pos + 6])
        if hlen < 6:
            break
        if htype == 2 and hlen >= 18:
            descriptor = payload[pos + 6:pos + 14]
        pos += hlen
    return descriptor, payload[total:]


def parse_sql_batch(payload):
    _descriptor, rest = skip_all_headers(payload)
    return rest.decode("utf-16-le", "surrogatepass")


class Reader:
    def __init__(self, data, pos=0):
        self.data = data
        self.pos = pos

    def take(self, n):
        if self.pos + n > len(self.data):
            raise ProtocolError("message ends inside a field")
        out = self.data[self.pos:self.pos + n]
        self.pos += n
        return out

    def u8(self):
        return self.take(1)[0]

    def u16(self):
        return struct.unpack("<H", self.take(2))[0]

    def u32(self):
        return struct.unpack("<I", self.take(4))[0]

    def b_varchar(self):
        n = self.u8()
        return self.take(2 * n).decode("utf-16-le", "surrogatepass")

    def at_end(self):
        return self.pos >= len(self.data)


class Param:
    """An RPC parameter: its name, whether it is OUTPUT, and its Python value.

    sql_type tells how SQL Server would name the type in conversion errors
    ('int', 'varchar', 'nvarchar', ...).
    """

    def __init__(self, name, output, sql_type, value):
        self.name = name
        self.output = output
        self.sql_type = sql_type
        self.value = value

    def __repr__(self):
        return "Param(%r, %r, %r)" % (self.name, self.sql_type, self.value)


def _read_plp(r):
    total = struct.unpack("<Q", r.take(8))[0]
    if total == 0xFFFFFFFFFFFFFFFF:
        return None
    data = bytearray()
    while True:
        chunk = r.u32()
        if chunk == 0:
            break
        data += r.take(chunk)
    return bytes(data)


def _read_param_value(r):
    """Read TYPE_INFO and value; return (sql_type, value)."""
    t = r.u8()
    if t in FIXED_LEN:
        raw = r.take(FIXED_LEN[t])
        if t == TYPE_NULL:
            return "int", None
        return _decode_fixed(t, raw)
    if t in BYTELEN_TYPES:
        r.u8()                                   # max length
        n = r.u8()
        if n == 0:
            return _bytelen_name(t), None
        raw = r.take(n)
        fixed = {TYPE_INTN: {1: TYPE_INT1, 2: TYPE_INT2, 4: TYPE_INT4, 8: TYPE_INT8},
                 TYPE_BITN: {1: TYPE_BIT},
                 TYPE_FLTN: {4: TYPE_FLT4, 8: TYPE_FLT8},
                 TYPE_MONEYN: {4: TYPE_MONEY4, 8: TYPE_MONEY},
                 TYPE_DATETIMN: {4: TYPE_DATETIM4, 8: TYPE_DATETIME}}
        if t == TYPE_GUID:
            return "uniqueidentifier", raw.hex()
        return _decode_fixed(fixed[t][n], raw)
    if t in (TYPE_DECIMALN, TYPE_NUMERICN):
        r.u8()
        _precision = r.u8()
        scale = r.u8()
        n = r.u8()
        if n == 0:
            return "decimal", None
        raw = r.take(n)
        sign = 1 if raw[0] == 1 else -1
        mag = int.from_bytes(raw[1:], "little")
        from decimal import Decimal
        return "decimal", sign * Decimal(mag).scaleb(-scale)
    if t in USHORTLEN_BIN or t in USHORTLEN_CHAR:
        maxlen = r.u16()
        if t in USHORTLEN_CHAR:
            r.take(5)                              # collation
        if maxlen == 0xFFFF:
            raw = _read_plp(r)
        else:
            n = r.u16()
            raw = None if n == 0xFFFF else r.take(n)
        name = {TYPE_BIGVARBIN: "varbinary", TYPE_BIGBINARY: "binary",
                TYPE_BIGVARCHR: "varchar", TYPE_BIGCHAR: "char",
                TYPE_NVARCHAR: "nvarchar", TYPE_NCHAR: "nchar"}[t]
        if raw is None:
            return name, None
        if t in (TYPE_NVARCHAR, TYPE_NCHAR):
            return name, raw.decode("utf-16-le", "surrogatepass")
        if t in (TYPE_BIGVARCHR, TYPE_BIGCHAR):
            return name, raw.decode(CHAR_ENCODING, "replace")
        return name, raw
    if t in (TYPE_TEXT, TYPE_NTEXT, TYPE_IMAGE):
        r.u32()                                    # max length
        if t != TYPE_IMAGE:
            r.take(5)
        n = r.u32()
        if n == 0xFFFFFFFF:
            return {TYPE_TEXT: "text", TYPE_NTEXT: "ntext", TYPE_IMAGE: "image"}[t], None
        raw = r.take(n)
        if t == TYPE_NTEXT:
            return "ntext", raw.decode("utf-16-le", "surrogatepass")
        if t == TYPE_TEXT:
            return "text", raw.decode(CHAR_ENCODING, "replace")
        return "image", raw
    if t == TYPE_DATEN:
        n = r.u8()
        return "date", None if n == 0 else _decode_date(r.take(n))
    if t in (TYPE_TIMEN, TYPE_DATETIME2N, TYPE_DATETIMEOFFSETN):
        r.u8()                                     # scale
        n = r.u8()
        if n == 0:
            return "datetime2", None
        raise ProtocolError("time/datetime2 parameters are not supported by the stand-in")
    raise ProtocolError("unsupported parameter type 0x%02X" % t)


def _bytelen_name(t):
    return {TYPE_INTN: "int", TYPE_BITN: "bit", TYPE_FLTN: "float",
            TYPE_MONEYN: "money", TYPE_DATETIMN: "datetime",
            TYPE_GUID: "uniqueidentifier"}[t]


def _decode_date(raw):
    import datetime
    days = int.from_bytes(raw[:3], "little")
    return (datetime.date(1, 1, 1) + datetime.timedelta(days=days)).isoformat()


def _decode_fixed(t, raw):
    if t == TYPE_INT1:
        return "tinyint", raw[0]
    if t == TYPE_BIT:
        return "bit", raw[0] & 1
    if t == TYPE_INT2:
        return "smallint", struct.unpack("<h", raw)[0]
    if t == TYPE_INT4:
        return "int", struct.unpack("<i", raw)[0]
    if t == TYPE_INT8:
        return "bigint", struct.unpack("<q", raw)[0]
    if t == TYPE_FLT4:
        return "real", struct.unpack("<f", raw)[0]
    if t == TYPE_FLT8:
        return "float", struct.unpack("<d", raw)[0]
    if t in (TYPE_MONEY, TYPE_MONEY4):
        from decimal import Decimal
        if t == TYPE_MONEY:
            hi, lo = struct.unpack("<iI", raw)
            v = (hi << 32) | lo
        else:
            v = struct.unpack("<i", raw)[0]
        return "money", Decimal(v).scaleb(-4)
    if t in (TYPE_DATETIME, TYPE_DATETIM4):
        import datetime
        if t == TYPE_DATETIME:
            days, ticks = struct.unpack("<iI", raw)
            secs = ticks / 300.0
        else:
            days, mins = struct.unpack("<HH", raw)
            secs = mins * 60.0
        dt = datetime.datetime(1900, 1, 1) + datetime.timedelta(days=days, seconds=secs)
        return "datetime", dt.strftime("%Y-%m-%d %H:%M:%S.") + "%03d" % (dt.microsecond // 1000)
    raise ProtocolError("unsupported fixed type 0x%02X" % t)


RPC_PROC_IDS = {
    1: "sp_cursor", 2: "sp_cursoropen", 3: "sp_cursorprepare",
    4: "sp_cursorexecute", 5: "sp_cursorprepexec", 6: "sp_cursorunprepare",
    7: "sp_cursorfetch", 8: "sp_cursoroption", 9: "sp_cursorclose",
    10: "sp_executesql", 11: "sp_prepare", 12: "sp_execute",
    13: "sp_prepexec", 14: "sp_prepexecrpc", 15: "sp_unprepare",
}


def parse_rpc(payload):
    """Return a list of (proc_name, [Param, ...]) for each RPC in the message."""
    _descriptor, rest = skip_all_headers(payload)
    r = Reader(rest)
    calls = []
    while not r.at_end():
        n = r.u16()
        if n == 0xFFFF:
            proc_id = r.u16()
            name = RPC_PROC_IDS.get(proc_id, "proc#%d" % proc_id)
        else:
            name = r.take(2 * n).decode("utf-16-le", "surrogatepass")
        r.u16()                                    # option flags
        params = []
        while not r.at_end():
            peek = r.data[r.pos]
            if peek in (0x80, 0xFF):               # batch separator: next RPC
                r.pos += 1
                break
            pname = r.b_varchar()
            status = r.u8()
            sql_type, value = _read_param_value(r)
            params.append(Param(pname, bool(status & 0x01), sql_type, value))
        calls.append((name, params))
    return calls


def parse_transaction_request(payload):
    """Return (request_type, begin_new) for a transaction manager request."""
    _descriptor, rest = skip_all_headers(payload)
    r = Reader(rest)
    req = r.u16()
    begin_new = False
    if req in (TM_COMMIT_XACT, TM_ROLLBACK_XACT) and not r.at_end():
        r.b_varchar()                              # transaction name
        if not r.at_end():
            begin_new = bool(r.u8() & 0x01)
    return req, begin_new
