#pragma once
// Features: small behaviour objects that a toolkit control carries in its DIBFeatures
// collection; each sees the control's messages before the control does. TMoveableDIB drags the
// control with the mouse, THighlightDIB changes its opacity while the pointer is over it, and
// TShapeableDIB limits its hit area to its visible pixels. Feature classes are found by name
// in a registry. The Children list (TControlList) holds the controls that move with a control.
//
// Stored feature parameters (DIBFeatureParameters of an item; untrusted when read back):
//   signature  4 bytes "WDF1"
//   class      uint16 LE length (0..255), then the class name bytes; length 0: no feature
//   P          uint16 LE number of property records, then P records of
//                uint8 name length (1..255), the property name bytes,
//                uint8 kind: 1 ordinal (value: int64 LE), 2 float (value: IEEE double LE),
//                            3 text (value: the bytes),
//                uint32 LE value size, the value bytes.
// A feature writes only the published properties whose value differs from that of a fresh
// feature of its class, in the order the class publishes them. Reading: a wrong signature, a
// length or size beyond the bytes left, or bytes after the last record raise EFeatureError
// "Damaged feature parameters"; an unregistered class raises EFeatureError "<name> has not been
// registered"; a record naming an unknown or read-only property, of another kind than the
// property's, or with an ordinal or float value not 8 bytes long, is skipped.

#include "runtime/Collections.h"
#include "runtime/Components.h"
#include "runtime/Controls.h"
#include "runtime/Exception.h"
#include "runtime/Messages.h"
#include "toolkit/cDIB.h"
#include "toolkit/cDIBControl.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace toolkit {

class EFeatureError : public runtime::Exception {
public:
    using Exception::Exception;
};

/// A behaviour a control carries. Its owner is the control it acts on.
class TDIBFeature : public runtime::TComponent {
public:
    explicit TDIBFeature(runtime::TComponent* owner);
    std::string ClassName() const override { return "TDIBFeature"; }

    /// The control the feature acts on.
    runtime::TControl* Control() const { return control_; }
    void SetControl(runtime::TControl* control) { control_ = control; }

    virtual bool CanApplyTo(runtime::TControl* control) const;
    virtual std::string GetFeatureName() const { return "Unknown feature"; }
    /// Sees a message of the control before the control does; setting `handled` stops it there.
    virtual void ProcessMessage(runtime::TMessage& message, bool& handled);

    /// From a feature of the same class: every published property.
    void Assign(const runtime::TPersistent* source) override;

private:
    runtime::TControl* control_ = nullptr;
};

/// Mouse buttons as a set (bit i is TMouseButton value i).
using TMouseButtons = std::uint8_t;
constexpr TMouseButtons MouseButtonBit(runtime::TMouseButton button) {
    return static_cast<TMouseButtons>(1u << static_cast<unsigned>(button));
}

/// Drags its control with the mouse (the grabbed point follows the pointer) and moves it by
/// SnapSize with the arrow keys. Never marks a message handled.
class TMoveableDIB : public TDIBFeature {
public:
    explicit TMoveableDIB(runtime::TComponent* owner) : TDIBFeature(owner) {}
    std::string ClassName() const override { return "TMoveableDIB"; }
    std::string GetFeatureName() const override { return "Moveable DIB"; }
    void ProcessMessage(runtime::TMessage& message, bool& handled) override;

    bool AllowVertical() const { return allowVertical_; }
    void SetAllowVertical(bool value) { allowVertical_ = value; }
    bool AllowHorizontal() const { return allowHorizontal_; }
    void SetAllowHorizontal(bool value) { allowHorizontal_ = value; }
    std::uint8_t BorderSize() const { return borderSize_; }
    void SetBorderSize(std::uint8_t value) { borderSize_ = value; }
    /// Above 1, a drag moves by whole multiples of it (truncated towards zero).
    std::uint8_t SnapSize() const { return snapSize_; }
    void SetSnapSize(std::uint8_t value) { snapSize_ = value; }
    /// The buttons that start a drag (default the left one).
    TMouseButtons MouseButtons() const { return mouseButtons_; }
    void SetMouseButtons(TMouseButtons value) { mouseButtons_ = value & 7; }
    bool Dragging() const { return dragging_; }

private:
    void keyDown(int key);
    void mouseMove(int x, int y);
    void buttonDown(int button, int x, int y);

