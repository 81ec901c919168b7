# Sourced by the scripts that run whole conversions under Wine: a SQL Server stand-in of their
# own behind the company DSNs, and the demo installation laid out in their prefix with the
# program that converts in C:\Verktyg\. The caller sets WINEPREFIX and starts it (wine-env.sh).
#   bed_standin_start DIR [OPTIONS]    a fresh stand-in with its data in DIR; prints its port
#   bed_standin_stop DIR
#   bed_layout PROGRAM.exe PORT DIR    the demo installation (what an earlier run converted goes
#                                      first), its old system database and ODBC drivers in DIR,
#                                      and the ODBC variables the program needs; with DALTRIX_LEGACY_DRIVER
#                                      (the native build's liblegacy_driver.so) also that driver as
#                                      "Legacy", and a folder for its files in DALTRIX_LEGACY_DIR
#   bed_old_system KIND DRIVER DIR     after bed_layout: the old system database on a real server
#                                      instead (postgresql or mariadb), started in DIR as a child of
#                                      the caller and loaded with the demo's, reached through the
#                                      ODBC driver of that name
#   bed_old_system_stop                stops that server
bed_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The login demo/layout.sh writes into every company DSN.
bed_login=varnik:Demo-Losen-2026

bed_standin_start() {
    "$bed_top/tools/standin.sh" stop "$1"
    rm -rf "$1"
    local dir=$1
    shift
    "$bed_top/tools/standin.sh" start "$dir" --login "$bed_login" "$@"
}

bed_standin_stop() {
    "$bed_top/tools/standin.sh" stop "$1"
}

bed_layout() {
    local program=$1 port=$2 dir=$3
    rm -rf "$WINEPREFIX/drive_c/Program Files/Varnik" "$WINEPREFIX/drive_c/Verktyg" "$dir"
    "$bed_top/demo/layout.sh" "$WINEPREFIX" "$program" "$port" "$dir" || return 1
    # Wine's odbc32 loads unixODBC inside the Wine process: the variables reach it there.
    export ODBCSYSINI="$dir/odbc" ODBCINI="$dir/odbc/odbc.ini" DALTRIX_STANDIN_PORT=$port
    [ -z "${DALTRIX_LEGACY_DRIVER:-}" ] || bed_legacy_driver "$dir"
}

bed_legacy_driver() {
    if [ ! -f "$DALTRIX_LEGACY_DRIVER" ]; then
        echo "no legacy test driver at $DALTRIX_LEGACY_DRIVER: build the native tree first" >&2
        return 1
    fi
    printf '\n[Legacy]\nDriver=%s\n' "$DALTRIX_LEGACY_DRIVER" >>"$1/odbc/odbcinst.ini"
    export DALTRIX_LEGACY_DIR="$1/legacy"
    mkdir -p "$DALTRIX_LEGACY_DIR"
}

# The old system's drivers, under the names their Windows installers register (x64).
bed_old_drivers='
[PostgreSQL ANSI(x64)]
Driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so

[PostgreSQL Unicode(x64)]
Driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so

[MariaDB ODBC 3.1 Driver]
Driver=/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so
'
bed_old_kind=""
bed_old_dir=""

bed_old_system() {
    local kind=$1 driver=$2 dir=$3/$1 server="$bed_top/tools/old-system-server.sh" tries=0
    # A child of the test script: it ends with the script, also when the script is killed.
    "$server" run "$kind" "$dir" &
    bed_old_kind=$kind bed_old_dir=$dir
    until "$server" ready "$kind" "$dir"; do
        tries=$((tries + 1))
        [ $tries -lt 600 ] && kill -0 $! 2>/dev/null ||
            { echo "the $kind server did not start; see $dir" >&2; return 1; }
        sleep 0.1
    done
    "$server" sql "$kind" "$dir" <"$bed_top/demo/old-system.sql" >/dev/null || return 1
    printf '%s' "$bed_old_drivers" >>"$ODBCSYSINI/odbcinst.ini"
    { printf '[ODBC]\r\nDRIVER=%s\r\n' "$driver"; cat "$dir/dsn"; } >"$WINEPREFIX/drive_c/Verktyg/tqsys.dsn"
}

bed_old_system_stop() {
    [ -n "$bed_old_kind" ] || return 0
    "$bed_top/tools/old-system-server.sh" stop "$bed_old_kind" "$bed_old_dir"
    bed_old_kind=""
}
