#!/usr/bin/env bash
# A real database server holding an old system database, for the tests: PostgreSQL or MariaDB,
# in a folder of its own, listening on 127.0.0.1 and a free port (and a Unix socket in the folder).
#
#   old-system-server.sh run KIND DIR      makes a fresh server in DIR and becomes it: the caller
#                                          owns the process, which ends when the caller ends
#   old-system-server.sh ready KIND DIR    succeeds once the server accepts connections
#   old-system-server.sh sql KIND DIR      runs the SQL script on stdin (UTF-8) in the database
#                                          tqsys, made with its login on first use
#   old-system-server.sh stop KIND DIR     stops the server and waits (bounded) until it has gone
#
# KIND is postgresql or mariadb. After "run" has chosen the port, DIR/dsn holds the [ODBC] items
# that reach tqsys (everything but DRIVER), CR LF, as a file DSN carries them.
set -euo pipefail

action=${1:?run, ready, sql or stop}
kind=${2:?postgresql or mariadb}
dir=${3:?a folder for the server}

# The old system's login, as a site's tqsys.dsn names it.
login=varnik
password='Gammalt#1'

pg_bin() {
    local bin
    bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
    [ -n "$bin" ] || { echo "no PostgreSQL server installed (tools/setup.sh)" >&2; exit 1; }
    echo "$bin"
}

# Servers refuse to run as root: as root, run them as the user their package made.
service_user() {
    [ "$(id -u)" -eq 0 ] || return 0
    case $kind in
        postgresql) echo postgres ;;
        mariadb) echo mysql ;;
    esac
}

as_service() {
    local user
    user=$(service_user)
    if [ -n "$user" ]; then
        setpriv --reuid="$user" --regid="$user" --clear-groups -- "$@"
    else
        "$@"
    fi
}

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

prepare_folder() {
    rm -rf "$dir"
    mkdir -p "$dir"
    # The server becomes this process.
    echo $$ >"$dir/pid"
    local user
    user=$(service_user)
    if [ -n "$user" ]; then
        chown "$user:" "$dir"
        as_service test -w "$dir" ||
            { echo "$user cannot reach $dir: every folder above it must let others through" >&2; exit 1; }
    fi
}

write_dsn() {
    local port=$1
    # psqlODBC's own keywords for PostgreSQL, the ODBC ones for MariaDB, as each driver's setup writes them.
    case $kind in
        postgresql)
            printf 'Servername=127.0.0.1\r\nPort=%s\r\nDatabase=tqsys\r\nUsername=%s\r\nPassword=%s\r\n' \
                "$port" "$login" "$password" ;;
        mariadb)
            printf 'SERVER=127.0.0.1\r\nPORT=%s\r\nDATABASE=tqsys\r\nUID=%s\r\nPWD=%s\r\n' \
                "$port" "$login" "$password" ;;
    esac >"$dir/dsn"
    echo "$port" >"$dir/port"
}

# How each server is told to stop: PostgreSQL's fast shutdown (SIGTERM would wait for every
# client to leave), MariaDB's normal one.
stop_signal() {
    case $kind in
        postgresql) echo INT ;;
        mariadb) echo TERM ;;
    esac
}

# Becomes the server, with the parent death signal set: if the caller is gone already, the check
# after setting it ends us; if it goes later, the signal does.
become_server() {
    local signal caller=$PPID
    signal=$(stop_signal)
    local user switch=()
    user=$(service_user)
    [ -n "$user" ] && switch=(--reuid="$user" --regid="$user" --clear-groups)
    exec setpriv "${switch[@]}" --pdeathsig "$signal" -- \
        sh -c '[ "$PPID" = "$0" ] || exit 1; shift; exec "$@"' "$caller" - "$@"
}

run_postgresql() {
    local bin port
    bin=$(pg_bin)
    prepare_folder
    printf '%s\n' "$password" >"$dir/password"
    as_service "$bin/initdb" -D "$dir/data" -U "$login" --pwfile="$dir/password" --auth-local=trust \
        --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 --no-sync --no-instructions >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; exit 1; }
    rm -f "$dir/password"
    port=$(free_port)
    write_dsn "$port"
    # Nothing here needs to survive a crash: no syncing to disk.
    become_server "$bin/postgres" -D "$dir/data" -p "$port" -c listen_addresses=127.0.0.1 \
        -c unix_socket_directories="$dir" -c fsync=off -c synchronous_commit=off -c full_page_writes=off \
        -c shared_buffers=16MB -c max_connections=20 >"$dir/server.log" 2>&1
}

