#pragma once
// The base of the toolkit's windowless controls. They live in a TCustomDIBContainer (cDIBPanel),
// which composes them into its back buffer: each control paints into the container's shared
// control buffer, which starts as a copy of the composed background under it, and the result is
// blended back with the control's Opacity. The base adds mouse enter and leave tracking,
// auto-repeat of a held left button, keyboard focus among windowless controls (DIBTabOrder),
// accelerators, image links, attached child controls, and templates: one stream that carries a
// control's images and chosen property values.
//
// Template stream (integers unsigned 32-bit little-endian):
//   identifier (16 bytes, a fresh GUID), N images, M link records,
//   N component streams of a TDIBWrapper (see WriteComponentStream),
//   M links: name length, name; display-name length, display name (only when > 0); image number,
//   P, then P properties: name length, name, value size, value (integer kinds: int32; text
//   kinds: length + bytes; floating point: 80-bit extended; object: a TPersistentWrapper stream).

#include "platform/Geometry.h"
#include "runtime/Components.h"
#include "runtime/Controls.h"
#include "runtime/Events.h"
#include "runtime/Exception.h"
#include "runtime/Messages.h"
#include "toolkit/cDIB.h"
#include "toolkit/cDIBImageList.h"
#include "toolkit/cDIBTimer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace runtime {
class TBinaryReader;
class TBinaryWriter;
class TStream;
class TPopupMenu;
} // namespace runtime

namespace toolkit {

class TCustomDIBContainer;

class EDIBControlError : public runtime::Exception {
public:
    using Exception::Exception;
};

/// An X, Y pair that tells its owner whenever either is set (the buttons' glyph offsets).
class TPointProperty : public runtime::TPersistent {
public:
    /// Publishes X and Y (for templates and stored objects) on first use.
    TPointProperty();
    std::string ClassName() const override { return "TPointProperty"; }
    int X() const { return x_; }
    /// Stores and fires OnChange, also when the value is unchanged.
    void SetX(int value);
    int Y() const { return y_; }
    void SetY(int value);
    /// From another TPointProperty: X, then Y.
    void Assign(const runtime::TPersistent* source) override;
    runtime::TNotifyEvent OnChange;

private:
    int x_ = 0, y_ = 0;
};

/// What the control base asks of the feature collection a control carries (the collection of
/// cDIBFeatures implements it): features see every message before the control does.
class TDIBFeatureHook {
public:
    virtual ~TDIBFeatureHook() = default;
    /// Offers the message to the features in order; the first that handles it sets `handled`.
    virtual void ProcessMessage(runtime::TMessage& message, bool& handled) = 0;
    /// The control has been loaded (from a form or a template).
    virtual void ControlLoaded() {}
};

/// What the control base asks of a control's Children list (cDIBFeatures implements it): the
/// attached controls, which move with the control.
class TDIBChildrenHook {
public:
    virtual ~TDIBChildrenHook() = default;
    virtual int ChildCount() const = 0;
    /// The attached control at index, or null (an empty entry).
    virtual runtime::TControl* Child(int index) const = 0;
    /// `control` is going away: drop every entry that holds it.
    virtual void DropChild(runtime::TControl* control) = 0;
};

/// Bits of the answer a control gives to the dialog-code query.
inline constexpr std::uint8_t dkTab = 1;
inline constexpr std::uint8_t dkArrows = 2;
inline constexpr std::uint8_t dkAllKeys = 4;

class TCustomDIBControl : public runtime::TGraphicControl {
public:
    /// The owner must be a container or own one: "Owner cannot be nil" and "Parent must be a
    /// TDIBContainer" (EDIBControlError) otherwise. The control's parent is that container.
    explicit TCustomDIBControl(runtime::TComponent* owner);
    ~TCustomDIBControl() override;
    std::string ClassName() const override { return "TCustomDIBControl"; }

    /// The container the control sits in (its parent), or null.
    TCustomDIBContainer* Container() const;

    // Properties.
    std::uint8_t Opacity() const { return opacity_; }
    void SetOpacity(std::uint8_t value);
    char Accelerator() const { return accelerator_; }
    void SetAccelerator(char value) { accelerator_ = value; }
    int DIBTabOrder() const { return tabOrder_; }
    /// -1 takes the control out of the container's tab list; values are kept to -1..32767.
    void SetDIBTabOrder(int value);
    TCustomDIBImageList* DIBImageList() const { return imageList_; }
    /// Given to every image link of the control.
    void SetDIBImageList(TCustomDIBImageList* list);
    bool AutoRepeat() const { return autoRepeat_; }
    void SetAutoRepeat(bool value) { autoRepeat_ = value; }
    std::uint32_t RepeatInterval() const { return repeatInterval_; }
    void SetRepeatInterval(std::uint32_t ms) { repeatInterval_ = ms; }
    /// dkTab, dkArrows, dkAllKeys (default dkArrows).
    std::uint8_t DialogKeyFlags() const { return dialogKeys_; }
    void SetDialogKeyFlags(std::uint8_t flags) { dialogKeys_ = flags & 7; }

