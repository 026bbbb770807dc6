# The plug-in's fuzz targets, each for a bounded time from its seed corpus: the controller map
# file reader and MIDI event lists through processEvents and the audio loop.
set -uo pipefail
cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz --target fuzz_mapfile fuzz_events || exit 1
for target in mapfile events; do
    work=$(mktemp -d)
    cp -r "fuzz/$target/corpus/." "$work/"
    log="$work.log"
    "build/fuzz/fuzz/$target/fuzz_$target" -max_total_time=20 -print_final_stats=1 \
        -max_len=4096 -artifact_prefix="$work/" "$work" >"$log" 2>&1
    status=$?
    echo "fuzz_$target: $(grep -E '^#[0-9]+' "$log" | tail -1)"
    grep -E "^stat::(number_of_executed_units|average_exec_per_sec)" "$log"
    if [ $status -ne 0 ]; then
        tail -40 "$log"
        exit 1
    fi
    rm -rf "$work" "$log"
done
