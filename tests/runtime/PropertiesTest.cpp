#include "runtime/Properties.h"
#include "runtime/Controls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace runtime;

namespace {

enum class TDrawStyle { dsTile, dsStretch };

class TOffset : public TPersistent {
public:
    std::string ClassName() const override { return "TOffset"; }
    int X = 0;
};

class TGauge : public TGraphicControl {
public:
    explicit TGauge(TComponent* owner) : TGraphicControl(owner) {
        static const bool published = [] {
            PublishClass<TGauge>("TGauge", "TGraphicControl")
                .Float("Angle", &TGauge::Angle, &TGauge::SetAngle)
                .Enumeration("DrawStyle", "TDrawStyle", {"dsTile", "dsStretch"}, &TGauge::DrawStyle,
                             &TGauge::SetDrawStyle)
                .SetOf("Buttons", "TMouseButtons", &TGauge::Buttons, &TGauge::SetButtons)
                .Integer("Opacity", &TGauge::Opacity, &TGauge::SetOpacity, "Byte")
                .String("Label", &TGauge::Label, &TGauge::SetLabel)
                .Object("Offset", "TOffset", &TGauge::Offset)
                .Integer("Frames", &TGauge::Frames, nullptr);
            return true;
        }();
        (void)published;
    }
    std::string ClassName() const override { return "TGauge"; }

    long double Angle() const { return angle_; }
    void SetAngle(long double v) { angle_ = v; }
    TDrawStyle DrawStyle() const { return style_; }
    void SetDrawStyle(TDrawStyle v) { style_ = v; }
    std::uint8_t Buttons() const { return buttons_; }
    void SetButtons(std::uint8_t v) { buttons_ = v; }
    std::uint8_t Opacity() const { return opacity_; }
    void SetOpacity(std::uint8_t v) { opacity_ = v; }
    const std::string& Label() const { return label_; }
    void SetLabel(const std::string& v) { label_ = v; }
    TOffset* Offset() { return &offset_; }
    int Frames() const { return 27; }

private:
    long double angle_ = 0;
    TDrawStyle style_ = TDrawStyle::dsTile;
    std::uint8_t buttons_ = 0;
    std::uint8_t opacity_ = 255;
    std::string label_;
    TOffset offset_;
};

// Adds nothing but redeclares Width: it must appear once, where the base put it.
class TWideGauge : public TGauge {
public:
    explicit TWideGauge(TComponent* owner) : TGauge(owner) {
        static const bool published = [] {
            PublishClass<TWideGauge>("TWideGauge", "TGauge")
                .Integer("Width", &TWideGauge::DoubledWidth, &TWideGauge::SetHalfWidth);
            return true;
        }();
        (void)published;
    }
    std::string ClassName() const override { return "TWideGauge"; }
    int DoubledWidth() const { return Width() * 2; }
    void SetHalfWidth(int v) { SetWidth(v / 2); }
};

std::vector<std::string> names(const TPersistent& instance) {
    std::vector<std::string> list;
    for (const TPropInfo* info : GetPropList(instance))
        list.push_back(info->Name);
    return list;
}

} // namespace

TEST(PropertyRegistry, PropertiesAreSetAndReadByNameWhateverTheCase) {
    TGauge gauge(nullptr);
    SetOrdProp(gauge, "width", 46);
    SetOrdProp(gauge, "Visible", 0);
    SetFloatProp(gauge, "ANGLE", 12.5L);
    SetOrdProp(gauge, "DrawStyle", 1);
    SetOrdProp(gauge, "Buttons", 0b101);
    SetOrdProp(gauge, "Opacity", 0x1FF); // the setter's own type cuts it to a byte
    SetStrProp(gauge, "Label", "Lo");
    EXPECT_EQ(gauge.Width(), 46);
    EXPECT_FALSE(gauge.Visible());
    EXPECT_EQ(gauge.Angle(), 12.5L);
    EXPECT_EQ(gauge.DrawStyle(), TDrawStyle::dsStretch);
    EXPECT_EQ(GetOrdProp(gauge, "Buttons"), 0b101);
    EXPECT_EQ(gauge.Opacity(), 0xFF);
    EXPECT_EQ(GetStrProp(gauge, "label"), "Lo");
    EXPECT_EQ(GetEnumProp(gauge, "DrawStyle"), "dsStretch");
    EXPECT_EQ(GetEnumProp(gauge, "Visible"), "False");
    EXPECT_EQ(GetObjectProp(gauge, "Offset"), gauge.Offset());
}

TEST(PropertyRegistry, KindsAndTypeNamesAreWhatTheClassDeclared) {
    TGauge gauge(nullptr);
    const TPropInfo* visible = GetPropInfo(gauge, "Visible");
    ASSERT_NE(visible, nullptr);
    EXPECT_EQ(visible->Kind, TTypeKind::tkEnumeration);
    EXPECT_EQ(visible->TypeName, "Boolean");
    EXPECT_EQ(GetPropInfo(gauge, "Angle")->Kind, TTypeKind::tkFloat);
    EXPECT_EQ(GetPropInfo(gauge, "Buttons")->Kind, TTypeKind::tkSet);
    EXPECT_EQ(GetPropInfo(gauge, "Offset")->Kind, TTypeKind::tkClass);
    EXPECT_EQ(GetPropInfo(gauge, "Opacity")->TypeName, "Byte");
    EXPECT_TRUE(InheritsFromClass("TGauge", "tcontrol"));
    EXPECT_FALSE(InheritsFromClass("TControl", "TGauge"));
}

TEST(PropertyRegistry, DerivedClassesSeeTheirBasesPropertiesFirst) {
    TWideGauge wide(nullptr);
    const auto list = names(wide);
    const auto at = [&](const std::string& n) {
        return std::find(list.begin(), list.end(), n) - list.begin();
    };
    EXPECT_EQ(std::count(list.begin(), list.end(), "Width"), 1);
    EXPECT_LT(at("Name"), at("Left"));   // TComponent before TControl
    EXPECT_LT(at("Width"), at("Angle")); // TControl's place kept
    EXPECT_LT(at("Visible"), at("Angle"));
    SetOrdProp(wide, "Width", 100); // the derived setter
    EXPECT_EQ(wide.Width(), 50);
    EXPECT_EQ(GetOrdProp(wide, "Width"), 100);
    TGauge plain(nullptr);
    SetOrdProp(plain, "Width", 100);
    EXPECT_EQ(plain.Width(), 100);
}

TEST(PropertyRegistry, WrongNamesKindsAndReadOnlyPropertiesAreClearErrors) {
    TGauge gauge(nullptr);
    EXPECT_THROW(SetOrdProp(gauge, "Colour", 1), EPropertyError);
    EXPECT_THROW(SetStrProp(gauge, "Width", "1"), EPropertyError);
    EXPECT_THROW(GetFloatProp(gauge, "Label"), EPropertyError);
    EXPECT_THROW(SetOrdProp(gauge, "Frames", 3), EPropertyError);
    EXPECT_EQ(GetOrdProp(gauge, "Frames"), 27);
    EXPECT_FALSE(GetPropInfo(gauge, "Frames")->Writable());
    // A class that never registered has no properties, not its parent's by accident.
    struct TUnpublished : TGauge {
        using TGauge::TGauge;
        std::string ClassName() const override { return "TUnpublished"; }
    } unpublished(nullptr);
    EXPECT_FALSE(IsPublishedProp(unpublished, "Width"));
    EXPECT_TRUE(GetPropList(unpublished).empty());
}
