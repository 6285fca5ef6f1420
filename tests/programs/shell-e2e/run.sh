#!/usr/bin/env bash
# Program-level checks of Kestrava.exe's desktop shell under Wine (which has no WebView2 runtime):
#   --check writes "WebView2检测验收.json" with its four members true;
#   --webview-dialog-check shows the real install guide and drives it; Wine's accessibility objects give no
#     names, so the three caption members and the manual-address member are false, "cancel_exits" is true
#     and the exit code is 1 (the guide still pressed its download button: the opener's failure is logged);
#   --webview-dialog-check without a data root fails with exit 1 and no message box;
#   an interactive start shows the install guide; a second start meanwhile exits 0 (the mutex is taken
#   before the guide); "重新检测" shows the guide again; leaving the guide exits 0.
#
# Usage: run.sh [Windows build directory]   (default: $KES_WINDOWS_BUILD, else build/windows)
# Uses DISPLAY and WINEPREFIX when both are set (scripts/test sets them); otherwise it starts its own
# Xvfb and uses the prefix build/shell-wineprefix.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../../..")
build=$(realpath -m "${1:-${KES_WINDOWS_BUILD:-$root/build/windows}}")
exe="$build/Kestrava.exe"
. "$root/scripts/lib/xwine.sh"
. "$root/scripts/lib/checks.sh"
kes_require_files "$exe"

scratch=$(mktemp -d)
first=""
finish() {
    kes_end_process "$first"
    kes_stop_xwine
    rm -rf "$scratch"
}
trap finish EXIT

kes_use_xwine "$root/build/shell-wineprefix" || exit 1

same_text() { [ "$(cat "$1")" = "$2" ]; }
count_lines() { grep -c -F -- "$2" "$1" 2>/dev/null || true; }

# The install guide's window (the task dialog is titled "Kestrava").
guide_window() { xdotool search --name '^Kestrava$' 2>/dev/null | head -1; }
guide_shown() { [ -n "$(guide_window)" ]; }
# Clicks into the guide (there is no window manager to focus it), then presses the keys.
press_in_guide() {
    local window
    window=$(guide_window)
    [ -n "$window" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + 100)) $((Y + 30)) click 1
    sleep 0.5
    for key in "$@"; do
        xdotool key "$key"
        sleep 0.3
    done
}

# --check: the self-check and the WebView2 detection test.
dir="$scratch/check"
mkdir -p "$dir"
KESTRAVA_DATA_ROOT=$(windows_path "$dir") timeout 300 wine "$exe" --check
code=$?
expect "check.exitCode" [ "$code" = 0 ]
expect "check.detectionReport" same_text "$dir/WebView2检测验收.json" '{
  "browser_failure_can_retry": true,
  "cancel_exits": true,
  "installed_skips_guide": true,
  "missing_open_retry_installed": true
}'
expect "check.detectionScenariosLogged" [ "$(count_lines "$dir/logs/运行.log" "检测结果 2147500037")" = 3 ]

# --webview-dialog-check: the real guide drives itself.
dir="$scratch/dialog"
mkdir -p "$dir"
KESTRAVA_DATA_ROOT=$(windows_path "$dir") timeout 120 wine "$exe" --webview-dialog-check
code=$?
expect "dialogCheck.exitCodeOneUnderWine" [ "$code" = 1 ]
expect "dialogCheck.report" same_text "$dir/WebView2引导窗口验收.json" '{
  "100": false,
  "101": false,
  "2": false,
  "cancel_exits": true,
  "manual_url_visible_on_browser_failure": false
}'
expect "dialogCheck.downloadButtonPressed" grep -q -F "无法打开 WebView2 官方下载页，已提供手动网址" "$dir/logs/错误.log"
expect "dialogCheck.noGuideLeft" wait_until 5 bash -c '[ -z "$(xdotool search --name "^Kestrava$" 2>/dev/null)" ]'

# --webview-dialog-check without a data root: refused, no message box (a box would hang until the time-out).
env -u KESTRAVA_DATA_ROOT timeout 60 wine "$exe" --webview-dialog-check
code=$?
expect "dialogCheck.withoutDataRootFails" [ "$code" = 1 ]

# Interactive start: the install guide, a second start, a recheck, then leaving the guide.
dir="$scratch/interactive"
mkdir -p "$dir"
runLog="$dir/logs/运行.log"
missing="未检测到可用 WebView2，显示微软官方下载引导，检测结果 2147942402"
KESTRAVA_DATA_ROOT=$(windows_path "$dir") timeout 180 wine "$exe" &
first=$!
if wait_until 60 guide_shown && wait_until 10 grep -q -F "$missing" "$runLog"; then
    pass "interactive.guideShown"
    KESTRAVA_DATA_ROOT=$(windows_path "$dir") timeout 60 wine "$exe"
    code=$?
    expect "interactive.secondStartExitsZero" [ "$code" = 0 ]
    expect "interactive.secondStartLogged" [ "$(count_lines "$runLog" "主程序已启动")" = 2 ]
    expect "interactive.firstStillAtTheGuide" kill -0 "$first"

    # Tab moves from the default "打开微软下载页" to "重新检测".
    press_in_guide Tab Return
    if wait_until 15 bash -c "[ \"\$(grep -c -F '$missing' '$runLog')\" = 2 ]" && wait_until 10 guide_shown; then
        pass "interactive.recheckShowsTheGuideAgain"
    else
        fail "interactive.recheckShowsTheGuideAgain"
    fi
    press_in_guide Escape
    if wait_until 20 bash -c "! kill -0 $first 2>/dev/null"; then
        wait "$first"
        code=$?
        first=""
        expect "interactive.quitExitsZero" [ "$code" = 0 ]
        expect "interactive.quitLogged" grep -q -F "用户退出 WebView2 安装引导" "$runLog"
        expect "interactive.noWindowWasCreated" bash -c "! grep -q -F 'Vantix 主程序正常退出' '$runLog'"
    else
        fail "interactive.quitExitsZero" "the program is still running after Escape"
    fi
else
    fail "interactive.guideShown"
fi

kes_checks_verdict shell-e2e
