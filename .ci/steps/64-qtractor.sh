# The editor inside Qtractor on a virtual X server (linux preset, built). Installs the host
# itself: Qtractor and its JACK server are needed by this step only.
set -euo pipefail
source .ci/lib/packages.sh
install_missing qtractor jackd2
cmake --build build/linux --target WadlingCompressor wadling-snapshot -j2
bash tools/real-host/qtractor-check.sh build/linux
