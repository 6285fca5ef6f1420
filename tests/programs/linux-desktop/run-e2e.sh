#!/usr/bin/env bash
# The whole program on a Linux desktop: kestrava on a private X display with a window manager, the page
# edited with real input, the state document read from disk, triggers pressed on the display's own
# keyboard device (physical input), the macro's keys received by a small test window, the four behaviours,
# a profile bound to another program, the master switch hotkey, the close prompt and its remembered
# choice, no key left down, and screenshots of the real window at two sizes.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
recorderProgram=$native/tests/programs/linux-desktop/kes_key_recorder
press=$native/tests/programs/linux-desktop/kes_physical_keys
kes_require_files "$kestrava" "$recorderProgram" "$press"

kes_desktop_session || exit 1
shots=${KES_SHOT_DIR:-$work}
# Held keys are held by the script, not repeated by the server: the checks count presses exactly.
"$press" autorepeat off

start_kestrava() { kes_start_program "$data/logs/运行.log" env KESTRAVA_DATA_ROOT="$data" "$kestrava"; }
state_value() {
    python3 -c "import json,sys; d=json.load(open(sys.argv[1])); print(eval(sys.argv[2]))" "$data/Kestrava配置.json" "$1" 2>/dev/null
}
click() { xdotool mousemove --sync "$1" "$2" click 1; sleep 0.3; }
recorded_since() { tail -n +"$(($1 + 1))" "$work/recorder.out"; }
recorder_lines() { wc -l <"$work/recorder.out"; }
focus_recorder() { xdotool windowactivate --sync "$recorderWindow" >/dev/null 2>&1; sleep 0.3; }
count_of() { recorded_since "$1" | grep -c "^$2\$"; }
presses_since() { recorded_since "$1" | grep '^press' | tr '\n' ' '; }
# Waits (up to 10 s on a busy machine) until the presses since a mark are exactly the given text.
presses_are() { [ "$(presses_since "$1")" = "$2" ]; }
presses_become() { wait_until 10 presses_are "$1" "$2"; }
count_is() { [ "$(count_of "$1" "$2")" = "$3" ]; }

# 1. Edit the page with real input: add a macro, record its trigger F7, capture A and B.
start_kestrava || { fail "kestrava starts and switches its macros on"; kes_checks_verdict "Linux desktop end to end"; exit 1; }
pass "kestrava starts and switches its macros on"
sleep 1
import -window root "$shots/kestrava-1280x860.png"
click 734 571        # "添加第一个宏"
click 422 319        # trigger field
xdotool key F7
sleep 0.3
stored_keys() { state_value '[s["key"].upper() for s in d["profiles"][0]["macros"][0]["steps"]]'; }
for key in a b; do
    count=$(stored_keys)
    click 614 171    # key capture field
    xdotool key "$key"
    sleep 0.3
    click 961 171    # "添加"
    wait_until 10 eval '[ "$(stored_keys)" != "$count" ]'
done
wait_until 10 eval '[ "$(state_value '"'"'d["profiles"][0]["macros"][0]["trigger"]'"'"')" = F7 ]'
expect "the page stored the trigger it recorded" test "$(state_value 'd["profiles"][0]["macros"][0]["trigger"]')" = F7
expect "the page stored the keys it captured" test "$(stored_keys)" = "['A', 'B']"

# 2. A physical press of the trigger plays the macro into the focused test window; the trigger itself
#    never arrives there.
"$recorderProgram" >"$work/recorder.out" 2>&1 &
kes_helper_pids+=($!)
wait_until 10 grep -q ready "$work/recorder.out"
recorderWindow=$(xdotool search --onlyvisible --name 'Kestrava key recorder' | head -1)
focus_recorder
mark=$(recorder_lines)
"$press" tap F7
presses_become "$mark" "press a press b "
expect "the macro's keys arrive in order" test "$(presses_since "$mark")" = "press a press b "
expect "the trigger's press does not arrive" test "$(count_of "$mark" 'press F7')" = 0
mark=$(recorder_lines)
"$press" tap x
wait_until 10 count_is "$mark" "release x" 1
expect "a key no macro uses arrives untouched" test "$(recorded_since "$mark" | tr '\n' ' ')" = "press x release x "

