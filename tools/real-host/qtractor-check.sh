#!/usr/bin/env bash
# The editor inside a real host. Qtractor, on a virtual X server and with a JACK server of its
# own (dummy driver), opens a session holding the built plug-in on one track; the script opens
# the editor from the track's plug-in list, compares the editor's window on the screen with the
# headless composition pixel for pixel, clicks the listen button and drags the low band's figure,
# checks that Qtractor took both changes, then quits Qtractor with the editor still open.
# QTRACTOR_CHECK_DPI=N: the X server says Xft.dpi N (the root window's RESOURCE_MANAGER, as xrdb
# sets it) before Qtractor starts; the editor must open at the density it takes from that (N / 96,
# at or below one it has: 200 % at 192) and equal the composition at that density.
# Usage: qtractor-check.sh [build folder] [screenshot.png]   (default build/linux)
# Nothing of the user's is touched: HOME, the configuration and the JACK server are temporary.
set -u
build=${1:-build/linux}
shot_out=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
plugin=$build/src/plugin/WadlingCompressor.so
snapshot=$build/tools/wadling-snapshot/wadling-snapshot
for tool in qtractor jackd jack_wait xvfb-run xdotool xwd xwininfo c++; do
    if ! command -v $tool >/dev/null; then
        echo "qtractor-check: SKIPPED, $tool is not installed" \
            "(apt-get install qtractor jackd2 xvfb xauth xdotool x11-apps imagemagick g++)"
        exit 0
    fi
done
if [ -n "${QTRACTOR_CHECK_DPI:-}" ] && ! command -v xprop >/dev/null; then
    echo "qtractor-check: SKIPPED, xprop is not installed (apt-get install x11-utils)"
    exit 0
fi
if [ ! -x /usr/bin/convert ] || [ ! -x /usr/bin/compare ]; then
    echo "qtractor-check: SKIPPED, needs ImageMagick's convert and compare in /usr/bin"
    exit 0
fi
if [ ! -f "$plugin" ] || [ ! -x "$snapshot" ]; then
    echo "qtractor-check: FAIL, build $plugin and $snapshot first" \
        "(targets WadlingCompressor and wadling-snapshot)"
    exit 1
fi
[ -n "$shot_out" ] && shot_out=$(realpath -m "$shot_out")
# Qt scales Qtractor's own widgets by Xft.dpi / 96: a point of its window at 96 dpi.
qt() { echo $((($1 * ${QTRACTOR_CHECK_DPI:-96} + 48) / 96)); }
if [ -z "${QTRACTOR_CHECK_INNER:-}" ]; then
    # The screen grows with Qtractor, so that the layout is the one at 96 dpi, scaled.
    QTRACTOR_CHECK_INNER=1 timeout -k 5 110 xvfb-run -a \
        -s "-screen 0 $(qt 1280)x$(qt 1024)x24 -noreset" \
        bash "$0" "$(realpath "$build")" "$shot_out"
    exit $?
fi

now_ms() { echo $(($(date +%s%N) / 1000000)); }
work=$(mktemp -d)
failures=0
qtractor_pid=""
jack_pid=""
cleanup() {
    if [ -n "$qtractor_pid" ]; then
        kill -9 "$qtractor_pid" 2>/dev/null
        wait "$qtractor_pid" 2>/dev/null
    fi
    if [ -n "$jack_pid" ]; then
        kill "$jack_pid" 2>/dev/null
        wait "$jack_pid" 2>/dev/null
        # A client that was killed leaves the server's semaphores behind; they carry our name.
        rm -f /dev/shm/jack_sem.*_"$JACK_DEFAULT_SERVER"_*
    fi
    if [ $failures -ne 0 ] || [ -n "${QTRACTOR_CHECK_KEEP:-}" ]; then
        rm -rf /tmp/qtractor-check-last
        cp -r "$work" /tmp/qtractor-check-last
    fi
    rm -rf "$work"
}
trap cleanup EXIT
pass() { echo "PASS $*"; }
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}
give_up() {
    fail "$*"
    echo "qtractor-check: stopped (files of the run in /tmp/qtractor-check-last)"
    exit 1
}

