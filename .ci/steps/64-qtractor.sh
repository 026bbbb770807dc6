# The editor inside Qtractor on a virtual X server (linux preset, built). Installs the host
# itself: Qtractor, its JACK server and xprop are needed by this step only. Once at 96 dpi and once
# with the server saying Xft.dpi 192, where the editor opens at 200 % (and Qt scales Qtractor).
set -euo pipefail
source .ci/lib/packages.sh
install_missing qtractor jackd2 x11-utils
cmake --build build/linux --target WadlingCompressor wadling-snapshot -j2
bash tools/real-host/qtractor-check.sh build/linux
QTRACTOR_CHECK_DPI=192 bash tools/real-host/qtractor-check.sh build/linux
