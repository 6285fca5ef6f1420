#!/usr/bin/env bash
# The desktop shell of the whole program under Wine with the recording browser (kes_fake_browser_host.exe):
#   start-up with the two settings files absent, pre-seeded and malformed, and with F8 already taken by
#     another program: the key in force (asked through "shortcut-get"), the close behaviour (through
#     "close") and the error log lines;
#   the log folder replaced by a file while the program runs: the window still closes and the run ends;
#   a second start while the first instance's window is shown, minimised or hidden in the tray: the second
#     exits 0 and the first window is shown again, not minimised;
#   "--startup-check" end to end: the check script runs after the navigation, the host adds its window
#     checks (rectangles, hit test, minimise and restore), writes the report, closes and exits 0 when all
#     passed, 1 when the page reported a failure, 1 without a report when the navigation failed; an old
#     report never survives a new run.
#
# Usage: run-shell.sh [Windows build directory]   (default: $KES_WINDOWS_BUILD, else build/windows)
# Uses DISPLAY when set (scripts/test sets it), else starts its own Xvfb; always its own Wine prefix, in
# which a fake WebView2 runtime is registered.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../../..")
build=$(realpath -m "${1:-${KES_WINDOWS_BUILD:-$root/build/windows}}")
programs="$build/tests/programs/webview-fake-host"
host="$programs/kes_fake_browser_host.exe"
holder="$programs/kes_hotkey_holder.exe"
. "$root/scripts/lib/xwine.sh"
. "$root/scripts/lib/checks.sh"
. "$here/fake-page.sh"
kes_require_files "$host" "$holder"

scratch=$(mktemp -d)
pids=()
finish() {
    for pid in "${pids[@]}"; do
        kes_end_process "$pid"
    done
    unregister_fake_runtime
    kes_stop_xwine
    rm -rf "$scratch"
}
trap finish EXIT

fake_host_environment "$scratch/runtime" || exit 1

# One instance of the program: its data folder $data, its page folder $page (see PageChannel.h) and its
# process $instance; start_instance NAME [ARGUMENT...] sets them.
data=""
page=""
instance=""
start_instance() {
    local name=$1
    shift
    data="$scratch/$name/data"
    page="$scratch/$name/page"
    mkdir -p "$data" "$page"
    touch "$page/posted.log"
    KESTRAVA_DATA_ROOT=$(windows_path "$data") KES_FAKE_PAGE_DIR=$(windows_path "$page") wine "$host" "$@" &
    instance=$!
    pids+=("$instance")
    sent=0
}
posted() { grep -c -x -F -- "$1" "$page/posted.log" 2>/dev/null || true; }
posted_once() { (($(posted "$1") >= 1)); }
error_log() { cat "$data/logs/错误.log" 2>/dev/null; }
logged_error() { grep -q -F -- "$1" "$data/logs/错误.log" 2>/dev/null; }
started() { grep -q -F "WebView2 检测通过" "$data/logs/运行.log" 2>/dev/null && [ -f "$page/posted.log" ]; }
ended() { ! kill -0 "$instance" 2>/dev/null; }
# exit_code SECONDS: waits for the instance to end and sets $code to its exit code ("running" when it did
# not end in time).
code=""
exit_code() {
    if wait_until "$1" ended; then
        wait "$instance"
        code=$?
    else
        code=running
    fi
}
exits_with() { # exits_with CODE SECONDS
    exit_code "$2"
    [ "$code" = "$1" ]
}
# window_state: the main window's state as the instance sees it ("exists=1 visible=1 minimised=0 ...").
window_state() {
    rm -f "$page/window.txt"
    send '!window'
    wait_until 10 test -f "$page/window.txt" && cat "$page/window.txt"
}
window_is() { # window_is PATTERN: the state matches the shell pattern
    local state
    state=$(window_state)
    # shellcheck disable=SC2053
    [[ $state == $1 ]]
}
shortcut_answer() { # shortcut_answer KEY SAVED ERROR
    printf '{"error":"%s","key":%s,"saved":%s,"type":"shortcut-result"}' "$3" "$1" "$2"
}
quit_instance() { # ends the instance through its window; true when it exits 0
    send '!quit'
    exits_with 0 20
}
dump() {
    echo "--- $1: posted to the page"
    cat "$page/posted.log" 2>/dev/null
    echo "--- $1: error log"
    error_log
}

