# Sourced by the scripts that run Windows programs under Wine. The caller sets WINEPREFIX to a
# folder of its own (a fresh prefix takes 6 to 10 s to create; later starts reuse it).
#
#   wine_start [null|xvfb]   start the server and prepare the prefix; "null" (the default) lets
#                            windowed programs run without any display, "xvfb" is for an X
#                            server such as Xvfb, with windows left unmanaged
#   wine_run PROGRAM [ARGS]  run a Windows program, print its output when it ends; returns its
#                            exit code (124 on timeout)
#   wine_stop                end the server of this prefix
#
# WINE_TIMEOUT (seconds, default 300) bounds every single wine call.

: "${WINEPREFIX:?set WINEPREFIX to a folder of your own}"
# Wine wants the prefix as an absolute path, and the server of a prefix is found by it.
WINEPREFIX=$(realpath -m "$WINEPREFIX")
export WINEPREFIX
export WINEARCH=win64
# No Mono or Gecko download prompts, no debug channels on stderr.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
WINE_TIMEOUT=${WINE_TIMEOUT:-300}

wine_call() {
    timeout --kill-after=10 "$WINE_TIMEOUT" wine "$@"
}

wine_start() {
    local display=${1:-null} driver=null
    [ "$display" = xvfb ] && driver=x11
    mkdir -p "$WINEPREFIX" || return 1
    _wine_boot || return 1
    if ! wine_call reg query 'HKCU\Software\Wine\Drivers' /v Graphics </dev/null 2>/dev/null | grep -qi "REG_SZ[[:space:]]*$driver"; then
        wine_call reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$driver" /f </dev/null >/dev/null 2>&1 || return 1
        if [ "$driver" = x11 ]; then
            # Without a window manager every window close otherwise costs about 2 s.
            wine_call reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || return 1
        fi
        # The desktop a new prefix started with still runs on the old driver, and windows on it
        # never show: start everything again on the new one.
        wine_stop
        _wine_boot || return 1
    fi
}

_wine_boot() {
    # A server that stays for the whole session; without it, and without the first run below,
    # a wine run whose output goes to a pipe can hang for minutes. The server and the helper
    # processes Wine starts outlive the call: they must not hold the caller's output open, or
    # whoever reads it (ctest) waits for them.
    # It answers 2 when this prefix has a server already: that one serves as well.
    timeout 60 wineserver -p </dev/null >/dev/null 2>&1
    case $? in 0 | 2) ;; *) return 1 ;; esac
    wine_call cmd /c exit </dev/null >/dev/null 2>&1
}

# The program's output (stdout and stderr together) goes through a file: the desktop and other
# helpers that a windowed program makes Wine start would otherwise inherit a pipe and keep it open.
wine_run() {
    local output status
    output=$(mktemp) || return 1
    wine_call "$@" </dev/null >"$output" 2>&1
    status=$?
    cat "$output"
    rm -f "$output"
    return $status
}

wine_stop() {
    timeout 60 wineserver -k 2>/dev/null
    timeout 60 wineserver -w 2>/dev/null
    return 0
}
