# The X11 window backend on a virtual X server, driven by the real pointer (linux preset, built).
set -euo pipefail
cmake --build build/linux --target x11_check -j2
bash tools/x11-check/x11-check.sh build/linux
