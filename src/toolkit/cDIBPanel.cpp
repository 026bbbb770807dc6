#include "toolkit/cDIBPanel.h"

#include "runtime/Forms.h"
#include "runtime/Mouse.h"
#include "runtime/Properties.h"
#include "runtime/ScopedFlag.h"
#include "toolkit/cDIBBorder.h"
#include "toolkit/cDIBControl.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

namespace toolkit {

using namespace runtime::messages;
using runtime::TMessage;

namespace {

void registerContainerClasses() {
    static const bool done = [] {
        runtime::PublishClass<TCustomDIBContainer>("TCustomDIBContainer", "TCustomPanel")
            .Enumeration("BorderDrawPosition", "TBorderDrawPosition",
                         {"bdOverControls", "bdUnderControls"},
                         &TCustomDIBContainer::BorderDrawPosition,
                         &TCustomDIBContainer::SetBorderDrawPosition);
        runtime::PublishClass<TDIBContainer>("TDIBContainer", "TCustomDIBContainer");
        return true;
    }();
    (void)done;
}

bool meets(const TRect& a, const TRect& b) {
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

TRect intersection(const TRect& a, const TRect& b) {
    return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
}

bool opaqueChild(const runtime::TControl* c) {
    return c->Visible() && (c->ControlStyle() & runtime::csOpaque) != 0 && c->Width() > 0 &&
           c->Height() > 0;
}

// Whether (x, y) lies under an opaque child; `right` becomes the furthest right edge of those
// that hold it.
bool coveredAt(const runtime::TWinControl& parent, int x, int y, int& right) {
    bool covered = false;
    for (int i = 0; i < parent.ControlCount(); ++i) {
        const runtime::TControl* c = parent.Controls(i);
        if (opaqueChild(c) && c->BoundsRect().Contains(x, y)) {
            right = covered ? std::max(right, c->BoundsRect().Right) : c->BoundsRect().Right;
            covered = true;
        }
    }
    return covered;
}

bool rowCovered(const runtime::TWinControl& parent, const TRect& rect, int y) {
    for (int x = rect.Left; x < rect.Right;) {
        int right = x;
        if (!coveredAt(parent, x, y, right)) return false;
        x = right;
    }
    return true;
}

// Coverage only changes where a child's top or bottom edge lies, so checking the first row
// and the rows at those edges checks every row.
bool coveredByOpaqueChildren(const runtime::TWinControl& parent, const TRect& rect) {
    if (!rowCovered(parent, rect, rect.Top)) return false;
    for (int i = 0; i < parent.ControlCount(); ++i) {
        const runtime::TControl* c = parent.Controls(i);
        if (!opaqueChild(c)) continue;
        for (const int y : {c->Top(), c->Top() + c->Height()})
            if (y > rect.Top && y < rect.Bottom && !rowCovered(parent, rect, y)) return false;
    }
    return true;
}

} // namespace

// The owner's insertion notice arrives while this object is still only a component, so the
// palette announces itself once it is whole.
TDIBPaletteComponent::TDIBPaletteComponent(runtime::TComponent* owner) : TComponent(owner) {
    if (owner == nullptr) return;
    for (int i = 0; i < owner->ComponentCount(); ++i)
        if (auto* container = dynamic_cast<TCustomDIBContainer*>(owner->Components(i)))
            if (container->Palette() == nullptr) container->SetPalette(this);
}

/// The control buffers of the containers of one thread. A control paints into one and its
/// container blends it into the back buffer at once, so the containers of a thread (the editor
/// windows of several plug-in instances) take turns with one set; each further window then costs
/// no buffers. Threads keep sets of their own: hosts may run windows on several threads.
struct TDIBControlBuffers {
    std::vector<std::unique_ptr<TWinDIB>> buffers;
};

namespace {

std::shared_ptr<TDIBControlBuffers> controlBuffersOfThisThread() {
    // A registry rather than a thread_local: a container may go on another thread than the one
    // that made it, and the set must go with its last container, wherever that is.
    static std::mutex mutex;
    static std::map<std::thread::id, std::weak_ptr<TDIBControlBuffers>> sets;
    const std::lock_guard<std::mutex> lock(mutex);
    std::erase_if(sets, [](const auto& entry) { return entry.second.expired(); });
    std::weak_ptr<TDIBControlBuffers>& slot = sets[std::this_thread::get_id()];
    if (auto held = slot.lock()) return held;
    auto made = std::make_shared<TDIBControlBuffers>();
    made->buffers.push_back(std::make_unique<TWinDIB>());
    slot = made;
    return made;
}

} // namespace

TCustomDIBContainer::TCustomDIBContainer(runtime::TComponent* owner)
    : TCustomPanel(owner), backBuffer_(std::make_unique<TWinDIB>()),
      controlBuffers_(controlBuffersOfThisThread()) {
    registerContainerClasses();
    SetDoubleBuffered(true);
}

TCustomDIBContainer::~TCustomDIBContainer() {
    // The controls may outlive the container (their owner is the form): they only lose it.
    tabList_.clear();
    activeControl_ = nullptr;
    if (border_ != nullptr) border_->OnChange = nullptr;
}

// ---- Geometry ---------------------------------------------------------------------------------

void TCustomDIBContainer::SetBounds(int left, int top, int width, int height) {
    TCustomPanel::SetBounds(left, top, width, height);
    if (!HasState(runtime::csLoading)) resizeBackBuffer();
}

void TCustomDIBContainer::Loaded() {
    TCustomPanel::Loaded();
    resizeBackBuffer();
    RebuildTabOrder();
}

void TCustomDIBContainer::resizeBackBuffer() {
    backBuffer_->SetSize(std::max(Width(), 1), std::max(Height(), 1));
}

TRect TCustomDIBContainer::AdjustedClientRect() const {
    const TRect client = ClientRect();
    return border_ != nullptr ? border_->ShrinkClientRect(client) : client;
}

// ---- Border and palette -----------------------------------------------------------------------

void TCustomDIBContainer::SetDIBBorder(TDIBBorder* border) {
    if (border == border_) return;
    if (border_ != nullptr) {
        border_->OnChange = nullptr;
        border_->RemoveFreeNotification(this);
    }
    border_ = border;
    if (border_ != nullptr) {
        border_->FreeNotification(this);
        border_->OnChange = [this](runtime::TPersistent*) { Invalidate(); };
    }
    Invalidate();
}

void TCustomDIBContainer::SetBorderDrawPosition(TBorderDrawPosition value) {
    if (value == borderPosition_) return;
    borderPosition_ = value;
    Invalidate();
}

void TCustomDIBContainer::SetPalette(TDIBPaletteComponent* palette) {
    if (palette == palette_) return;
    if (palette_ != nullptr) palette_->RemoveFreeNotification(this);
    palette_ = palette;
    if (palette_ != nullptr) palette_->FreeNotification(this);
    Invalidate();
}

void TCustomDIBContainer::Notification(runtime::TComponent* component,
                                       runtime::TOperation operation) {
    if (operation == runtime::TOperation::opInsert) {
        if (palette_ == nullptr)
            if (auto* palette = dynamic_cast<TDIBPaletteComponent*>(component)) SetPalette(palette);
    } else {
        if (component == palette_) palette_ = nullptr;
        if (component == border_) {
            border_ = nullptr;
            Invalidate();
        }
        for (TCustomDIBControl* c : tabList_)
            if (static_cast<runtime::TComponent*>(c) == component) {
                removeFromTabList(c);
                break;
            }
        if (activeControl_ != nullptr &&
            static_cast<runtime::TComponent*>(activeControl_) == component)
            activeControl_ = nullptr;
    }
    TCustomPanel::Notification(component, operation);
}

// ---- Paint ------------------------------------------------------------------------------------

bool TCustomDIBContainer::adjustUpdateRect(const TRect& paintRect) {
    TRect enlarged = paintRect;
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* control = dynamic_cast<TCustomDIBControl*>(Controls(i)))
            control->AdjustUpdateRect(enlarged);
    enlarged = intersection(enlarged, ClientRect());
    // A few extra rows at the bottom are composed in this pass; anything else waits for a
    // paint of the larger area.
    if (enlarged.Left != paintRect.Left || enlarged.Top != paintRect.Top ||
        enlarged.Right != paintRect.Right || std::abs(enlarged.Bottom - paintRect.Bottom) > 2) {
        ValidateRect(paintRect);
        InvalidateRect(enlarged, false);
        pending_ = true;
        return false;
    }
    updateRect_ = enlarged;
    return true;
}

void TCustomDIBContainer::WMPaint(TMessage&) {
    const TRect paintRect = intersection(BeginPaint(), ClientRect());
    if (isEmpty(paintRect)) {
        EndPaint();
        return;
    }
    updateRect_ = paintRect;
    if (!pending_ && !adjustUpdateRect(paintRect)) {
        EndPaint();
        return;
    }
    pending_ = false;
    try {
        composeBuffer();
        presentRect_ = paintRect;
        presentUpdateRect();
    } catch (...) {
        EndPaint();
        throw;
    }
    EndPaint();
}

void TCustomDIBContainer::composeBuffer() {
    if (backBuffer_->Width() != std::max(Width(), 1) ||
        backBuffer_->Height() != std::max(Height(), 1) || !backBuffer_->HasPixels())
        resizeBackBuffer();
    const TRect& u = updateRect_;
    backBuffer_->SetClipRect({u.Left, u.Top, u.Right - 1, u.Bottom - 1});
    BeforePaintBuffer();
    fillUpdateRect();
    if (border_ != nullptr && borderPosition_ == bdUnderControls)
        border_->DrawBorder(*backBuffer_, ClientRect());
    paintControls();
    AfterPaintBuffer();
}

void TCustomDIBContainer::fillUpdateRect() {
    const TRect& u = updateRect_;
    if (coveredByOpaqueChildren(*this, u)) return;
    if (u == ClientRect())
        backBuffer_->Fill(Color());
    else
        backBuffer_->FillRect(Color(), u.Left, u.Top, u.Right - u.Left, u.Bottom - u.Top);
}

void TCustomDIBContainer::paintControls() {
    const bool designing = HasState(runtime::csDesigning);
    const TRect clip = backBuffer_->ClipRect();
    for (int i = 0; i < ControlCount(); ++i) {
        auto* control = dynamic_cast<TCustomDIBControl*>(Controls(i));
        if (control == nullptr || !(control->Visible() || designing)) continue;
        if (!meets(control->BoundsRect(), updateRect_)) continue;
        const int left = control->Left(), top = control->Top();
        TWinDIB& buffer = controlBufferFor(control->Width(), control->Height());
        buffer.ResetProperties();
        buffer.SetClipRect(
            {clip.Left - left, clip.Top - top, clip.Right - left, clip.Bottom - top});
        control->paintInto(*backBuffer_, buffer);
    }
}

TWinDIB& TCustomDIBContainer::ControlBuffer() {
    return *controlBuffers_->buffers[lastBuffer_];
}

TWinDIB& TCustomDIBContainer::controlBufferFor(int width, int height) {
    constexpr std::size_t kMaxBuffers = 32;
    width = std::max(width, 1);
    height = std::max(height, 1);
    std::vector<std::unique_ptr<TWinDIB>>& buffers = controlBuffers_->buffers;
    for (std::size_t i = 0; i < buffers.size(); ++i) {
        TWinDIB& b = *buffers[i];
        if (b.Width() == width && b.Height() == height && b.HasPixels()) {
            lastBuffer_ = i;
            return b;
        }
    }
    if (!buffers.back()->HasPixels() || buffers.size() >= kMaxBuffers) {
        lastBuffer_ = buffers.size() - 1;
    } else {
        buffers.push_back(std::make_unique<TWinDIB>());
        lastBuffer_ = buffers.size() - 1;
    }
    buffers[lastBuffer_]->SetSize(width, height);
    return *buffers[lastBuffer_];
}

void TCustomDIBContainer::presentUpdateRect() {
    const TRect r = presentRect_;
    if (DisplayBitsPerPixel() == 8 && !HasState(runtime::csDesigning) && palette_ != nullptr &&
        palette_->Palette.Lookup.size() == 262144) {
        // The same conversion Render8Bit makes, sent to the window instead of a device.
        const auto indices = backBuffer_->ConvertTo8Bit(palette_->Palette, r.Left, r.Top,
                                                        r.Right - r.Left, r.Bottom - r.Top);
        const std::size_t colours = std::min<std::size_t>(palette_->Palette.Entries.size(), 235);
        if (!indices.empty())
            Blit8BitToWindow(r, indices.data(), palette_->Palette.Entries.data(),
                             static_cast<int>(colours));
        return;
    }
    BlitToWindow(r, backBuffer_->Canvas().Surface(), r.Left, r.Top);
}

void TCustomDIBContainer::BeforePaintBuffer() {
    if (BeforePaint) BeforePaint(this);
}

void TCustomDIBContainer::AfterPaintBuffer() {
    if (border_ != nullptr && borderPosition_ == bdOverControls)
        border_->DrawBorder(*backBuffer_, ClientRect());
    if (AfterPaint) AfterPaint(this);
}

void TCustomDIBContainer::WMEraseBkgnd(TMessage& message) {
    message.Result = 1;
}

// ---- Mouse ------------------------------------------------------------------------------------

void TCustomDIBContainer::WndProc(TMessage& message) {
    if (message.Msg == WM_LBUTTONUP) routeCapturedRelease();
    TCustomPanel::WndProc(message);
}

void TCustomDIBContainer::routeCapturedRelease() {
    runtime::TControl* captured = runtime::GetCaptureControl();
    if (captured == nullptr || captured == this || !ContainsControl(captured)) return;
    const runtime::TPoint pointer = runtime::CursorPos();
    const runtime::TPoint topLeft = captured->ClientToScreen({0, 0});
    const TRect screen{topLeft.X, topLeft.Y, topLeft.X + captured->Width(),
                       topLeft.Y + captured->Height()};
    if (screen.Contains(pointer.X, pointer.Y)) return;
    captured->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<std::intptr_t>(captured));
    runtime::TControl* under = runtime::FindDragTarget(pointer, false);
    if (under == nullptr || under == captured) return;
    // The runtime's pointer tracking may have entered it already while the drag went on.
    if (auto* dib = dynamic_cast<TCustomDIBControl*>(under); dib != nullptr && dib->Hot()) return;
    under->Perform(CM_MOUSEENTER, 0, reinterpret_cast<std::intptr_t>(under));
}

