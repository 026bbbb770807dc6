# Release archives of the three plug-in targets (`cmake --workflow --preset package`), then a
# look inside each: the binary with exactly its two exports (and only system DLLs imported on
# Windows), README, licence, install notes and the musicians' guide with its picture.
set -euo pipefail
rm -rf build/package/archives
cmake --workflow --preset package

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/package/CMakeCache.txt)
[ -n "$version" ] || { echo "no project version in build/package"; exit 1; }
check=tests/binary/CheckBinaryTables.cmake
unpacked=build/package/unpacked
rm -rf "$unpacked"
mkdir -p "$unpacked"

for entry in linux-x86_64:tar.gz:WadlingCompressor.so:nm \
             win64:zip:WadlingCompressor.dll:x86_64-w64-mingw32-objdump \
             win32:zip:WadlingCompressor.dll:i686-w64-mingw32-objdump; do
    IFS=: read -r system kind binary tool <<<"$entry"
    name="WadlingCompressor-$version-$system"
    archive="build/package/archives/$name.$kind"
    [ -f "$archive" ] || { echo "missing $archive"; exit 1; }
    (cd "$unpacked" && cmake -E tar xf "../archives/$name.$kind")
    for file in "$binary" README.md LICENSE INSTALL.txt GUIDE.md editor.png; do
        [ -s "$unpacked/$name/$file" ] || { echo "$archive lacks $file"; exit 1; }
    done
    if [ "$kind" = tar.gz ]; then
        for file in WadlingCompressor.so WadlingCompressorUI.so manifest.ttl \
                    WadlingCompressor.ttl presets.ttl; do
            [ -s "$unpacked/$name/WadlingCompressor.lv2/$file" ] ||
                { echo "$archive lacks WadlingCompressor.lv2/$file"; exit 1; }
        done
    fi
    windows=OFF
    [ "$kind" = zip ] && windows=ON
    cmake -DTOOL="$tool" -DBINARY="$unpacked/$name/$binary" -DWINDOWS="$windows" -P "$check"
    grep -q "WadlingCompressor $version" "$unpacked/$name/INSTALL.txt"
    echo "$archive: $(cmake -E tar tf "$archive" | wc -l) entries, checked"
done
