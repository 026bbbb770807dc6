#include "ControlsFixture.h"

#include "toolkit/cDIBFeatures.h"
#include "toolkit/cDIBImage.h"

#include <cstring>
#include <string>
#include <vector>

namespace toolkit::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

/// Stored parameters written by hand from the documented layout.
class Stored {
public:
    explicit Stored(const std::string& className) {
        add("WDF1", 4);
        u16(static_cast<std::uint16_t>(className.size()));
        add(className.data(), className.size());
    }
    Stored& ordinal(const std::string& name, std::int64_t value) {
        Bytes v;
        for (int i = 0; i < 8; ++i)
            v.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i)));
        return record(name, 1, v);
    }
    Stored& text(const std::string& name, const std::string& value) {
        return record(name, 3, Bytes(value.begin(), value.end()));
    }
    Stored& record(const std::string& name, std::uint8_t kind, const Bytes& value) {
        records_.push_back(static_cast<std::uint8_t>(name.size()));
        records_.insert(records_.end(), name.begin(), name.end());
        records_.push_back(kind);
        for (int i = 0; i < 4; ++i)
            records_.push_back(static_cast<std::uint8_t>(value.size() >> (8 * i)));
        records_.insert(records_.end(), value.begin(), value.end());
        ++count_;
        return *this;
    }
    Bytes bytes() const {
        Bytes out = head_;
        out.push_back(static_cast<std::uint8_t>(count_));
        out.push_back(static_cast<std::uint8_t>(count_ >> 8));
        out.insert(out.end(), records_.begin(), records_.end());
        return out;
    }

private:
    void add(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        head_.insert(head_.end(), b, b + n);
    }
    void u16(std::uint16_t v) {
        head_.push_back(static_cast<std::uint8_t>(v));
        head_.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    Bytes head_, records_;
    int count_ = 0;
};

/// The number of property records stored bytes declare.
int recordCount(const Bytes& bytes) {
    const std::size_t at = 6 + (bytes[4] | bytes[5] << 8);
    return bytes[at] | bytes[at + 1] << 8;
}

class FeatureParametersTest : public ControlsTest {
protected:
    TDIBFeatureItem* newItem() { return DIBFeaturesOf(*make<TDIBImage>(0, 0)).Add(); }
    static TMoveableDIB* moveable(TDIBFeatureItem* item) {
        return dynamic_cast<TMoveableDIB*>(item->Feature());
    }
};

TEST_F(FeatureParametersTest, RoundTripKeepsClassAndNonDefaultProperties) {
    TDIBFeatureItem* item = newItem();
    EXPECT_TRUE(item->DIBFeatureParameters().empty()) << "nothing stored without a feature";
    item->SetFeatureClassName("TMoveableDIB");
    EXPECT_EQ(recordCount(item->DIBFeatureParameters()), 0);
    moveable(item)->SetAllowHorizontal(false);
    EXPECT_EQ(recordCount(item->DIBFeatureParameters()), 1) << "the figures' form";
    moveable(item)->SetSnapSize(5);
    moveable(item)->SetMouseButtons(MouseButtonBit(runtime::TMouseButton::mbRight) |
                                    MouseButtonBit(runtime::TMouseButton::mbMiddle));
    const Bytes stored = item->DIBFeatureParameters();
    EXPECT_EQ(recordCount(stored), 3);

    TDIBFeatureItem* copy = newItem();
    copy->LoadFeatureParameters(stored.data(), stored.size());
    ASSERT_NE(moveable(copy), nullptr);
    EXPECT_FALSE(moveable(copy)->AllowHorizontal());
    EXPECT_TRUE(moveable(copy)->AllowVertical());
    EXPECT_EQ(moveable(copy)->SnapSize(), 5);
    EXPECT_EQ(moveable(copy)->BorderSize(), 0);
    EXPECT_EQ(moveable(copy)->MouseButtons(), moveable(item)->MouseButtons());
    EXPECT_EQ(copy->DIBFeatureParameters(), stored);
}

TEST_F(FeatureParametersTest, StoredBytesWaitForTheEndOfLoading) {
    auto* figure = make<TDIBImage>(50, 50);
    figure->SetBounds(50, 50, 20, 20);
    figure->IncludeState(runtime::csLoading);
    TDIBFeatureItem* item = DIBFeaturesOf(*figure).Add();
    item->SetDIBFeatureParameters(Stored("TMoveableDIB").ordinal("AllowVertical", 0).bytes());
    EXPECT_EQ(item->Feature(), nullptr);
    figure->Loaded();
    ASSERT_NE(moveable(item), nullptr);
    EXPECT_FALSE(moveable(item)->AllowVertical());
    EXPECT_EQ(moveable(item)->Control(), figure);
    // And the feature works: only horizontal movement.
    drag(55, 55, 5, 5);
    EXPECT_EQ(figure->Left(), 55);
    EXPECT_EQ(figure->Top(), 50);
}