    bool dragging_ = false;
    int startLeft_ = 0, startTop_ = 0;
    int grabX_ = 0, grabY_ = 0;
    bool allowVertical_ = true;
    bool allowHorizontal_ = true;
    std::uint8_t borderSize_ = 0;
    std::uint8_t snapSize_ = 1;
    TMouseButtons mouseButtons_ = MouseButtonBit(runtime::TMouseButton::mbLeft);
    std::uint8_t dragButton_ = 0;
};

/// Sets its toolkit control's Opacity to HighlightOpacity while the pointer is over it (or it
/// has the focus), and puts the old one back afterwards.
class THighlightDIB : public TDIBFeature {
public:
    explicit THighlightDIB(runtime::TComponent* owner) : TDIBFeature(owner) {}
    std::string ClassName() const override { return "THighlightDIB"; }
    std::string GetFeatureName() const override { return "Highlight dib"; }
    void ProcessMessage(runtime::TMessage& message, bool& handled) override;

    std::uint8_t HighlightOpacity() const { return highlightOpacity_; }
    void SetHighlightOpacity(std::uint8_t value) { highlightOpacity_ = value; }

private:
    void highlight();
    void restore();

    bool highlighted_ = false;
    std::uint8_t savedOpacity_ = 255;
    std::uint8_t highlightOpacity_ = 255;
};

/// Answers the hit test of its toolkit control from the control's visible pixels: from alpha
/// above MaskLevel when MaskLevel > 0, else from every pixel that is not the transparent colour
/// (TransparentColor with TransparentMode, else the bottom-left pixel). The region is rebuilt
/// whenever the control's paint stamp has changed.
class TShapeableDIB : public TDIBFeature {
public:
    explicit TShapeableDIB(runtime::TComponent* owner);
    ~TShapeableDIB() override;
    std::string ClassName() const override { return "TShapeableDIB"; }
    std::string GetFeatureName() const override { return "Shapeable DIB"; }
    void ProcessMessage(runtime::TMessage& message, bool& handled) override;

    TColor TransparentColor() const { return transparentColor_; }
    void SetTransparentColor(TColor value) { transparentColor_ = value; }
    bool TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(bool value) { transparentMode_ = value; }
    std::uint8_t MaskLevel() const { return maskLevel_; }
    void SetMaskLevel(std::uint8_t value) { maskLevel_ = value; }

    /// The region of the last build (control coordinates); empty: none, every point hits.
    const TDIBRegion& HitRegion() const { return region_; }
    /// How many times the region has been built.
    int RegionBuilds() const { return builds_; }

private:
    void rebuild(TCustomDIBControl& control);

    TDIBRegion region_;
    TColor transparentColor_ = 0;
    bool transparentMode_ = false;
    std::uint8_t maskLevel_ = 0;
    std::uint32_t stamp_ = 1234;
    int builds_ = 0;
};

using TDIBFeatureFactory = std::function<std::unique_ptr<TDIBFeature>(runtime::TComponent* owner)>;

struct TDIBFeatureClass {
    std::string ClassName;
    TDIBFeatureFactory Create;
};

/// Appends a feature class (its properties must be published under className). The registry
/// starts with TMoveableDIB, THighlightDIB and TShapeableDIB.
void RegisterDIBFeature(const std::string& className, TDIBFeatureFactory create);
template <class T>
void RegisterDIBFeature(const std::string& className) {
    RegisterDIBFeature(className, [](runtime::TComponent* owner) -> std::unique_ptr<TDIBFeature> {
        return std::make_unique<T>(owner);
    });
}
/// The most recently registered class of this name (case-blind), or null.
const TDIBFeatureClass* FindDIBFeature(std::string_view className);

class TDIBFeatures;

/// One feature of a control: its class by name, the feature object, and whether it runs.
class TDIBFeatureItem : public runtime::TCollectionItem {
public:
    explicit TDIBFeatureItem(runtime::TCollection* collection);
    ~TDIBFeatureItem() override;
    std::string ClassName() const override { return "TDIBFeatureItem"; }
    /// The feature's name, or "DIB feature" without one.
    std::string DisplayName() const override;

