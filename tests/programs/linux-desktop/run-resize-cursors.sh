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

# The pointer's shape once it has stopped changing, after moving it to ($1, $2); a picture to $3 if given.
shape_at() {
    local previous="" current
    xdotool mousemove --sync "$1" "$2"
    for _ in $(seq 20); do
        sleep 0.2
        current=$("$shot" | cut -d' ' -f2-)
        [ "$current" = "$previous" ] && break
        previous=$current
    done
    [ -n "${3:-}" ] && "$shot" "$3" >/dev/null
    echo "$current"
}

page=$(shape_at $((x + w / 2)) $((y + h / 2)))
right=$(shape_at $((x + w - 3)) $((y + h / 2)) "$shots/resize-edge.png")
corner=$(shape_at $((x + w - 3)) $((y + h - 3)) "$shots/resize-corner.png")
left=$(shape_at $((x + 2)) $((y + h / 2)))
top=$(shape_at $((x + w / 2)) $((y + 2)))
topLeft=$(shape_at $((x + 2)) $((y + 2)))
back=$(shape_at $((x + w / 2)) $((y + h / 2)))
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
