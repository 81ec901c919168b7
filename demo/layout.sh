#!/usr/bin/env bash
# Lays out the demo installation in a Wine prefix:
#   C:\Program Files\Varnik\tqsys.dsn   the product's current system DSN (the one to be replaced)
#   C:\Verktyg\                         Daltrix.exe, the old tqsys.dsn and one tq%04d.dsn per company
# The old system database is a SQLite file reached through the SQLite3 ODBC driver; the company
# DSNs point at the SQL Server stand-in on the given port.
#   demo/layout.sh WINEPREFIX PROGRAM.exe STANDIN_PORT WORKDIR   (the program goes beside the DSNs)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=${1:?wine prefix}
exe=${2:?Daltrix.exe}
port=${3:?stand-in port}
work=${4:?work folder}

install="$prefix/drive_c/Program Files/Varnik"
tool="$prefix/drive_c/Verktyg"
mkdir -p "$install" "$tool" "$work"

# The old system database, from its SQL text.
rm -f "$work/old-system.db"
python3 - "$work/old-system.db" "$here/old-system.sql" <<'PY'
import sqlite3, sys
con = sqlite3.connect(sys.argv[1])
con.executescript(open(sys.argv[2], encoding="utf-8").read())
con.commit()
PY

crlf() { sed 's/$/\r/'; }

# Drivers a Unix driver manager loads inside the Wine process; paths in DSNs are Unix paths.
# By bare file name: the 32-bit unixODBC of the x86 build and the 64-bit one of the x64 build
# each load their own architecture's copy from their own odbc folder.
mkdir -p "$work/odbc"
cat >"$work/odbc/odbcinst.ini" <<INI
[SQLite3]
Driver=libsqlite3odbc.so

[SQL Server]
Driver=libtdsodbc.so
INI
: >"$work/odbc/odbc.ini"

# The product writes its DSN files in single-byte Windows text.
crlf <<DSN | iconv -f utf-8 -t latin1 >"$install/tqsys.dsn"
[ODBC]
DRIVER=Varnik Lön 2.x
DATABASE=tqsys
Description = Varnik Lön systemdatabas (version 2)
DSN

crlf >"$tool/tqsys.dsn" <<DSN
[ODBC]
DRIVER=SQLite3
Database=$work/old-system.db
DSN

for number in 1 2 3 7 12; do
  crlf >"$tool/$(printf 'tq%04d.dsn' "$number")" <<DSN
[ODBC]
DRIVER={SQL Server}
SERVER=127.0.0.1
PORT=$port
UID=varnik
PWD=Demo-Losen-2026
DATABASE=master
TDS_Version=7.4
DSN
done

cp "$exe" "$tool/"
