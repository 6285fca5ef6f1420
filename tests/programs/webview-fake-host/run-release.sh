#!/usr/bin/env bash
# Keys released whatever happens, and a keyboard hook that cannot vanish unnoticed: the whole program under
# Wine with the recording browser (kes_fake_browser_host.exe), a "latch" macro on F7 that holds B, and the
# system's key state read from a second process (kes_key_state.exe):
#   while a real F7 (xdotool) holds the latch, each of the session lock (WM_WTSSESSION_CHANGE with
#   WTS_SESSION_LOCK), the suspend broadcast (WM_POWERBROADCAST with PBT_APMSUSPEND) and the end of the
#   session (WM_ENDSESSION), sent to the real main window, brings B up, ends the job (the run log counts one
#   macro and one key) and leaves the master switch on: nothing plays until F7 is pressed again, then it does;
#   with the hooks removed behind the program's back (as Windows does with a hook that was too slow), a few
#   key presses make the program install them again, log it and tell the page, and F7 works again within a
#   second;
#   an access violation while the latch holds B ends the process with B up.
#
# Usage: run-release.sh [Windows build directory]   (default: $KES_WINDOWS_BUILD, else build/windows)
# Uses DISPLAY when set (scripts/test sets it), else starts its own Xvfb; always its own Wine prefix.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../../..")
build=$(realpath -m "${1:-${KES_WINDOWS_BUILD:-$root/build/windows}}")
programs="$build/tests/programs/webview-fake-host"
host="$programs/kes_fake_browser_host.exe"
target="$programs/kes_edit_target.exe"
keyState="$programs/kes_key_state.exe"
. "$root/scripts/lib/xwine.sh"
. "$root/scripts/lib/checks.sh"
. "$here/fake-page.sh"
kes_require_files "$host" "$target" "$keyState"

scratch=$(mktemp -d)
hostPid=""
targetPid=""
finish() {
    xdotool keyup F7 2>/dev/null
    kes_end_process "$hostPid"
    kes_end_process "$targetPid"
    unregister_fake_runtime
    kes_stop_xwine
    rm -rf "$scratch"
}
trap finish EXIT

if [ -z "${DISPLAY:-}" ]; then
    kes_start_xvfb || exit 1
fi
kes_prepare_wine "$root/build/webview-e2e-wineprefix" || exit 1
register_fake_runtime "$scratch/runtime" || exit 1
# A crash ends the process without the debugger's dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1

data="$scratch/data"
page="$scratch/page"
edited="$scratch/edit.txt"
mkdir -p "$data" "$page"
posted="$page/posted.log"
touch "$posted"
run_log() { cat "$data/logs/运行.log" 2>/dev/null; }
error_log() { cat "$data/logs/错误.log" 2>/dev/null; }
run_log_count() { run_log | grep -c -F -- "$1"; }
run_log_has_at_least() { (($(run_log_count "$1") >= $2)); }

vkB=66
b_state() { wine "$keyState" $vkB 2>/dev/null | tr -d '\r'; }
b_is() { [ "$(b_state)" = "$1" ]; }

wine "$target" "$(windows_path "$edited")" &
targetPid=$!
KESTRAVA_DATA_ROOT=$(windows_path "$data") KES_FAKE_PAGE_DIR=$(windows_path "$page") wine "$host" &
hostPid=$!

main_window_shown() { xdotool search --name '^Kestrava$' >/dev/null 2>&1; }
target_window() { xdotool search --name '^kes-edit-target$' 2>/dev/null | head -1; }
target_shown() { [ -n "$(target_window)" ]; }
expect "the main window opens" wait_until 60 main_window_shown
expect "the edit window opens" wait_until 30 target_shown

focus_target() {
    local window
    window=$(target_window)
    [ -n "$window" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + 100)) $((Y + 20)) click 1
    sleep 0.5
}

