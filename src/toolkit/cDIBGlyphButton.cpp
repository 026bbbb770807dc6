#include "toolkit/cDIBGlyphButton.h"

#include "runtime/Properties.h"
#include "toolkit/cDIBFeatures.h"

namespace toolkit {

namespace {

void registerGlyphButtonClasses() {
    static const bool done = [] {
        runtime::PublishClass<TFontProperty>("TFontProperty", "TPersistent")
            .String("Name", &TFontProperty::Name, &TFontProperty::SetName, "TFontName")
            .Integer("Height", &TFontProperty::Height, &TFontProperty::SetHeight)
            .Integer("Color", &TFontProperty::Color, &TFontProperty::SetColor, "TColor");
        using C = TCustomDIBGlyphButton;
        runtime::PublishClass<C>("TCustomDIBGlyphButton", "TAbstractDIBButton")
            .Integer("NumGlyphs", &C::NumGlyphs, &C::SetNumGlyphs, "TNumGlyphs")
            .Integer("Opacity", &C::Opacity, &C::SetOpacity, "Byte");
        using B = TDIBGlyphButton;
        auto point = [](TPointProperty& (TCustomDIBGlyphButton::*get)()) {
            return [get](B& b) -> runtime::TPersistent* { return &(b.*get)(); };
        };
        runtime::PublishClass<B>("TDIBGlyphButton", "TCustomDIBGlyphButton")
            .Boolean("AutoSize", &B::AutoSize, &B::SetAutoSize)
            .Object("CaptionOffsetEnabled", "TPointProperty",
                    point(&TCustomDIBGlyphButton::CaptionOffsetEnabled))
            .Object("CaptionOffsetDisabled", "TPointProperty",
                    point(&TCustomDIBGlyphButton::CaptionOffsetDisabled))
            .Object("CaptionOffsetDown", "TPointProperty",
                    point(&TCustomDIBGlyphButton::CaptionOffsetDown))
            .Object("CaptionOffsetMouseClick", "TPointProperty",
                    point(&TCustomDIBGlyphButton::CaptionOffsetMouseClick))
            .Object("CaptionOffsetMouseOver", "TPointProperty",
                    point(&TCustomDIBGlyphButton::CaptionOffsetMouseOver))
            .Object("Children", "TControlList",
                    [](B& b) -> runtime::TPersistent* { return &ChildrenOf(b); })
            .Object("DIBFeatures", "TDIBFeatures",
                    [](B& b) -> runtime::TPersistent* { return &DIBFeaturesOf(b); })
            .Boolean("Down", &B::Down, &B::SetDown)
            .Object("Font", "TFontProperty",
                    [](B& b) -> runtime::TPersistent* { return &b.FontProperty(); })
            .Object("FontDisabled", "TFontProperty",
                    [](B& b) -> runtime::TPersistent* { return &b.FontDisabledProperty(); })
            .Object("Glyph", "TDIBImageLink",
                    [](B& b) -> runtime::TPersistent* { return b.Glyph(); })
            .Integer("Group", &B::Group, &B::SetGroup)
            .Boolean("ToggleDown", &B::ToggleDown, &B::SetToggleDown);
        return true;
    }();
    (void)done;
}

} // namespace

// ---- TFontProperty ----------------------------------------------------------------------------

void TFontProperty::SetValue(const runtime::TFont& font) {
    font_ = font;
    if (OnChange) OnChange(this);
}

void TFontProperty::SetName(const std::string& value) {
    font_.Name = value;
    if (OnChange) OnChange(this);
}

void TFontProperty::SetHeight(int value) {
    font_.Height = value;
    if (OnChange) OnChange(this);
}

void TFontProperty::SetColor(int value) {
    font_.Color = static_cast<TColor>(value);
    if (OnChange) OnChange(this);
}

void TFontProperty::Assign(const runtime::TPersistent* source) {
    if (const auto* font = dynamic_cast<const TFontProperty*>(source))
        SetValue(font->font_);
    else
        TPersistent::Assign(source);
}

// ---- TCustomDIBGlyphButton --------------------------------------------------------------------

TCustomDIBGlyphButton::TCustomDIBGlyphButton(runtime::TComponent* owner)
    : TAbstractDIBButton(owner) {
    registerGlyphButtonClasses();
    StoreAutoSize(true);
    glyph_ = CreateImageLink();
    auto repaint = [this](runtime::TPersistent*) { Invalidate(); };
    for (auto* offset :
         {&offsetMouseClick_, &offsetDown_, &offsetMouseOver_, &offsetEnabled_, &offsetDisabled_}) {
        *offset = std::make_unique<TPointProperty>();
        (*offset)->OnChange = repaint;
    }
    fontDisabled_ = std::make_unique<TFontProperty>();
    fontDisabled_->OnChange = repaint;
    font_ = std::make_unique<TFontProperty>();
    font_->SetValue(Font());
    font_->OnChange = [this](runtime::TPersistent*) { SetFont(font_->Value()); };
    DIBFeaturesOf(*this);
    ChildrenOf(*this);
    RegisterTemplateProperty("NumGlyphs");
    RegisterTemplateProperty("Opacity");
}

TCustomDIBGlyphButton::~TCustomDIBGlyphButton() = default;

void TCustomDIBGlyphButton::SetNumGlyphs(int value) {
    if (value < 2 || value > 5) throw EDIBGlyphButtonError("NumGlyphs must be between 2 and 5.");
    numGlyphs_ = value;
    AdjustSize();
}

bool TCustomDIBGlyphButton::CanAutoSize(int& width, int& height) {
    return FrameSize(*glyph_, numGlyphs_, width, height);
}

void TCustomDIBGlyphButton::SetCaptionOffsetEnabled(const TPointProperty& value) {
    offsetEnabled_->Assign(&value);
}

void TCustomDIBGlyphButton::SetCaptionOffsetMouseClick(const TPointProperty& value) {
    offsetMouseClick_->Assign(&value);
}

void TCustomDIBGlyphButton::SetCaptionOffsetDisabled(const TPointProperty& value) {
    offsetDisabled_->Assign(&value);
}

void TCustomDIBGlyphButton::SetCaptionOffsetMouseOver(const TPointProperty& value) {
    offsetMouseOver_->Assign(&value);
}

void TCustomDIBGlyphButton::SetCaptionOffsetDown(const TPointProperty& value) {
    offsetDown_->Assign(&value);
}

TPointProperty& TCustomDIBGlyphButton::CaptionOffset(std::uint8_t state) {
    switch (state) {
    case bsNormal:
        return *offsetEnabled_;
    case bsMouseClick:
        return *offsetMouseClick_;
    case bsDisabled:
        return *offsetDisabled_;
    case bsMouseOver:
        return *offsetMouseOver_;
    case bsDown:
        return *offsetDown_;
    default:
        throw EDIBGlyphButtonError("Unknown button state");
    }
}

void TCustomDIBGlyphButton::SetFontDisabled(const runtime::TFont& font) {
    fontDisabled_->SetValue(font);
}

void TCustomDIBGlyphButton::SetFont(const runtime::TFont& font) {
    TAbstractDIBButton::SetFont(font);
    // Keeps the published mirror in step; its change notice comes back here once and stops.
    if (!(font_->Value() == font)) font_->SetValue(font);
}

int TCustomDIBGlyphButton::FrameIndex() const {
    const int state = State();
    if (numGlyphs_ >= state + 1) return state;
    return state == bsDown ? 1 : 0;
}

void TCustomDIBGlyphButton::Paint() {
    TAbstractDIBButton::Paint();
    TAbstractSuperDIB* image = nullptr;
    TAbstractSuperDIB* buffer = PaintBuffer();
    if (buffer == nullptr || !glyph_->GetImage(image)) return;
    image->Draw(0, 0, Width(), Height(), *buffer, FrameIndex() * Width(), 0);
    if (!Caption().empty()) paintCaption();
}

void TCustomDIBGlyphButton::paintCaption() {
    const std::uint8_t state = State();
    const TPointProperty& offset = CaptionOffset(state);
    runtime::TCanvas& canvas = Canvas();
    canvas.Font = state == bsDisabled ? FontDisabled() : Font();
    const runtime::TSize extent = canvas.TextExtent(Caption());
    canvas.TextOut(Width() / 2 - extent.cx / 2 + offset.X(),
                   Height() / 2 - extent.cy / 2 + offset.Y(), Caption());
}

// ---- TDIBGlyphButton --------------------------------------------------------------------------

TDIBGlyphButton::TDIBGlyphButton(runtime::TComponent* owner) : TCustomDIBGlyphButton(owner) {
    for (const char* name :
         {"CaptionOffsetEnabled", "CaptionOffsetMouseClick", "CaptionOffsetDisabled",
          "CaptionOffsetMouseOver", "CaptionOffsetDown", "Font", "FontDisabled"})
        RegisterTemplateProperty(name);
}

} // namespace toolkit
