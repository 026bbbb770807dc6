#include "editor/art/EditorArt.h"

#include "editor/art/ArtScale.h"

// Each packed file lands in read-only data (the build names the section for the object format)
// between two labels; the labels stay local to this object, so the plug-in exports nothing
// new. The directives end in the text section, where the compiler's own output continues.
#define WADLING_EMBED(id, file)                                                                    \
    __asm__(".section " WADLING_ART_SECTION "\n"                                                   \
            ".balign 16\n"                                                                         \
            "wadling_art_" #id "_begin:\n"                                                         \
            ".incbin \"" WADLING_ART_DIR "/" file ".dibz\"\n"                                      \
            "wadling_art_" #id "_end:\n"                                                           \
            ".text\n");                                                                            \
    extern "C" const std::uint8_t wadlingArt##id##Begin[] __asm__("wadling_art_" #id "_begin");    \
    extern "C" const std::uint8_t wadlingArt##id##End[] __asm__("wadling_art_" #id "_end");

// 100 % beside the sources, the other densities in folders named by their percent.
#define WADLING_EMBED_SET(prefix, folder)                                                          \
    WADLING_EMBED(prefix##0, folder "00-wadling")                                                  \
    WADLING_EMBED(prefix##1, folder "01-eq")                                                       \
    WADLING_EMBED(prefix##2, folder "02-mix")                                                      \
    WADLING_EMBED(prefix##3, folder "03-compression")                                              \
    WADLING_EMBED(prefix##4, folder "04-banner")                                                   \
    WADLING_EMBED(prefix##5, folder "05-listen")                                                   \
    WADLING_EMBED(prefix##6, folder "06-wadling1")                                                 \
    WADLING_EMBED(prefix##7, folder "07-wadling2")                                                 \
    WADLING_EMBED(prefix##8, folder "08-wadling3")                                                 \
    WADLING_EMBED(prefix##9, folder "09-wadling4")

WADLING_EMBED_SET(s100_, "")
WADLING_EMBED_SET(s150_, "150/")
WADLING_EMBED_SET(s200_, "200/")

namespace editorart {

namespace {

struct Range {
    const std::uint8_t* begin;
    const std::uint8_t* end;
};

#define WADLING_RANGE(prefix, n)                                                                   \
    { wadlingArt##prefix##n##Begin, wadlingArt##prefix##n##End }
#define WADLING_RANGES(prefix)                                                                     \
    {                                                                                              \
        WADLING_RANGE(prefix, 0), WADLING_RANGE(prefix, 1), WADLING_RANGE(prefix, 2),              \
            WADLING_RANGE(prefix, 3), WADLING_RANGE(prefix, 4), WADLING_RANGE(prefix, 5),          \
            WADLING_RANGE(prefix, 6), WADLING_RANGE(prefix, 7), WADLING_RANGE(prefix, 8),          \
            WADLING_RANGE(prefix, 9)                                                               \
    }

// In the order of kScales.
const Range kPacked[kScales.size()][kImageCount] = {
    WADLING_RANGES(s100_),
    WADLING_RANGES(s150_),
    WADLING_RANGES(s200_),
};

} // namespace

std::span<const std::uint8_t> packedImage(int index, int percent) {
    if (index < 0 || index >= kImageCount) return {};
    for (std::size_t s = 0; s < kScales.size(); ++s)
        if (kScales[s] == percent) return {kPacked[s][index].begin, kPacked[s][index].end};
    return {};
}

} // namespace editorart
