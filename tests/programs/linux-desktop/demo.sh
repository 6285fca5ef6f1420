#!/usr/bin/env bash
# A short scripted demo of the real program on a private virtual display: kestrava opens its editor, a
# macro is made through the page with real input (trigger F7, keys A and B), a physical press of F7 plays
# it into a small test window, and a screenshot of the real window is kept. Prints what happened.
#   demo.sh [SHOT_DIR]        (default build/demo)
set -uo pipefail
. "$(dirname "$0")/lib.sh"
recorderProgram=$native/tests/programs/linux-desktop/kes_key_recorder
press=$native/tests/programs/linux-desktop/kes_physical_keys
kes_require_files "$kestrava" "$recorderProgram" "$press"
shots=$(realpath -m "${1:-$root/build/demo}")
mkdir -p "$shots"
work=$(mktemp -d)
kesPid=""
recorderPid=""
trap 'kes_end_process "$kesPid"; kes_end_process "$recorderPid"; kes_desktop_stop; rm -rf "$work"' EXIT
kes_desktop_start || exit 1
export WEBKIT_DISABLE_COMPOSITING_MODE=1 # the virtual display has no GL

echo "1. kestrava starts on the private display $DISPLAY with an empty data folder"
KESTRAVA_DATA_ROOT=$work "$kestrava" >"$work/kestrava.out" 2>&1 &
kesPid=$!
wait_until 30 grep -q 全局宏引擎已启用 "$work/logs/运行.log" 2>/dev/null || { echo "kestrava did not start"; exit 1; }
sleep 1
click() { xdotool mousemove --sync "$1" "$2" click 1; sleep 0.3; }
echo "2. through the page: add a macro, record its trigger F7, capture the keys A and B"
click 734 571
click 422 319
xdotool key F7
sleep 0.3
for key in a b; do
    click 614 171
    xdotool key "$key"
    click 961 171
done
sleep 1
python3 - "$work/Kestrava配置.json" <<'PY'
import json, sys
macro = json.load(open(sys.argv[1]))["profiles"][0]["macros"][0]
print("   saved in Kestrava配置.json: trigger %s, keys %s" % (macro["trigger"], " ".join(s["key"] for s in macro["steps"])))
PY
import -window root "$shots/kestrava.png"
echo "3. a test window takes the focus; F7 is pressed on the display's own keyboard"
"$recorderProgram" >"$work/recorder.out" 2>&1 &
recorderPid=$!
wait_until 10 grep -q ready "$work/recorder.out"
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name 'Kestrava key recorder' | head -1)"
sleep 0.3
"$press" tap F7 wait 600
echo "   the test window received: $(grep -v ready "$work/recorder.out" | tr '\n' ' ')"
echo "   (the trigger F7 itself was kept from it)"
echo "4. screenshot of the real window: $shots/kestrava.png"
