# Fuzzes loading of untrusted control templates for a bounded time (FUZZ_SECONDS, default 20).
# New inputs go to a scratch corpus in the build folder; the seeds stay in the repository.
set -euo pipefail
seconds=${FUZZ_SECONDS:-20}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_template
corpus=build/fuzz/template-corpus
mkdir -p "$corpus" build/fuzz/template-artifacts
build/fuzz/fuzz/template/fuzz_template -max_total_time="$seconds" -max_len=8192 \
    -rss_limit_mb=2048 -artifact_prefix=build/fuzz/template-artifacts/ -print_final_stats=1 \
    "$corpus" fuzz/template/corpus
