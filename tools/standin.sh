#!/usr/bin/env bash
# Starts or stops the SQL Server stand-in (a test fixture, tests/sqlserver_standin/) as a
# service on a free loopback port.
#   tools/standin.sh start DIR [OPTIONS...]   data, record and port file under DIR; prints the port
#   tools/standin.sh stop DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
action=${1:?start or stop}
dir=${2:?a folder for the stand-in}
shift 2
case $action in
  start)
    mkdir -p "$dir/data"
    rm -f "$dir/port"
    python3 "$top/tests/sqlserver_standin/standin.py" --port 0 --port-file "$dir/port" \
      --data-dir "$dir/data" --record "$dir/record.jsonl" "$@" >"$dir/standin.log" 2>&1 &
    echo $! >"$dir/pid"
    for _ in $(seq 1 200); do
      [ -s "$dir/port" ] && break
      sleep 0.05
    done
    [ -s "$dir/port" ] || { echo "the SQL Server stand-in did not start; see $dir/standin.log" >&2; exit 1; }
    cat "$dir/port"
    ;;
  stop)
    [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null || true
    rm -f "$dir/pid"
    ;;
  *) echo "usage: standin.sh start|stop DIR" >&2; exit 2 ;;
esac
