#include "Dibpack.h"

#include "PngRecord.h"

#include "runtime/Streams.h"
#include "toolkit/cDIBCompressor.h"
#include "toolkit/cDIBStandardCompressors.h"

#include <cstring>
#include <ostream>

namespace dibpack {

namespace {

using Bytes = std::vector<std::uint8_t>;

const char* const kUsage =
    "usage:\n"
    "  dibpack pack [--compressor lzh|rle|none] IN OUT   pack the bytes of IN as a raw record\n"
    "  dibpack unpack IN OUT                             write the raw record that IN holds\n"
    "  dibpack info IN                                   describe a packed or raw record\n"
    "  dibpack from-png [--compressor lzh|rle|none] IN.png OUT\n"
    "                                                    PNG to image record (packed)\n"
    "  dibpack to-png IN OUT.png                         image record (packed or raw) to PNG\n"
    "The default compressor is lzh (\"DIB LZH\").\n";

struct UsageError {
    std::string message;
};

Bytes readFile(const std::string& name) {
    runtime::TMemoryStream m;
    m.LoadFromFile(name);
    return Bytes(m.Memory(), m.Memory() + m.Size());
}

void writeFile(const std::string& name, const Bytes& data) {
    runtime::TFileStream f(name, runtime::TFileMode::fmCreate);
    if (!data.empty()) f.WriteBuffer(data.data(), data.size());
}

runtime::TMemoryStream streamOf(const Bytes& data) {
    runtime::TMemoryStream m;
    if (!data.empty()) m.WriteBuffer(data.data(), data.size());
    m.SetPosition(0);
    return m;
}

toolkit::TAbstractDIBCompressor* compressorNamed(const std::string& name) {
    if (name == "lzh") return toolkit::FindDIBCompressor(toolkit::kLZHCompressorGUID);
    if (name == "rle") return toolkit::FindDIBCompressor(toolkit::kRLECompressorGUID);
    if (name == "none") return nullptr;
    throw UsageError{"unknown compressor '" + name + "' (lzh, rle or none)"};
}

// Splits off --compressor NAME; the rest are the positional arguments.
toolkit::TAbstractDIBCompressor* takeCompressor(std::vector<std::string>& args) {
    std::string name = "lzh";
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--compressor" || args[i] == "-c") {
            if (i + 1 >= args.size()) throw UsageError{"--compressor needs a name"};
            name = args[i + 1];
            args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
            --i;
        } else if (args[i].rfind("--compressor=", 0) == 0) {
            name = args[i].substr(std::strlen("--compressor="));
            args.erase(args.begin() + long(i));
            --i;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            throw UsageError{"unknown option '" + args[i] + "'"};
        }
    }
    return compressorNamed(name);
}

void expectCount(const std::vector<std::string>& args, std::size_t n, const char* command) {
    if (args.size() != n)
        throw UsageError{std::string(command) + " takes " + std::to_string(n) +
                         (n == 1 ? " file" : " files")};
}

// Packs with the chosen compressor, leaving the current one as it was.
Bytes pack(const Bytes& raw, toolkit::TAbstractDIBCompressor* compressor) {
    toolkit::TAbstractDIBCompressor* previous = toolkit::CurrentDIBCompressor();
    toolkit::SetCurrentDIBCompressor(compressor);
    runtime::TMemoryStream in = streamOf(raw);
    runtime::TMemoryStream out;
    try {
        toolkit::PackDIBData(nullptr, in, out);
    } catch (...) {
        toolkit::SetCurrentDIBCompressor(previous);
        throw;
    }
    toolkit::SetCurrentDIBCompressor(previous);
    return Bytes(out.Memory(), out.Memory() + out.Size());
}

Bytes unpack(const Bytes& packed) {
    runtime::TMemoryStream in = streamOf(packed);
    runtime::TMemoryStream out;
    toolkit::UnpackDIBData(nullptr, in, out);
    return Bytes(out.Memory(), out.Memory() + out.Size());
}

