# The LV2 bundle (linux preset): lv2_validate, lv2info and lv2file renders compared with
# wadling-render's. Installs the LV2 headers and tools; the build is configured again when the
# headers arrived after it, so that it has the bundle.
set -euo pipefail
source .ci/lib/packages.sh
install_missing lv2-dev sordi lilv-utils lv2file python3
if ! grep -q '^WADLING_LV2_INCLUDE_DIR:PATH=/' build/linux/CMakeCache.txt 2>/dev/null; then
    cmake --preset linux >/dev/null
fi
cmake --build build/linux --target WadlingCompressorLv2 WadlingCompressor wadling-render \
    lv2_tests lv2_alloc_tests -j2
ctest --test-dir build/linux -R '^Lv2' --output-on-failure -j2
bash tools/lv2-check/lv2-check.sh build/linux
