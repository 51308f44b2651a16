#!/usr/bin/env bash
# End-to-end run of tidylander on a virtual X server, driven like a user with xdotool, at several
# screen sizes. Not part of ctest: it needs Xvfb, xdotool and ImageMagick's import
# (apt-get install xvfb xdotool imagemagick).
#
#   tests/gui/run.sh [BUILD_DIR]
#
# Per screen: the sample's path typed into the file box (a click there opens the open dialog,
# Escape closes it), "Remove triangles outside boundary" ticked, "Edit and save", every message
# box answered with Enter, the saved file checked on disk; then the sample named on the command
# line and the palette dialog opened. Screenshots go to BUILD_DIR/gui/.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
app=$build/gui/tidylander
sample=$here/../../samples/sample.xml
shots=$build/gui-shots
mkdir -p "$shots"
work=$(mktemp -d)
xvfb=""
pid=""
. "$here/x11.sh"
trap cleanup EXIT

run_screen() { # WIDTHxHEIGHT SCALE
    screen=$1
    export QT_SCALE_FACTOR=$2
    local name=${1}${2/1/}
    [ "$2" != 1 ] && name=${1}-scale$2
    start_xvfb "$1"
    rm -rf "$work/config"

    # Typed path, ticked option, "Edit and save".
    local file=$work/typed-$name.xml
    cp "$sample" "$file"
    start
    type_path "$file"
    click 622 233 # CheckBox1
    import -window root "$shots/$name-scanned.png"
    click 1083 683 # Button1 "Edit and save"
    local boxes
    boxes=$(answer_all)
    import -window root "$shots/$name-ready.png"
    stop
    [ "$boxes" -ge 1 ] || fail "no message box after the save"
    grep -q 'i="1"' "$file" && fail "triangles outside the boundary are still in $file"
    cmp -s "$sample" "$file" && fail "$file was not rewritten"
    grep -q 'driehoeken=1' "$work/config/TQB55/tidyland.conf" || fail "option not stored"

    # Named on the command line; the palette dialog over the window.
    file=$work/named-$name.xml
    cp "$sample" "$file"
    start "$file"
    sleep 1
    click 343 585 # Button6 "Assign colors to surfaces"
    wait_windows 2
    sleep 0.5
    import -window root "$shots/$name-palette.png"
    while [ "$(windows)" -gt 1 ]; do xdotool key Escape; sleep 0.5; done
    stop
    grep -q 'M_Color' "$file" || fail "the command line's file was not opened"

    stop_xvfb
    echo "ok $name: $boxes message boxes, screenshots $shots/$name-*.png"
}

for screen in 1920x1080 1366x768 1280x720 1024x768; do
    run_screen "$screen" 1
done
run_screen 1920x1080 2