bool isPacked(const Bytes& data) {
    return data.size() >= toolkit::kDIBHeaderLength && std::memcmp(data.data(), "DIBCMP", 6) == 0;
}

void reportPacked(std::ostream& out, std::size_t raw, const Bytes& result,
                  toolkit::TAbstractDIBCompressor* compressor) {
    if (isPacked(result))
        out << "packed " << raw << " bytes into " << result.size() << " ("
            << compressor->GetDisplayName() << ")\n";
    else if (compressor != nullptr)
        out << "stored " << raw << " bytes raw: " << compressor->GetDisplayName()
            << " does not make them smaller\n";
    else
        out << "stored " << raw << " bytes raw\n";
}

int commandInfo(const std::vector<std::string>& args, std::ostream& out) {
    expectCount(args, 1, "info");
    const Bytes data = readFile(args[0]);
    if (!isPacked(data)) {
        out << "signature: none (raw image record)\n"
            << "raw length: " << data.size() << "\n";
    } else {
        const runtime::TGUID id = runtime::TGUID::FromBytes(data.data() + 6);
        const std::string text = runtime::GUIDToString(id);
        toolkit::TAbstractDIBCompressor* c = toolkit::FindDIBCompressor(text);
        const std::uint32_t length = std::uint32_t(data[22]) | (std::uint32_t(data[23]) << 8) |
                                     (std::uint32_t(data[24]) << 16) |
                                     (std::uint32_t(data[25]) << 24);
        out << "signature: DIBCMP\n"
            << "compressor: " << (c != nullptr ? c->GetDisplayName() : "unknown") << " " << text
            << "\n"
            << "raw length: " << length << "\n"
            << "payload length: " << data.size() - toolkit::kDIBHeaderLength << "\n";
    }
    try {
        const Bytes raw = unpack(data);
        const RecordSize size = CheckRecord(raw);
        out << "image: " << size.width << " x " << size.height << " pixels\n";
    } catch (const std::exception& e) {
        out << "image: none (" << e.what() << ")\n";
    }
    return 0;
}

int dispatch(std::vector<std::string> args, std::ostream& out) {
    if (args.empty()) throw UsageError{"no command given"};
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "pack") {
        toolkit::TAbstractDIBCompressor* c = takeCompressor(args);
        expectCount(args, 2, "pack");
        const Bytes raw = readFile(args[0]);
        const Bytes packed = pack(raw, c);
        writeFile(args[1], packed);
        reportPacked(out, raw.size(), packed, c);
        return 0;
    }
    if (command == "unpack") {
        expectCount(args, 2, "unpack");
        const Bytes raw = unpack(readFile(args[0]));
        writeFile(args[1], raw);
        out << "wrote a raw record of " << raw.size() << " bytes\n";
        return 0;
    }
    if (command == "info") return commandInfo(args, out);
    if (command == "from-png") {
        toolkit::TAbstractDIBCompressor* c = takeCompressor(args);
        expectCount(args, 2, "from-png");
        const Bytes raw = ReadPngAsRecord(args[0]);
        const Bytes packed = pack(raw, c);
        writeFile(args[1], packed);
        const RecordSize size = CheckRecord(raw);
        out << size.width << " x " << size.height << " pixels: ";
        reportPacked(out, raw.size(), packed, c);
        return 0;
    }
    if (command == "to-png") {
        expectCount(args, 2, "to-png");
        const Bytes raw = unpack(readFile(args[0]));
        WriteRecordAsPng(raw, args[1]);
        const RecordSize size = CheckRecord(raw);
        out << "wrote a PNG of " << size.width << " x " << size.height << " pixels\n";
        return 0;
    }
    if (command == "help" || command == "--help" || command == "-h") {
        out << kUsage;
        return 0;
    }
    throw UsageError{"unknown command '" + command + "'"};
}

} // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        return dispatch(args, out);
    } catch (const UsageError& e) {
        err << "dibpack: " << e.message << "\n" << kUsage;
        return 2;
    } catch (const std::exception& e) {
        err << "dibpack: error: " << e.what() << "\n";
        return 1;
    }
}

} // namespace dibpack