# A home, configuration and runtime folder of this run's own.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_CACHE_HOME=$work/home/.cache XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$work/vst" "$work/session"
chmod 700 "$XDG_RUNTIME_DIR"
export NO_AT_BRIDGE=1 QT_ACCESSIBILITY=0
unset LADSPA_PATH LV2_PATH DSSI_PATH VST_PATH VST2_PATH VST3_PATH CLAP_PATH
cp "$plugin" "$work/vst/"
export LXVST_PATH=$work/vst

# The density the editor must take from the server's Xft.dpi, and its size there.
percent=100
scale=()
if [ -n "${QTRACTOR_CHECK_DPI:-}" ]; then
    xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER \
        "$(printf 'Xft.dpi:\t%s\n' "$QTRACTOR_CHECK_DPI")" || give_up "xprop could not set Xft.dpi"
    for p in 150 200; do [ $((QTRACTOR_CHECK_DPI * 100 / 96)) -ge $p ] && percent=$p; done
    scale=(--scale "$percent")
    echo "Xft.dpi $QTRACTOR_CHECK_DPI: the editor at $percent %"
fi
width=$(((490 * percent + 50) / 100)) height=$(((322 * percent + 50) / 100))
size=${width}x$height
# Qtractor sizes its editor window to the editor's rectangle in Qt's pixels, which Qt scales:
# above 96 dpi the editor sits at (0, 0) of a larger window.
frame_size=$(qt $width)x$(qt $height)

# The pictures the editor must show, composed headlessly, where the listen button and the low
# band's figure are, and the value that 40 design pixels up give the band.
drag_dy=$((-40 * percent / 100))
"$snapshot" "${scale[@]}" --locate listen --locate lo --out "$work/expected.png" \
    >"$work/snapshot.txt" || give_up "wadling-snapshot failed"
"$snapshot" "${scale[@]}" --listen --out "$work/expected-listen.png" >/dev/null ||
    give_up "wadling-snapshot --listen failed"
"$snapshot" "${scale[@]}" --listen --drag lo:$drag_dy --out "$work/expected-drag.png" \
    >"$work/snapshot-drag.txt" || give_up "wadling-snapshot --drag failed"
at() { awk -v n="$1" '$1 == "at" && $2 == n { print $3, $4 }' "$work/snapshot.txt"; }
read -r LX LY < <(at listen)
read -r FX FY < <(at lo)
dragged=$(awk '$1 == "automate" && $3 == "EQLo" { v = $4 } END { print v }' \
    "$work/snapshot-drag.txt")

# Qtractor does not start without the ALSA sequencer; where there is none to open, a stand-in
# is preloaded.
preload=""
if [ ! -r /dev/snd/seq ] || [ ! -w /dev/snd/seq ]; then
    c++ -std=c++20 -O1 -Wall -Wextra -Werror -shared -fPIC -o "$work/fake-alsa-seq.so" \
        "$here/fake-alsa-seq.cpp" || give_up "the sequencer stand-in did not build"
    preload=$work/fake-alsa-seq.so
fi

# A JACK server of our own, by name, so that a user's server is neither used nor disturbed.
export JACK_DEFAULT_SERVER=wadling-check-$$
jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 1024 >"$work/jackd.log" 2>&1 &
jack_pid=$!
jack_wait -w -t 20 >/dev/null 2>&1 || give_up "the JACK server did not start (see jackd.log)"

# One audio track with the plug-in; its editor will open at editor-pos.
session=$work/session/wadling.qtr
cat >"$session" <<EOF
<!DOCTYPE qtractorSession>
<session version="Qtractor 0.9.31" name="wadling">
 <properties>
  <directory>$work/session</directory>
  <sample-rate>48000</sample-rate>
  <tempo>120</tempo>
 </properties>
 <tracks>
  <track name="Track 1" type="audio">
   <properties>
    <input-bus>Master</input-bus>
    <output-bus>Master</output-bus>
   </properties>
   <plugins>
    <plugin type="VST2">
     <filename>$work/vst/WadlingCompressor.so</filename>
     <index>0</index>
     <label>WadlingCompressor</label>
     <activated>1</activated>
     <editor-pos>500,290</editor-pos>
    </plugin>
   </plugins>
  </track>
 </tracks>