# Small and unsynced: nothing here needs to survive a crash.
mariadb_options=(--no-defaults --datadir="$dir/data" --innodb-buffer-pool-size=16M --innodb-log-file-size=4M
    --innodb-flush-log-at-trx-commit=0 --skip-innodb-doublewrite --innodb-flush-method=nosync
    --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci --max-connections=20
    --table-open-cache=64 --open-files-limit=1024)

run_mariadb() {
    local port
    prepare_folder
    as_service mkdir "$dir/data"
    # The system tables alone: mariadb-install-db adds help and sys tables, and takes three times as long.
    { echo "CREATE DATABASE IF NOT EXISTS mysql;"
      echo "USE mysql;"
      echo "SET @auth_root_socket=NULL;"
      cat /usr/share/mysql/mysql_system_tables.sql /usr/share/mysql/mysql_system_tables_data.sql
    } | as_service mariadbd "${mariadb_options[@]}" --bootstrap --log-warnings=0 >"$dir/bootstrap.log" 2>&1 ||
        { cat "$dir/bootstrap.log" >&2; exit 1; }
    port=$(free_port)
    write_dsn "$port"
    become_server mariadbd "${mariadb_options[@]}" --port="$port" --bind-address=127.0.0.1 \
        --socket="$dir/mysqld.sock" --pid-file="$dir/mysqld.pid" --skip-name-resolve --skip-log-bin \
        --log-error="$dir/server.log"
}

port() {
    cat "$dir/port"
}

# Every wait is bounded: a statement that waits for a lock, say one a test's open connection
# holds, fails after 30 s instead of the servers' default of a day.
psql_admin() {
    PGCLIENTENCODING=UTF8 PGCONNECT_TIMEOUT=10 \
        PGOPTIONS='-c client_min_messages=warning -c lock_timeout=30s -c statement_timeout=60s' \
        timeout 120 psql -X -q -v ON_ERROR_STOP=1 -h "$dir" -p "$(port)" -U "$login" "$@"
}

mariadb_admin() {
    { echo "SET SESSION lock_wait_timeout = 30, innodb_lock_wait_timeout = 30;"; cat; } |
        timeout 120 mariadb --no-defaults -uroot --socket="$dir/mysqld.sock" --connect-timeout=10 \
            --default-character-set=utf8mb4 "$@"
}

ready() {
    [ -s "$dir/port" ] || return 1
    case $kind in
        postgresql) timeout 10 pg_isready -q -t 5 -h "$dir" -p "$(port)" ;;
        mariadb)
            timeout 10 mariadb-admin --no-defaults -uroot --socket="$dir/mysqld.sock" --connect-timeout=5 \
                ping >/dev/null 2>&1 ;;
    esac
}

sql() {
    case $kind in
        postgresql)
            [ -n "$(psql_admin -d postgres -tAc "SELECT 1 FROM pg_database WHERE datname = 'tqsys'")" ] ||
                psql_admin -d postgres -c "CREATE DATABASE tqsys ENCODING 'UTF8' TEMPLATE template0"
            psql_admin -d tqsys -f - ;;
        mariadb)
            # The script's literals keep their backslashes (C:\Varnik), as in standard SQL.
            { echo "CREATE DATABASE IF NOT EXISTS tqsys CHARACTER SET utf8mb4;"
              echo "CREATE USER IF NOT EXISTS '$login'@'%' IDENTIFIED BY '$password';"
              echo "GRANT ALL ON tqsys.* TO '$login'@'%';"
              echo "USE tqsys;"
              echo "SET sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES');"
              cat
            } | mariadb_admin ;;
    esac
}

# Whether this folder's server (or the script that becomes it) still runs as that process: one
# that has ended but is not yet reaped counts as gone, and so does another that took its number.
running() {
    [ -r "/proc/$1/status" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null &&
        tr '\0' '\n' <"/proc/$1/cmdline" 2>/dev/null | grep -qF "$dir"
}

stop() {
    [ -s "$dir/pid" ] || return 0
    local pid
    pid=$(cat "$dir/pid")
    running "$pid" || return 0
    kill -"$(stop_signal)" "$pid" 2>/dev/null || return 0
    for _ in $(seq 1 300); do
        running "$pid" || return 0
        sleep 0.1
    done
    echo "the $kind server in $dir did not stop within 30 s: killed" >&2
    kill -KILL "$pid" 2>/dev/null || true
}

case $kind in
    postgresql | mariadb) ;;
    *) echo "unknown server kind: $kind" >&2; exit 2 ;;
esac

case $action in
    run) "run_$kind" ;;
    ready) ready ;;
    sql) sql ;;
    stop) stop ;;
    *) echo "usage: old-system-server.sh run|ready|sql|stop postgresql|mariadb DIR" >&2; exit 2 ;;
esac
