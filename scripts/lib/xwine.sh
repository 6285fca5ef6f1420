# A private virtual X display and a private Wine prefix for running the Windows build.
# Sourced by scripts/test, scripts/run-demo, scripts/campaign and the program-level test scripts.
#
#   kes_start_xvfb               start Xvfb on a free display number and export DISPLAY
#   kes_prepare_wine PREFIX      export WINEPREFIX and the quiet Wine settings; initialise a new prefix
#   kes_use_wine PREFIX          the caller's WINEPREFIX when set (quiet settings exported), else PREFIX prepared here
#   kes_use_xwine PREFIX         the caller's DISPLAY and WINEPREFIX when both are set, else a display
#                                started here and PREFIX prepared here
#   kes_stop_xwine               stop the wineserver of that prefix and the Xvfb started here
#   kes_end_process PID          ends a background process of the caller if it still runs
#
# Set KES_XVFB_DISPLAY to a number to use that display instead of searching for a free one.

kes_xvfb_pid=""
kes_wine_prefix=""

kes_display_taken() {
    [ -e "/tmp/.X$1-lock" ] || [ -e "/tmp/.X11-unix/X$1" ]
}

# Starts Xvfb on display $1 and waits until it answers; fails if it exits or stays silent.
kes_try_xvfb() {
    local number=$1 log
    log=$(mktemp)
    # Xvfb gets only its log: an inherited pipe (a caller's tee, say) would otherwise stay open as long as
    # the display runs.
    (
        for fd in /proc/self/fd/*; do
            fd=${fd##*/}
            ((fd > 2)) && eval "exec $fd>&-" 2>/dev/null
        done
        exec Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp -noreset
    ) >"$log" 2>&1 &
    kes_xvfb_pid=$!
    local waited=0
    while ! xdpyinfo -display ":$number" >/dev/null 2>&1; do
        if ! kill -0 "$kes_xvfb_pid" 2>/dev/null || ((waited >= 100)); then
            kill "$kes_xvfb_pid" 2>/dev/null || true
            wait "$kes_xvfb_pid" 2>/dev/null || true
            kes_xvfb_pid=""
            sed 's/^/Xvfb: /' "$log" >&2
            rm -f "$log"
            return 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    rm -f "$log"
    export DISPLAY=":$number"
}

kes_start_xvfb() {
    if [ -n "${KES_XVFB_DISPLAY:-}" ]; then
        kes_try_xvfb "$KES_XVFB_DISPLAY" || { echo "error: cannot start Xvfb on :$KES_XVFB_DISPLAY" >&2; return 1; }
        return 0
    fi
    # Search a high range, starting at a point that differs between runs, so that fixed numbers
    # chosen by hand elsewhere stay free.
    local first=$((200 + ($$ % 500))) offset number
    for offset in $(seq 0 99); do
        number=$((200 + (first - 200 + offset) % 500))
        kes_display_taken "$number" && continue
        kes_try_xvfb "$number" && return 0
    done
    echo "error: no free X display found for Xvfb" >&2
    return 1
}

kes_prepare_wine() {
    kes_wine_prefix=$(realpath -m "$1")
    export WINEPREFIX="$kes_wine_prefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/.kes-initialised" ]; then
        echo "wine: initialising the prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineboot -i || { echo "error: wineboot -i failed for $WINEPREFIX" >&2; return 1; }
        wineserver -w
        touch "$WINEPREFIX/.kes-initialised"
    fi
}

kes_stop_xwine() {
    if [ -n "$kes_wine_prefix" ]; then
        WINEPREFIX="$kes_wine_prefix" wineserver -k 2>/dev/null || true
        kes_wine_prefix=""
    fi
    if [ -n "$kes_xvfb_pid" ]; then
        kill "$kes_xvfb_pid" 2>/dev/null || true
        wait "$kes_xvfb_pid" 2>/dev/null || true
        kes_xvfb_pid=""
    fi
}

kes_quiet_wine() {
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
}

kes_use_wine() {
    if [ -n "${WINEPREFIX:-}" ]; then
        kes_quiet_wine
    else
        kes_prepare_wine "$1"
    fi
}

kes_use_xwine() {
    if [ -n "${DISPLAY:-}" ] && [ -n "${WINEPREFIX:-}" ]; then
        kes_quiet_wine
    else
        kes_start_xvfb && kes_prepare_wine "$1"
    fi
}

kes_end_process() {
    if [ -n "$1" ] && kill -0 "$1" 2>/dev/null; then
        kill "$1" 2>/dev/null || true
        wait "$1" 2>/dev/null || true
    fi
}
