# The plug-in's fuzz targets: the controller map file reader, MIDI event lists through
# processEvents and the audio loop, and what an LV2 host hands over (midi_in sequences, state
# blobs, map reports; see .ci/lib/fuzz.sh for the knobs).
set -euo pipefail
source .ci/lib/fuzz.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_mapfile fuzz_events fuzz_lv2
run_fuzzer mapfile 4096 1500000
run_fuzzer events 4096 200000
run_fuzzer lv2 4096 200000
