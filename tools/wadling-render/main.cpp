// wadling-render: renders audio through the built plug-in binary, offline, as a host would.

#include "DemoMaterial.h"
#include "LevelPlot.h"
#include "PluginRenderer.h"
#include "WavFile.h"
#include "platform/Platform.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* kUsage =
    "Usage: wadling-render [options] INPUT.wav OUTPUT.wav\n"
    "       wadling-render [options] --demo [--out FOLDER]\n"
    "       wadling-render [--plugin PATH] --list\n"
    "\n"
    "Renders a WAV file (16-, 24-, 32-bit PCM or 32-bit float; mono or stereo) through the\n"
    "WadlingCompressor plug-in binary, loaded as a VST 2 host loads it. Without an input file\n"
    "it renders its built-in demo: about ten seconds of synthesised music, written with the\n"
    "processed result and a level plot into a folder that it names on standard output.\n"
    "\n"
    "Options:\n"
    "  --program N|NAME     start from program N (0-11) or the program of that name\n"
    "  --param NAME=VALUE   set a parameter (name or index) to VALUE in 0..1; repeatable\n"
    "  --block N            block size handed to the plug-in (default 512)\n"
    "  --format F           output format: pcm16, pcm24, pcm32 or float (default: the input's)\n"
    "  --plugin PATH        the plug-in binary (default: the one built with this tool)\n"
    "  --out FOLDER         the demo's output folder (default: ./wadling-demo)\n"
    "  --list               list programs and parameters with their display texts\n"
    "  --quiet              no progress bar\n";

struct Options {
    std::string plugin;
    std::optional<std::string> program;
    std::vector<std::pair<std::string, std::string>> params;
    int blockSize = 512;
    std::optional<render::SampleFormat> format;
    std::string outFolder = "wadling-demo";
    bool list = false, demo = false, quiet = false;
    std::vector<std::string> files;
};

std::string defaultPlugin() {
    if (const char* env = std::getenv("WADLING_PLUGIN"); env && *env) return env;
    std::string path = WADLING_PLUGIN_PATH;
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') path = "Z:" + path; // the build's Unix path under wine
#endif
    return path;
}

Options parse(int argc, char** argv) {
    Options o;
    o.plugin = defaultPlugin();
    const auto value = [&](int& i, const std::string& name) -> std::string {
        if (i + 1 >= argc) throw render::UsageError(name + " needs a value");
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else if (a == "--program") {
            o.program = value(i, a);
        } else if (a == "--param") {
            const std::string p = value(i, a);
            const size_t eq = p.find('=');
            if (eq == std::string::npos || eq == 0)
                throw render::UsageError("--param wants NAME=VALUE, got \"" + p + "\"");
            o.params.emplace_back(p.substr(0, eq), p.substr(eq + 1));
        } else if (a == "--block") {
            const std::string v = value(i, a);
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), o.blockSize);
            if (ec != std::errc() || end != v.data() + v.size() || o.blockSize < 1 ||
                o.blockSize > 1 << 20)
                throw render::UsageError("--block wants a number from 1 to 1048576");
        } else if (a == "--format") {
            const std::string v = value(i, a);
            if (v == "pcm16")
                o.format = render::SampleFormat::Pcm16;
            else if (v == "pcm24")
                o.format = render::SampleFormat::Pcm24;
            else if (v == "pcm32")
                o.format = render::SampleFormat::Pcm32;
            else if (v == "float")
                o.format = render::SampleFormat::Float32;
            else
                throw render::UsageError("--format wants pcm16, pcm24, pcm32 or float");
        } else if (a == "--plugin") {
            o.plugin = value(i, a);
        } else if (a == "--out") {
            o.outFolder = value(i, a);
        } else if (a == "--list") {
            o.list = true;
        } else if (a == "--demo") {
            o.demo = true;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a.size() > 1 && a[0] == '-') {
            throw render::UsageError("unknown option " + a);
        } else {
            o.files.push_back(a);
        }
    }
    if (o.files.size() == 1) throw render::UsageError("give both INPUT.wav and OUTPUT.wav");
    if (o.files.size() > 2) throw render::UsageError("too many file names");
    if (o.files.empty() && !o.list) o.demo = true; // the embedded default
    if (o.demo && !o.files.empty()) throw render::UsageError("--demo takes no file names");
    return o;
}

void configure(render::PluginRenderer& plugin, const Options& o) {
    if (o.program) plugin.selectProgram(*o.program);
    for (const auto& [name, value] : o.params)
        plugin.setParameter(name, value);
}

void list(render::PluginRenderer& plugin) {
    std::cout << "Programs:\n";
    for (int i = 0; i < plugin.numPrograms(); ++i)
        std::cout << "  " << i << (i < 10 ? "   " : "  ") << plugin.programName(i) << "\n";
    std::cout << "Parameters (current program):\n";
    for (int i = 0; i < plugin.numParams(); ++i) {
        std::string name = plugin.parameterName(i);
        name.resize(std::max<size_t>(name.size(), 22), ' ');
        std::cout << "  " << i << (i < 10 ? "   " : "  ") << name << plugin.parameterValue(i)
                  << "  " << plugin.parameterText(i) << "\n";
    }
}