    // Auto size: a control that can take its size from its image says how in CanAutoSize.
    bool AutoSize() const { return autoSize_; }
    /// Sizes the control at once when switched on.
    virtual void SetAutoSize(bool value);
    /// The size auto size gives; false when there is none (always, in the base).
    virtual bool CanAutoSize(int& width, int& height);
    /// Sizes the control by CanAutoSize when AutoSize is on and loading has ended.
    void AdjustSize();

    // State.
    bool MouseInside() const { return mouseInside_; }
    /// Entered and not yet left; stays set while the mouse is captured.
    bool Hot() const { return hot_; }
    /// The container's active control.
    bool Focused() const { return focused_; }
    bool IsLoading() const { return loading_; }
    /// Tick count of the last invalidation: the paint stamp (hit regions are rebuilt when it
    /// changes).
    std::uint32_t LastInvalidation() const { return lastInvalidation_; }
    runtime::TShiftState ShiftState() const { return shift_; }
    runtime::TPoint LastMousePos() const { return lastMouse_; }
    bool ButtonPressed(runtime::TMouseButton button) const;
    /// The container's control buffer while a paint runs, else null. Descendants draw into it
    /// in Paint, usually at (0, 0).
    TAbstractSuperDIB* PaintBuffer() const { return paintBuffer_; }
    /// Paints the control alone into `buffer` (sized to the control by the caller) as the
    /// container does, without composing it anywhere: hit regions are built from this.
    void PaintToBuffer(TAbstractSuperDIB& buffer);

    // Image links, in creation order.
    /// A link owned by the control whose image notices reach ImageChanged.
    TDIBImageLink* CreateImageLink();
    int ImageLinkCount() const { return static_cast<int>(links_.size()); }
    TDIBImageLink* ImageLinks(int index) const;

    // Features and Children (the collections of cDIBFeatures plug in here; none by default).
    TDIBFeatureHook* DIBFeatures() const { return features_.get(); }
    void SetDIBFeatures(std::unique_ptr<TDIBFeatureHook> features);
    TDIBChildrenHook* Children() const { return children_.get(); }
    void SetChildren(std::unique_ptr<TDIBChildrenHook> children);

    // Templates.
    /// Adds a published property to the names SaveTemplate writes ("Width", "Height" at first).
    void RegisterTemplateProperty(const std::string& name);
    const std::vector<std::string>& TemplateProperties() const { return templateProps_; }
    virtual void SaveTemplate(runtime::TStream& stream);
    /// Reads a template (an untrusted stream: damage raises, nothing is read or allocated
    /// beyond what the stream holds), then runs Loaded.
    virtual void LoadTemplate(runtime::TStream& stream);

    /// A stop asked of the repeat timer, taken at its next tick.
    virtual void StopRepeat();

    void SetBounds(int left, int top, int width, int height) override;
    void SetParent(runtime::TWinControl* parent) override;
    void Invalidate() override;
    /// Ends loading: features take their stored parameters, the tab order applies, and the
    /// control takes its auto size.
    void Loaded() override;
    /// The own popup menu, else the shared one after FillPopupMenu when it then has items.
    runtime::TPopupMenu* GetPopupMenu() override;
    void WndProc(runtime::TMessage& message) override;
    void Dispatch(runtime::TMessage& message) override;

    runtime::TNotifyEvent OnEnter;
    runtime::TNotifyEvent OnExit;
    runtime::TKeyEvent OnKeyDown;
    runtime::TKeyEvent OnKeyUp;
    runtime::TKeyPressEvent OnKeyPress;
    runtime::TNotifyEvent OnPaintStart;
    runtime::TNotifyEvent OnPaintEnd;
    /// Fired by the base Paint (not published).
    runtime::TNotifyEvent OnPaint;

protected:
    friend class TCustomDIBContainer;

