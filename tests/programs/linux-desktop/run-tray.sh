#!/usr/bin/env bash
# The tray on a Linux desktop: kestrava on a private X display and a private session bus with a minimal
# StatusNotifier watcher (the desktop's tray host). The item registers; its icon and title follow the master
# switch; its menu has the tray menu's items; the close prompt offers hiding to the tray, which hides the
# window and remembers the choice; the menu opens the window again and ends the program with code 0.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
press=$native/tests/programs/linux-desktop/kes_physical_keys
watcherProgram=$native/tests/programs/linux-desktop/kes_status_watcher
kes_require_files "$kestrava" "$press" "$watcherProgram"

kes_desktop_session || exit 1
"$press" autorepeat off

# A private session bus and the watcher on it.
dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$work/bus.address" 4>"$work/bus.pid" ||
    { echo "error: dbus-daemon did not start" >&2; exit 1; }
kes_helper_pids+=("$(cat "$work/bus.pid")")
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/bus.address")
export DBUS_SESSION_BUS_ADDRESS
"$watcherProgram" >"$work/watcher.out" 2>&1 &
kes_helper_pids+=($!)
wait_until 10 grep -q '^ready' "$work/watcher.out" || { echo "error: the watcher did not start" >&2; exit 1; }

kes_seed_state "$data" '{"macroEnabled":true,"profiles":[{"id":1,"macros":[{"behavior":"once","enabled":true,"id":2,"name":"甲","steps":[{"gap":20,"hold":20,"key":"A"}],"trigger":"F7"}],"name":"默认配置","program":""}],"selectedProfile":1,"showMacroNames":true}'
kes_start_program "$data/logs/运行.log" env KESTRAVA_DATA_ROOT="$data" "$kestrava" ||
    { echo "error: no window" >&2; exit 1; }

wait_until 20 grep -q '^item ' "$work/watcher.out" ||
    { echo "no item registered; the watcher said:"; cat "$work/watcher.out"; echo "the program said:"; cat "$work/kestrava.out"; }
read -r _ itemBus itemPath < <(grep '^item ' "$work/watcher.out" | head -1)
expect "the tray item registers with the watcher" test -n "${itemBus:-}"
item_property() {
    gdbus call --session --dest "$itemBus" --object-path "$itemPath" \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1" 2>/dev/null
}
menu_layout() {
    gdbus call --session --dest "$itemBus" --object-path "$menuPath" \
        --method com.canonical.dbusmenu.GetLayout 0 'int32 -1' '@as []' 2>/dev/null
}
# The id of the menu item labelled $1.
menu_item_id() {
    menu_layout | grep -o "([0-9]*, {[^}]*<'$1'>[^}]*}" | grep -o "^([0-9]*" | tr -d "("
}
# Whether the item labelled $1 is grayed ("no"/"yes"; empty when the menu has no such item).
menu_item_grayed() {
    local item
    item=$(menu_layout | grep -o "([0-9]*, {[^}]*<'$1'>[^}]*}")
    [ -z "$item" ] && return
    if grep -q "'enabled': <false>" <<<"$item"; then echo yes; else echo no; fi
}
menu_click() {
    gdbus call --session --dest "$itemBus" --object-path "$menuPath" \
        --method com.canonical.dbusmenu.Event "$(menu_item_id "$1")" clicked '<0>' 0 >/dev/null
}

expect "the icon shows macros on" eval 'item_property IconName | grep -q "kestrava-macros-on"'
expect "the title says macros on" eval 'item_property Title | grep -q "Kestrava · 宏已启用"'
themePath=$(item_property IconThemePath | grep -o "'[^']*'" | tr -d "'")
for picture in kestrava-macros-on kestrava-macros-off; do
    expect "the picture $picture.png is a PNG in the icon folder" \
        eval '[ "$(head -c 8 "$themePath/$picture.png" | od -An -tx1 | tr -d " ")" = 89504e470d0a1a0a ]'
done

"$press" tap F8
wait_until 10 eval 'item_property IconName | grep -q "kestrava-macros-off"'
expect "the master hotkey turns the icon to macros off" eval 'item_property IconName | grep -q "kestrava-macros-off"'
expect "the title says macros off" eval 'item_property Title | grep -q "Kestrava · 宏已关闭"'

menuPath=$(item_property Menu | grep -o "objectpath '[^']*'" | grep -o "'[^']*'" | tr -d "'")
layout=$(menu_layout)
echo "menu: $layout"
for label in 打开主窗口 恢复关闭提示 退出程序; do
    expect "the menu has \"$label\"" test -n "$(menu_item_id "$label")"
done
order=$(grep -o "'label': <'[^']*'>\|'separator'" <<<"$layout" | tr '\n' ' ')
expect "the menu's order is open, restore, separator, exit" \
    test "$order" = "'label': <'打开主窗口'> 'label': <'恢复关闭提示'> 'separator' 'label': <'退出程序'> "
expect "\"恢复关闭提示\" is grayed while nothing is stored" test "$(menu_item_grayed 恢复关闭提示)" = yes

# The close prompt offers the tray: hiding to it (the default choice) with "以后不再提示" hides the window.
kes_click_close_button
wait_until 10 eval '[ "$(xdotool search --onlyvisible --name "^Kestrava$" | wc -l)" -ge 2 ]'
import -window root "$work/tray-prompt.png"
[ -n "${KES_SHOT_DIR:-}" ] && cp "$work/tray-prompt.png" "$KES_SHOT_DIR/"
dialog=$(xdotool search --onlyvisible --name '^Kestrava$' | grep -v "^$mainWindow\$" | head -1)
# The prompt with a tray has one more radio button above the check box and the buttons.
trayRow=35
xdotool mousemove --window "$dialog" --sync 46 $((121 + trayRow)) click 1   # "以后不再提示"
sleep 0.3
xdotool mousemove --window "$dialog" --sync 49 $((176 + trayRow)) click 1   # "确定"
wait_until 10 eval '! xdotool search --onlyvisible --name "^Kestrava$" >/dev/null 2>&1'
expect "hiding to the tray hides the window" eval '! xdotool search --onlyvisible --name "^Kestrava$" >/dev/null 2>&1'
expect "the program keeps running" kill -0 "$kesPid"
expect "the tray choice is remembered" test "$(cat "$data/关闭方式.json" 2>/dev/null)" = '{"action":"tray"}'
wait_until 5 eval '[ "$(menu_item_grayed 恢复关闭提示)" = no ]'
expect "\"恢复关闭提示\" is offered once a choice is stored" test "$(menu_item_grayed 恢复关闭提示)" = no

menu_click 恢复关闭提示
wait_until 5 eval '[ "$(menu_item_grayed 恢复关闭提示)" = yes ]'
expect "\"恢复关闭提示\" forgets the stored choice" test "$(menu_item_grayed 恢复关闭提示)" = yes
expect "the stored choice is back to asking" test "$(cat "$data/关闭方式.json" 2>/dev/null)" = '{"action":"ask"}'

menu_click 打开主窗口
wait_until 10 eval 'xdotool search --onlyvisible --name "^Kestrava$" >/dev/null 2>&1'
expect "\"打开主窗口\" shows the window again" eval 'xdotool search --onlyvisible --name "^Kestrava$" >/dev/null 2>&1'

menu_click 退出程序
kes_await_end 20
expect "\"退出程序\" ends the program with code 0" test "$ended" = 0
expect "no key is left down" test "$("$press" report keys)" = "down 0"
expect "nothing in the error log" test ! -s "$data/logs/错误.log"
kes_checks_verdict "Linux desktop tray"
