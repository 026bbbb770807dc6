#pragma once
// A button drawn as one frame of a glyph strip (the frame of its state), with an optional
// caption centred on it at an offset that depends on the state.

#include "runtime/Canvas.h"
#include "runtime/Components.h"
#include "runtime/Events.h"
#include "runtime/Exception.h"
#include "toolkit/cDIBButton.h"

#include <memory>
#include <string>

namespace toolkit {

class EDIBGlyphButtonError : public runtime::Exception {
public:
    using Exception::Exception;
};

/// A font as a published object (Name, Height, Color), so that it can be set by name and kept
/// in templates. Every set fires OnChange.
class TFontProperty : public runtime::TPersistent {
public:
    std::string ClassName() const override { return "TFontProperty"; }
    const runtime::TFont& Value() const { return font_; }
    void SetValue(const runtime::TFont& font);
    std::string Name() const { return font_.Name; }
    void SetName(const std::string& value);
    int Height() const { return font_.Height; }
    void SetHeight(int value);
    int Color() const { return static_cast<int>(font_.Color); }
    void SetColor(int value);
    /// From another TFontProperty.
    void Assign(const runtime::TPersistent* source) override;
    runtime::TNotifyEvent OnChange;

private:
    runtime::TFont font_;
};

class TCustomDIBGlyphButton : public TAbstractDIBButton {
public:
    explicit TCustomDIBGlyphButton(runtime::TComponent* owner);
    ~TCustomDIBGlyphButton() override;
    std::string ClassName() const override { return "TCustomDIBGlyphButton"; }

    /// The glyph strip.
    TDIBImageLink* Glyph() const { return glyph_; }
    int NumGlyphs() const { return numGlyphs_; }
    /// 2..5; another value raises EDIBGlyphButtonError and changes nothing. No repaint.
    void SetNumGlyphs(int value);

    // Caption offsets per state; setting one copies X and Y, and every change repaints.
    TPointProperty& CaptionOffsetEnabled() { return *offsetEnabled_; }
    TPointProperty& CaptionOffsetMouseClick() { return *offsetMouseClick_; }
    TPointProperty& CaptionOffsetDisabled() { return *offsetDisabled_; }
    TPointProperty& CaptionOffsetMouseOver() { return *offsetMouseOver_; }
    TPointProperty& CaptionOffsetDown() { return *offsetDown_; }
    void SetCaptionOffsetEnabled(const TPointProperty& value);
    void SetCaptionOffsetMouseClick(const TPointProperty& value);
    void SetCaptionOffsetDisabled(const TPointProperty& value);
    void SetCaptionOffsetMouseOver(const TPointProperty& value);
    void SetCaptionOffsetDown(const TPointProperty& value);
    /// The caption offset of a state; EDIBGlyphButtonError "Unknown button state" outside 0..4.
    TPointProperty& CaptionOffset(std::uint8_t state);

    /// The caption font in the disabled state.
    const runtime::TFont& FontDisabled() const { return fontDisabled_->Value(); }
    void SetFontDisabled(const runtime::TFont& font);
    TFontProperty& FontDisabledProperty() { return *fontDisabled_; }
    /// The control's Font as a published object.
    TFontProperty& FontProperty() { return *font_; }
    void SetFont(const runtime::TFont& font) override;

    /// The frame of the strip the current state shows.
    int FrameIndex() const;
    /// One frame of the glyph strip (AutoSize is on by default).
    bool CanAutoSize(int& width, int& height) override;

protected:
    void Paint() override;

private:
    void paintCaption();

    TDIBImageLink* glyph_ = nullptr;
    int numGlyphs_ = 2;
    std::unique_ptr<TPointProperty> offsetMouseClick_;
    std::unique_ptr<TPointProperty> offsetDown_;
    std::unique_ptr<TPointProperty> offsetMouseOver_;
    std::unique_ptr<TPointProperty> offsetEnabled_;
    std::unique_ptr<TPointProperty> offsetDisabled_;
    std::unique_ptr<TFontProperty> fontDisabled_;
    std::unique_ptr<TFontProperty> font_;
};

/// The glyph button with its properties published and its template properties registered.
class TDIBGlyphButton : public TCustomDIBGlyphButton {
public:
    explicit TDIBGlyphButton(runtime::TComponent* owner);
    std::string ClassName() const override { return "TDIBGlyphButton"; }
};

} // namespace toolkit
