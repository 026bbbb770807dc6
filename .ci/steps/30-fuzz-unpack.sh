# Fuzzes unpacking of untrusted packed image streams (see .ci/lib/fuzz.sh for the knobs).
set -euo pipefail
source .ci/lib/fuzz.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_unpack
run_fuzzer unpack 4096 100000