TEST_F(FeatureParametersTest, DamagedBytesRaiseAndLeaveTheItemAsItWas) {
    TDIBFeatureItem* item = newItem();
    item->SetFeatureClassName("THighlightDIB");
    TDIBFeature* before = item->Feature();
    const Bytes good = Stored("TMoveableDIB").ordinal("SnapSize", 4).text("Extra", "xyz").bytes();
    for (std::size_t n = 0; n < good.size(); ++n) {
        try {
            item->LoadFeatureParameters(good.data(), n);
            ADD_FAILURE() << "cut at " << n;
        } catch (const EFeatureError& e) {
            EXPECT_STREQ(e.what(), "Damaged feature parameters") << n;
        }
    }
    Bytes trailing = good;
    trailing.push_back(0);
    Bytes badSignature = good;
    badSignature[3] = '2';
    Bytes longName = Stored(std::string(300, 'T')).bytes();
    Bytes noName = Stored("").bytes(); // never written: an item without a feature stores nothing
    Bytes emptyPropertyName = Stored("TMoveableDIB").ordinal("", 1).bytes();
    Bytes hugeValue = Stored("TMoveableDIB").ordinal("SnapSize", 4).bytes();
    std::memset(hugeValue.data() + hugeValue.size() - 12, 0xFF, 4); // value size 4 GiB
    for (const Bytes* bad :
         {&trailing, &badSignature, &longName, &noName, &emptyPropertyName, &hugeValue})
        EXPECT_THROW(item->LoadFeatureParameters(bad->data(), bad->size()), EFeatureError);
    EXPECT_THROW(item->LoadFeatureParameters(nullptr, 20), EFeatureError);
    EXPECT_EQ(item->Feature(), before);
    EXPECT_EQ(item->FeatureClassName(), "THighlightDIB");
}

TEST_F(FeatureParametersTest, UnregisteredClassIsNamedInTheError) {
    TDIBFeatureItem* item = newItem();
    const Bytes bytes = Stored("TNope").ordinal("SnapSize", 4).bytes();
    try {
        item->LoadFeatureParameters(bytes.data(), bytes.size());
        ADD_FAILURE();
    } catch (const EFeatureError& e) {
        EXPECT_STREQ(e.what(), "TNope has not been registered");
    }
    EXPECT_EQ(item->Feature(), nullptr);
}

TEST_F(FeatureParametersTest, RecordsThatDoNotFitArePassedOver) {
    TDIBFeatureItem* item = newItem();
    const Bytes bytes = Stored("tmoveabledib")
                            .ordinal("Unknown", 3)
                            .text("SnapSize", "7")                // wrong kind
                            .record("BorderSize", 1, Bytes(4, 9)) // wrong size
                            .ordinal("SnapSize", 300)             // beyond a byte
                            .ordinal("AllowVertical", 2)          // not a Boolean
                            .record("AllowVertical", 9, Bytes(8)) // unknown kind
                            .text("Name", "Renamed")              // not the feature's own
                            .ordinal("Tag", 5)
                            .ordinal("snapsize", 3) // names are case-blind
                            .ordinal("AllowHorizontal", 0)
                            .bytes();
    item->LoadFeatureParameters(bytes.data(), bytes.size());
    ASSERT_NE(moveable(item), nullptr);
    EXPECT_EQ(item->FeatureClassName(), "TMoveableDIB");
    EXPECT_EQ(moveable(item)->SnapSize(), 3);
    EXPECT_EQ(moveable(item)->BorderSize(), 0);
    EXPECT_TRUE(moveable(item)->AllowVertical());
    EXPECT_FALSE(moveable(item)->AllowHorizontal());
    EXPECT_EQ(moveable(item)->Name(), "");
    EXPECT_EQ(moveable(item)->Tag(), 0);
}

TEST_F(FeatureParametersTest, ColoursWithTheTopBitSetRoundTrip) {
    TDIBFeatureItem* item = newItem();
    item->SetFeatureClassName("TShapeableDIB");
    static_cast<TShapeableDIB*>(item->Feature())->SetTransparentColor(0xFF00FF01u);
    const Bytes stored = item->DIBFeatureParameters();
    TDIBFeatureItem* copy = newItem();
    copy->LoadFeatureParameters(stored.data(), stored.size());
    auto* shape = dynamic_cast<TShapeableDIB*>(copy->Feature());
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->TransparentColor(), 0xFF00FF01u);
    EXPECT_EQ(copy->DIBFeatureParameters(), stored);

    // The signed reading of the same bits means the same colour; wider values are passed over.
    const Bytes signedColour =
        Stored("TShapeableDIB").ordinal("TransparentColor", -16711935).bytes();
    copy->LoadFeatureParameters(signedColour.data(), signedColour.size());
    EXPECT_EQ(static_cast<TShapeableDIB*>(copy->Feature())->TransparentColor(), 0xFF00FF01u);
    const Bytes wide = Stored("TShapeableDIB").ordinal("TransparentColor", 1LL << 32).bytes();
    copy->LoadFeatureParameters(wide.data(), wide.size());
    EXPECT_EQ(static_cast<TShapeableDIB*>(copy->Feature())->TransparentColor(),
              TShapeableDIB(nullptr).TransparentColor());
}

TEST_F(FeatureParametersTest, AssignCopiesEnabledClassAndProperties) {
    TDIBFeatureItem* item = newItem();
    item->SetFeatureClassName("TShapeableDIB");
    auto* shape = static_cast<TShapeableDIB*>(item->Feature());
    shape->SetMaskLevel(40);
    shape->SetTransparentColor(0x123456);
    item->SetEnabled(false);
    TDIBFeatureItem* copy = newItem();
    copy->SetFeatureClassName("TMoveableDIB");
    copy->Assign(item);
    auto* copied = dynamic_cast<TShapeableDIB*>(copy->Feature());
    ASSERT_NE(copied, nullptr);
    EXPECT_NE(copied, shape);
    EXPECT_FALSE(copy->Enabled());
    EXPECT_EQ(copied->MaskLevel(), 40);
    EXPECT_EQ(copied->TransparentColor(), 0x123456u);
    EXPECT_FALSE(copied->TransparentMode());
    EXPECT_EQ(copied->Control(), copy->Collection()->Owner());
}

} // namespace
} // namespace toolkit::testing
