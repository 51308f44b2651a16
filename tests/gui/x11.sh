# Helpers to drive tidylander on a virtual X server without a window manager, as a user would;
# sourced by the scripts beside it. They set and use: xvfb, pid (the program), main (its window),
# work (a temporary folder), app (the program), screen (named in failures).

fail() { echo "FAIL ($screen): $*" >&2; exit 1; }

# Starts Xvfb on a free display with a screen of WIDTHxHEIGHT and points DISPLAY at it. Free means
# neither a lock nor a socket: another X server (a Wine run) may have lost its lock file, and
# Xvfb's own choice (-displayfd) looks at the locks only. Without -noreset the server resets when
# its last client leaves (the check below), and a program connecting then is turned away.
start_xvfb() { # WIDTHxHEIGHT
    local n
    for n in $(seq 20 99); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 "${1}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
        xvfb=$!
        export DISPLAY=:$n
        for _ in $(seq 100); do
            kill -0 "$xvfb" 2>/dev/null || break # lost the number to another server
            xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
            sleep 0.1
        done
        stop_xvfb
    done
    fail "Xvfb did not start"
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
