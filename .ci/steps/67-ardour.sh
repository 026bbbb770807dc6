# The LV2 bundle in Ardour 7 (linux preset): a headless session (ardour7-lua, Dummy backend)
# exports the plug-in's output by preset name and by port values, compared sample for sample
# with wadling-render's. Installs Ardour without its recommends (ardour7-lua and the Dummy
# backend are in the package itself) and the LV2 headers the bundle is built with.
set -euo pipefail
source .ci/lib/packages.sh
install_missing ardour lv2-dev python3
if ! grep -q '^WADLING_LV2_INCLUDE_DIR:PATH=/' build/linux/CMakeCache.txt 2>/dev/null; then
    cmake --preset linux >/dev/null
fi
cmake --build build/linux --target WadlingCompressorLv2 WadlingCompressor wadling-render -j2
bash tools/real-host/ardour-check.sh build/linux
