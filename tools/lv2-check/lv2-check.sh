#!/usr/bin/env bash
# The built LV2 bundle through the system's LV2 tools: lv2_validate on its turtle files, lv2info
# on the plug-in and its UI, and lv2file renders (by preset and by port values) compared sample
# for sample with wadling-render's renders of the same input through the VST 2 build.
#
#   tools/lv2-check/lv2-check.sh [BUILD_DIR]     (default build/linux; needs lv2-dev, sordi,
#                                                  lilv-utils, lv2file and python3)
set -euo pipefail
build=${1:-build/linux}
bundle=$build/lv2/WadlingCompressor.lv2
render=$build/tools/wadling-render/wadling-render
vst=$build/src/plugin/WadlingCompressor.so
uri=https://reedmoor.example/plugins/wadling-compressor
for f in "$bundle/WadlingCompressor.so" "$bundle/manifest.ttl" "$render" "$vst"; do
    [ -e "$f" ] || { echo "lv2-check: missing $f (build the linux preset first)"; exit 1; }
done

# Copies of both builds, and a settings folder of our own: each keeps its controller map beside
# itself or in the user's settings.
work=$(mktemp -d /tmp/lv2-check.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lv2" "$work/vst" "$work/settings"
cp -r "$bundle" "$work/lv2/"
cp "$vst" "$work/vst/"
export LV2_PATH="$work/lv2" XDG_CONFIG_HOME="$work/settings"

echo "lv2_validate:"
lv2_validate "$work/lv2/WadlingCompressor.lv2/"*.ttl 2>&1 | grep -v '^Skipping' | sed 's/^/  /'
lv2_validate "$work/lv2/WadlingCompressor.lv2/"*.ttl >/dev/null 2>&1 || { echo "lv2-check: lv2_validate failed"; exit 1; }

lv2info "$uri" >"$work/info.txt"
ports=$(grep -c '^	Port [0-9]*:' "$work/info.txt" || true)
presets=$(lv2file -L "$uri" 2>/dev/null | grep -c '^Preset: ' || true)
echo "lv2info: $(sed -n 's/^	Name: *//p' "$work/info.txt"), $ports ports, $presets presets"
[ "$ports" -eq 19 ] && [ "$presets" -eq 12 ] || { echo "lv2-check: expected 19 ports and 12 presets"; exit 1; }
# The editor's UI as hosts find it: an X11 UI whose library is in the bundle.
ui_class=$(awk '/#ui$/ {found = 1} found && /Class:/ {print $2; exit}' "$work/info.txt")
ui_binary=$(awk '/#ui$/ {found = 1} found && /Binary:/ {print $2; exit}' "$work/info.txt")
echo "lv2info: UI ${ui_class##*#}, ${ui_binary##*/}"
[ "$ui_class" = "http://lv2plug.in/ns/extensions/ui#X11UI" ] && [ -f "${ui_binary#file://}" ] ||
    { echo "lv2-check: expected an X11 UI with its library in the bundle"; exit 1; }

# The WAV writers differ in their header chunks; the format and the sample bytes must not.
same_samples() { python3 "$(dirname "$0")/wavcompare.py" "$1" "$2"; }

"$render" --plugin "$work/vst/WadlingCompressor.so" --demo --out "$work/demo" --quiet >/dev/null
input="$work/demo/demo-dry.wav"
status=0
compare() { # name, lv2file options, wadling-render options
    local name=$1 lv2opts=$2 vstopts=$3
    eval "lv2file --ignore-clipping $lv2opts -i \"\$input\" -o \"\$work/lv2.wav\" \"\$uri\"" >/dev/null 2>&1
    eval "\"\$render\" --plugin \"\$work/vst/WadlingCompressor.so\" --quiet $vstopts \"\$input\" \"\$work/vst.wav\"" 2>/dev/null
    printf '  %-34s ' "$name:"
    same_samples "$work/lv2.wav" "$work/vst.wav" || status=1
}
echo "lv2file against wadling-render, $(basename "$input"):"
while IFS= read -r label; do
    compare "preset \"$label\"" "-P \"$label\"" "--program \"$label\""
done < <(lv2file -L "$uri" 2>/dev/null | sed -n 's/^Preset: //p' | sort)
compare "ports, blocks of 300" \
    "-b 300 -p squeeze:0.8 -p dry_wet:0.7 -p eqhi:0.9 -p skweezy:0.25" \
    "--block 300 --param Squeeze=0.8 --param Dry/Wet=0.7 --param EQHi=0.9 --param Skweezy=0.25"
compare "preset Kwakkers, listen on" "-P Kwakkers -p eqlisten:1.0" \
    "--program Kwakkers --param EQListen=1"
[ $status -eq 0 ] && echo "lv2-check: passed" || echo "lv2-check: FAILED"
exit $status
