# The LV2 UI in a real host: jalv.gtk3 on Xvfb with a JACK dummy server (no sound card here),
# screenshots against the headless composition, a real pointer drag and MIDI Learn from the
# editor's menu. Installs what it needs; runs after step 65 has built the bundle.
set -euo pipefail
source .ci/lib/packages.sh
install_missing jalv jackd2 xvfb xdotool x11-apps x11-utils imagemagick
cmake --build build/linux --target WadlingCompressorLv2 wadling-snapshot -j2
timeout 120 bash tools/lv2-check/jalv-check.sh build/linux
