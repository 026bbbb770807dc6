#include "runtime/GUID.h"
#include "runtime/Exception.h"

#include <gtest/gtest.h>

using namespace runtime;

TEST(GUID, StoredBytesUseLittleEndianFieldsThenBytesInOrder) {
    const TGUID g = StringToGUID("{BC0C10FC-E045-41E7-A37C-B86AF21320B8}");
    const std::array<std::uint8_t, 16> stored = {0xFC, 0x10, 0x0C, 0xBC, 0x45, 0xE0, 0xE7, 0x41,
                                                 0xA3, 0x7C, 0xB8, 0x6A, 0xF2, 0x13, 0x20, 0xB8};
    EXPECT_EQ(g.ToBytes(), stored);
    EXPECT_EQ(TGUID::FromBytes(stored.data()), g);
    EXPECT_EQ(GUIDToString(TGUID::FromBytes(stored.data())),
              "{BC0C10FC-E045-41E7-A37C-B86AF21320B8}");
}

TEST(GUID, TextIsUpperCaseCanonicalEvenWhenParsedFromLowerCase) {
    const TGUID g = StringToGUID("{caba9056-7349-43a4-b010-3764fbfac230}");
    EXPECT_EQ(GUIDToString(g), "{CABA9056-7349-43A4-B010-3764FBFAC230}");
}

TEST(GUID, MalformedTextsAreRejected) {
    for (const char* bad :
         {"", "{}", "CABA9056-7349-43A4-B010-3764FBFAC230", "{CABA9056-7349-43A4-B010-3764FBFAC23}",
          "{CABA9056-7349-43A4-B010-3764FBFAC2301}", "{CABA9056+7349-43A4-B010-3764FBFAC230}",
          "{CABA905G-7349-43A4-B010-3764FBFAC230}", "(CABA9056-7349-43A4-B010-3764FBFAC230)"}) {
        EXPECT_FALSE(TryStringToGUID(bad).has_value()) << bad;
    }
    try {
        StringToGUID("nope");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'nope' is not a valid GUID value");
    }
}

TEST(GUID, CreatedIdentifiersAreVersionFourAndDistinct) {
    const TGUID a = CreateGUID();
    const TGUID b = CreateGUID();
    EXPECT_NE(a, b);
    EXPECT_EQ(a.D3 >> 12, 4);
    EXPECT_EQ(a.D4[0] & 0xC0, 0x80);
    EXPECT_EQ(StringToGUID(GUIDToString(a)), a);
}