void TCustomDIBContainer::WMLButtonUp(TMessage& message) {
    TCustomPanel::WMLButtonUp(message);
}

void TCustomDIBContainer::WMSetCursor(TMessage& message) {
    TCustomPanel::WMSetCursor(message);
}

// ---- Focus ------------------------------------------------------------------------------------

void TCustomDIBContainer::SetActiveControl(TCustomDIBControl* control) {
    if (settingActive_) return;
    const runtime::TScopedFlag setting(settingActive_);
    TCustomDIBControl* old = activeControl_;
    if (old != nullptr && old != control) old->Perform(WM_KILLFOCUS);
    activeControl_ = control;
    if (control != nullptr) control->Perform(WM_SETFOCUS);
    if (OnActiveControlChange) OnActiveControlChange(this);
}

void TCustomDIBContainer::CMEnter(TMessage& message) {
    if (activeControl_ != nullptr) return;
    if (tabList_.empty()) {
        TCustomPanel::CMEnter(message);
        return;
    }
    const bool backwards = (runtime::KeyboardShiftState() & runtime::ssShift) != 0;
    bool wrapped = false;
    SetActiveControl(FindNextDIBControl(nullptr, !backwards, wrapped));
    DoEnter();
}

void TCustomDIBContainer::CMExit(TMessage& message) {
    SetActiveControl(nullptr);
    TCustomPanel::CMExit(message);
}

