# Sourced by the scripts that run programs under Wine. Needs $build (the build folder).
# One Wine prefix inside the build folder, Chinese locale (ANSI code page 936), no Mono or Gecko.
# The Wine that scripts/build-wine.sh builds runs the 32-bit programs through WoW64.
export PATH="/opt/quovanta-wine10/bin:$PATH"
build=$(realpath -m "$build")  # Wine takes only an absolute prefix path
export WINEPREFIX="$build/wineprefix"
export LC_ALL=zh_CN.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="

# Creates the prefix once; several test processes may ask at the same time.
wine_prefix_ready() {
    mkdir -p "$build"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            wine wineboot -i >/dev/null 2>&1 || true
            # a crashing program prints its backtrace and ends instead of waiting on a crash dialog
            wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
            wineserver -w
        fi
    ) 9>"$build/.wineprefix.lock"
}

# Starts an Xvfb display of its own and sets DISPLAY; display_stop ends it.
display_start() {
    local fifo; fifo=$(mktemp -u); mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    QUOVANTA_XVFB_PID=$!
    local n; read -r n <"$fifo"; rm -f "$fifo"
    export DISPLAY=":$n"
}

display_stop() {
    if [ -n "${QUOVANTA_XVFB_PID:-}" ]; then
        kill "$QUOVANTA_XVFB_PID" 2>/dev/null || true
        wait "$QUOVANTA_XVFB_PID" 2>/dev/null || true
        QUOVANTA_XVFB_PID=
    fi
}

# Starts one Xvfb display and one persistent wineserver for a whole run; wine_session_stop ends both.
wine_session_start() {
    wine_prefix_ready
    if [ -z "${QUOVANTA_KEEP_DISPLAY:-}" ]; then
        display_start
    fi
    wineserver -p
    # start Wine's services now, so that no test process starts them and leaves them holding its output
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
    export QUOVANTA_WINE_SESSION=1
}

wine_session_stop() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    display_stop
    unset QUOVANTA_WINE_SESSION
}
