# The plug-in's fuzz targets: the controller map file reader, and MIDI event lists through
# processEvents and the audio loop (see .ci/lib/fuzz.sh for the knobs).
set -euo pipefail
source .ci/lib/fuzz.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_mapfile fuzz_events
run_fuzzer mapfile 4096 1500000
run_fuzzer events 4096 200000
