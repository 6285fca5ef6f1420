#!/usr/bin/env bash
# The whole program under Wine with the recording browser in place of WebView2 (kes_fake_browser_host.exe):
# the real start-up, main window, message loop, engine, keyboard hook, tray and master hotkey. The test plays
# the page through the program's page folder and checks what the host posts back:
#   "macro-state" with a macro on F8 switches the engine on ("macro-status" true) and a real F8 press from
#   xdotool plays the macro into a separate edit window;
#   "shortcut-set" to F9 answers saved true and stores {"key":9}; F9 then toggles the engine off and on,
#   posting "macro-toggle-result" each time, and F8 plays only while it is on;
#   a "macro-state" the profile rules reject stops the engine, logs "应用宏配置失败：宏编号重复" and posts the
#   failure text exactly; F8 then plays nothing;
#   "close" shows the close prompt; after cancelling it the run is ended and exits 0.
# A fake WebView2 runtime is registered for the current user of a private Wine prefix so that the runtime
# check passes; the prefix is this test's own, so that no other check ever sees that registration.
#
# Usage: run.sh [Windows build directory]   (default: $KES_WINDOWS_BUILD, else build/windows)
# Uses DISPLAY when set (scripts/test sets it), else starts its own Xvfb.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../../..")
build=$(realpath -m "${1:-${KES_WINDOWS_BUILD:-$root/build/windows}}")
programs="$build/tests/programs/webview-fake-host"
host="$programs/kes_fake_browser_host.exe"
target="$programs/kes_edit_target.exe"
. "$root/scripts/lib/xwine.sh"
. "$root/scripts/lib/checks.sh"
. "$here/fake-page.sh"
kes_require_files "$host" "$target"

scratch=$(mktemp -d)
hostPid=""
targetPid=""
finish() {
    kes_end_process "$hostPid"
    kes_end_process "$targetPid"
    unregister_fake_runtime
    kes_stop_xwine
    rm -rf "$scratch"
}
trap finish EXIT

fake_host_environment "$scratch/runtime" || exit 1

data="$scratch/data"
page="$scratch/page"
edited="$scratch/edit.txt"
mkdir -p "$data" "$page"
posted="$page/posted.log"
touch "$posted"
posted_line() { grep -c -x -F -- "$1" "$posted" 2>/dev/null || true; }
posted_at_least() { (($(posted_line "$1") >= $2)); }
edit_text() { cat "$edited" 2>/dev/null; }
edit_text_is() { [ "$(edit_text)" = "$1" ]; }
error_log() { cat "$data/logs/错误.log" 2>/dev/null; }
run_log() { cat "$data/logs/运行.log" 2>/dev/null; }


wine "$target" "$(windows_path "$edited")" &
targetPid=$!
KESTRAVA_DATA_ROOT=$(windows_path "$data") KES_FAKE_PAGE_DIR=$(windows_path "$page") wine "$host" &
hostPid=$!

main_windows() { xdotool search --name '^Kestrava$' 2>/dev/null | wc -l; }
main_window_shown() { (($(main_windows) >= 1)); }
target_window() { xdotool search --name '^kes-edit-target$' 2>/dev/null | head -1; }
target_shown() { [ -n "$(target_window)" ]; }
expect "the main window opens" wait_until 60 main_window_shown
expect "the edit window opens" wait_until 30 target_shown
expect "the runtime check passes with the registered runtime" \
    wait_until 10 grep -q -F "WebView2 检测通过，版本 130.0.2849.80" "$data/logs/运行.log"

focus_target() {
    local window
    window=$(target_window)
    [ -n "$window" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + 100)) $((Y + 20)) click 1
    sleep 0.5
}
press() {
    xdotool key "$1"
    sleep 0.3
}

macroOn='{"type":"macro-state","enabled":true,"profile":{"program":"","macros":[{"id":1,"trigger":"F8","behavior":"once","steps":[{"key":"A","hold":20,"gap":20}]}]}}'
switchedOn='{"enabled":true,"message":"宏已启用。","type":"macro-status"}'
send "$macroOn"
expect "macro-state switches the engine on and the host says so" wait_until 10 posted_at_least "$switchedOn" 1

focus_target
press F8
expect "a real F8 plays the macro into the edit window" wait_until 10 edit_text_is "a"

send '{"type":"shortcut-set","key":9}'
expect "shortcut-set answers with the new key, saved" \
    wait_until 10 posted_at_least '{"error":"","key":9,"saved":true,"type":"shortcut-result"}' 1
expect "the hotkey setting file holds the new key" wait_until 5 grep -q -x -F '{"key":9}' "$data/宏快捷键.json"

focus_target
press F9
expect "the master hotkey switches the engine off and tells the page" \
    wait_until 10 posted_at_least '{"enabled":false,"type":"macro-toggle-result"}' 1
press F8
sleep 1
expect "with the engine off F8 plays nothing" edit_text_is "a"
press F9
expect "the master hotkey switches the engine on again" \
    wait_until 10 posted_at_least '{"enabled":true,"type":"macro-toggle-result"}' 1
press F8
expect "with the engine on again F8 plays the macro" wait_until 10 edit_text_is "aa"

failure='{"type":"macro-status","enabled":false,"message":"无法启用宏，请查看错误日志。"}'
send '{"type":"macro-state","enabled":true,"profile":{"macros":[{"id":1},{"id":1}]}}'
expect "a rejected profile is answered with the failure text" wait_until 10 posted_at_least "$failure" 1
expect "the rejection is logged" wait_until 5 grep -q -F "应用宏配置失败：宏编号重复" "$data/logs/错误.log"
focus_target
press F8
sleep 1
expect "after the failure the engine is stopped" edit_text_is "aa"

prompt_shown() { (($(main_windows) >= 2)); }
prompt_gone() { (($(main_windows) == 1)); }
send close
if wait_until 15 prompt_shown; then
    pass "close shows the close prompt"
    prompt=$(xdotool search --name '^Kestrava$' 2>/dev/null | tail -1)
    eval "$(xdotool getwindowgeometry --shell "$prompt")"
    xdotool mousemove $((X + 60)) $((Y + 20)) click 1
    sleep 0.5
    press Escape
    expect "cancelling the prompt keeps the program running" wait_until 10 prompt_gone
else
    fail "close shows the close prompt"
fi

send '!quit'
exitCode=""
for _ in $(seq 1 150); do
    if ! kill -0 "$hostPid" 2>/dev/null; then
        wait "$hostPid"
        exitCode=$?
        hostPid=""
        break
    fi
    sleep 0.1
done
expect "the run ends with exit code 0" [ "$exitCode" = 0 ]
expect "the shutdown is logged" grep -q -F "Vantix 主程序正常退出" "$data/logs/运行.log"
kill "$targetPid" 2>/dev/null || true

if ((kes_failures > 0)); then
    echo "--- posted to the page"
    cat "$posted"
    echo "--- error log"
    error_log
    echo "--- run log"
    run_log
fi
kes_checks_verdict webview-fake-host
