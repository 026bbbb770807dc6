// wadling-artwork: draws the editor's ten pictures at every density and writes, for each, the
// PNG and the packed "DIB LZH" stream that the editor library embeds (100 % in OUTPUT_FOLDER,
// the others in OUTPUT_FOLDER/<percent>); also a preview of the whole window at 100 %.
//
//   wadling-artwork OUTPUT_FOLDER [PREVIEW.png]

#include "Pictures.h"
#include "PngRecord.h"
#include "Text.h"

#include "editor/art/ArtScale.h"
#include "runtime/Streams.h"
#include "toolkit/cDIB.h"
#include "toolkit/cDIBSettings.h"
#include "toolkit/cDIBStandardCompressors.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>

namespace {

// Exactly what a form stores for a surface's Data with "DIB LZH" chosen in the settings.
std::vector<std::uint8_t> packedData(const std::vector<std::uint8_t>& record) {
    toolkit::TDIBSettings settings(nullptr);
    settings.SetDIBCompressor(toolkit::kLZHCompressorGUID);
    runtime::TMemoryStream raw;
    raw.WriteBuffer(record.data(), record.size());
    raw.SetPosition(0);
    toolkit::TMemoryDIB image;
    image.ReadData(raw);
    runtime::TMemoryStream packed;
    image.WriteData(packed);
    return {packed.Memory(), packed.Memory() + packed.Size()};
}

void writeFile(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
    runtime::TFileStream out(file.string(), runtime::TFileMode::fmCreate);
    out.WriteBuffer(bytes.data(), bytes.size());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: wadling-artwork OUTPUT_FOLDER [PREVIEW.png]\n";
        return 2;
    }
    try {
        if (!dibpack::HavePng())
            throw artwork::ArtError("this build has no PNG support (libpng not found)");
        for (int percent : editorart::kScales) {
            std::filesystem::path folder = argv[1];
            if (percent != 100) folder /= std::to_string(percent);
            std::filesystem::create_directories(folder);
            const std::vector<artwork::Canvas> pictures = artwork::DrawPictures(percent);
            std::size_t total = 0, totalRaw = 0;
            for (int i = 0; i < artwork::kPictureCount; ++i) {
                const artwork::PictureInfo& info = artwork::kPictures[i];
                const std::vector<std::uint8_t> record = pictures[i].Record();
                const std::vector<std::uint8_t> packed = packedData(record);
                dibpack::WriteRecordAsPng(record, folder / (std::string(info.fileStem) + ".png"));
                writeFile(folder / (std::string(info.fileStem) + ".dibz"), packed);
                total += packed.size();
                totalRaw += record.size();
                std::printf("%3d %% %d %-12s %5d x %3d  raw %9zu  packed %8zu\n", percent, i,
                            info.displayName, pictures[i].Width(), pictures[i].Height(),
                            record.size(), packed.size());
            }
            std::printf("%3d %% raw total %zu bytes, packed total %zu bytes\n", percent, totalRaw,
                        total);
            if (argc == 3 && percent == 100)
                dibpack::WriteRecordAsPng(artwork::DrawPreview(pictures).Record(), argv[2]);
        }
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "wadling-artwork: " << e.what() << "\n";
        return 1;
    }
}
