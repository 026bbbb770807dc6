# Memcheck over every test program of the built binary (linux preset, already built).
set -euo pipefail
# torture_editor_tests (the editor on the headless backend) opens a window in every cycle, each
# unpacking the artwork: a tenth of its open/close cycles keeps it near a minute.
export WADLING_TORTURE_EDITOR_SCALE=10
for test in build/linux/tests/binary/*_tests; do
    echo "valgrind memcheck: $test"
    valgrind -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
        "$test" --gtest_brief=1
done
