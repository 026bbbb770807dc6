# The Windows window backend with a real pointer: the win64 build's window-check under wine64 on
# a virtual display, driven by xdotool (click, drag with capture, double click, right click and a
# menu item chosen by keyboard).
set -euo pipefail
# A prefix of its own: a wine server started without a display cannot open windows.
export WADLING_WINEPREFIX="$PWD/build/wineprefix-display"
bash tools/window-check/xvfb-pointer-check.sh build/win64