</session>
EOF

cd "$work"
started=$(now_ms)
LD_PRELOAD=$preload qtractor "$session" >"$work/qtractor.log" 2>&1 &
qtractor_pid=$!
main=""
for _ in $(seq 300); do
    main=$(xwininfo -root -tree 2>/dev/null | awk '/wadling\.qtr.*— Qtractor"/ { print $1; exit }')
    [ -n "$main" ] && break
    kill -0 $qtractor_pid 2>/dev/null || give_up "Qtractor ended before its window showed"
    sleep 0.1
done
if [ -z "$main" ]; then
    xwd -root -silent | /usr/bin/convert xwd:- "$work/screen.png"
    xwininfo -root -tree >"$work/windows.txt"
    give_up "Qtractor showed no window with the session within 30 s (screen.png, windows.txt)"
fi
echo "TIME Qtractor start to its main window: $(($(now_ms) - started)) ms"
read -r MX MY < <(xwininfo -id "$main" |
    awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 } END { print x, y }')
sleep 1

# The editor opens with a double click on the plug-in's entry in the track's plug-in list (the
# bus column of the first track; Qtractor keeps no "editor open" state in its sessions).
find_editor() { # the editor's own window: an unnamed child of the editor's size at (0, 0)
    xwininfo -root -tree |
        awk -v at=" ${size}+0+0 " '/\(has no name\)/ && index($0, at) { print $1; exit }'
}
editor=""
clicked=$(now_ms)
for attempt in 1 2 3; do
    clicked=$(now_ms)
    xdotool mousemove $((MX + $(qt 185))) $((MY + $(qt 180))) click --repeat 2 --delay 80 1
    for _ in $(seq 100); do
        editor=$(find_editor)
        [ -n "$editor" ] && break
        sleep 0.05
    done
    [ -n "$editor" ] && break
    echo "no editor after double click $attempt"
done
if [ -z "$editor" ]; then
    xwd -root -silent | /usr/bin/convert xwd:- "$work/screen.png"
    give_up "no editor window after three double clicks on the plug-in's entry (screen.png)"
fi
shown=$(now_ms)
echo "TIME double click to the editor's window: $((shown - clicked)) ms"

# Size and place: Qtractor's window holds exactly the editor (at 96 dpi), ours sits at its (0, 0).
# Qtractor may name its window a little after our child appears: give it up to 5 s.
for _ in $(seq 50); do
    frame=$(xwininfo -root -tree | awk '/"WadlingCompressor - Track 1 — Qtractor"/ { print $0; exit }')
    echo "$frame" | grep -q " ${frame_size}+" && break
    sleep 0.1
done
if [ "$frame_size" != "$size" ] && echo "$frame" | grep -q " ${frame_size}+"; then
    pass "Qtractor's editor window is ${frame_size/x/ x }: the editor's ${size/x/ x } in Qt's" \
        "pixels, scaled by Qt"
elif echo "$frame" | grep -q " ${size}+"; then
    pass "Qtractor's editor window is ${size/x/ x } (no margin around the editor)"
else
    fail "Qtractor's editor window: ${frame:-none named after the plug-in and track}"
    xwininfo -root -tree | grep -i qtractor > "$work/windows.txt" || true
fi
read -r EX EY < <(xwininfo -id "$editor" |
    awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 } END { print x, y }')
echo "editor window $editor at $EX,$EY on the screen"

# The picture equals the headless composition (painting follows the host's idle calls).
same_picture() { # same_picture <expected.png> <name>: waits up to 5 s for an exact match
    local diff=""
    for _ in $(seq 50); do
        xwd -id "$editor" -silent | /usr/bin/convert xwd:- "$work/$2.png"
        diff=$(/usr/bin/compare -metric AE "$work/$2.png" "$1" null: 2>&1)
        [ "$diff" = "0" ] && return 0
        sleep 0.1
    done
    echo "$diff"
    return 1
}
if diff=$(same_picture "$work/expected.png" shown); then
    echo "TIME double click to the editor's picture on the screen: $(($(now_ms) - clicked)) ms"
    pass "the editor on the screen equals the headless composition"