void TCustomDIBContainer::CMFocusChanged(TMessage& message) {
    // Windowed controls cannot be the active control: a focus moving anywhere but to the
    // container itself leaves no windowless control active.
    const auto* focused = reinterpret_cast<runtime::TWinControl*>(message.LParam);
    if (focused != this && activeControl_ != nullptr) SetActiveControl(nullptr);
    TCustomPanel::CMFocusChanged(message);
}

// ---- Tab list ---------------------------------------------------------------------------------

TCustomDIBControl* TCustomDIBContainer::DIBTabList(int index) const {
    if (index < 0 || index >= DIBTabCount()) return nullptr;
    return tabList_[static_cast<std::size_t>(index)];
}

void TCustomDIBContainer::syncTabOrders() {
    for (std::size_t i = 0; i < tabList_.size(); ++i)
        tabList_[i]->tabOrder_ = static_cast<int>(i);
    SetTabStop(!tabList_.empty());
}

void TCustomDIBContainer::SetControlTabOrder(TCustomDIBControl* control, int index) {
    if (control == nullptr) return;
    std::erase(tabList_, control);
    if (index >= 0) {
        const auto at = std::min<std::size_t>(static_cast<std::size_t>(index), tabList_.size());
        tabList_.insert(tabList_.begin() + static_cast<std::ptrdiff_t>(at), control);
    }
    syncTabOrders();
}

