# The editor in the test host's window on a virtual X server (linux build), driven by the real
# pointer: automation and pixels equal the headless composition, open/close cycles, a parent
# destroyed first; once at the design's size and once with the server saying Xft.dpi 192, where
# the editor opens at 200 %.
set -euo pipefail
cmake --build build/linux --target editor-check wadling-snapshot WadlingCompressor -j2
bash tools/editor-check/editor-check.sh build/linux
EDITOR_CHECK_DPI=192 bash tools/editor-check/editor-check.sh build/linux
