# Fuzzes unpacking of untrusted packed image streams for a bounded time (FUZZ_SECONDS, default
# 20). New inputs go to a scratch corpus in the build folder; the seeds stay in the repository.
set -euo pipefail
seconds=${FUZZ_SECONDS:-20}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_unpack
corpus=build/fuzz/unpack-corpus
mkdir -p "$corpus" build/fuzz/unpack-artifacts
build/fuzz/fuzz/unpack/fuzz_unpack -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 \
    -artifact_prefix=build/fuzz/unpack-artifacts/ -print_final_stats=1 \
    "$corpus" fuzz/unpack/corpus
