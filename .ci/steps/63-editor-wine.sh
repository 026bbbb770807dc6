# The editor of the 64-bit Windows DLL in editor-check's window under wine64 on a virtual X
# server, driven by the real pointer; compared with the headless composition of the linux build.
# Once at the design's size and once at 200 %, the scale the test host says it has ('PreS').
set -euo pipefail
export WADLING_WINEPREFIX="$PWD/build/wineprefix-display"
cmake --build build/win64 --target editor-check WadlingCompressor -j2
cmake --build build/linux --target wadling-snapshot -j2
bash tools/editor-check/editor-check.sh build/win64 --wine
EDITOR_CHECK_SCALE=200 bash tools/editor-check/editor-check.sh build/win64 --wine