void TCustomDIBContainer::removeFromTabList(TCustomDIBControl* control) {
    std::erase(tabList_, control);
    if (activeControl_ == control) activeControl_ = nullptr;
    syncTabOrders();
}

void TCustomDIBContainer::RebuildTabOrder() {
    tabList_.clear();
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* control = dynamic_cast<TCustomDIBControl*>(Controls(i));
            control != nullptr && control->tabOrder_ >= 0)
            tabList_.push_back(control);
    std::stable_sort(tabList_.begin(), tabList_.end(),
                     [](const TCustomDIBControl* a, const TCustomDIBControl* b) {
                         return a->tabOrder_ < b->tabOrder_;
                     });
    syncTabOrders();
}

TCustomDIBControl* TCustomDIBContainer::FindNextDIBControl(TCustomDIBControl* current, bool forward,
                                                           bool& wrapped) const {
    wrapped = false;
    const int count = DIBTabCount();
    if (count == 0) return nullptr;
    int at = -1;
    for (int i = 0; i < count; ++i)
        if (tabList_[static_cast<std::size_t>(i)] == current) at = i;
    if (at < 0) at = forward ? -1 : count;
    for (int step = 1; step <= count; ++step) {
        int i = forward ? at + step : at - step;
        if (i >= count || i < 0) {
            wrapped = true;
            i = (i % count + count) % count;
        }
        TCustomDIBControl* candidate = tabList_[static_cast<std::size_t>(i)];
        if (candidate->Enabled() && candidate->Visible()) return candidate;
    }
    return nullptr;
}

