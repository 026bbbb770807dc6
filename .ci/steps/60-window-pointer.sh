# The Windows window backend with a real pointer: the win64 build's window-check under wine64 on
# a virtual display, driven by xdotool (click, drag with capture, double click, right click and a
# menu item chosen by keyboard).
set -euo pipefail
export WADLING_WINEPREFIX="${WADLING_WINEPREFIX:-$PWD/build/wineprefix}"
bash tools/window-check/xvfb-pointer-check.sh build/win64