# --- Start-up settings ---

# No settings files: F8, the prompt on close, nothing in the error log.
start_instance absent
if wait_until 60 started; then
    send '{"type":"shortcut-get"}'
    expect "absent.f8InForce" wait_until 10 posted_once "$(shortcut_answer 8 false '')"
    expect "absent.nothingLogged" [ -z "$(error_log)" ]
    expect "absent.quits" quit_instance
else
    fail "absent.starts"
fi

# Pre-seeded: F3 and "exit", so the page's close quits at once without a prompt.
mkdir -p "$scratch/seeded/data"
printf '{"key":3}' >"$scratch/seeded/data/宏快捷键.json"
printf '{"action":"exit"}' >"$scratch/seeded/data/关闭方式.json"
start_instance seeded
if wait_until 60 started; then
    send '{"type":"shortcut-get"}'
    expect "seeded.f3InForce" wait_until 10 posted_once "$(shortcut_answer 3 false '')"
    send close
    expect "seeded.closeQuitsWithoutPrompt" exits_with 0 20
    expect "seeded.nothingLogged" [ -z "$(error_log)" ]
else
    fail "seeded.starts"
fi

# Malformed: both files are logged with the library's text; F8 and the prompt stay.
mkdir -p "$scratch/malformed/data"
printf '{bad' >"$scratch/malformed/data/宏快捷键.json"
printf '[1]' >"$scratch/malformed/data/关闭方式.json"
start_instance malformed
if wait_until 60 started; then
    send '{"type":"shortcut-get"}'
    expect "malformed.f8InForce" wait_until 10 posted_once "$(shortcut_answer 8 false '')"
    expect "malformed.hotkeyFileLogged" logged_error "[json.exception.parse_error"
    expect "malformed.closeFileLogged" logged_error "cannot use value() with array"
    send '{"type":"shortcut-set","key":5}'
    expect "malformed.hotkeyStillChangeable" wait_until 10 posted_once "$(shortcut_answer 5 true '')"
    expect "malformed.quits" quit_instance
else
    fail "malformed.starts"
fi

# F8 taken by another program: logged, no hotkey; asking answers F8 not saved; F8 again stays refused while
# it is taken; another key is accepted.
holderState="$scratch/holder.txt"
wine "$holder" 8 "$(windows_path "$holderState")" &
holderPid=$!
pids+=("$holderPid")
if wait_until 30 test -s "$holderState" && [ "$(cat "$holderState")" = registered ]; then
    start_instance taken
    if wait_until 60 started; then
        expect "taken.logged" wait_until 10 logged_error "宏总开关快捷键注册失败，可能已被占用"
        send '{"type":"shortcut-get"}'
        expect "taken.answersF8NotSaved" wait_until 10 posted_once "$(shortcut_answer 8 false '')"
        send '{"type":"shortcut-set","key":8}'
        expect "taken.f8StaysRefused" wait_until 10 posted_once \
            "$(shortcut_answer 8 false '该快捷键无法注册，可能已被其他程序占用。')"
        send '{"type":"shortcut-set","key":9}'
        expect "taken.anotherKeyIsAccepted" wait_until 10 posted_once "$(shortcut_answer 9 true '')"
        expect "taken.quits" quit_instance
    else
        fail "taken.starts"
    fi
else
    fail "taken.holderRegisteredF8" "$(cat "$holderState" 2>/dev/null)"
fi
kill "$holderPid" 2>/dev/null || true

# --- The log folder replaced by a file while the program runs ---
start_instance unusableLog
if wait_until 60 started && wait_until 10 test -d "$data/logs"; then
    rm -rf "$data/logs"
    printf 'not a folder' >"$data/logs"
    send '!quit'
    exit_code 20
    expect "unusableLog.theRunEnds" [ "$code" != running ]
    expect "unusableLog.exitCodeZero" [ "$code" = 0 ]
    # The mutex went with the process: a new start is not locked out.
    rm -f "$data/logs"
    start_instance unusableLog
    expect "unusableLog.nextStartRuns" wait_until 60 started
    expect "unusableLog.nextStartQuits" quit_instance
else
    fail "unusableLog.starts"
fi

