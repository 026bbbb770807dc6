#!/usr/bin/env bash
# The editor of a built plug-in in editor-check's window on a virtual X server, driven by the
# real pointer and keyboard (xdotool through XTEST, never --window): a figure dragged, the knob
# turned, listen clicked, a character chosen from the menu by keyboard. The automation the host
# received must equal what wadling-snapshot (linux build, headless) reports for the same
# actions, and a screenshot of the editor must equal its composition of the final values, pixel
# for pixel. Then 50 open/close cycles, the host's window destroyed first, and the figures.
# EDITOR_CHECK_DPI=N (native builds): the X server says Xft.dpi N, and the headless side is
# composed at the scale the editor takes from it (N / 96, at or below a density it has).
# EDITOR_CHECK_SCALE=PERCENT (any build): the test host says its editor scale ('PreS'), and the
# headless side is composed at it.
# Usage: editor-check.sh [build folder, default build/linux] [--wine]
#   --wine: the build is a 64-bit Windows one, run under wine64 (prefix WADLING_WINEPREFIX,
#           default build/wineprefix-display); the headless side comes from build/linux, or
#           from WADLING_SNAPSHOT_BUILD.
set -u
cd "$(dirname "$0")/../.."
build=build/linux
wine=no
for arg in "$@"; do
    case $arg in
    --wine) wine=yes ;;
    *) build=$arg ;;
    esac
done
for tool in Xvfb xdotool xwd; do
    if ! command -v $tool >/dev/null; then
        echo "editor-check: SKIPPED, $tool is not installed (apt-get install xvfb xdotool x11-apps imagemagick)"
        exit 0
    fi
done
[ -x /usr/bin/convert ] || { echo "editor-check: SKIPPED, needs /usr/bin/convert (imagemagick)"; exit 0; }
snapshot=${WADLING_SNAPSHOT_BUILD:-build/linux}/tools/wadling-snapshot/wadling-snapshot
if [ $wine = yes ]; then
    program=$build/tools/editor-check/editor-check.exe
    plugin=$build/src/plugin/WadlingCompressor.dll
    export WADLING_WINEPREFIX=${WADLING_WINEPREFIX:-$PWD/build/wineprefix-display}
    run=(cmake/wine64-run.sh "$program")
else
    program=$build/tools/editor-check/editor-check
    plugin=$build/src/plugin/WadlingCompressor.so
    run=("$program")
fi
for file in "$program" "$plugin" "$snapshot"; do
    [ -f "$file" ] || { echo "editor-check: $file is missing: build it first" >&2; exit 1; }
done

