#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite.
#   ./test.sh                 the suite (warnings are errors), the window tests once more under a
#                             decimal-comma locale, then the fuzzers' fixed run (fuzz/run.sh --check)
#   ./test.sh --sanitize      the suite built with AddressSanitizer and UndefinedBehaviorSanitizer
#   ./test.sh --fuzz SECONDS  only the fuzzers, open-ended, each for that long (fuzz/run.sh)
#   ./test.sh --windows       the core, tidyland and their tests cross-compiled for Windows and
#                             run under Wine, tidyland.exe checked against Linux (scripts/windows.sh)
#   ./test.sh --windows-gui   the window for Windows (Qt for Windows built once and cached), its
#                             installer run and used under Wine on Xvfb (tests/windows/gui.sh)
set -euo pipefail
cd "$(dirname "$0")"

usage="usage: ./test.sh [--sanitize | --fuzz SECONDS | --windows | --windows-gui]"
mode=plain
case "${1:-}" in
    "") ;;
    --sanitize) mode=sanitize ;;
    --windows) exec scripts/windows.sh ;;
    --windows-gui) mode=windows-gui ;;
    --fuzz)
        mode=fuzz
        fuzzSeconds=${2:-}
        case "$fuzzSeconds" in
            '' | *[!0-9]*) echo "$usage" >&2; exit 2 ;;
        esac
        ;;
    *) echo "$usage" >&2; exit 2 ;;
esac

scripts/deps.sh

if [ "$mode" = fuzz ]; then
    exec fuzz/run.sh "$fuzzSeconds"
fi
if [ "$mode" = windows-gui ]; then
    scripts/deps.sh wine wine64 xvfb xdotool x11-utils imagemagick
    installer=$(scripts/package-windows.sh | tail -1)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDY_WERROR=ON >/dev/null
    cmake --build build -j "$(nproc)" --target tidyland
    exec tests/windows/gui.sh "$installer" build/cli/tidyland build-windows-gui/shots
fi

jobs=$(nproc)
if [ "$mode" = sanitize ]; then
    build=build-sanitize
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTIDY_WERROR=ON -DTIDY_SANITIZE=ON >/dev/null
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
else
    build=build
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDY_WERROR=ON >/dev/null
fi
cmake --build "$build" -j "$jobs"

ctest --test-dir "$build" --output-on-failure -j "$jobs"
if [ "$mode" = plain ]; then
    # Only the programs that take the user's locale (the Qt ones) can behave differently there.
    echo "== the window tests again under de_DE.UTF-8 (decimal comma) =="
    LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 ctest --test-dir "$build" --output-on-failure -j "$jobs" -L locale
    fuzz/run.sh --check
fi
