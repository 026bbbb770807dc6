#!/usr/bin/env bash
# The LV2 bundle inside a real host's session. ardour7-lua (Ardour's headless Lua session tool,
# Dummy backend) makes a session at 44.1 kHz with one stereo track holding wadling-render's demo
# input as a region, puts the plug-in on the track, loads each factory preset by its name (and,
# for two renders, sets control ports by their place among the control ports), and exports the
# master bus over the region's span as 32-bit float WAV (ardour-render.lua does the Ardour side).
# Every export is compared with wadling-render's render of the same input through the VST 2
# build, same program and parameter values, same block size: the fmt chunk's format fields and
# every byte of the data chunk must be identical (the writers' other chunks differ).
#
#   tools/real-host/ardour-check.sh [BUILD_DIR]     (default build/linux; needs the ardour
#                                                     package (ardour7-lua) and python3)
#
# Nothing of the user's is touched: HOME, the configuration and the bundle's copy are temporary.
# ARDOUR_CHECK_KEEP=1 keeps the run's files in /tmp/ardour-check-last (always kept on failure).
set -euo pipefail
build=${1:-build/linux}
here=$(cd "$(dirname "$0")" && pwd)
bundle=$build/lv2/WadlingCompressor.lv2
render=$build/tools/wadling-render/wadling-render
vst=$build/src/plugin/WadlingCompressor.so
tries=8
retries=0

if ! command -v ardour7-lua >/dev/null; then
    echo "FAIL ardour7-lua is not installed (apt-get install --no-install-recommends ardour)"
    exit 1
fi
for tool in python3 timeout; do
    command -v $tool >/dev/null || { echo "FAIL $tool is not installed"; exit 1; }
done
for f in "$bundle/WadlingCompressor.so" "$bundle/manifest.ttl" "$render" "$vst"; do
    [ -e "$f" ] || { echo "FAIL missing $f (build WadlingCompressorLv2, WadlingCompressor and" \
        "wadling-render of the linux preset first)"; exit 1; }
done

started=$(date +%s)
work=$(mktemp -d /tmp/ardour-check.XXXXXX)
failures=0
cleanup() {
    if [ $failures -ne 0 ] || [ -n "${ARDOUR_CHECK_KEEP:-}" ]; then
        rm -rf /tmp/ardour-check-last
        cp -r "$work" /tmp/ardour-check-last
    fi
    rm -rf "$work"
}
trap cleanup EXIT
pass() { echo "PASS $*"; }
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

# Copies of both builds, a home and configuration of this run's own (Ardour's settings and export
# formats, the plug-ins' controller map), and no plug-in folders but ours.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_CACHE_HOME=$work/home/.cache
unset LADSPA_PATH DSSI_PATH VST_PATH VST3_PATH LXVST_PATH CLAP_PATH
mkdir -p "$work/lv2" "$work/vst" "$XDG_CONFIG_HOME/ardour7/export"
cp -r "$bundle" "$work/lv2/"
cp "$vst" "$work/vst/"
export LV2_PATH=$work/lv2

# The export preset ardour-render.lua asks for: WAV, 32-bit float, session rate, no dither,
# normalisation, silence trimming or broadcast chunk.
cat >"$XDG_CONFIG_HOME/ardour7/export/wadling-float.format" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<ExportFormatSpecification name="Wadling float WAV" id="45d4c137-9bff-4677-9c24-13c5197f5cdd" with-cue="false" with-toc="false" with-mp4chaps="false" command="" analyse="false" soundcloud-upload="false">
  <Encoding id="F_WAV" type="T_Sndfile" extension="wav" name="WAV" has-sample-format="true" channel-limit="256"/>
  <SampleRate rate="1"/>
  <SRCQuality quality="SRC_SincBest"/>
  <EncodingOptions>
    <Option name="sample-format" value="SF_Float"/>
    <Option name="dithering" value="D_None"/>
    <Option name="tag-metadata" value="false"/>
    <Option name="tag-support" value="false"/>
    <Option name="broadcast-info" value="false"/>
  </EncodingOptions>
  <Processing>
    <Normalize enabled="false" loudness="no" dbfs="0" lufs="-23" dbtp="-1"/>
    <Silence>
      <Start><Trim enabled="false"/><Add enabled="false"><Duration format="Timecode" hours="0" minutes="0" seconds="0" frames="0"/></Add></Start>
      <End><Trim enabled="false"/><Add enabled="false"><Duration format="Timecode" hours="0" minutes="0" seconds="0" frames="0"/></Add></End>
    </Silence>
  </Processing>