# --- A second start brings the first instance's window forward ---
mkdir -p "$scratch/first/data"
printf '{"action":"tray"}' >"$scratch/first/data/关闭方式.json"
start_instance first
firstPid=$instance
second_start() { # starts a second instance on the same data; true when it ends with 0
    KESTRAVA_DATA_ROOT=$(windows_path "$data") timeout 60 wine "$host"
    [ $? = 0 ]
}
shownState="exists=1 visible=1 minimised=0 foreground=*"
if wait_until 60 started && wait_until 10 window_is "$shownState"; then
    expect "second.whileShown.exitsZero" second_start
    expect "second.whileShown.firstStillShown" wait_until 10 window_is "$shownState"

    send minimize
    if wait_until 10 window_is "exists=1 visible=1 minimised=1 foreground=*"; then
        expect "second.whileMinimised.exitsZero" second_start
        expect "second.whileMinimised.firstRestored" wait_until 10 window_is "$shownState"
    else
        fail "second.minimises" "$(window_state)"
    fi

    send close # the stored "tray" hides the window
    if wait_until 10 window_is "exists=1 visible=0 minimised=0 foreground=*"; then
        expect "second.whileHidden.exitsZero" second_start
        expect "second.whileHidden.firstShownAgain" wait_until 10 window_is "$shownState"
    else
        fail "second.hidesToTheTray" "$(window_state)"
    fi
    expect "second.onlyOneInstanceRan" [ "$(grep -c -F "主程序已启动" "$data/logs/运行.log")" = 4 ]
    instance=$firstPid
    expect "second.firstQuits" quit_instance
else
    fail "second.firstStarts" "$(window_state)"
fi

# --- --startup-check end to end ---
checkScriptStart='(async()=>{try{await document.fonts.ready;'
pageChecks='"title":true,"fonts":true,"controls":true,"demoDisabled":true,"apiSave":true,"apiWindows":true'
report() { cat "$data/启动验收.json" 2>/dev/null; }
report_has() { report | grep -q -F -- "$1"; }

mkdir -p "$scratch/checkPass/data"
printf '{"stale":true}' >"$scratch/checkPass/data/启动验收.json"
start_instance checkPass --startup-check
if wait_until 60 started; then
    expect "startupCheck.oldReportRemoved" wait_until 10 bash -c "[ ! -e '$data/启动验收.json' ]"
    send '!navigated'
    expect "startupCheck.scriptRunsAfterTheNavigation" \
        wait_until 10 grep -q -s -F -- "$checkScriptStart" "$page/scripts.log"
    send "{\"type\":\"startup-check-result\",$pageChecks,\"macroDisabled\":true}"
    expect "startupCheck.passExitsZero" exits_with 0 30
    for member in '"nativeFrame": true' '"resizeEdges": true' '"minimize": true' '"macroDisabled": true' \
        '"type": "startup-check-result"'; do
        expect "startupCheck.report $member" report_has "$member"
    done
    expect "startupCheck.noTrayIcon" bash -c "! grep -q -F '系统托盘图标' '$data/logs/运行.log'"
else
    fail "startupCheck.starts"
fi

start_instance checkFail --startup-check
if wait_until 60 started; then
    send '!navigated'
    send "{\"type\":\"startup-check-result\",$pageChecks,\"macroDisabled\":false}"
    expect "startupCheck.aFailedPageCheckExitsOne" exits_with 1 30
    expect "startupCheck.theFailureIsReported" report_has '"macroDisabled": false'
    expect "startupCheck.windowChecksStillPass" report_has '"nativeFrame": true'
else
    fail "startupCheck.failStarts"
fi

mkdir -p "$scratch/checkNavigation/data"
printf '{"stale":true}' >"$scratch/checkNavigation/data/启动验收.json"
start_instance checkNavigation --startup-check
if wait_until 60 started; then
    send '!navigation-failed'
    expect "startupCheck.aFailedNavigationExitsOne" exits_with 1 30
    expect "startupCheck.aFailedNavigationIsLogged" logged_error "网页导航失败"
    expect "startupCheck.aFailedNavigationLeavesNoReport" [ ! -e "$data/启动验收.json" ]
else
    fail "startupCheck.navigationStarts"
fi

if ((kes_failures > 0)); then
    dump "last instance"
fi
kes_checks_verdict webview-fake-host-shell
