# Fuzzes loading of untrusted control templates and stored feature parameters (see
# .ci/lib/fuzz.sh for the knobs).
set -euo pipefail
source .ci/lib/fuzz.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_template
run_fuzzer template 8192 200000