</ExportFormatSpecification>
EOF
cat >"$XDG_CONFIG_HOME/ardour7/export/wadling-float.preset" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<ExportPreset id="d3972043-06ae-4f23-8b59-62a29c0c37af" name="Wadling float WAV">
  <ExportFormat id="45d4c137-9bff-4677-9c24-13c5197f5cdd"/>
  <ExportFilename>
    <Folder relative="true" path="export"/>
    <Field name="label" enabled="false"/>
    <Field name="session" enabled="false"/>
    <Field name="snapshot" enabled="false"/>
    <Field name="timespan" enabled="true"/>
    <Field name="revision" enabled="false"/>
    <Field name="time" enabled="false" value="T_None"/>
    <Field name="date" enabled="false" value="D_None"/>
  </ExportFilename>
</ExportPreset>
EOF

# A failed session load leaves ardour7-lua waiting for its engine's threads forever.
ardour() { # ardour <log> <ardour-render.lua arguments>...
    local log=$1
    shift
    timeout -k 5 120 ardour7-lua "$here/ardour-render.lua" "$@" >"$log" 2>&1
}
ardour_failed() { # ardour_failed <what> <log>
    fail "$1; ardour7-lua said:"
    grep -v -e '^\[ERROR\]: Ignored format' -e '^lua/unknown direct dispatch' "$2" | tail -n 15 |
        sed 's/^/  /'
}

# Exit status 0: the same format fields and data bytes; 3: the data equal the reference's moved
# by some frames; 4: single samples damaged after the plug-in; 1: they differ.
compare() { # compare <ardour.wav> <reference.wav>
    python3 - "$1" "$2" "$here/../lv2-check" <<'PY'
import struct, sys
sys.dont_write_bytecode = True  # nothing left beside the sources
sys.path.insert(0, sys.argv[3])
from wavcompare import chunks
a, b = chunks(sys.argv[1]), chunks(sys.argv[2])
fa, fb = a[b"fmt "][:16], b[b"fmt "][:16]
if fa != fb:
    print(f"format fields differ: {fa.hex()} against {fb.hex()}")
    sys.exit(1)
frame = struct.unpack("<H", fa[12:14])[0]
da, db = a[b"data"], b[b"data"]
if da == db:
    print(f"{len(da) // frame} frames, {len(da)} sample bytes identical")
    sys.exit(0)
# Ardour's export now and then starts a few frames off: its data are then the reference's moved.
for shift in range(1, 257):
    n = shift * frame
    if len(da) > n and da[:len(da) - n] == db[n:len(da)]:
        print(f"{shift} frames early (the export starts {shift} frames into the render)")
        sys.exit(3)
    if len(db) > n and da[n:len(db)] == db[:len(db) - n]:
        print(f"{shift} frames late")
        sys.exit(3)
width = struct.unpack("<H", fa[14:16])[0] // 8
channels = frame // width
count = min(len(da), len(db)) // width
differ = [i for i in range(count) if da[i * width:(i + 1) * width] != db[i * width:(i + 1) * width]]
said = (f"{len(da) // frame} frames against {len(db) // frame}; {len(differ)} of {count} samples"
        f" differ, the first in frame {differ[0] // channels if differ else count // channels}")
# A few frames damaged in one channel, the next ones right again, were damaged after the
# plug-in: its filters and envelopes would carry a fault of its own on into the following frames.
# Ardour 7.3's export now and then does that: it writes into its delay line after freeing it
# (the allocator's pointers show up at the line's wrap, every 2048 frames at a period of 1024).
damaged = set(differ)
runs = [i for i in differ if i - channels not in damaged]
if len(da) == len(db) and differ and len(differ) < count // 100 and \
        all(all(i + k * channels not in damaged for k in range(4, 6)) and
            i + 4 * channels < count for i in runs):
    print(f"{said}, in {len(runs)} runs of up to 4 frames in one channel")
    sys.exit(4)
print(said)
sys.exit(1)
PY
}

# The input: wadling-render's demo material (10 s, 44.1 kHz, 32-bit float stereo).
"$render" --plugin "$work/vst/WadlingCompressor.so" --demo --out "$work/demo" --quiet >/dev/null
input=$work/demo/demo-dry.wav
mapfile -t programs < <("$render" --plugin "$work/vst/WadlingCompressor.so" --list |
    sed -n '/^Programs:/,/^Parameters/s/^  [0-9]\+ \+//p')
