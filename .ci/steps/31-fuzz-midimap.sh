# Fuzzes reading of hand-edited MIDI controller map files for a bounded time (FUZZ_SECONDS,
# default 15). New inputs go to a scratch corpus in the build folder; the seeds stay in the
# repository.
set -euo pipefail
seconds=${FUZZ_SECONDS:-15}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_midimap
corpus=build/fuzz/midimap-corpus
mkdir -p "$corpus" build/fuzz/midimap-artifacts
build/fuzz/fuzz/midimap/fuzz_midimap -max_total_time="$seconds" -max_len=2048 -rss_limit_mb=2048 \
    -artifact_prefix=build/fuzz/midimap-artifacts/ -print_final_stats=1 \
    "$corpus" fuzz/midimap/corpus
