#!/bin/bash
# Runs Windows programs under Wine for ctest and by hand, in the prefix WINEPREFIX names.
#   wine-run.sh --start [null|xvfb]   prepare the prefix and start its server
#   wine-run.sh --stop                end the server
#   wine-run.sh PROGRAM [ARGS...]     run one program; its exit code is ours
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" || exit 1

case "${1:-}" in
    --start) shift; wine_start "$@" ;;
    --stop) wine_stop ;;
    "") echo "usage: wine-run.sh --start [null|xvfb] | --stop | PROGRAM [ARGS...]" >&2; exit 2 ;;
    *) wine_run "$@" ;;
esac
