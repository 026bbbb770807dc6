#include "editor/art/EditorArt.h"

// Each packed file lands in read-only data (the build names the section for the object format)
// between two labels; the labels stay local to this object, so the plug-in exports nothing
// new. The directives end in the text section, where the compiler's own output continues.
#define WADLING_EMBED(n, stem)                                                                     \
    __asm__(".section " WADLING_ART_SECTION "\n"                                                   \
            ".balign 16\n"                                                                         \
            "wadling_art_" #n "_begin:\n"                                                          \
            ".incbin \"" WADLING_ART_DIR "/" stem ".dibz\"\n"                                      \
            "wadling_art_" #n "_end:\n"                                                            \
            ".text\n");                                                                            \
    extern "C" const std::uint8_t wadlingArt##n##Begin[] __asm__("wadling_art_" #n "_begin");      \
    extern "C" const std::uint8_t wadlingArt##n##End[] __asm__("wadling_art_" #n "_end");

WADLING_EMBED(0, "00-wadling")
WADLING_EMBED(1, "01-eq")
WADLING_EMBED(2, "02-mix")
WADLING_EMBED(3, "03-compression")
WADLING_EMBED(4, "04-banner")
WADLING_EMBED(5, "05-listen")
WADLING_EMBED(6, "06-wadling1")
WADLING_EMBED(7, "07-wadling2")
WADLING_EMBED(8, "08-wadling3")
WADLING_EMBED(9, "09-wadling4")

namespace editorart {

namespace {

struct Range {
    const std::uint8_t* begin;
    const std::uint8_t* end;
};

const Range kPacked[kImageCount] = {
    {wadlingArt0Begin, wadlingArt0End}, {wadlingArt1Begin, wadlingArt1End},
    {wadlingArt2Begin, wadlingArt2End}, {wadlingArt3Begin, wadlingArt3End},
    {wadlingArt4Begin, wadlingArt4End}, {wadlingArt5Begin, wadlingArt5End},
    {wadlingArt6Begin, wadlingArt6End}, {wadlingArt7Begin, wadlingArt7End},
    {wadlingArt8Begin, wadlingArt8End}, {wadlingArt9Begin, wadlingArt9End},
};

} // namespace

std::span<const std::uint8_t> packedImage(int index) {
    if (index < 0 || index >= kImageCount) return {};
    return {kPacked[index].begin, kPacked[index].end};
}

} // namespace editorart
