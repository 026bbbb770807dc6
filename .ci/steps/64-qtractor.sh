# The editor inside Qtractor on a virtual X server (linux preset, built). Installs the host
# itself: Qtractor and its JACK server are needed by this step only.
set -euo pipefail
missing=()
for p in qtractor jackd2; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi
cmake --build build/linux --target WadlingCompressor wadling-snapshot -j2
bash tools/real-host/qtractor-check.sh build/linux
