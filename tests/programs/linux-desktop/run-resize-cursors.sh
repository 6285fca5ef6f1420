#!/usr/bin/env bash
# The window's resize band on a Linux desktop: over its edges and corners the pointer takes the matching
# resize shape, over the page the page's own shape, and it comes back when the pointer returns to the page.
# Screenshots with the pointer drawn in: resize-edge.png (right edge) and resize-corner.png (bottom-right).
set -uo pipefail
. "$(dirname "$0")/lib.sh"
shot=$native/tests/programs/linux-desktop/kes_pointer_shot
kes_require_files "$kestrava" "$shot"

kes_desktop_session || exit 1
shots=${KES_SHOT_DIR:-$work}

kes_seed_state "$data" '{"macroEnabled":true,"profiles":[{"id":1,"macros":[],"name":"默认配置","program":""}],"selectedProfile":1,"showMacroNames":true}'
printf '{"action":"exit"}' >"$data/关闭方式.json"
kes_start_program "$data/logs/运行.log" env KESTRAVA_DATA_ROOT="$data" "$kestrava" ||
    { echo "error: no window" >&2; exit 1; }
read -r x y w h < <(xwininfo -id "$mainWindow" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width/{w=$2} /Height/{h=$2} END{print x, y, w, h}')

# The pointer's shape after moving it to ($1, $2): each move below goes to a part of the window with another
# shape than the one before ($3), so it waits (up to 10 s on a busy machine) for the shape to change; a
# picture to $4 if given.
shape_at() {
    local current
    # A warp is one motion; a hand on the mouse makes several.
    xdotool mousemove --sync "$1" "$2" mousemove_relative --sync -- 1 1 mousemove_relative --sync -- -1 -1
    for _ in $(seq 100); do
        current=$("$shot" | cut -d' ' -f2-)
        [ "$current" != "$3" ] && break
        sleep 0.1
    done
    sleep 0.2
    current=$("$shot" ${4:+"$4"} | cut -d' ' -f2-)
    echo "$current"
}

page=$(shape_at $((x + w / 2)) $((y + h / 2)) "")
right=$(shape_at $((x + w - 3)) $((y + h / 2)) "$page" "$shots/resize-edge.png")
corner=$(shape_at $((x + w - 3)) $((y + h - 3)) "$right" "$shots/resize-corner.png")
left=$(shape_at $((x + 2)) $((y + h / 2)) "$corner")
top=$(shape_at $((x + w / 2)) $((y + 2)) "$left")
topLeft=$(shape_at $((x + 2)) $((y + 2)) "$top")
back=$(shape_at $((x + w / 2)) $((y + h / 2)) "$topLeft")
echo "shapes: page [$page] right [$right] corner [$corner] left [$left] top [$top] top-left [$topLeft] back [$back]"
echo "pictures: $shots/resize-edge.png $shots/resize-corner.png"

expect "the page has a pointer shape" test -n "$page"
expect "the right edge shows a resize shape" eval '[ -n "$right" ] && [ "$right" != "$page" ]'
expect "the bottom-right corner shows another one" eval '[ -n "$corner" ] && [ "$corner" != "$page" ] && [ "$corner" != "$right" ]'
expect "the top edge's shape differs from the side edges'" eval '[ "$top" != "$page" ] && [ "$top" != "$right" ] && [ "$top" != "$left" ]'
expect "the left edge shows a resize shape" test "$left" != "$page"
expect "the top-left corner shows a resize shape of its own" \
    eval '[ "$topLeft" != "$page" ] && [ "$topLeft" != "$top" ] && [ "$topLeft" != "$left" ]'
expect "back over the page the page's shape returns" test "$back" = "$page"
# Shapes loaded from a cursor theme carry their names; the core cursors that stand in without a theme do not.
for named in "e-resize:$right" "se-resize:$corner" "w-resize:$left" "n-resize:$top" "nw-resize:$topLeft"; do
    name=${named#*:}
    name=${name%% *}
    [ "$name" = - ] || expect "the shape there is ${named%%:*}" test "$name" = "${named%%:*}"
done
expect "the pictures are saved" eval 'test -s "$shots/resize-edge.png" && test -s "$shots/resize-corner.png"'

kes_click_close_button
kes_await_end 20
expect "the program ends with code 0" test "$ended" = 0
expect "nothing in the error log" test ! -s "$data/logs/错误.log"
kes_checks_verdict "Linux desktop resize cursors"
