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
app=$build/app/tidylander
sample=$here/../../samples/sample.xml
shots=$build/gui
mkdir -p "$shots"
work=$(mktemp -d)
xvfb=""
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL ($screen): $*" >&2; exit 1; }

# The program's visible windows: the main window and any dialog or message box over it.
windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }
wait_windows() { # COUNT
    for _ in $(seq 100); do [ "$(windows)" -eq "$1" ] && return 0; sleep 0.1; done
    fail "expected $1 windows, have $(windows)"
}

# Clicks the point (x, y) of the window's full-size layout, wherever the window stands and
# however much it was shrunk.
click() {
    eval "$(xdotool getwindowgeometry --shell "$main")"
    local px=$((X + $1 * WIDTH / 1263)) py=$((Y + $2 * HEIGHT / 766))
    xdotool mousemove --sync "$px" "$py" click 1
    sleep 0.3
}

# Answers message boxes with Enter until only the main window is left; prints how many.
answer_all() {
    local answered=0
    sleep 0.5
    while [ "$(windows)" -gt 1 ] && [ $answered -lt 10 ]; do
        xdotool key Return
        answered=$((answered + 1))
        sleep 0.5
    done
    echo $answered
}

start() { # FILE...: starts the program, waits for its window
    XDG_CONFIG_HOME=$work/config "$app" "$@" &
    pid=$!
    main=$(xdotool search --sync --onlyvisible --pid "$pid" | head -1)
    sleep 0.5
}

stop() { # closes with Button2 (stores the options)
    click 630 683
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "Button2 did not close the window"
    wait "$pid" || true
    pid=""
}

run_screen() { # WIDTHxHEIGHT SCALE
    screen=$1
    export QT_SCALE_FACTOR=$2
    local name=${1}${2/1/}
    [ "$2" != 1 ] && name=${1}-scale$2
    Xvfb :77 -screen 0 "${1}x24" -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY=:77
    for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
    rm -rf "$work/config"

    # Typed path, ticked option, "Edit and save".
    local file=$work/typed-$name.xml
    cp "$sample" "$file"
    start
    click 560 110 # the file box opens the open dialog
    wait_windows 2
    xdotool key Escape
    wait_windows 1
    xdotool type --delay 2 "$file"
    xdotool key Return
    sleep 1
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

    kill "$xvfb"
    wait "$xvfb" 2>/dev/null || true
    xvfb=""
    echo "ok $name: $boxes message boxes, screenshots $shots/$name-*.png"
}

for screen in 1920x1080 1366x768 1280x720 1024x768; do
    run_screen "$screen" 1
done
run_screen 1920x1080 2
