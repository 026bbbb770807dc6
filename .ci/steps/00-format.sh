# The tree is formatted with the project's .clang-format.
set -euo pipefail
files=$(git ls-files '*.cpp' '*.h')
[ -z "$files" ] || clang-format --dry-run --Werror $files
