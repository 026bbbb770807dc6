#include "runtime/SameText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Pair {
    std::string a, b;
    bool same;
};

} // namespace

TEST(SameText, OnlyLetterCaseMayDiffer) {
    const std::vector<Pair> pairs = {
        {"TransparentColor", "transparentcolor", true},
        {"tmoveabledib", "TMoveableDIB", true},
        {"", "", true},
        {"Data", "DataX", false}, // a prefix is not the name
        {"DataX", "Data", false},
        {"", "A", false},
        {"Scale", "Scalf", false},
        {"Duck1", "Duck2", false},
        {"[", "{", false}, // 32 apart like a letter pair, but not letters
        {"\xC4pfel", "\xC4PFEL", true},
        {"\xC4", "\xE4", false}, // bytes beyond ASCII compare as they are
        {std::string("a\0B", 3), std::string("A\0b", 3), true},
        {std::string("a\0b", 3), std::string("a\0c", 3), false}, // zero bytes do not end a name
    };
    for (const Pair& pair : pairs) {
        EXPECT_EQ(runtime::SameText(pair.a, pair.b), pair.same) << pair.a << " / " << pair.b;
        EXPECT_EQ(runtime::SameText(pair.b, pair.a), pair.same) << pair.b << " / " << pair.a;
    }
}
