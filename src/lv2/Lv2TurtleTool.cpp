// wadling-lv2-ttl OUTDIR BINARY MINOR MICRO: writes manifest.ttl, WadlingCompressor.ttl and
// presets.ttl of the LV2 bundle into OUTDIR. The build runs it; nobody else needs to.

#include <cstdio>
#include <fstream>
#include <string>

#include "lv2/Lv2Turtle.h"

namespace {

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (out) return true;
    std::fprintf(stderr, "wadling-lv2-ttl: cannot write %s\n", path.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: wadling-lv2-ttl OUTDIR BINARY MINOR MICRO\n");
        return 2;
    }
    try {
        APlugin plugin(nullptr);
        // The tables are all this program wants: no controller map is written at build time.
        plugin.midiMapFiles = midimap::MapFiles{};
        const lv2glue::TurtleFiles files =
            lv2glue::writeTurtle(plugin, argv[2], std::stoi(argv[3]), std::stoi(argv[4]));
        const std::string dir = argv[1];
        const bool ok = writeFile(dir + "/manifest.ttl", files.manifest) &&
                        writeFile(dir + "/WadlingCompressor.ttl", files.plugin) &&
                        writeFile(dir + "/presets.ttl", files.presets);
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "wadling-lv2-ttl: %s\n", e.what());
        return 1;
    }
}