    TDIBFeature* Feature() const { return feature_.get(); }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }
    const std::string& FeatureClassName() const { return className_; }
    /// An unregistered, non-empty name raises EFeatureError "<name> has not been registered"
    /// and changes nothing. Otherwise the old feature goes, and a registered class gets a new
    /// feature acting on the collection's control.
    void SetFeatureClassName(const std::string& name);
    /// A free text with no behaviour of its own.
    const std::string& FeatureParameters() const { return parameters_; }
    void SetFeatureParameters(const std::string& value) { parameters_ = value; }

    /// The stored form of the class and the feature's non-default properties (see the top of
    /// this file); empty when there is no feature.
    std::vector<std::uint8_t> DIBFeatureParameters() const;
    /// Keeps stored bytes; they are applied when the control has been loaded (at once when it
    /// already is).
    void SetDIBFeatureParameters(std::vector<std::uint8_t> bytes);
    /// Applies kept bytes: the class, then the properties (EFeatureError on damage, see the top
    /// of this file). Nothing when none are kept.
    void ApplyStoredParameters();
    /// Reads stored bytes into this item now.
    void LoadFeatureParameters(const std::uint8_t* data, std::size_t size);

    /// From another item: Enabled, the class (making the feature) and the feature's properties.
    void Assign(const runtime::TPersistent* source) override;

private:
    TDIBFeatures* features() const;

    std::vector<std::uint8_t> stored_;
    std::string parameters_;
    std::unique_ptr<TDIBFeature> feature_;
    bool enabled_ = true;
    std::string className_;
};

/// A control's features, asked in order for each of its messages.
class TDIBFeatures : public runtime::TCollection, public TDIBFeatureHook {
public:
    explicit TDIBFeatures(TCustomDIBControl* control);
    std::string ClassName() const override { return "TDIBFeatures"; }
    TCustomDIBControl* Control() const { return control_; }
    TDIBFeatureItem* Items(int index) const;
    TDIBFeatureItem* Add() { return static_cast<TDIBFeatureItem*>(TCollection::Add()); }
    /// Adds an item with a feature of the class; EFeatureError when it is not registered.
    TDIBFeature* AddFeature(const std::string& className);

    /// Enabled items with a feature, in order, until one marks the message handled.
    void ProcessMessage(runtime::TMessage& message, bool& handled) override;
    /// Applies the stored parameters of every item.
    void ControlLoaded() override;

protected:
    std::unique_ptr<runtime::TCollectionItem> CreateItem() override {
        return std::make_unique<TDIBFeatureItem>(this);
    }

private:
    TCustomDIBControl* control_;
};

/// The control's feature collection, installed on first use.
TDIBFeatures& DIBFeaturesOf(TCustomDIBControl& control);

class TControlList;

/// One attached control.
class TControlItem : public runtime::TCollectionItem {
public:
    explicit TControlItem(runtime::TCollection* collection) : TCollectionItem(collection) {}
    std::string ClassName() const override { return "TControlItem"; }
    /// The control's name, else its class name, else the item's default.
    std::string DisplayName() const override;
    runtime::TControl* Control() const { return control_; }
    /// A control another item of the list holds raises EFeatureError "Control already exists
    /// in list.".
    void SetControl(runtime::TControl* control);
    void Assign(const runtime::TPersistent* source) override;

private:
    friend class TControlList;
    runtime::TControl* control_ = nullptr;
};

/// The controls that move with a control (its Children).
class TControlList : public runtime::TCollection, public TDIBChildrenHook {
public:
    explicit TControlList(TCustomDIBControl* control) : TCollection(control) {}
    std::string ClassName() const override { return "TControlList"; }
    TControlItem* Items(int index) const;
    TControlItem* Add() { return static_cast<TControlItem*>(TCollection::Add()); }
    /// Adds an item holding the control (EFeatureError when the list already holds it).
    TControlItem* AddControl(runtime::TControl* control);

    int ChildCount() const override { return Count(); }
    runtime::TControl* Child(int index) const override;
    void DropChild(runtime::TControl* control) override;

protected:
    std::unique_ptr<runtime::TCollectionItem> CreateItem() override {
        return std::make_unique<TControlItem>(this);
    }
};

/// The control's Children list, installed on first use.
TControlList& ChildrenOf(TCustomDIBControl& control);

} // namespace toolkit