    virtual void DoPaintEnd();
    /// Lets the control widen the container's paint rectangle (client coordinates).
    virtual void AdjustUpdateRect(TRect& rect);
    virtual void DoPaintStart();
    virtual void Highlight() {}
    virtual void Unhighlight() {}
    virtual void EnterFocus();
    virtual void ExitFocus();
    virtual void HandleKeyDown(runtime::TMessage& message);
    virtual void HandleKeyPress(runtime::TMessage& message);
    virtual void HandleKeyUp(runtime::TMessage& message);
    virtual void MouseEnter();
    virtual void MouseLeave();
    /// An image of a link changed: the control takes its auto size and repaints.
    virtual void ImageChanged(int index, TDIBImageChange kind);
    /// Offers a key to the popup menu and the form; answers whether one took it.
    virtual bool CheckShortCut(runtime::TMessage& message);
    /// Fires OnPaint; descendants draw into PaintBuffer here.
    void Paint() override;
    /// Fills the shared popup menu for a control without its own (nothing in the base).
    virtual void FillPopupMenu(runtime::TPopupMenu& menu);

    void Click() override;
    void MouseDown(runtime::TMouseButton button, runtime::TShiftState shift, int x, int y) override;
    void MouseUp(runtime::TMouseButton button, runtime::TShiftState shift, int x, int y) override;
    void CMMouseEnter(runtime::TMessage& message) override;
    void CMMouseLeave(runtime::TMessage& message) override;
    void CMEnabledChanged(runtime::TMessage& message) override;
    void Notification(runtime::TComponent* component, runtime::TOperation operation) override;

    /// Takes the keyboard focus among the container's controls.
    void TakeFocus();

    /// Sets AutoSize without sizing: a control's default, or a switch-off that another
    /// setting implies.
    void StoreAutoSize(bool value) { autoSize_ = value; }
    /// The size of one frame of a horizontal strip of `frames` frames; false without an image.
    static bool FrameSize(const TDIBImageLink& strip, int frames, int& width, int& height);

private:
    void paintInto(TAbstractSuperDIB& back, TAbstractSuperDIB& buffer);
    void repeatTick();
    void applyTabOrder();
    void writeProperty(runtime::TBinaryWriter& out, const std::string& name);
    void readProperty(runtime::TBinaryReader& in);

    std::uint32_t lastInvalidation_ = 0;
    std::vector<std::unique_ptr<TDIBImageLink>> links_;
    TCustomDIBImageList* imageList_ = nullptr;
    TAbstractSuperDIB* paintBuffer_ = nullptr;
    char accelerator_ = 0;
    bool loading_ = true;
    bool stopRepeat_ = false;
    bool settingBounds_ = false;
    std::unique_ptr<TDIBChildrenHook> children_;
    bool autoRepeat_ = false;
    std::uint32_t repeatInterval_ = 250;
    runtime::TPoint lastMouse_;
    runtime::TShiftState shift_ = 0;
    std::unique_ptr<TDIBTimer> repeatTimer_;
    runtime::TMessage repeatMessage_;
    bool mouseInside_ = false;
    bool hot_ = false;
    bool focused_ = false;
    std::unique_ptr<TDIBFeatureHook> features_;
    std::uint8_t opacity_ = 255;
    bool sizeKept_ = false;
    std::uint8_t pressed_ = 0;
    std::vector<std::string> templateProps_;
    int tabOrder_ = -1;
    std::uint8_t dialogKeys_ = dkArrows;
    bool autoSize_ = false;
};

/// The component a template stores each image in: its one property, DIB, is the image.
class TDIBWrapper : public runtime::TComponent {
public:
    explicit TDIBWrapper(runtime::TComponent* owner) : TComponent(owner) {}
    std::string ClassName() const override { return "TDIBWrapper"; }
    /// The surface written from or read into (not owned).
    TCustomMemoryDIB* DIB() const { return dib_; }
    void SetDIB(TCustomMemoryDIB* dib) { dib_ = dib; }

    /// The wrapper as a component stream; the DIB's Data as the current compressor packs it.
    void WriteToStream(runtime::TStream& stream) const;
    /// Reads one component stream into DIB (which must be set); damage raises EReadError or
    /// EDIBControlError, leaving the stream anywhere inside the component.
    void ReadFromStream(runtime::TStream& stream);

private:
    TCustomMemoryDIB* dib_ = nullptr;
};

/// The component a template stores an object property's value in: Persistent's published
/// properties, written through the property registry.
class TPersistentWrapper : public runtime::TComponent {
public:
    explicit TPersistentWrapper(runtime::TComponent* owner) : TComponent(owner) {}
    std::string ClassName() const override { return "TPersistentWrapper"; }
    runtime::TPersistent* Persistent() const { return persistent_; }
    void SetPersistent(runtime::TPersistent* object) { persistent_ = object; }

    void WriteToStream(runtime::TStream& stream) const;
    /// Sets the published properties of Persistent that the stream names; unknown names and
    /// values of another kind are skipped.
    void ReadFromStream(runtime::TStream& stream);

private:
    runtime::TPersistent* persistent_ = nullptr;
};

} // namespace toolkit