else
    fail "the editor on the screen differs from the headless composition in $diff pixels"
fi
read -r SW SH < <(xwininfo -id "$main" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
xwd -root -silent | /usr/bin/convert xwd:- -crop "${SW}x${SH}+${MX}+${MY}" +repage \
    -define png:compression-level=9 "$work/qtractor.png"
[ -n "$shot_out" ] && cp "$work/qtractor.png" "$shot_out"

# Input: a click on the listen button reaches the editor, and Qtractor hears of the change.
title() { xwininfo -id "$main" | sed -n 's/^xwininfo: Window id: [^ ]* //p'; }
before=$(title)
xdotool mousemove $((EX + LX)) $((EY + LY)) click 1
if diff=$(same_picture "$work/expected-listen.png" listen); then
    pass "after a click on listen the editor equals the composition with listen down"
else
    fail "after a click on listen the editor differs from the composition in $diff pixels"
fi
# Qtractor marks its session dirty from its own timer, which may run after our repaint.
after=""
for _ in $(seq 50); do
    after=$(title)
    [[ "$after" == *"[modified]"* ]] && break
    sleep 0.1
done
if [[ "$before" != *"[modified]"* && "$after" == *"[modified]"* ]]; then
    pass "Qtractor marked the session modified after the click"
else
    fail "Qtractor's title before the click: $before, after: $after"
fi
# The low band's figure dragged 40 design pixels up in four moves: the value follows the pointer.
xdotool mousemove $((EX + FX)) $((EY + FY)) mousedown 1
sleep 0.2
step=$((drag_dy / 4))
for moved in $step $((2 * step)) $((3 * step)) $drag_dy; do
    xdotool mousemove $((EX + FX)) $((EY + FY + moved))
    sleep 0.15
done
xdotool mouseup 1
if diff=$(same_picture "$work/expected-drag.png" drag); then
    pass "after a drag of the low band the editor equals the composition of the same drag"
else
    fail "after a drag of the low band the editor differs from the composition in $diff pixels"
fi

# Save (a click on the empty track area gives the main window the keyboard) and read it back.
xdotool mousemove $((MX + $(qt 300))) $((MY + $(qt 480))) click 1
sleep 0.3
xdotool key ctrl+s
saved=""
for _ in $(seq 50); do
    saved=$(grep -o '<param [^>]*"EQListen"[^>]*>[^<]*<' "$session")
    [ -n "$saved" ] && break
    sleep 0.1
done
if [[ "$saved" == *">1<" ]]; then
    pass "the session Qtractor saved holds EQListen = 1"
else
    fail "the saved session holds: ${saved:-no EQListen value}"
fi
# Qtractor writes six significant digits.
saved=$(grep -o '<param [^>]*"EQLo"[^>]*>[^<]*<' "$session" | sed 's/.*>\([^<]*\)</\1/')
if [ -n "$dragged" ] && [ -n "$saved" ] &&
    awk -v a="$saved" -v b="$dragged" 'BEGIN { d = a - b; exit !(d < 5e-6 && d > -5e-6) }'; then
    pass "the session Qtractor saved holds EQLo = $saved, the dragged value ($dragged)"
else
    fail "the saved session holds EQLo = ${saved:-nothing}, the drag gives ${dragged:-nothing}"
fi

# Quit through File > Exit with the editor open: Qtractor closes the editor and the plug-in.
xdotool mousemove $((MX + $(qt 20))) $((MY + $(qt 8))) click 1
sleep 0.7
xdotool key Up Return
for _ in $(seq 200); do
    kill -0 $qtractor_pid 2>/dev/null || break
    sleep 0.1
done
if kill -0 $qtractor_pid 2>/dev/null; then
    fail "Qtractor did not quit within 20 s of File > Exit"
else
    wait $qtractor_pid
    rc=$?
    qtractor_pid=""
    if [ $rc -eq 0 ]; then pass "Qtractor quit with status 0, the editor open"; else
        fail "Qtractor ended with status $rc"; fi
fi

if [ $failures -ne 0 ]; then
    echo "qtractor-check: $failures failures (files of the run in /tmp/qtractor-check-last)"
    exit 1
fi
echo "qtractor-check: all passed"
