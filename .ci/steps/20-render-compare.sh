# The same input rendered by the linux, linux-i386 (qemu-i386) and win64 (wine64) builds must
# give byte-identical output files: the plug-in's arithmetic is specified to the bit.
set -euo pipefail
work=build/render-compare
rm -rf "$work"
mkdir -p "$work"
export WADLING_WINEPREFIX="${WADLING_WINEPREFIX:-$PWD/build/wineprefix}"

linux=build/linux/tools/wadling-render/wadling-render
i386=build/linux-i386/tools/wadling-render/wadling-render
win64=build/win64/tools/wadling-render/wadling-render.exe
for tool in "$linux" "$i386" "$win64"; do
    [ -x "$tool" ] || [ -f "$tool" ] || { echo "missing $tool (run the preset workflows first)"; exit 1; }
done

# The input: the demo material, synthesised once by the native build.
"$linux" --demo --out "$work/demo" >/dev/null
input="$work/demo/demo-dry.wav"

render() { # build-name runner... -- options
    local name=$1; shift
    "$@" "$input" "$work/$name.wav" --quiet $settings 2>/dev/null
}
status=0
for settings in "" "--program 7 --block 300" "--program 6 --param EQListen=1 --block 4096"; do
    render linux "$linux"
    render i386 qemu-i386 "$i386"
    render win64 sh cmake/wine64-run.sh "$win64"
    for other in i386 win64; do
        if cmp -s "$work/linux.wav" "$work/$other.wav"; then
            echo "render [${settings:-program 0}]: linux and $other identical ($(sha256sum < "$work/linux.wav" | cut -c1-16))"
        else
            echo "render [${settings:-program 0}]: linux and $other DIFFER:"
            cmp "$work/linux.wav" "$work/$other.wav" | head -1 || true
            status=1
        fi
    done
done
exit $status
