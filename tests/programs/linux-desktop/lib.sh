# Shared by the Linux desktop checks: a private virtual display with a window manager that keeps
# _NET_ACTIVE_WINDOW, and the program from the native build.
#
#   kes_desktop_start             start Xvfb and openbox; exports DISPLAY
#   kes_desktop_stop              stop what kes_desktop_start started
#   kes_desktop_session           the setting of one check: a work folder $work holding the data folder
#                                 $data (kept when KES_KEEP_WORK is set), the desktop, a private
#                                 XDG_RUNTIME_DIR, no session bus (so no tray; run-tray.sh starts its own),
#                                 no system bus (so no logind; run-session-release.sh starts a stand-in)
#                                 and WebKit without its compositor (the virtual display has no GL). At
#                                 exit the program ($kesPid), the processes in kes_helper_pids and the
#                                 desktop are ended.
#   kes_start_program RUNLOG COMMAND...  starts the program, output to $work/kestrava.out; waits for its
#                                 window and for the page to switch the macros on (a new line in RUNLOG);
#                                 sets kesPid and mainWindow
#   kes_seed_state DIR JSON       write JSON as the state document in DIR
#   kes_report_member FILE NAME   the JSON value of a member of a report, as Python prints it
#   kes_await_window SECONDS      waits for the program's visible window; sets mainWindow
#   kes_click_close_button        clicks the page's close button, at the top right of mainWindow
#   kes_await_end SECONDS         waits for the program (kesPid) to end by itself; sets `ended` to its
#                                 exit code (and clears kesPid), or to "running"

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
. "$root/scripts/lib/xwine.sh"
. "$root/scripts/lib/checks.sh"
native=${KES_NATIVE_BUILD:-$root/build/native}
kestrava=$native/kestrava
kes_wm_pid=""

kes_desktop_start() {
    unset DISPLAY
    kes_start_xvfb || return 1
    openbox --sm-disable >/dev/null 2>&1 &
    kes_wm_pid=$!
    # The window manager is ready once it has claimed the screen.
    wait_until 10 eval 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' ||
        { echo "error: openbox did not start" >&2; return 1; }
}

kes_desktop_stop() {
    [ -n "$kes_wm_pid" ] && kes_end_process "$kes_wm_pid"
    kes_wm_pid=""
    kes_stop_xwine
}

kes_seed_state() {
    mkdir -p "$1"
    printf '%s\n' "$2" >"$1/Kestrava配置.json"
}

kes_report_member() {
    python3 -c 'import json,sys; print(repr(json.load(open(sys.argv[1])).get(sys.argv[2])))' "$1" "$2" 2>/dev/null
}

kes_await_window() {
    wait_until "$1" eval 'xdotool search --onlyvisible --name "^Kestrava$" >/dev/null 2>&1' || return 1
    mainWindow=$(xdotool search --onlyvisible --name '^Kestrava$' | head -1)
}

kes_click_close_button() {
    local cx cy cw
    read -r cx cy cw < <(xwininfo -id "$mainWindow" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width/{w=$2} END{print x, y, w}')
    xdotool mousemove --sync $((cx + cw - 23)) $((cy + 25)) click 1
}

kes_await_end() {
    local tenths=$(($1 * 10))
    ended=running
    while kill -0 "$kesPid" 2>/dev/null; do
        ((tenths-- <= 0)) && return
        sleep 0.1
    done
    wait "$kesPid"
    ended=$?
    kesPid=""
}

kes_helper_pids=()

kes_session_end() {
    local pid
    kes_end_process "${kesPid:-}"
    for pid in "${kes_helper_pids[@]}"; do
        kes_end_process "$pid"
    done
    kes_desktop_stop
    [ -n "${KES_KEEP_WORK:-}" ] || rm -rf "$work"
}

kes_desktop_session() {
    work=$(mktemp -d)
    data=$work/data
    kesPid=""
    mkdir -p "$data"
    trap kes_session_end EXIT
    kes_desktop_start || return 1
    export WEBKIT_DISABLE_COMPOSITING_MODE=1
    unset DBUS_SESSION_BUS_ADDRESS
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/no-system-bus
    export XDG_RUNTIME_DIR=$work/run
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
}

kes_switched_on_count() { grep -c 全局宏引擎已启用 "$1" 2>/dev/null; }

kes_start_program() {
    local runLog=$1 before
    shift
    before=$(kes_switched_on_count "$runLog")
    "$@" >>"$work/kestrava.out" 2>&1 &
    kesPid=$!
    kes_await_window 30 || return 1
    wait_until 20 eval '[ "$(kes_switched_on_count "$runLog")" -gt "${before:-0}" ]'
}