# 3. Resize from the window's corner with the mouse; the page follows.
read -r x y w h < <(xwininfo -id "$mainWindow" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width/{w=$2} /Height/{h=$2} END{print x, y, w, h}')
xdotool mousemove --sync $((x + w - 3)) $((y + h - 3)) mousedown 1 sleep 0.3 mousemove --sync $((x + w - 150)) $((y + h - 100)) sleep 0.3 mousemove --sync $((x + w - 300)) $((y + h - 200)) sleep 0.3 mouseup 1
sleep 1.5
read -r w2 h2 < <(xwininfo -id "$mainWindow" | awk '/Width/{w=$2} /Height/{h=$2} END{print w, h}')
expect "dragging the corner resizes the window ($w x $h to $w2 x $h2)" test "$w2" -lt "$w" -a "$h2" -lt "$h"
import -window root -crop "${w2}x${h2}+${x}+${y}" "$shots/kestrava-${w2}x${h2}.png"

# The page's top bar moves the window with the mouse.
xdotool mousemove --sync $((x + 600)) $((y + 25)) mousedown 1 sleep 0.3 mousemove --sync $((x + 650)) $((y + 60)) sleep 0.3 mousemove --sync $((x + 700)) $((y + 95)) sleep 0.3 mouseup 1
sleep 1
read -r x3 y3 < <(xwininfo -id "$mainWindow" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}')
expect "dragging the top bar moves the window (from $x,$y to $x3,$y3)" test "$x3" -gt "$x" -a "$y3" -gt "$y"

# 4. The close button asks; "以后不再提示" with "确定" quits and remembers the choice.
kes_click_close_button
wait_until 10 eval '[ "$(xdotool search --onlyvisible --name "^Kestrava$" | wc -l)" -ge 2 ]'
import -window root "$shots/close-prompt.png"
dialog=$(xdotool search --onlyvisible --name '^Kestrava$' | grep -v "^$mainWindow\$" | head -1)
xdotool mousemove --window "$dialog" --sync 46 121 click 1   # "以后不再提示"
sleep 0.3
xdotool mousemove --window "$dialog" --sync 49 176 click 1   # "确定"
kes_await_end 20
expect "the prompt's exit ends the program with code 0" test "$ended" = 0
expect "the close choice is remembered" test "$(cat "$data/关闭方式.json" 2>/dev/null)" = '{"action":"exit"}'
expect "no key is left down" test "$("$press" report keys)" = "down 0"

# 5. The four behaviours, from a state document on disk, in a profile bound to the test window's program.
write_state() {
    python3 - "$data/Kestrava配置.json" "$1" <<'PY'
import json, sys
def step(key, hold=20, gap=30):
    return {"key": key, "hold": hold, "gap": gap}
macros = [
    {"id": 1, "name": "once", "behavior": "once", "trigger": "F7", "steps": [step("A"), step("B")]},
    {"id": 2, "name": "hold", "behavior": "hold", "trigger": "F9", "steps": [step("C")]},
    {"id": 3, "name": "repeat", "behavior": "repeat", "trigger": "F2", "steps": [step("E")]},
    {"id": 4, "name": "latch", "behavior": "latch", "trigger": "F4", "steps": [step("G"), step("H")]},
]
for m in macros:
    m["enabled"] = True
state = {"macroEnabled": True, "selectedProfile": 1, "showMacroNames": True,
         "profiles": [{"id": 1, "name": "测试", "program": sys.argv[2], "macros": macros}]}
json.dump(state, open(sys.argv[1], "w"), ensure_ascii=False, indent=2)
PY
}
write_state kes_key_recorder
start_kestrava || fail "kestrava starts again"
focus_recorder
# A second start brings the first window forward and ends.
KESTRAVA_DATA_ROOT=$data timeout 20 "$kestrava" >>"$work/kestrava.out" 2>&1
expect "a second start ends with 0" test $? = 0
active_window() { printf '%d' "$(xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}')"; }
wait_until 10 eval '[ "$(active_window)" = "$mainWindow" ]'
expect "and the first window comes to the front" test "$(active_window)" = "$mainWindow"
expect "the first instance still runs" kill -0 "$kesPid"
focus_recorder
mark=$(recorder_lines)
"$press" tap F7
presses_become "$mark" "press a press b "
"$press" wait 300
expect "once: one press plays A, B once" test "$(presses_since "$mark")" = "press a press b "
mark=$(recorder_lines)
"$press" down F9 wait 800 up F9 wait 300
held=$(count_of "$mark" 'press c')
expect "hold: C repeats while the trigger is held ($held presses)" test "$held" -ge 3
"$press" wait 300
expect "hold: nothing more after the release" test "$(count_of "$mark" 'press c')" = "$held"
expect "hold: the trigger's press does not arrive" test "$(count_of "$mark" 'press F9')" = 0
mark=$(recorder_lines)
"$press" down e wait 800 up e wait 300
fired=$(count_of "$mark" 'press e')
expect "repeat: E fires while held ($fired presses)" test "$fired" -ge 3
mark=$(recorder_lines)
"$press" down F4
wait_until 10 count_is "$mark" "press h" 1
"$press" wait 300
expect "latch: G is played and H stays down while the trigger is held" test \
    "$(recorded_since "$mark" | grep ' [gh]$' | tr '\n' ' ')" = "press g release g press h "
"$press" up F4
wait_until 10 count_is "$mark" "release h" 1
expect "latch: H comes up with the trigger" test "$(count_of "$mark" 'release h')" = 1

# 6. The master switch hotkey (F8 by default) switches the macros off and on; the page stores the state.
mark=$(recorder_lines)
"$press" tap F8
wait_until 10 eval '[ "$(state_value '"'"'d["macroEnabled"]'"'"')" = False ]'
expect "the hotkey's press does not arrive" test "$(count_of "$mark" 'press F8')" = 0
expect "the hotkey switched the macros off (state on disk)" test "$(state_value 'd["macroEnabled"]')" = False
mark=$(recorder_lines)
"$press" tap F7
presses_become "$mark" "press F7 "
expect "with the macros off the trigger arrives as a plain key" test "$(presses_since "$mark")" = "press F7 "
"$press" tap F8
wait_until 10 eval '[ "$(state_value '"'"'d["macroEnabled"]'"'"')" = True ]'
expect "the hotkey switched the macros on again" test "$(state_value 'd["macroEnabled"]')" = True
mark=$(recorder_lines)
"$press" tap F7
presses_become "$mark" "press a press b "
expect "and the trigger plays again" test "$(presses_since "$mark")" = "press a press b "

# 7. The remembered choice: the close button now quits at once.
kes_click_close_button
kes_await_end 20
expect "the close button quits without asking" test "$ended" = 0
expect "no key is left down" test "$("$press" report keys)" = "down 0"

# 8. A profile bound to another program does nothing here.
write_state other-program
start_kestrava || fail "kestrava starts a third time"
focus_recorder
mark=$(recorder_lines)
"$press" tap F7
wait_until 10 count_is "$mark" "release F7" 1
"$press" wait 500
expect "a profile bound to another program plays nothing" test "$(count_of "$mark" 'press a')" = 0
expect "and its trigger reaches the focused program" test "$(count_of "$mark" 'press F7')" = 1
kes_click_close_button
kes_await_end 20
expect "the program ends" test "$ended" = 0
expect "no key is left down at the end" test "$("$press" report keys)" = "down 0"
expect "nothing in the error log" test ! -s "$data/logs/错误.log"
echo "screenshots: $shots/kestrava-1280x860.png $shots/kestrava-${w2}x${h2}.png"
kes_checks_verdict "Linux desktop end to end"
