#!/usr/bin/env bash
# Keys released on lock, session switch, sleep, shut-down and log-off on a Linux desktop. First without a
# system bus: the program starts and says once that it cannot follow them. Then on a private system bus
# with a stand-in logind and stand-in screen savers on a private session bus: a latch holds B down, each
# signal brings it up (the display's key state says so) with the run-log line the Windows host writes, the
# delay inhibitor of sleep and shut-down is taken at start, let go of once the keys are up and taken again
# on waking, and let go of when the program ends.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
recorderProgram=$native/tests/programs/linux-desktop/kes_key_recorder
press=$native/tests/programs/linux-desktop/kes_physical_keys
standInProgram=$native/tests/programs/linux-desktop/kes_login_stand_in
kes_require_files "$kestrava" "$recorderProgram" "$press" "$standInProgram"

kes_desktop_session || exit 1
"$press" autorepeat off
runLog=$data/logs/运行.log
kes_seed_state "$data" '{"macroEnabled":true,"profiles":[{"id":1,"macros":[{"behavior":"latch","enabled":true,"id":2,"name":"甲","steps":[{"gap":20,"hold":20,"key":"B"}],"trigger":"F7"}],"name":"默认配置","program":""}],"selectedProfile":1,"showMacroNames":true}'
printf '{"action":"exit"}' >"$data/关闭方式.json"
start_kestrava() { kes_start_program "$runLog" env KESTRAVA_DATA_ROOT="$data" "$kestrava"; }
end_kestrava() {
    kes_click_close_button
    kes_await_end 20
    expect "the program ends with code 0 ($1)" test "$ended" = 0
}
noBusLine=无法连接系统总线，锁屏、睡眠和关机时无法自动松开按键

# 1. No system bus.
start_kestrava || { fail "kestrava starts without a system bus"; kes_checks_verdict "Linux desktop key release"; exit 1; }
pass "kestrava starts without a system bus"
expect "it says once that it cannot follow lock and sleep" test "$(grep -c "$noBusLine" "$runLog")" = 1
end_kestrava "without a system bus"

# 2. A private system bus with the stand-in logind, a private session bus with the screen savers.
start_bus() {
    dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$work/$1.address" 4>"$work/$1.pid" ||
        { echo "error: dbus-daemon did not start" >&2; exit 1; }
    kes_helper_pids+=("$(cat "$work/$1.pid")")
}
start_bus system-bus
start_bus session-bus
DBUS_SYSTEM_BUS_ADDRESS=$(head -1 "$work/system-bus.address")
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/session-bus.address")
export DBUS_SYSTEM_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS
"$standInProgram" >"$work/stand-in.out" 2>&1 &
kes_helper_pids+=($!)
wait_until 10 grep -q '^ready' "$work/stand-in.out" || { echo "error: the stand-in did not start" >&2; exit 1; }
taken() { grep -c '^inhibitor taken' "$work/stand-in.out"; }
released() { grep -c '^inhibitor released' "$work/stand-in.out"; }
emit() {
    gdbus call --system --dest org.freedesktop.login1 --object-path /org/kestrava/test \
        --method org.kestrava.test.LoginStandIn.Emit "$1" >/dev/null
}
key_is() { [ "$("$press" report "$1")" = "$1 $2" ]; }
lines_of() { grep -c "$1：已结束 1 个运行中的宏，松开 1 个按键" "$runLog"; }

lines=$(wc -l <"$runLog")
start_kestrava || { fail "kestrava starts beside the stand-in"; kes_checks_verdict "Linux desktop key release"; exit 1; }
pass "kestrava starts beside the stand-in"
wait_until 10 eval '[ "$(taken)" = 1 ]'
expect "a delay inhibitor of sleep and shut-down is taken at start" \
    grep -q '^inhibitor taken sleep:shutdown delay Kestrava$' "$work/stand-in.out"
expect "nothing says that lock and sleep cannot be followed" \
    eval '! tail -n +"$((lines + 1))" "$runLog" | grep -q "无法自动松开按键"'

"$recorderProgram" >"$work/recorder.out" 2>&1 &
kes_helper_pids+=($!)
wait_until 10 grep -q ready "$work/recorder.out"
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name 'Kestrava key recorder' | head -1)" >/dev/null 2>&1
sleep 0.3

# Holds the trigger until the latch holds B, sends the signal, and expects B up with one more log line.
release_on() {
    local signal=$1 occasion=$2 before
    before=$(lines_of "$occasion")
    "$press" down F7
    if ! wait_until 10 key_is b down; then
        fail "the latch holds B before \"$signal\""
        "$press" up F7
        return
    fi
    emit "$signal"
    wait_until 10 key_is b up
    expect "\"$signal\" brings B up" key_is b up
    wait_until 5 eval '[ "$(lines_of "$occasion")" -gt "$before" ]'
    expect "\"$signal\" logs \"$occasion：已结束 1 个运行中的宏，松开 1 个按键\"" \
        test "$(lines_of "$occasion")" = $((before + 1))
    "$press" up F7
}

release_on lock 会话已锁定
emit unlock
release_on inactive 已切换到其他会话
emit active
release_on sleep 系统即将睡眠
wait_until 5 eval '[ "$(released)" = 1 ]'
expect "the inhibitor is let go of once the keys are up before sleep" test "$(released)" = 1
emit wake
wait_until 5 eval '[ "$(taken)" = 2 ]'
expect "the inhibitor is taken again on waking" test "$(taken)" = 2
release_on shutdown 系统正在注销或关机
wait_until 5 eval '[ "$(released)" = 2 ]'
expect "the inhibitor is let go of once the keys are up before shut-down" test "$(released)" = 2
emit shutdown-cancelled
wait_until 5 eval '[ "$(taken)" = 3 ]'
expect "the inhibitor is taken again when the shut-down is cancelled" test "$(taken)" = 3
release_on screensaver-on 会话已锁定
emit screensaver-off
release_on gnome-screensaver-on 会话已锁定
emit gnome-screensaver-off

# Another session's end is none of ours: the latch keeps B down until our own session ends.
"$press" down F7
wait_until 10 key_is b down
emit other-logoff
sleep 1
expect "another session's log-off leaves the latch alone" key_is b down
"$press" up F7
wait_until 10 key_is b up
release_on logoff 用户正在注销

expect "the master switch stayed on" test "$(kes_report_member "$data/Kestrava配置.json" macroEnabled)" = True
end_kestrava "beside the stand-in"
wait_until 5 eval '[ "$(released)" = 3 ]'
expect "the inhibitor is let go of when the program ends" test "$(released)" = 3
expect "no key is left down" test "$("$press" report keys)" = "down 0"
expect "nothing in the error log" test ! -s "$data/logs/错误.log"
kes_checks_verdict "Linux desktop key release"
