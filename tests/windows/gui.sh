#!/usr/bin/env bash
# The Windows window used as a user would, under Wine on a virtual X server, driven with xdotool
# (./test.sh --windows-gui runs it):
#   tests/windows/gui.sh INSTALLER LINUX_TIDYLAND [SHOTS_DIR]
# In a fresh Wine prefix: the installer runs silently, per user; the installed tidylander.exe
# opens a real export named on its command line; renaming a surface and assigning a colour through
# their dialogs, then "Remove triangles outside boundary" + "Edit and save", each write what the
# Linux tidyland writes for the same answers; the option comes back from the registry on the next
# start; the uninstaller removes every file and key the installer made and keeps the options.
# Then once for all users, uninstalled with /RemoveOptions: nothing is left. The realdata folder
# is ../shared/realdata beside the checkout unless TIDY_REALDATA names another.
set -euo pipefail

installer=$(realpath "$1")
tidyland=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
realdata=${TIDY_REALDATA:-$here/../../../shared/realdata}
sample=$realdata/lutraconsulting-qgis-landxml-mesh-plugin__Example_Clean.xml
work=$(mktemp -d)
shots=${3:-$work}
mkdir -p "$shots"
xvfb=""
pid=""
watchers=()
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    [ ${#watchers[@]} -gt 0 ] && kill "${watchers[@]}" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { # keeps what the user would see and the files in hand, as the work folder goes
    echo "FAIL: $*" >&2
    import -window root "$shots/failure.png" 2>/dev/null || true
    cp "$work"/*.xml "$shots/" 2>/dev/null || true
    exit 1
}

export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
# Wine links its Start menu into the desktop's menus under HOME: a home of its own keeps the
# user's menus as they are.
export HOME=$work/home
unset XDG_CONFIG_HOME XDG_DATA_HOME
mkdir -p "$HOME"
# A display number no other X server holds.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
DISPLAY=:$(cat "$work/display")
export DISPLAY
wineboot --init >/dev/null 2>&1
wineserver -w
user=$WINEPREFIX/drive_c/users/$(id -un)
startMenu="$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
# What the prefix holds before: the same must be there, and nothing more, after the uninstall.
inventory() { (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -path '*/Temp' -prune -o -print | sort); }
inventory >"$work/before"

# Expected files, from the Linux tidyland with the same answers as the dialogs below.
install -m 644 "$sample" "$work/clean.xml"
"$tidyland" clean --triangles --in-place "$work/clean.xml" >/dev/null
"$tidyland" rename --name "A=Renamed A" -o "$work/renamed.xml" "$sample" >/dev/null
"$tidyland" color --color "Renamed A=37" -o "$work/colored.xml" "$work/renamed.xml" >/dev/null
"$tidyland" clean --triangles -o "$work/all.xml" "$work/colored.xml" >/dev/null

# The program's visible windows: the main window and any dialog or message box over it.
windows() { xdotool search --onlyvisible --class tidylander.exe 2>/dev/null | wc -l; }
wait_windows() { # COUNT
    for _ in $(seq 150); do [ "$(windows)" -eq "$1" ] && return 0; sleep 0.2; done
    fail "expected $1 windows, have $(windows)"
}
# Clicks the point (x, y) of WINDOW's layout of WIDTH x HEIGHT, however much it was shrunk.
click_in() { # WINDOW WIDTH HEIGHT X Y [REPEAT]
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove --sync $((X + $4 * WIDTH / $2)) $((Y + $5 * HEIGHT / $3)) click --repeat "${6:-1}" 1
    sleep 0.5
}
click() { click_in "$main" 1263 766 "$@"; }
# Without a window manager the keyboard goes to the window under the pointer: keys for a dialog
# or message box are typed with the pointer over it.
over_top() { # moves the pointer over the newest window of the program that is not the main one
    local top
    top=$(xdotool search --onlyvisible --class tidylander.exe | grep -vx "$main" | tail -1)
    [ -n "$top" ] || return 0
    eval "$(xdotool getwindowgeometry --shell "$top")"
    xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
}
# A dialog is answered only once it is up and settled, and the next is looked for only once
# the answered one has been hidden: a key or click sent while one closes and the next has not
# shown lands on the main window, where Enter presses a button again. The window shows the same
# dialog again for every surface, so what tells one showing from the next is the X server's own
# record of the dialog being hidden, which xev keeps as it happens; polling could miss it.
dialog_up() { # prints the id of the program's newest dialog once it has been shown for a moment
    local id
    for _ in $(seq 150); do
        id=$(xdotool search --onlyvisible --class tidylander.exe 2>/dev/null | grep -vx "$main" | tail -1) || true
        [ -n "$id" ] && { sleep 0.7; echo "$id"; return 0; }
        sleep 0.2
    done
    fail "no dialog came up"
}
hidden() { grep -c '^UnmapNotify\|^DestroyNotify' "$work/events-$1" 2>/dev/null || true; } # ID
watch_dialog() { # ID: starts the record of its events, once per window
    [ -e "$work/events-$1" ] && return 0
    xev -id "$1" -event structure >"$work/events-$1" 2>/dev/null &
    watchers+=($!)
    sleep 0.3
}
over() { # ID: the pointer over that window, where the keyboard goes without a window manager
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
}
answer() { # ID COMMAND...: runs COMMAND, which answers dialog ID, until the dialog is hidden
    local id=$1 before
    shift
    watch_dialog "$id"
    before=$(hidden "$id")
    for _ in 1 2 3 4; do
        "$@"
        for _ in $(seq 25); do [ "$(hidden "$id")" -gt "$before" ] && return 0; sleep 0.2; done
    done
    fail "dialog $id stayed open"
}
press_return() { over "$1" && xdotool key Return; } # ID
select_in() { click_in "$1" 1146 786 952 716; } # ID: "Select" in the palette
same_soon() { # FILE EXPECTED WHAT: the window writes after its last dialog closes
    for _ in $(seq 50); do cmp -s "$1" "$2" && return 0; sleep 0.2; done
    same "$@"
}
answer_all() { # answers message boxes with Enter until only the main window is left
    local answered=0
    sleep 1
    while [ "$(windows)" -gt 1 ] && [ $answered -lt 10 ]; do
        over_top
        xdotool key Return
        answered=$((answered + 1))
        sleep 1
    done
    [ $answered -ge 1 ] || fail "no message box after the save"
}
start() { # FILE: the installed program with FILE's Windows path on its command line
    wine "$app" "$(winepath -w "$1")" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 300); do
        main=$(xdotool search --onlyvisible --name '^tidylander$' 2>/dev/null | head -1) || true
        [ -n "$main" ] && break
        sleep 0.2
    done
    [ -n "$main" ] || fail "the window did not open"
    sleep 2
}
stop() { # closes with Button2 (stores the options)
    click 630 683
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
    kill -0 "$pid" 2>/dev/null && fail "Button2 did not close the window"
    wait "$pid" || true
    pid=""
    wineserver -w
}
same() { cmp -s "$1" "$2" || fail "$3: $1 differs from $2"; }
registry() { grep -h "$@" "$WINEPREFIX/user.reg" "$WINEPREFIX/system.reg"; } # GREP_ARGS
values() { cat "$WINEPREFIX/user.reg" "$WINEPREFIX/system.reg" | key="[$1]" awk 'index($0, ENVIRON["key"]) == 1 { on = 1; next } /^$/ { on = 0 } on'; } # KEY

# Per user, silently.
wine "$installer" /S
wineserver -w
dir=$user/AppData/Local/Programs/tidylander
app=$dir/tidylander.exe
for file in tidylander.exe tidyland.exe uninstall.exe Qt6Widgets.dll platforms/qwindows.dll \
            licenses/LGPL-3.0-only.txt; do
    [ -f "$dir/$file" ] || fail "$file not installed in $dir"
done
[ -f "$startMenu/tidylander.lnk" ] || fail "no Start-menu entry"
registry -q 'Software\\\\Classes\\\\Applications\\\\tidylander.exe\\\\shell\\\\open\\\\command' ||
    fail "no \"Open with\" registration"
grep -q '"tidylander.xml"' <<<"$(values 'Software\\Classes\\.xml\\OpenWithProgids')" ||
    fail ".xml does not list tidylander"

# Rename, colour, then clean and save (which ends the work on the file), on the file named on
# the command line.
install -m 644 "$sample" "$work/in.xml"
start "$work/in.xml"
import -window root "$shots/windows-window.png"

click 343 494 # Button5 "Edit surface names in XML": one dialog per surface, A, B, C
d=$(dialog_up)
over "$d"
xdotool key ctrl+a
xdotool type --delay 20 "Renamed A"
answer "$d" press_return "$d"
for _ in B C; do d=$(dialog_up); answer "$d" press_return "$d"; done
wait_windows 1
same_soon "$work/in.xml" "$work/renamed.xml" "renaming"

click 343 585 # Button6 "Assign colors to surfaces": the palette for each surface
d=$(dialog_up)
import -window root "$shots/windows-palette.png"
click_in "$d" 1146 786 $((48 + 5 * 40 + 20)) $((80 + 2 * 40 + 20)) # cell 37
answer "$d" select_in "$d"
for _ in B C; do d=$(dialog_up); answer "$d" select_in "$d"; done
wait_windows 1
same_soon "$work/in.xml" "$work/colored.xml" "colour assignment"

click 622 233 # CheckBox1 "Remove triangles outside boundary"
click 1083 683 # Button1 "Edit and save"
answer_all
same "$work/in.xml" "$work/all.xml" "Edit and save"
stop
grep -q '"driehoeken"=dword:00000001' <<<"$(values 'Software\\TQB55\\tidyland')" ||
    fail "the option is not in the registry"

# The next start takes the option from the registry: "Edit and save" alone removes the triangles.
install -m 644 "$sample" "$work/again.xml"
start "$work/again.xml"
click 1083 683
answer_all
stop
same "$work/again.xml" "$work/clean.xml" "the stored option"

wine "$dir/uninstall.exe" /S
wineserver -w
[ -e "$dir" ] && fail "the uninstaller left $(cd "$dir" && find . | head -5)"
# Wine's own record of the menu entries it made (under Software\Wine\MenuFiles) stays.
ours() { registry -i "$1" | grep -v '\.menu"=\|\.desktop"='; } # PATTERN: keys and values left
ours tidylander && fail "the uninstaller left keys: $(ours tidylander | head -5)"
registry -q -F '[Software\\TQB55\\tidyland]' || fail "the uninstaller removed the options"

# For all users, and uninstalled with the options.
wine "$installer" /S /AllUsers
wineserver -w
[ -f "$WINEPREFIX/drive_c/Program Files/tidylander/tidylander.exe" ] || fail "not installed for all users"
grep -q 'Software\\\\Classes\\\\Applications\\\\tidylander.exe' "$WINEPREFIX/system.reg" ||
    fail "no \"Open with\" registration for all users"
wine "$WINEPREFIX/drive_c/Program Files/tidylander/uninstall.exe" /S /AllUsers /RemoveOptions
wineserver -w
ours 'tidylander\|TQB55' && fail "keys left: $(ours 'tidylander\|TQB55' | head -5)"
inventory | diff "$work/before" - >&2 || fail "files left behind"
echo "ok: installed, cleaned, renamed, coloured, option restored, uninstalled (screenshots in $shots)"
