# Memcheck over every test program of the built binary (linux preset, already built).
set -euo pipefail
for test in build/linux/tests/binary/*_tests; do
    echo "valgrind memcheck: $test"
    valgrind -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
        "$test" --gtest_brief=1
done
