# The LV2 UI in a real host: jalv.gtk3 on Xvfb with a JACK dummy server (no sound card here),
# screenshots against the headless composition, a real pointer drag and MIDI Learn from the
# editor's menu. Installs what it needs; runs after step 65 has built the bundle.
set -euo pipefail
missing=()
for p in jalv jackd2 xvfb xdotool x11-apps x11-utils imagemagick; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi
cmake --build build/linux --target WadlingCompressorLv2 wadling-snapshot -j2
timeout 120 bash tools/lv2-check/jalv-check.sh build/linux
