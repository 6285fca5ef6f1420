#!/usr/bin/env bash
# Performance mode on a Linux desktop: kestrava --performance on a private X display samples about once a
# second; the marker hotkeys Ctrl+Shift+F6 to F8 (pressed on the display's own keyboard, as physical
# input) mark the phases and Ctrl+Shift+F9 writes the reports, exactly as on Windows. A marker's press never
# reaches the program in front, the same F-keys without the markers' modifiers do, and Ctrl+Shift+F8 does
# not switch the macros although bare F8 is the master switch hotkey.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
recorderProgram=$native/tests/programs/linux-desktop/kes_key_recorder
press=$native/tests/programs/linux-desktop/kes_physical_keys
kes_require_files "$kestrava" "$recorderProgram" "$press"

kes_desktop_session || exit 1
"$press" autorepeat off

kes_seed_state "$data" '{"macroEnabled":true,"profiles":[{"id":1,"macros":[{"behavior":"once","enabled":true,"id":2,"name":"甲","steps":[{"gap":20,"hold":20,"key":"A"}],"trigger":"F3"}],"name":"默认配置","program":""}],"selectedProfile":1,"showMacroNames":true}'
printf '{"action":"exit"}' >"$data/关闭方式.json"
kes_start_program "$data/logs/运行.log" env KESTRAVA_DATA_ROOT="$data" "$kestrava" --performance ||
    { echo "error: no window" >&2; exit 1; }
expect "performance mode starts sampling" grep -q 性能采样开始 "$data/logs/运行.log"
folder=$(find "$data/logs/性能检测" -mindepth 1 -maxdepth 1 -type d 2>/dev/null | head -1)
expect "the sampling folder is under logs/性能检测" test -n "$folder"
samples=$folder/采样.jsonl
wait_until 10 test -s "$samples"
expect "samples are written about once a second" test -s "$samples"

"$recorderProgram" >"$work/recorder.out" 2>&1 &
kes_helper_pids+=($!)
wait_until 10 grep -q ready "$work/recorder.out"
recorderWindow=$(xdotool search --onlyvisible --name 'Kestrava key recorder' | head -1)
xdotool windowactivate --sync "$recorderWindow" >/dev/null 2>&1
sleep 0.3
with_ctrl_shift() { "$press" down Control_L down Shift_L tap "$1" up Shift_L up Control_L; }
f_presses() { grep "^press F[6-9]\$" "$work/recorder.out" | cut -d' ' -f2 | tr '\n' ' '; }

with_ctrl_shift F7
wait_until 10 grep -q '"阶段":"空打"' "$samples"
expect "Ctrl+Shift+F7 marks \"空打\" in the samples that follow" grep -q '"阶段":"空打"' "$samples"
"$press" down Control_L down Shift_L down Alt_L tap F8 up Alt_L up Shift_L up Control_L
with_ctrl_shift F8
"$press" tap F6
wait_until 10 grep -q '^press F6$' "$work/recorder.out"
expect "bare F6 and Ctrl+Alt+Shift+F8 reach the program in front, the markers' presses do not" \
    test "$(f_presses)" = "F8 F6 "
expect "Ctrl+Shift+F8 leaves the macros on" test "$(kes_report_member "$data/Kestrava配置.json" macroEnabled)" = True

with_ctrl_shift F9
report=$folder/报告.json
wait_until 10 test -s "$report"
expect "Ctrl+Shift+F9 writes the report" test -s "$report"
marks=$(python3 -c 'import json,sys; print(" ".join(m["阶段"] for m in json.load(open(sys.argv[1]))["阶段标记"]))' "$report" 2>/dev/null)
expect "the report's marks are 空打 and 命中 (Ctrl+Alt+Shift+F8 is no marker)" test "$marks" = "空打 命中"
expect "the table and the summary are written" eval 'test -s "$folder/采样数据.csv" && grep -q "采样次数：" "$folder/性能报告.txt"'
expect "the end is logged" grep -q 性能检测已结束，报告已保存 "$data/logs/运行.log"
before=$(stat -c %Y.%s "$report")
lines=$(wc -l <"$samples")
with_ctrl_shift F9
sleep 1.5
expect "a second Ctrl+Shift+F9 writes nothing more" test "$(stat -c %Y.%s "$report")" = "$before"
expect "and no sample follows the end" test "$(wc -l <"$samples")" = "$lines"

kes_click_close_button
kes_await_end 20
expect "the program ends with code 0" test "$ended" = 0
expect "no key is left down" test "$("$press" report keys)" = "down 0"
expect "nothing in the error log" test ! -s "$data/logs/错误.log"
kes_checks_verdict "Linux desktop performance mode"
