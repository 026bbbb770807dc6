#!/usr/bin/env bash
# The X11 backend on a virtual X server: real pointer input through XTEST (xdotool without
# --window), a screenshot compared pixel for pixel, a menu chosen by keyboard, open/close cycles
# and a parent destroyed first. Usage: x11-check.sh [build folder] (default build/linux).
set -u
build=${1:-build/linux}
program=$build/tools/x11-check/x11_check
for tool in xvfb-run xdotool xwd; do
    if ! command -v $tool >/dev/null; then
        echo "x11-check: SKIPPED, $tool is not installed (apt-get install xvfb xdotool x11-apps imagemagick)"
        exit 0
    fi
done
if [ ! -x /usr/bin/convert ] || [ ! -x "$program" ]; then
    echo "x11-check: SKIPPED, needs /usr/bin/convert (imagemagick) and $program"
    exit 0
fi
if [ -z "${X11_CHECK_INNER:-}" ]; then
    # A fresh server for each try: a server that failed to start gets another chance.
    for attempt in 1 2 3; do
        X11_CHECK_INNER=1 timeout 110 xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$build"
        rc=$?
        [ $rc -ne 2 ] && exit $rc
        echo "x11-check: the X server did not come up (attempt $attempt)"
    done
    exit 1
fi

# Under the address sanitizer: fontconfig's process-lifetime configuration is not a leak.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
failures=0
scenario() { # scenario <shm|plain>
work=$(mktemp -d)
if [ "$1" = plain ]; then export WADLING_X11_NO_SHM=1; else unset WADLING_X11_NO_SHM; fi
echo "--- blit path: $1"
# A stand-in for xdg-open that records the address it was given.
mkdir -p "$work/bin"
printf '#!/bin/sh\nprintf "%%s" "$1" > "%s/opened"\n' "$work" > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
PATH="$work/bin:$PATH" "$program" "$work" 60 >"$work/log" 2>&1 &
pid=$!
for _ in $(seq 100); do
    grep -q '^READY\|^FAIL' "$work/log" && break
    sleep 0.1
done
if ! grep -q '^READY' "$work/log"; then
    cat "$work/log"
    kill $pid 2>/dev/null
    exit 2
fi
read -r _ window X Y W H < <(grep '^READY' "$work/log")
# The shared-memory path holds a segment of the program's own while the window is open.
if ipcs -m -p | awk -v p=$pid '$3 == p { found = 1 } END { exit !found }'; then shm=yes; else shm=no; fi
if [ "$1" = shm ]; then want=yes; else want=no; fi
if [ $shm = $want ]; then echo "PASS shared-memory segment in use: $shm"; else
    echo "FAIL shared-memory segment in use: $shm"; failures=$((failures + 1)); fi
expect() { # expect <description> <grep pattern>
    for _ in $(seq 30); do
        grep -qE "$2" "$work/log" && { echo "PASS $1"; return; }
        sleep 0.1
    done
    echo "FAIL $1"
    failures=$((failures + 1))
}
sleep 0.5
# Pixels: the screenshot of the host's window equals the composed picture.
xwd -id "$window" -silent | /usr/bin/convert xwd:- "$work/shot.ppm"
diff=$(/usr/bin/compare -metric AE "$work/shot.ppm" "$work/expected.ppm" null: 2>&1)
if [ "$diff" = "0" ]; then echo "PASS screenshot equals the composed picture"; else
    echo "FAIL screenshot differs in $diff pixels"; failures=$((failures + 1)); fi
# A click reaches the window at the point clicked.
xdotool mousemove $((X + 10)) $((Y + 12)) click 1
expect "a click arrives in client coordinates" '^LDOWN 10 12$'
expect "the release follows" '^LUP 10 12$'
sleep 0.6
# A click in a child window of ours arrives in its own coordinates.
xdotool mousemove $((X + 260)) $((Y + 165)) click 1
expect "a click in a child window" '^panel LDOWN 10 15$'
sleep 0.6
# A drag across the window's right edge stays with the window while the button is held.
xdotool mousemove $((X + 20)) $((Y + 20)) mousedown 1
sleep 0.1
xdotool mousemove $((X + W + 40)) $((Y + 30))
sleep 0.1
xdotool mouseup 1
expect "the press of the drag" '^LDOWN 20 20$'
expect "motion outside the window reaches the capture" "^DRAG $((W + 40)) 30$"
expect "the release outside reaches the capture" "^LUP $((W + 40)) 30$"
# A double click.
sleep 0.6
xdotool mousemove $((X + 100)) $((Y + 100)) click --repeat 2 --delay 80 1
expect "a double click by interval" '^LDBL 100 100$'
# The menu: right click, then Down Down Down Right Down Return picks "Forget" in the sub-menu.
sleep 0.6
xdotool mousemove $((X + 200)) $((Y + 150)) click 3
sleep 0.5
xwd -root -silent | /usr/bin/convert xwd:- "$work/menu.png"
xdotool key Down Down Down Right Down Return
expect "a menu choice by keyboard" '^MENU 22$'
# Escape dismisses, a click outside closes.
xdotool mousemove $((X + 200)) $((Y + 150)) click 3
sleep 0.4
xdotool key Escape
expect "Escape dismisses the menu" '^MENU 0$'
# The message box answers Return with its first button; the web page opens without a shell.
xdotool mousemove $((X + 300)) $((Y + 200)) click 2
sleep 0.5
xdotool key Return
expect "the message box answers OK, the address is handed over, an option is refused" \
    '^BOX 1 OPEN 1 REFUSED 1$'
for _ in $(seq 20); do [ -s "$work/opened" ] && break; sleep 0.1; done
if [ "$(cat "$work/opened" 2>/dev/null)" = "https://example.org/a b?c=1&d" ]; then
    echo "PASS xdg-open got the address as one argument"; else
    echo "FAIL xdg-open got: $(cat "$work/opened" 2>/dev/null)"; failures=$((failures + 1)); fi
touch "$work/done"
wait $pid
rc=$?
grep -E '^(PASS|FAIL|FIGURE|END)' "$work/log"
[ $rc -ne 0 ] && failures=$((failures + 1))
# No segment outlives the program.
if ipcs -m -p | awk -v p=$pid '$3 == p { found = 1 } END { exit !found }'; then
    echo "FAIL a shared-memory segment was left behind"; failures=$((failures + 1)); fi
if [ $failures -ne 0 ] || [ -n "${X11_CHECK_KEEP:-}" ]; then
    mkdir -p /tmp/x11-check-last; cp -r "$work"/* /tmp/x11-check-last/
fi
rm -rf "$work"
}

scenario shm
scenario plain
if [ $failures -ne 0 ]; then
    echo "x11-check: $failures failures (files of the last failing run in /tmp/x11-check-last)"
    exit 1
fi
echo "x11-check: all passed"
