# Runs one libFuzzer target of the `fuzz` preset from its seeds in fuzz/<name>/corpus:
#   run_fuzzer <name> <max_len> <runs>
# CI runs are reproducible: a fixed seed (FUZZ_SEED, default 1) and a fixed number of inputs
# (FUZZ_RUNS overrides <runs>), capped at FUZZ_SECONDS (default 60). For exploring, set
# FUZZ_SEED=0 (a random seed) and a large FUZZ_RUNS. New inputs go to a scratch corpus under
# build/fuzz; a crashing input is written to build/fuzz/<name>-artifacts.
run_fuzzer() {
    local name=$1 max_len=$2 runs=${FUZZ_RUNS:-$3}
    local corpus="build/fuzz/$name-corpus" artifacts="build/fuzz/$name-artifacts/"
    local log="build/fuzz/$name.log"
    mkdir -p "$corpus" "$artifacts"
    local status=0
    "build/fuzz/fuzz/$name/fuzz_$name" -seed="${FUZZ_SEED:-1}" -runs="$runs" \
        -max_total_time="${FUZZ_SECONDS:-60}" -max_len="$max_len" -rss_limit_mb=2048 \
        -artifact_prefix="$artifacts" -print_final_stats=1 "$corpus" "fuzz/$name/corpus" \
        >"$log" 2>&1 || status=$?
    echo "fuzz_$name: $(grep -E '^#[0-9]+' "$log" | tail -1)"
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$log" || true
    if [ $status -ne 0 ]; then
        tail -60 "$log"
        return 1
    fi
}
