# Helpers to drive tidylander on a virtual X server without a window manager, as a user would;
# sourced by the scripts beside it. They set and use: xvfb, pid (the program), main (its window),
# work (a temporary folder), app (the program), screen (named in failures).

fail() { echo "FAIL ($screen): $*" >&2; exit 1; }

# Starts Xvfb on a free display with a screen of WIDTHxHEIGHT and points DISPLAY at it.
start_xvfb() { # WIDTHxHEIGHT
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || fail "Xvfb did not start"
    export DISPLAY=:$(head -1 "$work/display")
}

stop_xvfb() {
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    xvfb=""
}

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

# Opens FILE by typing its path into the file box: a click there opens the open dialog, Escape
# closes it and leaves the box with the keyboard focus.
type_path() { # FILE
    click 560 110
    wait_windows 2
    xdotool key Escape
    wait_windows 1
    xdotool type --delay 2 "$1"
    xdotool key Return
    sleep 1
}

start() { # FILE...: starts the program with settings of its own, waits for its window
    QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME=$work/config "$app" "$@" &
    pid=$!
    main=""
    for _ in $(seq 300); do
        main=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1 || true)
        [ -n "$main" ] && break
        sleep 0.1
    done
    [ -n "$main" ] || fail "the window did not appear"
    sleep 0.5
}

stop() { # closes with Button2 (stores the options)
    click 630 683
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "Button2 did not close the window"
    wait "$pid" || true
    pid=""
}

cleanup() {
    [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