# Under the address sanitizer: fontconfig's process-lifetime configuration is not a leak.
export LSAN_OPTIONS="suppressions=$PWD/tools/x11-check/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# The program whose character is not "Quacky", so that choosing it reports a change.
program_number=5
figure=lo figure_dy=-40 knob_px=12
failures=0
pass() { echo "PASS $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

work=$(mktemp -d "${TMPDIR:-/tmp}/editor-check.XXXXXX")
xvfb=""
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    if [ $failures -ne 0 ] || [ -n "${EDITOR_CHECK_KEEP:-}" ]; then
        rm -rf /tmp/editor-check-last && cp -r "$work" /tmp/editor-check-last
        echo "editor-check: files in /tmp/editor-check-last"
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# A server of our own on a free display; another try when one does not come up.
for attempt in 1 2 3; do
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    if [ -s "$work/display" ]; then break; fi
    kill $xvfb 2>/dev/null
    xvfb=""
    echo "editor-check: the X server did not come up (attempt $attempt)"
done
[ -n "$xvfb" ] || exit 1
export DISPLAY=:$(head -n 1 "$work/display")
scale=()
if [ -n "${EDITOR_CHECK_DPI:-}" ]; then
    xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "$(printf 'Xft.dpi:\t%s\n' "$EDITOR_CHECK_DPI")"
    percent=100
    for p in 150 200; do [ $((EDITOR_CHECK_DPI * 100 / 96)) -ge $p ] && percent=$p; done
    scale=(--scale $percent)
    echo "editor-check: Xft.dpi $EDITOR_CHECK_DPI, the editor at $percent %"
elif [ -n "${EDITOR_CHECK_SCALE:-}" ]; then
    # The host's word instead of the system's: what a Windows host that knows its scale says.
    scale=(--scale "$EDITOR_CHECK_SCALE")
    run+=(--host-scale "$EDITOR_CHECK_SCALE")
    echo "editor-check: the host says ${EDITOR_CHECK_SCALE} %"
fi
# A stand-in for xdg-open: no click here may start a browser.
mkdir -p "$work/bin"
printf '#!/bin/sh\necho "$1" >> "%s/opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"

log=$work/log
wait_for() { # wait_for <pattern> <tenths of a second>
    for _ in $(seq "$2"); do
        tr -d '\r' <"$log" | grep -qE "$1" && return 0
        sleep 0.1
    done
    return 1
}
command_file() { # command_file <words>: appears at once (renamed into place)
    echo "$*" >"$work/command.new" && mv "$work/command.new" "$work/command"
}

# ---- The headless side: where the actions press, and what they report.
actions=(--drag $figure:$figure_dy)
if [ ${#scale[@]} -eq 0 ]; then
    for _ in $(seq $knob_px); do actions+=(--knob 1); done # one report per pixel, as a real drag
else
    actions+=(--knob-drag $knob_px) # a denser window carries parts of a step between moves
fi
actions+=(--listen --menu mix:Quacky)
"$snapshot" "${scale[@]}" --program $program_number --locate $figure --locate knob --locate listen \
    --locate mix "${actions[@]}" --out "$work/actions.png" >"$work/snapshot.txt" || {
    echo "editor-check: wadling-snapshot failed" >&2; exit 1; }
at() { awk -v n="$1" '$1 == "at" && $2 == n { print $3, $4 }' "$work/snapshot.txt"; }
read -r fx fy < <(at $figure)
read -r kx ky < <(at knob)
read -r lx ly < <(at listen)
read -r mx my < <(at mix)
awk '$1 == "automate" { print $1, $2, $4 }' "$work/snapshot.txt" >"$work/expected-automation"

# ---- The editor in the host's window, with the real pointer.
"${run[@]}" "$plugin" --program $program_number --commands "$work" --seconds 100 >"$log" 2>"$work/stderr" &
app=$!
if ! wait_for '^READY' 600; then
    fail "editor-check did not show the editor"; cat "$log" "$work/stderr"; exit 1
fi
read -r _ X Y W H < <(tr -d '\r' <"$log" | grep '^READY')
echo "editor at $X,$Y, $W x $H"
sleep 0.5
# The figure, in steps of 10 pixels as wadling-snapshot moves it, each seen by an idle.
xdotool mousemove $((X + fx)) $((Y + fy)) mousedown 1
sleep 0.2
step=$((figure_dy < 0 ? -10 : 10))
for ((moved = step; moved * step <= figure_dy * step; moved += step)); do
    xdotool mousemove $((X + fx)) $((Y + fy + moved))
    sleep 0.15
done
xdotool mouseup 1
sleep 0.3
# The knob: an endless drag, the pointer put back after each step: one pixel at a time.
xdotool mousemove $((X + kx)) $((Y + ky)) mousedown 1
sleep 0.2
for _ in $(seq $knob_px); do
    xdotool mousemove_relative -- 0 -1
    sleep 0.15
done
xdotool mouseup 1
sleep 0.3
xdotool mousemove $((X + lx)) $((Y + ly)) click 1
sleep 0.3
# The menu: the five characters first; Down three times reaches the third, "Quacky".
xdotool mousemove $((X + mx)) $((Y + my)) click 3
sleep 0.8
xwd -root -silent | /usr/bin/convert xwd:- "$work/menu.png"
xdotool key Down Down Down Return
sleep 0.5
xdotool mousemove $((X + W + 40)) $((Y + H + 40))
sleep 0.5
command_file values
wait_for '^program' 100 || fail "no answer to the values command"
sleep 0.3
xwd -root -silent | /usr/bin/convert xwd:- -crop "${W}x${H}+${X}+${Y}" +repage "$work/screen.png"
command_file quit
wait_for '^END' 300 || fail "editor-check did not end on quit"
wait $app
rc=$?
app=""
[ $rc -eq 0 ] || fail "editor-check ended with $rc"
tr -d '\r' <"$log" >"$work/log.txt"
grep '^FIGURE' "$work/log.txt"

# ---- Automation: the same indices and values in the same order.
awk '$1 == "automate"' "$work/log.txt" >"$work/automation"
if cmp -s "$work/automation" "$work/expected-automation"; then
    pass "the host's automation equals the headless one ($(wc -l <"$work/automation") reports)"
else
    fail "the host's automation differs from the headless one (left: host, right: headless)"
    diff -y "$work/automation" "$work/expected-automation"
fi

# ---- Pixels: the screen equals the composition of the final values.
read -r -a values < <(awk '$1 == "values" { $1 = ""; print }' "$work/log.txt")
final_program=$(awk '$1 == "program" { print $2 }' "$work/log.txt")
params=()
for i in "${!values[@]}"; do params+=(--param "$i=${values[$i]}"); done
if [ ${#values[@]} -eq 0 ] || [ -z "$final_program" ]; then
    fail "no values reported"
elif "$snapshot" "${scale[@]}" --program "$final_program" "${params[@]}" --out "$work/expected.png" >/dev/null; then
    diff=$(/usr/bin/compare -metric AE "$work/screen.png" "$work/expected.png" null: 2>&1)
    if [ "$diff" = 0 ]; then pass "the screen equals the composed picture of the final values"; else
        fail "the screen differs from the composed picture in $diff pixels"; fi
    diff=$(/usr/bin/compare -metric AE "$work/screen.png" "$work/actions.png" null: 2>&1)
    echo "(the picture composed after the same actions differs in $diff pixels)"
else
    fail "wadling-snapshot could not compose the final values"
fi

# ---- Open/close cycles, the parent destroyed first, and the figures of a quiet editor.
"${run[@]}" "$plugin" --cycles 50 --destroy-parent-first --idle-cpu 10 >"$log" 2>"$work/stderr"
rc=$?
tr -d '\r' <"$log" | grep -E '^(PASS|FAIL|FIGURE)'
tr -d '\r' <"$log" | grep -q '^END 0' && [ $rc -eq 0 ] || fail "the cycles and host faults (exit $rc)"
[ ! -s "$work/opened" ] || fail "a web page was opened: $(cat "$work/opened")"

if [ $failures -ne 0 ]; then
    echo "editor-check: $failures failures"
    exit 1
fi
echo "editor-check: all passed"
