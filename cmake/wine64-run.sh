#!/bin/sh
# Runs a 64-bit Windows program under wine64 in a prefix of our own (WADLING_WINEPREFIX, or one
# under the temporary folder), quietly. The first start creates the prefix, once, under a lock.
export WINEDEBUG=-all
export WINEPREFIX="${WADLING_WINEPREFIX:-${TMPDIR:-/tmp}/wadling-wine64-$(id -u)}"
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.ready" ]; then
    mkdir -p "$WINEPREFIX"
    flock "$WINEPREFIX.lock" sh -c '
        if [ ! -f "$WINEPREFIX/.ready" ]; then
            /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
            /usr/lib/wine/wineserver -w
            touch "$WINEPREFIX/.ready"
        fi'
fi
exec /usr/lib/wine/wine64 "$@"
