#include "toolkit/cDIBFeatures.h"

#include "runtime/BinaryStreams.h"
#include "runtime/Properties.h"
#include "runtime/SameText.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <deque>

namespace toolkit {

using runtime::TMessage;
using runtime::TPropInfo;
using runtime::TTypeKind;

namespace {

// ---- Registry ---------------------------------------------------------------------------------

void publishFeatureClasses() {
    runtime::PublishClass<TDIBFeature>("TDIBFeature", "TComponent");
    using M = TMoveableDIB;
    runtime::PublishClass<M>("TMoveableDIB", "TDIBFeature")
        .Boolean("AllowHorizontal", &M::AllowHorizontal, &M::SetAllowHorizontal)
        .Boolean("AllowVertical", &M::AllowVertical, &M::SetAllowVertical)
        .Integer("BorderSize", &M::BorderSize, &M::SetBorderSize, "Byte")
        .SetOf("MouseButtons", "TMouseButtons", &M::MouseButtons, &M::SetMouseButtons)
        .Integer("SnapSize", &M::SnapSize, &M::SetSnapSize, "Byte");
    using H = THighlightDIB;
    runtime::PublishClass<H>("THighlightDIB", "TDIBFeature")
        .Integer("HighlightOpacity", &H::HighlightOpacity, &H::SetHighlightOpacity, "Byte");
    using S = TShapeableDIB;
    runtime::PublishClass<S>("TShapeableDIB", "TDIBFeature")
        .Integer("TransparentColor", &S::TransparentColor, &S::SetTransparentColor, "TColor")
        .Boolean("TransparentMode", &S::TransparentMode, &S::SetTransparentMode)
        .Integer("MaskLevel", &S::MaskLevel, &S::SetMaskLevel, "Byte");
    runtime::PublishClass<TDIBFeatures>("TDIBFeatures", "TPersistent");
    runtime::PublishClass<TControlList>("TControlList", "TPersistent");
}

// A deque keeps the entries where they are, so FindDIBFeature's answers stay valid.
std::deque<TDIBFeatureClass>& featureClasses() {
    static std::deque<TDIBFeatureClass> classes = [] {
        publishFeatureClasses();
        std::deque<TDIBFeatureClass> list;
        auto add = [&list]<class T>(const char* name) {
            list.push_back({name, [](runtime::TComponent* owner) -> std::unique_ptr<TDIBFeature> {
                                return std::make_unique<T>(owner);
                            }});
        };
        add.operator()<TMoveableDIB>("TMoveableDIB");
        add.operator()<THighlightDIB>("THighlightDIB");
        add.operator()<TShapeableDIB>("TShapeableDIB");
        return list;
    }();
    return classes;
}

/// The published properties a feature's own classes add: TComponent's (Name, Tag) belong to
/// the owner's bookkeeping, not to the behaviour.
std::vector<const TPropInfo*> featureProperties(const TDIBFeature& feature) {
    std::vector<const TPropInfo*> result;
    for (const TPropInfo* info : runtime::GetPropList(feature))
        if (runtime::GetPropInfo("TComponent", info->Name) == nullptr && info->Writable() &&
            info->Kind != TTypeKind::tkClass && info->Kind != TTypeKind::tkMethod)
            result.push_back(info);
    return result;
}

enum StoredKind : std::uint8_t { skOrdinal = 1, skFloat = 2, skText = 3 };

StoredKind storedKind(const TPropInfo& info) {
    if (info.Kind == TTypeKind::tkFloat) return skFloat;
    if (info.IsString()) return skText;
    return skOrdinal;
}

/// Whether an ordinal value lies in what the property's type can hold.
bool fitsOrdinal(const TPropInfo& info, std::int64_t value) {
    if (info.TypeName == "Boolean") return value == 0 || value == 1;
    if (info.TypeName == "Byte") return value >= 0 && value <= 255;
    if (!info.EnumNames.empty())
        return value >= 0 && value < static_cast<std::int64_t>(info.EnumNames.size());
    if (info.Kind == TTypeKind::tkInt64) return true;
    // A colour is 32 bits read without a sign (system colours set the top bit); stored bytes
    // may hold either reading of the same bits.
    if (info.TypeName == "TColor") return value >= INT_MIN && value <= UINT32_MAX;
    return value >= INT_MIN && value <= INT_MAX;
}

constexpr char kSignature[4] = {'W', 'D', 'F', '1'};
constexpr const char* kDamaged = "Damaged feature parameters";

/// What stored bytes say, read whole before any of it is applied.
struct StoredParameters {
    std::string ClassName;
    struct Record {
        std::string Name;
        std::uint8_t Kind = 0;
        std::string Value;
    };
    std::vector<Record> Records;
};

StoredParameters readParameters(runtime::TBinaryReader& in) {
    char signature[sizeof kSignature] = {};
    in.ReadBuffer(signature, sizeof signature);
    if (std::memcmp(signature, kSignature, sizeof kSignature) != 0) throw EFeatureError(kDamaged);
    StoredParameters stored;
    const std::uint16_t nameLength = in.ReadUInt16();
    // The writer names a feature or writes nothing: an empty name is never stored.
    if (nameLength == 0 || nameLength > 255) throw EFeatureError(kDamaged);
    stored.ClassName = in.ReadText(nameLength);
    const std::uint16_t count = in.ReadUInt16();
    for (std::uint16_t i = 0; i < count; ++i) {
        StoredParameters::Record record;
        const std::uint8_t length = in.ReadUInt8();
        if (length == 0) throw EFeatureError(kDamaged);
        record.Name = in.ReadText(length);
        record.Kind = in.ReadUInt8();
        record.Value = in.ReadText(in.ReadUInt32());
        stored.Records.push_back(std::move(record));
    }
    if (in.Remaining() != 0) throw EFeatureError(kDamaged);
    return stored;
}

/// The eight bytes of an ordinal or floating-point value as one word.
std::uint64_t storedWord(const std::string& value) {
    runtime::TReadOnlyMemoryStream stream(value.data(), value.size());
    return runtime::TBinaryReader(stream).ReadUInt64();
}

void applyRecord(TDIBFeature& feature, const StoredParameters::Record& record) {
    const TPropInfo* info = runtime::GetPropInfo(feature, record.Name);
    if (info == nullptr || runtime::GetPropInfo("TComponent", info->Name) != nullptr ||
        !info->Writable() || info->Kind == TTypeKind::tkClass || storedKind(*info) != record.Kind)
        return;
    switch (record.Kind) {
    case skOrdinal: {
        if (record.Value.size() != 8) return;
        const auto value = static_cast<std::int64_t>(storedWord(record.Value));
        if (fitsOrdinal(*info, value)) info->SetOrd(feature, value);
        break;
    }
    case skFloat: {
        if (record.Value.size() != 8) return;
        info->SetFloat(feature, std::bit_cast<double>(storedWord(record.Value)));
        break;
    }
    default:
        info->SetStr(feature, record.Value);
        break;
    }
}

TCustomDIBControl* toolkitControl(const TDIBFeature& feature) {
    return dynamic_cast<TCustomDIBControl*>(feature.Control());
}

int clampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

} // namespace

void RegisterDIBFeature(const std::string& className, TDIBFeatureFactory create) {
    featureClasses().push_back({className, std::move(create)});
}

const TDIBFeatureClass* FindDIBFeature(std::string_view className) {
    const auto& classes = featureClasses();
    for (auto it = classes.rbegin(); it != classes.rend(); ++it)
        if (runtime::SameText(it->ClassName, className)) return &*it;
    return nullptr;
}

// ---- TDIBFeature ------------------------------------------------------------------------------

TDIBFeature::TDIBFeature(runtime::TComponent* owner) : TComponent(owner) {
    featureClasses(); // publishes the feature classes before anyone looks them up
}

bool TDIBFeature::CanApplyTo(runtime::TControl*) const {
    return true;
}

void TDIBFeature::ProcessMessage(TMessage&, bool&) {}

void TDIBFeature::Assign(const runtime::TPersistent* source) {
    const auto* other = dynamic_cast<const TDIBFeature*>(source);
    if (other == nullptr || other->ClassName() != ClassName()) {
        TComponent::Assign(source);
        return;
    }
    auto& from = const_cast<TDIBFeature&>(*other); // the registry's getters take no const
    for (const TPropInfo* info : featureProperties(*this)) {
        if (info->Kind == TTypeKind::tkFloat)
            info->SetFloat(*this, info->GetFloat(from));
        else if (info->IsString())
            info->SetStr(*this, info->GetStr(from));
        else
            info->SetOrd(*this, info->GetOrd(from));
    }
}

// ---- TMoveableDIB -----------------------------------------------------------------------------

void TMoveableDIB::ProcessMessage(TMessage& message, bool&) {
    const int x = runtime::LParamX(message.LParam), y = runtime::LParamY(message.LParam);
    switch (message.Msg) {
    case runtime::WM_KEYDOWN:
        keyDown(static_cast<int>(message.WParam));
        break;
    case runtime::WM_MOUSEMOVE:
        if (dragging_) mouseMove(x, y);
        break;
    case runtime::WM_LBUTTONUP:
    case runtime::WM_RBUTTONUP:
    case runtime::WM_MBUTTONUP: {
        const int button = message.Msg == runtime::WM_LBUTTONUP   ? 0
                           : message.Msg == runtime::WM_RBUTTONUP ? 1
                                                                  : 2;
        if (dragging_ && button == dragButton_) dragging_ = false;
        break;
    }
    case runtime::WM_LBUTTONDOWN:
    case runtime::WM_LBUTTONDBLCLK:
        if (!dragging_) buttonDown(0, x, y);
        break;
    case runtime::WM_RBUTTONDOWN:
    case runtime::WM_RBUTTONDBLCLK:
        if (!dragging_) buttonDown(1, x, y);
        break;
    case runtime::WM_MBUTTONDOWN:
    case runtime::WM_MBUTTONDBLCLK:
        if (!dragging_) buttonDown(2, x, y);
        break;
    default:
        break;
    }
}

void TMoveableDIB::keyDown(int key) {
    runtime::TControl* control = Control();
    if (control == nullptr) return;
    int dx = 0, dy = 0;
    if (key == runtime::VK_LEFT && allowHorizontal_) dx = -snapSize_;
    if (key == runtime::VK_RIGHT && allowHorizontal_) dx = snapSize_;
    if (key == runtime::VK_UP && allowVertical_) dy = -snapSize_;
    if (key == runtime::VK_DOWN && allowVertical_) dy = snapSize_;
    if (dx != 0 || dy != 0)
        control->SetBounds(clampToInt(std::int64_t(control->Left()) + dx),
                           clampToInt(std::int64_t(control->Top()) + dy), control->Width(),
                           control->Height());
}

void TMoveableDIB::mouseMove(int x, int y) {
    runtime::TControl* control = Control();
    if (control == nullptr) return;
    int dx = allowHorizontal_ ? x - grabX_ : 0;
    int dy = allowVertical_ ? y - grabY_ : 0;
    if (snapSize_ > 1) {
        // Integer division truncates towards zero: 7 snaps to 5 and -7 to -5.
        dx = dx / snapSize_ * snapSize_;
        dy = dy / snapSize_ * snapSize_;
    }
    if (dx == 0 && dy == 0) return;
    control->SetBounds(clampToInt(std::int64_t(control->Left()) + dx),
                       clampToInt(std::int64_t(control->Top()) + dy), control->Width(),
                       control->Height());
}

void TMoveableDIB::buttonDown(int button, int x, int y) {
    runtime::TControl* control = Control();
    dragButton_ = static_cast<std::uint8_t>(button);
    if (control == nullptr ||
        (mouseButtons_ & MouseButtonBit(static_cast<runtime::TMouseButton>(button))) == 0)
        return;
    // With a border, only a press on the border (within BorderSize of an edge) grabs the
    // control, so that its inside stays free for the control's own use of the mouse.
    if (borderSize_ > 0 && x >= borderSize_ && y >= borderSize_ &&
        x < control->Width() - borderSize_ && y < control->Height() - borderSize_)
        return;
    dragging_ = true;
    grabX_ = x;
    grabY_ = y;
    startLeft_ = control->Left();
    startTop_ = control->Top();
}

// ---- THighlightDIB ----------------------------------------------------------------------------

void THighlightDIB::ProcessMessage(TMessage& message, bool&) {
    TCustomDIBControl* control = toolkitControl(*this);
    if (control == nullptr) return;
    const bool captured = runtime::GetCaptureControl() != nullptr;
    switch (message.Msg) {
    case runtime::CM_MOUSEENTER:
        if (!control->Focused() && !captured) highlight();
        break;
    case runtime::CM_MOUSELEAVE:
        if (!control->Focused() && !captured) restore();
        break;
    case runtime::WM_SETFOCUS:
        if (!control->Focused() && !control->Hot()) highlight();
        break;
    case runtime::WM_KILLFOCUS:
        if (control->Focused() && !control->Hot()) restore();
        break;
    case runtime::WM_LBUTTONUP:
        control->SetMouseCapture(false);
        break;
    default:
        break;
    }
}

void THighlightDIB::highlight() {
    auto* control = toolkitControl(*this);
    // A second notice without a restore between must not save the highlight as the normal look.
    if (highlighted_) return;
    highlighted_ = true;
    savedOpacity_ = control->Opacity();
    control->SetOpacity(highlightOpacity_);
}

void THighlightDIB::restore() {
    if (!highlighted_) return;
    highlighted_ = false;
    toolkitControl(*this)->SetOpacity(savedOpacity_);
}

// ---- TShapeableDIB ----------------------------------------------------------------------------

TShapeableDIB::TShapeableDIB(runtime::TComponent* owner) : TDIBFeature(owner) {}

TShapeableDIB::~TShapeableDIB() = default;

void TShapeableDIB::ProcessMessage(TMessage& message, bool& handled) {
    if (message.Msg != runtime::CM_HITTEST) return;
    TCustomDIBControl* control = toolkitControl(*this);
    if (control == nullptr) return;
    handled = true;
    if (control->LastInvalidation() != stamp_) rebuild(*control);
    const int x = runtime::LParamX(message.LParam), y = runtime::LParamY(message.LParam);
    message.Result = region_.Empty() || region_.Contains(x, y) ? 1 : 0;
}

void TShapeableDIB::rebuild(TCustomDIBControl& control) {
    TWinDIB buffer(std::max(control.Width(), 1), std::max(control.Height(), 1));
    buffer.Fill(transparentColor_); // alpha 0 everywhere the control leaves alone
    control.PaintToBuffer(buffer);
    if (maskLevel_ > 0) {
        region_ = buffer.CreateAlphaRegion(maskLevel_);
    } else {
        TColor key = transparentColor_;
        if (!transparentMode_) {
            const std::uint8_t* p = buffer.RowPointer(buffer.Height() - 1);
            key = TColor(p[2]) | TColor(p[1]) << 8 | TColor(p[0]) << 16;
        }
        region_ = buffer.CreateColorRegion(key);
    }
    stamp_ = control.LastInvalidation();
    ++builds_;
}

// ---- TDIBFeatureItem --------------------------------------------------------------------------

TDIBFeatureItem::TDIBFeatureItem(runtime::TCollection* collection) : TCollectionItem(collection) {}

TDIBFeatureItem::~TDIBFeatureItem() = default;

TDIBFeatures* TDIBFeatureItem::features() const {
    return dynamic_cast<TDIBFeatures*>(Collection());
}

std::string TDIBFeatureItem::DisplayName() const {
    return feature_ != nullptr ? feature_->GetFeatureName() : "DIB feature";
}

void TDIBFeatureItem::SetFeatureClassName(const std::string& name) {
    const TDIBFeatureClass* found = name.empty() ? nullptr : FindDIBFeature(name);
    if (!name.empty() && found == nullptr) throw EFeatureError(name + " has not been registered");
    TDIBFeatures* owner = features();
    TCustomDIBControl* control = owner != nullptr ? owner->Control() : nullptr;
    std::unique_ptr<TDIBFeature> made;
    if (found != nullptr) {
        made = found->Create(control);
        made->SetControl(control);
    }
    feature_ = std::move(made);
    className_ = found != nullptr ? found->ClassName : std::string();
}

std::vector<std::uint8_t> TDIBFeatureItem::DIBFeatureParameters() const {
    if (feature_ == nullptr) return {};
    runtime::TMemoryStream stream, records;
    runtime::TBinaryWriter out(stream), record(records);
    out.WriteBuffer(kSignature, sizeof kSignature);
    const std::string name = className_.substr(0, 255);
    out.WriteUInt16(static_cast<std::uint16_t>(name.size()));
    out.WriteText(name);

    const TDIBFeatureClass* type = FindDIBFeature(className_);
    const std::unique_ptr<TDIBFeature> fresh = type != nullptr ? type->Create(nullptr) : nullptr;
    std::uint16_t count = 0;
    for (const TPropInfo* info : featureProperties(*feature_)) {
        if (info->Name.empty() || info->Name.size() > 255 || count == 0xFFFF) continue;
        runtime::TMemoryStream value;
        runtime::TBinaryWriter valueOut(value);
        const StoredKind kind = storedKind(*info);
        bool same = fresh != nullptr;
        if (kind == skFloat) {
            const long double v = info->GetFloat(*feature_);
            same = same && info->GetFloat(*fresh) == v;
            valueOut.WriteUInt64(std::bit_cast<std::uint64_t>(static_cast<double>(v)));
        } else if (kind == skText) {
            const std::string v = info->GetStr(*feature_);
            same = same && info->GetStr(*fresh) == v;
            valueOut.WriteText(v);
        } else {
            const std::int64_t v = info->GetOrd(*feature_);
            same = same && info->GetOrd(*fresh) == v;
            valueOut.WriteUInt64(static_cast<std::uint64_t>(v));
        }
        if (same) continue;
        record.WriteUInt8(static_cast<std::uint8_t>(info->Name.size()));
        record.WriteText(info->Name);
        record.WriteUInt8(kind);
        record.WriteUInt32(static_cast<std::uint32_t>(value.MemorySize()));
        record.WriteBuffer(value.Memory(), value.MemorySize());
        ++count;
    }
    out.WriteUInt16(count);
    out.WriteBuffer(records.Memory(), records.MemorySize());
    return {stream.Memory(), stream.Memory() + stream.MemorySize()};
}

void TDIBFeatureItem::SetDIBFeatureParameters(std::vector<std::uint8_t> bytes) {
    stored_ = std::move(bytes);
    TDIBFeatures* owner = features();
    TCustomDIBControl* control = owner != nullptr ? owner->Control() : nullptr;
    if (control == nullptr || !control->HasState(runtime::csLoading)) ApplyStoredParameters();
}

void TDIBFeatureItem::ApplyStoredParameters() {
    if (stored_.empty()) return;
    const std::vector<std::uint8_t> bytes = std::move(stored_);
    stored_.clear();
    LoadFeatureParameters(bytes.data(), bytes.size());
}

void TDIBFeatureItem::LoadFeatureParameters(const std::uint8_t* data, std::size_t size) {
    // Everything is checked before anything changes: damaged bytes leave the item as it was.
    runtime::TReadOnlyMemoryStream stream(data, data != nullptr ? size : 0);
    runtime::TBinaryReader in(stream);
    StoredParameters stored;
    try {
        stored = readParameters(in);
    } catch (const runtime::EReadError&) {
        throw EFeatureError(kDamaged); // bytes end inside a record
    }
    SetFeatureClassName(stored.ClassName);
    if (feature_ == nullptr) return;
    for (const StoredParameters::Record& record : stored.Records)
        applyRecord(*feature_, record);
}

void TDIBFeatureItem::Assign(const runtime::TPersistent* source) {
    const auto* other = dynamic_cast<const TDIBFeatureItem*>(source);
    if (other == nullptr) {
        TCollectionItem::Assign(source);
        return;
    }
    if (other == this) return;
    SetFeatureClassName(other->className_);
    enabled_ = other->enabled_;
    parameters_ = other->parameters_;
    if (feature_ != nullptr && other->feature_ != nullptr) feature_->Assign(other->feature_.get());
}

// ---- TDIBFeatures -----------------------------------------------------------------------------

TDIBFeatures::TDIBFeatures(TCustomDIBControl* control) : TCollection(control), control_(control) {}

TDIBFeatureItem* TDIBFeatures::Items(int index) const {
    return static_cast<TDIBFeatureItem*>(TCollection::Items(index));
}

TDIBFeature* TDIBFeatures::AddFeature(const std::string& className) {
    TDIBFeatureItem* item = Add();
    try {
        item->SetFeatureClassName(className);
    } catch (...) {
        Delete(item->Index());
        throw;
    }
    return item->Feature();
}

void TDIBFeatures::ProcessMessage(TMessage& message, bool& handled) {
    for (int i = 0; i < Count() && !handled; ++i) {
        TDIBFeatureItem* item = Items(i);
        if (item->Enabled() && item->Feature() != nullptr)
            item->Feature()->ProcessMessage(message, handled);
    }
}

void TDIBFeatures::ControlLoaded() {
    for (int i = 0; i < Count(); ++i)
        Items(i)->ApplyStoredParameters();
}

TDIBFeatures& DIBFeaturesOf(TCustomDIBControl& control) {
    if (auto* features = dynamic_cast<TDIBFeatures*>(control.DIBFeatures())) return *features;
    auto features = std::make_unique<TDIBFeatures>(&control);
    TDIBFeatures& result = *features;
    control.SetDIBFeatures(std::move(features));
    return result;
}

// ---- Children ---------------------------------------------------------------------------------

std::string TControlItem::DisplayName() const {
    if (control_ != nullptr)
        return control_->Name().empty() ? control_->ClassName() : control_->Name();
    return TCollectionItem::DisplayName();
}

void TControlItem::SetControl(runtime::TControl* control) {
    if (control != nullptr && Collection() != nullptr)
        for (int i = 0; i < Collection()->Count(); ++i) {
            auto* other = static_cast<TControlItem*>(Collection()->Items(i));
            if (other != this && other->control_ == control)
                throw EFeatureError("Control already exists in list.");
        }
    control_ = control;
}

void TControlItem::Assign(const runtime::TPersistent* source) {
    if (const auto* other = dynamic_cast<const TControlItem*>(source))
        SetControl(other->control_);
    else
        TCollectionItem::Assign(source);
}

TControlItem* TControlList::Items(int index) const {
    return static_cast<TControlItem*>(TCollection::Items(index));
}

TControlItem* TControlList::AddControl(runtime::TControl* control) {
    for (int i = 0; i < Count(); ++i)
        if (control != nullptr && Items(i)->Control() == control)
            throw EFeatureError("Control already exists in list.");
    TControlItem* item = Add();
    item->control_ = control;
    return item;
}

runtime::TControl* TControlList::Child(int index) const {
    TControlItem* item = Items(index);
    return item != nullptr ? item->Control() : nullptr;
}

void TControlList::DropChild(runtime::TControl* control) {
    for (int i = Count() - 1; i >= 0; --i)
        if (Items(i)->Control() == control) Delete(i);
}

TControlList& ChildrenOf(TCustomDIBControl& control) {
    if (auto* children = dynamic_cast<TControlList*>(control.Children())) return *children;
    auto children = std::make_unique<TControlList>(&control);
    TControlList& result = *children;
    control.SetChildren(std::move(children));
    return result;
}

} // namespace toolkit
