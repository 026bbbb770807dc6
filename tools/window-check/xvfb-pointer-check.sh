#!/usr/bin/env bash
# Drives window-check (64-bit Windows build, under wine64) on a virtual X display with the real
# pointer and keyboard (xdotool through XTEST) and checks what the panel reported.
# Usage: xvfb-pointer-check.sh [build folder, default build/win64]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/win64}
program="$build/tools/window-check/window-check.exe"
[ -f "$program" ] || { echo "no $program: build the win64 preset first" >&2; exit 1; }
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
out=$(mktemp)
cleanup() { kill "$xvfb" 2>/dev/null || true; rm -f "$out"; }
trap cleanup EXIT
export DISPLAY=$display
sleep 1
cmake/wine64-run.sh "$program" 25 >"$out" 2>/dev/null &
app=$!
for _ in $(seq 100); do grep -q '^ready' "$out" && break; sleep 0.2; done
read -r _ ox oy < <(grep "^ready" "$out" | tr -d "\r") || { echo "window-check did not start" >&2; exit 1; }
sleep 1
x=$((ox + 50)); y=$((oy + 40))
xdotool mousemove "$x" "$y" click 1
sleep 0.5
xdotool mousemove "$x" "$y" mousedown 1
for step in 1 2 3 4 5 6; do xdotool mousemove $((x + step * 10)) "$y"; sleep 0.05; done
xdotool mouseup 1
sleep 0.5
xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
sleep 0.5
xdotool click 3
sleep 1
xdotool key Down Down Return
sleep 1
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
tr -d "\r" <"$out" >"$out.txt" && mv "$out.txt" "$out"
cat "$out"
fail=0
expect() { grep -q "$1" "$out" || { echo "missing: $1" >&2; fail=1; }; }
expect "^down 0 50,40$"
expect "^drag [1-9]"
expect "^double$"
expect "^down 1 50,40$"
expect "^menu Quacky$"
[ "$fail" -eq 0 ] && echo "pointer check passed"
exit "$fail"
