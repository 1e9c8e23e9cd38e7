# Sourced by the test and demo scripts: a private Wine prefix under build/, headless on Xvfb.
#
# The Windows product is 32-bit (build/win32). Where this machine cannot run 32-bit code (a kernel
# without IA-32 emulation cannot start Wine's 32-bit loader) the same sources, cross-built for
# 64-bit Windows (build/win64), run under 64-bit Wine instead, so the Windows backend is still
# exercised; ZIPSFX_WINE_BUILD says which build the tests use.

ZIPSFX_ROOT="${ZIPSFX_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEPREFIX="${WINEPREFIX:-$ZIPSFX_ROOT/build/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    ZIPSFX_WINE=/usr/lib/wine/wine
    ZIPSFX_WINE_BUILD=win32
    export WINEARCH=win32
    # Sourced again by a script that a sourcing script runs: the suffix is added once.
    case "$WINEPREFIX" in *-32) ;; *) export WINEPREFIX="$WINEPREFIX-32" ;; esac
else
    ZIPSFX_WINE=/usr/lib/wine/wine64
    ZIPSFX_WINE_BUILD=win64
    export WINEARCH=win64
    case "$WINEPREFIX" in *-64) ;; *) export WINEPREFIX="$WINEPREFIX-64" ;; esac
fi
export ZIPSFX_WINE ZIPSFX_WINE_BUILD

# One Xvfb display for the whole run, unless a display is already there.
wine_start_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    local n pid
    for n in $(seq 91 140); do
        # A lock left by an Xvfb that is gone (a killed run) must not block the display.
        if [ -e "/tmp/.X$n-lock" ]; then
            pid=$(tr -dc '0-9' <"/tmp/.X$n-lock" 2>/dev/null || true)
            if [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null; then
                rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
            fi
        fi
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
            ZIPSFX_XVFB_PID=$!
            export DISPLAY=":$n"
            local i
            for i in $(seq 1 50); do
                [ -e "/tmp/.X11-unix/X$n" ] && return 0
                sleep 0.1
            done
        fi
    done
    echo "wine-env: cannot start Xvfb" >&2
    return 1
}

# Boots the prefix once and keeps one wineserver alive, so later starts are quick.
wine_start() {
    wine_start_display || return 1
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$ZIPSFX_WINE" wineboot -i >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -p >/dev/null 2>&1 || true
}

wine_stop() {
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    if [ -n "${ZIPSFX_XVFB_PID:-}" ]; then
        kill "$ZIPSFX_XVFB_PID" 2>/dev/null || true
        wait "$ZIPSFX_XVFB_PID" 2>/dev/null || true
        unset ZIPSFX_XVFB_PID
    fi
}

wine_run() {
    "$ZIPSFX_WINE" "$@"
}

# A Unix path as the Windows programs see it.
wine_path() {
    local p="$1"
    echo "Z:${p//\//\\}"
}