[ ${#programs[@]} -eq 12 ] || { fail "wadling-render --list shows ${#programs[@]} programs, not 12"; exit 1; }

session=$work/wadling
if ardour "$work/import.log" import "$session" "$input"; then
    pass "ardour7-lua made a session: $(grep '^session ' "$work/import.log" | sed 's/^session //')"
else
    ardour_failed "ardour7-lua could not make the session" "$work/import.log"
    exit 1
fi

# The renders: a label, the Dummy backend's period (the block size both hand the plug-in), the
# preset ("-": none) and port values for ardour-render.lua, and wadling-render's options for the
# same settings.
jobs=()
declare -A label period ardour_args options
add_job() { # add_job <name> <label> <period> <ardour-render.lua words> <wadling-render options>
    jobs+=("$1")
    label[$1]=$2
    period[$1]=$3
    ardour_args[$1]=$4
    options[$1]=$5
}
for i in "${!programs[@]}"; do
    add_job "$(printf 'preset-%02d' "$i")" "preset \"${programs[$i]}\"" 1024 "${programs[$i]}" \
        "--program $i"
done
add_job ports "ports Squeeze, Dry/Wet, EQHi, Skweezy" 256 \
    "$(printf -- '-\tSqueeze=0.8\tDry/Wet=0.7\tEQHi=0.9\tSkweezy=0.25')" \
    "--param Squeeze=0.8 --param Dry/Wet=0.7 --param EQHi=0.9 --param Skweezy=0.25"
add_job kwakkers-listen "preset \"Kwakkers\", port EQListen" 256 \
    "$(printf 'Kwakkers\tEQListen=1')" "--program Kwakkers --param EQListen=1"

echo "Ardour's exports against wadling-render, $(basename "$input") (fmt chunk's format fields" \
    "and data chunk's bytes):"
mkdir -p "$work/reference" "$work/ardour"
for job in "${jobs[@]}"; do
    reference=$work/reference/$job.wav
    # shellcheck disable=SC2086 # the options are words
    if ! "$render" --plugin "$work/vst/WadlingCompressor.so" --quiet --block "${period[$job]}" \
        ${options[$job]} "$input" "$reference" >"$work/reference/$job.log" 2>&1; then
        fail "${label[$job]}: wadling-render ${options[$job]} failed: $(tail -n 1 "$work/reference/$job.log")"
        continue
    fi
    IFS=$'\t' read -r -a words <<<"${ardour_args[$job]}"
    # Ardour 7.3 now and then aborts near the end of an export (a corrupted heap in its export
    # graph, with or without plug-ins), damages single samples of an export, and is said to
    # export a few frames off: such an export is made again. A refusal of the script's (a
    # missing preset, say) or any other difference is not.
    for try in $(seq $tries); do
        out=$work/ardour/$job-$try.wav
        log=$work/ardour/$job-$try.log
        rc=0
        ardour "$log" render "$session" "$out" "${period[$job]}" "${words[@]}" || rc=$?
        if [ $rc -ne 0 ] && grep -q '^Error: ' "$log"; then
            ardour_failed "${label[$job]}: ardour7-lua refused the render" "$log"
            break
        elif [ $rc -ne 0 ] || [ ! -f "$out" ]; then
            if [ "$try" -lt $tries ]; then
                echo "RETRY ${label[$job]}: ardour7-lua ended with status $rc before its export" \
                    "was done; exporting again"
                retries=$((retries + 1))
                continue
            fi
            ardour_failed "${label[$job]}: no export in $tries tries" "$log"
            break
        fi
        status=0
        said=$(compare "$out" "$reference") || status=$?
        if [ $status -eq 0 ]; then
            pass "${label[$job]}, period ${period[$job]}: $said$([ "$try" -gt 1 ] && echo " (try $try)")"
            break
        elif [ $status -ge 3 ] && [ "$try" -lt $tries ]; then
            echo "RETRY ${label[$job]}: Ardour's export came out $said; exporting again"
            retries=$((retries + 1))
        else
            fail "${label[$job]}, period ${period[$job]}, try $try: $said"
            break
        fi
    done
done
echo "TIME ardour-check: $(($(date +%s) - started)) s, $retries exports made again"
if [ $failures -ne 0 ]; then
    echo "ardour-check: $failures failures (files of the run in /tmp/ardour-check-last)"
    exit 1
fi
echo "ardour-check: all passed"
