#!/usr/bin/env bash
# Without a window manager the window is activated by the user's first click, here the click
# that ticks "Remove triangles outside boundary": the tick must survive that activation, so that
# "Edit and save" of the file typed in next removes the triangles and Button2 stores the tick. Part of ctest; skipped (77)
# without Xvfb and xdotool.
#
#   tests/gui/first-click.sh TIDYLANDER SAMPLE.xml
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
app=$1
sample=$2
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || exit 77
screen=1280x800
work=$(mktemp -d)
pid=""
xvfb=""
. "$here/x11.sh"
trap cleanup EXIT

start_xvfb "$screen"
file=$work/survey.xml
cp "$sample" "$file"
# The pointer outside the window: with X's focus following the pointer, nothing activates the
# window before the click.
xdotool mousemove 0 0
start
click 622 233 # CheckBox1, the first click into the window
type_path "$file"
click 1083 683 # Button1 "Edit and save"
boxes=$(answer_all)
grep -q 'i="1"' "$file" && fail "the tick was undone: triangles outside the boundary are still there"
[ "$boxes" -ge 1 ] || fail "no message box after the save"
stop
grep -q 'driehoeken=1' "$work/config/TQB55/tidyland.conf" || fail "the tick was not stored"
echo "ok: the first click's tick survived, $boxes message boxes"