// ---- Keys -------------------------------------------------------------------------------------

void TCustomDIBContainer::WMGetDlgCode(TMessage& message) {
    message.Result = DLGC_WANTALLKEYS;
}

bool TCustomDIBContainer::activeWantsKey(TMessage& message) {
    TCustomDIBControl* active = activeControl_;
    if (active == nullptr) return false;
    const bool keyDown = message.Msg == WM_KEYDOWN || message.Msg == WM_SYSKEYDOWN;
    if (keyDown && active->CheckShortCut(message)) return false;
    if (HasState(runtime::csDesigning)) return true;
    const auto key = static_cast<int>(message.WParam);
    if (active->Perform(CM_CHILDKEY, message.WParam, reinterpret_cast<std::intptr_t>(active)) != 0)
        return false;
    const std::intptr_t code = active->Perform(WM_GETDLGCODE);
    const bool all = (code & DLGC_WANTALLKEYS) != 0;
    const bool character = message.Msg == WM_CHAR;
    if (key == VK_TAB) return all || (code & DLGC_WANTTAB) != 0;
    if (key == VK_RETURN || key == VK_ESCAPE || key == VK_CANCEL ||
        (!character && key == VK_EXECUTE))
        return all;
    if (!character && key >= VK_LEFT && key <= VK_DOWN) return all || (code & DLGC_WANTARROWS) != 0;
    return true;
}

bool TCustomDIBContainer::routeKeyToActive(TMessage& message) {
    if (!activeWantsKey(message)) return false;
    message.Result = activeControl_->Perform(message.Msg, message.WParam, message.LParam);
    return true;
}

bool TCustomDIBContainer::tabKey(bool backwards) {
    const runtime::TScopedFlag tabbing(tabbing_);
    bool wrapped = false;
    TCustomDIBControl* next = FindNextDIBControl(activeControl_, !backwards, wrapped);
    SetActiveControl(next);
    return next != nullptr && !wrapped;
}

void TCustomDIBContainer::WMKeyDown(TMessage& message) {
    if (routeKeyToActive(message)) return;
    const runtime::TShiftState shift = runtime::KeyboardShiftState();
    if (static_cast<int>(message.WParam) == VK_TAB &&
        (shift & (runtime::ssAlt | runtime::ssCtrl)) == 0) {
        // A step that wrapped (or found nothing) lets the form move the focus on.
        if (!tabKey((shift & runtime::ssShift) != 0))
            if (runtime::TCustomForm* form = ParentForm())
                message.Result = form->Perform(CM_DIALOGKEY, message.WParam, message.LParam);
        return;
    }
    TCustomPanel::WMKeyDown(message);
}

void TCustomDIBContainer::WMKeyUp(TMessage& message) {
    if (routeKeyToActive(message)) return;
    TCustomPanel::WMKeyUp(message);
}

void TCustomDIBContainer::WMChar(TMessage& message) {
    if (routeKeyToActive(message)) return;
    TCustomPanel::WMChar(message);
}

} // namespace toolkit
