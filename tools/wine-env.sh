# Sourced by the scripts that run Windows programs under Wine. The caller sets WINEPREFIX to a
# folder of its own (a fresh prefix is slow to create; later starts reuse it) and
# WINEARCH to the build's: win64 (the default) for x64, win32 for x86. A prefix serves one of
# them for good: the x86 and the x64 build each need a prefix of their own.
#
#   wine_start [null|xvfb]   start the server and prepare the prefix; "null" (the default) lets
#                            windowed programs run without any display, "xvfb" is for an X
#                            server such as Xvfb, with windows left unmanaged. A prefix made for
#                            the other architecture, or a win64 one made before the 32-bit Wine
#                            was installed, is made afresh.
#   wine_run PROGRAM [ARGS]  run a Windows program, print its output when it ends; returns its
#                            exit code (124 on timeout)
#   wine_stop                end the server of this prefix
#   wine_arch_of PROGRAM.exe prints the WINEARCH a program needs: win32 or win64
#
# WINE_TIMEOUT (seconds, default 300) bounds every single wine call.

: "${WINEPREFIX:?set WINEPREFIX to a folder of your own}"
# Wine wants the prefix as an absolute path, and the server of a prefix is found by it.
WINEPREFIX=$(realpath -m "$WINEPREFIX")
export WINEPREFIX
export WINEARCH=${WINEARCH:-win64}
case $WINEARCH in
    win32 | win64) ;;
    *) echo "WINEARCH must be win32 or win64, not $WINEARCH" >&2; return 1 ;;
esac
# No Mono or Gecko download prompts, no debug channels on stderr.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
WINE_TIMEOUT=${WINE_TIMEOUT:-300}

wine_call() {
    timeout --kill-after=10 "$WINE_TIMEOUT" "$(_wine_loader)" "$@"
}

# Debian's `wine` starts every program through the 32-bit loader once wine32 is installed, and
# that loader hands 64-bit programs on to the 64-bit one. Where the kernel runs no 32-bit code
# the 32-bit loader cannot start, so a win64 prefix's programs go to the 64-bit loader directly.
_wine_loader() {
    if [ "$WINEARCH" = win64 ] && [ -x /usr/lib/wine/wine64 ] && ! _wine_has_32bit; then
        echo /usr/lib/wine/wine64
    else
        echo wine
    fi
}

# The exit code of a test that cannot run on this machine at all (ctest's SKIP_RETURN_CODE).
WINE_SKIPPED=77

# True, after saying so, when a win32 prefix, or the 32-bit PROGRAM if one is named, is to run on a
# machine that cannot run 32-bit Windows programs at all: a kernel that runs no 32-bit code, or no
# 32-bit Wine, where the package registry could not give tools/setup.sh its wine32:i386.
wine_x86_impossible() {
    local arch=$WINEARCH
    [ -n "${1:-}" ] && [ -f "$1" ] && arch=$(wine_arch_of "$1" 2>/dev/null)
    [ "$arch" = win32 ] && ! _wine_has_32bit || return 1
    if [ -e "$_wine_32bit_kernel32" ]; then
        echo "SKIPPED: this machine's kernel runs no 32-bit programs (IA-32 emulation is off): the x86 build cannot run under Wine here" >&2
    else
        echo "SKIPPED: this machine has no 32-bit Wine (tools/setup.sh could not install wine32:i386): the x86 build cannot run under Wine here" >&2
    fi
}

wine_start() {
    local display=${1:-null} driver=null
    [ "$display" = xvfb ] && driver=x11
    wine_x86_impossible && return $WINE_SKIPPED
    if _wine_prefix_is_stale; then
        echo "the Wine prefix $WINEPREFIX does not fit $WINEARCH and this Wine: made afresh" >&2
        wine_stop
        rm -rf "$WINEPREFIX"
    fi
    mkdir -p "$WINEPREFIX" || return 1
    _wine_boot || return 1
    if ! wine_call reg query 'HKCU\Software\Wine\Drivers' /v Graphics </dev/null 2>/dev/null | grep -qi "REG_SZ[[:space:]]*$driver"; then
        wine_call reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$driver" /f </dev/null >/dev/null 2>&1 || return 1
        if [ "$driver" = x11 ]; then
            # Without a window manager every window close otherwise waits for one.
            wine_call reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || return 1
        fi
        # The desktop a new prefix started with still runs on the old driver, and windows on it
        # never show: start everything again on the new one.
        wine_stop
        _wine_boot || return 1
    fi
}

# Debian's wine32:i386 puts the 32-bit half of Wine here; it counts only where its loader starts.
_wine_32bit_kernel32=/usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll
_wine_has_32bit() {
    if [ -z "${_wine_32bit_runs:-}" ]; then
        _wine_32bit_runs=no
        [ -e "$_wine_32bit_kernel32" ] && /usr/lib/wine/wine --version >/dev/null 2>&1 && _wine_32bit_runs=yes
    fi
    [ "$_wine_32bit_runs" = yes ]
}

# A prefix records its architecture in its registry files. A win64 prefix made while Wine had no
# 32-bit half has no syswow64, and once wine32 is there every start of it fails with "could not
# load kernel32.dll".
_wine_prefix_is_stale() {
    [ -f "$WINEPREFIX/system.reg" ] || return 1
    grep -q "^#arch=$WINEARCH\$" "$WINEPREFIX/system.reg" || return 0
    [ "$WINEARCH" = win64 ] && _wine_has_32bit && [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]
}

wine_arch_of() {
    # The PE header's offset stands at 0x3c; its machine field follows the 4-byte signature.
    local pe machine=
    if [ "$(head -c 2 "$1" 2>/dev/null)" = MZ ]; then
        pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
        machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
    fi
    case $machine in
        014c) echo win32 ;;
        8664) echo win64 ;;
        *) echo "$1 is no x86 or x64 Windows program" >&2; return 1 ;;
    esac
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
    wine_x86_impossible "$1" && return $WINE_SKIPPED
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
