# Sourced by the scripts that show Windows programs on a virtual screen of their own.
#   xvfb_start   starts Xvfb (1600x1000) on XVFB_DISPLAY when that is set, else on the first
#                display from :90 on that nobody uses; exports DISPLAY, sets XVFB_PID
#   xvfb_stop    ends that Xvfb
# Several developers share one machine: a display counts as taken while its socket
# (/tmp/.X11-unix/X<n>) or its lock file (/tmp/.X<n>-lock) exists, and a display taken by someone
# else between the look and the start makes Xvfb fail, so the next free one is tried.
XVFB_PID=""

xvfb_free_display() {  # [first number]
    local n
    for n in $(seq "${1:-90}" 199); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { echo "$n"; return 0; }
    done
    return 1
}

xvfb_start() {
    local n=90 display tries
    for tries in 1 2 3 4 5; do
        if [ -n "${XVFB_DISPLAY:-}" ]; then
            display=$XVFB_DISPLAY
        else
            n=$(xvfb_free_display "$n") || { echo "no free X display from :90 on" >&2; return 1; }
            display=:$n
        fi
        Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=$display
        for _ in $(seq 50); do
            kill -0 "$XVFB_PID" 2>/dev/null || break
            xdpyinfo >/dev/null 2>&1 && return 0
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null
        XVFB_PID=""
        [ -n "${XVFB_DISPLAY:-}" ] && break
        n=$((n + 1))
    done
    echo "Xvfb did not start on ${XVFB_DISPLAY:-any free display}" >&2
    return 1
}

xvfb_stop() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
    return 0
}