class Progress {
public:
    Progress(uint64_t total, uint32_t rate, bool quiet)
        : total(total),
          shown(!quiet && total > 10ull * rate && platform::standardErrorIsTerminal()) {}
    void update(uint64_t done) {
        if (!shown) return;
        const int width = 40;
        const int filled = static_cast<int>(done * width / std::max<uint64_t>(total, 1));
        if (filled == last) return;
        last = filled;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                     std::string(width - filled, '.').c_str(), filled * 100 / width);
        std::fflush(stderr);
    }
    ~Progress() {
        if (shown) std::fprintf(stderr, "\n");
    }

private:
    uint64_t total;
    bool shown;
    int last = -1;
};

int renderFile(render::PluginRenderer& plugin, const Options& o) {
    render::WavReader in(o.files[0]);
    const render::WavInfo info = in.info();
    const render::SampleFormat format = o.format.value_or(info.format);
    render::WavWriter out(o.files[1], format, info.sampleRate);
    plugin.start(static_cast<float>(info.sampleRate), o.blockSize);
    std::vector<float> inL(o.blockSize), inR(o.blockSize), outL(o.blockSize), outR(o.blockSize);
    Progress progress(info.frames, info.sampleRate, o.quiet);
    uint64_t done = 0;
    while (size_t n = in.read(inL.data(), inR.data(), inL.size())) {
        plugin.process(inL.data(), inR.data(), outL.data(), outR.data(), static_cast<int>(n));
        out.write(outL.data(), outR.data(), n);
        progress.update(done += n);
    }
    plugin.stop();
    out.finish();
    std::cerr << o.files[1] << ": " << done << " frames at " << info.sampleRate << " Hz, "
              << render::describe(format)
              << (info.channels == 1 ? " (mono input on both inputs)" : "") << "\n";
    return 0;
}

double peakDb(const std::vector<float>& a, const std::vector<float>& b) {
    double peak = 0;
    for (size_t i = 0; i < a.size(); ++i)
        peak = std::max({peak, std::fabs(double(a[i])), std::fabs(double(b[i]))});
    return peak > 0 ? 20 * std::log10(peak) : -INFINITY;
}

int renderDemo(render::PluginRenderer& plugin, const Options& o) {
    const fs::path folder = fs::absolute(o.outFolder);
    fs::create_directories(folder);
    render::DemoMaterial dry = render::synthesiseDemo();
    const size_t n = dry.left.size();
    std::vector<float> wetL(n), wetR(n);
    plugin.start(static_cast<float>(dry.sampleRate), o.blockSize);
    for (size_t start = 0; start < n; start += o.blockSize) {
        const int frames = static_cast<int>(std::min<size_t>(o.blockSize, n - start));
        plugin.process(&dry.left[start], &dry.right[start], &wetL[start], &wetR[start], frames);
    }
    plugin.stop();
    const auto save = [&](const char* name, const std::vector<float>& l,
                          const std::vector<float>& r) {
        render::WavWriter w((folder / name).string(), render::SampleFormat::Float32,
                            dry.sampleRate);
        w.write(l.data(), r.data(), l.size());
        w.finish();
    };
    save("demo-dry.wav", dry.left, dry.right);
    save("demo-processed.wav", wetL, wetR);
    const render::LevelTrace trace =
        render::traceLevels(dry.left, dry.right, wetL, wetR, dry.sampleRate);
    double deepest = INFINITY, highest = -INFINITY;
    for (double g : trace.gainDb)
        if (!std::isnan(g)) {
            deepest = std::min(deepest, g);
            highest = std::max(highest, g);
        }
    std::cout << "Demo rendered into: " << folder.string() << "\n"
              << "  demo-dry.wav        the synthesised input (" << n / double(dry.sampleRate)
              << " s, 32-bit float stereo, peak " << peakDb(dry.left, dry.right) << " dBFS)\n"
              << "  demo-processed.wav  through WadlingCompressor (peak " << peakDb(wetL, wetR)
              << " dBFS, net gain " << deepest << " to " << highest << " dB)\n";
    if (render::canWritePng()) {
        render::writeLevelPlot(trace, (folder / "demo-levels.png").string());
        std::cout << "  demo-levels.png     input (blue), output (orange) and gain (green) in dB "
                     "over time\n";
    } else {
        std::cout << "  (no demo-levels.png: this build has no libpng)\n";
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const Options o = parse(argc, argv);
        render::PluginRenderer plugin(o.plugin);
        configure(plugin, o);
        if (o.list) {
            list(plugin);
            return 0;
        }
        return o.demo ? renderDemo(plugin, o) : renderFile(plugin, o);
    } catch (const render::UsageError& e) {
        std::cerr << "wadling-render: " << e.what() << "\n(wadling-render --help for usage)\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "wadling-render: error: " << e.what() << "\n";
        return 1;
    }
}
