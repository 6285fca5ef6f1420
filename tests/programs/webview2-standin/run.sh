#!/usr/bin/env bash
# The product Kestrava.exe whole under Wine (its start-up check: run-startup-check.sh), with our WebView2 client library (EmbeddedBrowserWebView.dll,
# this folder) installed as the Evergreen runtime is and a headless Chromium behind it:
#   an interactive start shows the real page; page-scenario.js, connected to the same Chromium, makes a
#     macro through the page (F7 → a b), checks that the state document on disk is the page's, presses F7
#     on the display (the product's real hook matches it and a b arrive in a Win32 edit window), presses
#     F8 (the page shows the macros off and F7 plays nothing), checks that navigations away and new
#     windows are refused, takes screenshots (build/standin-screenshots/) and opens the close prompt;
#     choosing "退出程序" there ends the program with exit code 0 and no key left down;
#   the stand-in's COM report of each run is clean: no breach (a call from another thread, a handler
#     removed with a token it did not get, a call after Close, a handler that does not answer for its
#     interface), every object released; the WebView2 methods the product called are listed.
#
# Usage: run.sh [Windows build directory]   (default: $KES_WINDOWS_BUILD, else build/windows)
# Uses DISPLAY when set (scripts/test sets it), else starts its own Xvfb; always its own Wine prefix.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../../..")
build=$(realpath -m "${1:-${KES_WINDOWS_BUILD:-$root/build/windows}}")
exe="$build/Kestrava.exe"
library="$build/tests/programs/webview2-standin/EmbeddedBrowserWebView.dll"
helpers="$build/tests/programs/webview-fake-host"
target="$helpers/kes_edit_target.exe"
keyState="$helpers/kes_key_state.exe"
dialogClick="$build/tests/programs/webview2-standin/kes_dialog_click.exe"
. "$root/scripts/lib/xwine.sh"
. "$root/scripts/lib/checks.sh"
. "$here/standin.sh"
kes_require_files "$exe" "$library" "$target" "$keyState" "$dialogClick"

scratch=$(mktemp -d)
productPid=""
targetPid=""
finish() {
    kes_end_process "$productPid"
    kes_end_process "$targetPid"
    standin_finish
    rm -rf "$scratch"
}
trap finish EXIT

if [ ! -d "$root/node_modules/playwright-core" ]; then
    (cd "$root" && npm ci --no-audit --no-fund) || exit 1
fi
standin_environment "$scratch" || exit 1
echo "Chromium on 127.0.0.1:$devtoolsPort, runtime $standinRuntimeVersion"

# --- The interactive program ---
data="$scratch/data"
edited="$scratch/edit.txt"
mkdir -p "$data"
wine "$target" "$(windows_path "$edited")" &
targetPid=$!
KESTRAVA_DATA_ROOT=$(windows_path "$data") KES_WEBVIEW2_REPORT=$(windows_path "$scratch/com.json") wine "$exe" &
productPid=$!

main_window_shown() { xdotool search --name '^Kestrava$' >/dev/null 2>&1; }
target_shown() { xdotool search --name '^kes-edit-target$' >/dev/null 2>&1; }
expect "the main window opens" wait_until 60 main_window_shown
expect "the edit window opens" wait_until 30 target_shown
expect "the runtime check finds the installed runtime" \
    wait_until 10 grep -q -F "WebView2 检测通过，版本 $standinRuntimeVersion" "$data/logs/运行.log"

shots="$root/build/standin-screenshots"
rm -rf "$shots"
while IFS= read -r line; do
    case $line in
    "PASS "*) pass "${line#PASS }" ;;
    "FAIL "*) fail "${line#FAIL }" ;;
    *) echo "  $line" ;;
    esac
done < <(KES_DEVTOOLS_PORT=$devtoolsPort KES_DATA_DIR="$data" KES_EDIT_FILE="$edited" KES_SCREENSHOTS="$shots" \
    timeout 300 node "$here/page-scenario.js" 2>&1)

# The close prompt (a task dialog titled "Kestrava" like the main window): "退出程序", then "确定".
prompt=$(xdotool search --name '^Kestrava$' 2>/dev/null | tail -1)
if [ -n "$prompt" ] && (($(xdotool search --name '^Kestrava$' | wc -l) >= 2)); then
    import -window root "$shots/close-prompt.png" 2>/dev/null
    expect "the close prompt offers 退出程序 and 确定" wine "$dialogClick" Kestrava '\u9000\u51fa\u7a0b\u5e8f' '\u786e\u5b9a'
else
    fail "the close prompt is there to answer"
fi
exitCode=running
ended() { ! kill -0 "$productPid" 2>/dev/null; }
if wait_until 30 ended; then
    wait "$productPid"
    exitCode=$?
    productPid=""
fi
expect "the close prompt's 退出程序 ends the program with exit code 0 (got $exitCode)" [ "$exitCode" = 0 ]
expect "the shutdown is logged" grep -q -F "Vantix 主程序正常退出" "$data/logs/运行.log"
for key in 65:A 66:B 118:F7 119:F8; do
    expect "no key left down: ${key#*:}" [ "$(wine "$keyState" "${key%%:*}" 2>/dev/null | tr -d '\r')" = up ]
done
standin_report_clean "interactive" "$scratch/com.json"

echo "--- WebView2 methods the product called (interactive run; count)"
standin_calls "$scratch/com.json" | sed 's/^/  /'
if ((kes_failures > 0)); then
    echo "--- error log"
    cat "$data/logs/错误.log" 2>/dev/null
    echo "--- stand-in report"
    cat "$scratch/com.json" 2>/dev/null
fi
kes_checks_verdict webview2-standin