latch='{"type":"macro-state","enabled":true,"profile":{"program":"","macros":[{"id":1,"trigger":"F7","behavior":"latch","steps":[{"key":"B","hold":10,"gap":10}]}]}}'
send "$latch"
expect "the engine switches on" \
    wait_until 10 grep -q -x -F '{"enabled":true,"message":"宏已启用。","type":"macro-status"}' "$posted"
focus_target

# hold_latch: a real F7 goes down and stays down; the latch holds B.
hold_latch() {
    xdotool keydown F7
    wait_until 5 b_is down
}

expect "before any release, the latch holds B down as the system sees it" hold_latch
xdotool keyup F7
expect "releasing F7 brings B up" wait_until 5 b_is up

# released_by NAME MESSAGE WPARAM LOGLINE: the message, sent to the main window while the latch holds B,
# brings B up and ends the job; F7 released and pressed again plays again.
released_by() {
    local name=$1 message=$2 wParam=$3 line=$4
    local before
    before=$(run_log_count "$line：已结束 1 个运行中的宏，松开 1 个按键")
    if ! hold_latch; then
        fail "$name: the latch holds B (precondition)"
        xdotool keyup F7
        return
    fi
    send "!message $message $wParam 0"
    expect "$name: B comes up while F7 is still held" wait_until 5 b_is up
    expect "$name: one log line counts the ended macro and the key" \
        wait_until 5 run_log_has_at_least "$line：已结束 1 个运行中的宏，松开 1 个按键" $((before + 1))
    sleep 0.5
    expect "$name: the job ended, nothing holds B again while F7 stays down" b_is up
    xdotool keyup F7
    sleep 0.3
    expect "$name: the master switch stays on, a new press of F7 plays again" hold_latch
    xdotool keyup F7
    expect "$name: and its release brings B up" wait_until 5 b_is up
}

released_by "session lock" 689 7 "会话已锁定"           # WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK
released_by "suspend" 536 4 "系统即将睡眠"              # WM_POWERBROADCAST, PBT_APMSUSPEND
released_by "end of session" 22 1 "系统正在注销或关机"  # WM_ENDSESSION, ending
expect "the engine was never switched off meanwhile" \
    bash -c "! grep -q -F 'macro-toggle-result' '$posted'"

# The hooks removed behind the program's back: the first presses go unseen, then the hook is back.
expect "no hook was repaired while it worked" bash -c "! grep -q -F '键盘监听被系统移除' '$data/logs/错误.log' 2>/dev/null"
send '!remove-hooks'
sleep 0.5
focus_target
# A few presses the removed hook cannot see (it may take up to six key events to be sure).
for _ in 1 2 3 4; do
    xdotool key F7
    sleep 0.1
done
repaired_notice='{"message":"键盘监听曾被系统移除，已自动恢复，宏可继续使用。","type":"notice"}'
# Seen here within about half a second of the presses; the bound is loose for a busy machine.
expect "the removed hook is found and installed again" \
    wait_until 3 grep -q -F "宏引擎的键盘监听被系统移除，已重新安装" "$data/logs/错误.log"
expect "the page is told" wait_until 2 grep -q -x -F "$repaired_notice" "$posted"
xdotool keydown F7
expect "after the repair F7 works again within a second" wait_until 1 b_is down
xdotool keyup F7
expect "and B comes up with it" wait_until 5 b_is up

# The crash path: an unhandled access violation while the latch holds B.
if hold_latch; then
    send '!crash'
    ended() { ! kill -0 "$hostPid" 2>/dev/null; }
    expect "the process ends after the access violation" wait_until 20 ended
    xdotool keyup F7
    expect "after the crash B is up as the system sees it" b_is up
else
    fail "crash: the latch holds B (precondition)"
    xdotool keyup F7
fi

if ((kes_failures > 0)); then
    echo "--- posted to the page"
    cat "$posted"
    echo "--- error log"
    error_log
    echo "--- run log"
    run_log
fi
kes_checks_verdict webview-fake-host-release
