# The source tree's structure: includes only downwards, system conditionals only in the system
# layers, no source file over 700 lines.
set -euo pipefail
python3 tools/layer-check/layers.py .
