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
