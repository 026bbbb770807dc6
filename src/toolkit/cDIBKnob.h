#pragma once
// The knob: one frame of a horizontal strip of equally wide frames, chosen by an integer
// position between Min and Max. A left drag turns it without limit: the pointer is hidden and
// put back where the drag began after every move, so each pixel of movement is one step. The
// arrow and page keys step it too.

#include "runtime/Events.h"
#include "runtime/Exception.h"
#include "toolkit/cDIBControl.h"

#include <cstdint>
#include <string>

namespace toolkit {

enum TKnobOrientation { koVertical, koHorizontal };

/// A step size: 1..32767 (setters clamp into it).
using TKnobInc = std::uint16_t;

class EDIBKnobError : public runtime::Exception {
public:
    using Exception::Exception;
};

class TCustomDIBKnob : public TCustomDIBControl {
public:
    explicit TCustomDIBKnob(runtime::TComponent* owner);
    ~TCustomDIBKnob() override;
    std::string ClassName() const override { return "TCustomDIBKnob"; }

    /// The frame strip.
    TDIBImageLink* IndexMain() const { return indexMain_; }

    int Max() const { return max_; }
    /// Pushes Min to value - 1 when it would not stay below; clamps Position.
    void SetMax(int value);
    int Min() const { return min_; }
    /// Pushes Max to value + 1 when it would not stay above; clamps Position.
    void SetMin(int value);
    /// Max - Min.
    std::int64_t Range() const { return range_; }
    int Position() const { return position_; }
    /// Clamps into Min..Max; a change fires OnChange. Repaints in every case.
    void SetPosition(int value);
    /// (Position - Min) / Range.
    float Fraction() const { return fraction_; }
    TKnobInc SmallChange() const { return smallChange_; }
    void SetSmallChange(int value);
    TKnobInc PageSize() const { return pageSize_; }
    void SetPageSize(int value);
    int NumGlyphs() const { return numGlyphs_; }
    /// 0 or less raises EDIBKnobError "NumGlyphs must be greater than 0." and changes nothing.
    void SetNumGlyphs(int value);
    bool DrawTweens() const { return drawTweens_; }
    void SetDrawTweens(bool value);
    bool LoopLastFrame() const { return loopLastFrame_; }
    void SetLoopLastFrame(bool value);
    TKnobOrientation Orientation() const { return orientation_; }
    void SetOrientation(TKnobOrientation value);
    /// A pixel of drag is a PageSize step, and a SmallChange step with Shift held.
    bool UseFineTune() const { return useFineTune_; }
    void SetUseFineTune(bool value) { useFineTune_ = value; }
    /// Screen pixels per 100 drag pixels (a window drawn at that density): a drag steps by
    /// whole drag pixels, the remainder carried to the next move. Values below 1 count as 100.
    int PixelPercent() const { return pixelPercent_; }
    void SetPixelPercent(int value) { pixelPercent_ = value >= 1 ? value : 100; }

    bool Dragging() const { return dragging_; }
    /// The frame Paint shows: (Position - Min) * NumGlyphs div (Max - Min + 1).
    virtual int GetFrameIndex() const;
    /// One frame of the strip (AutoSize is on by default).
    bool CanAutoSize(int& width, int& height) override;

    runtime::TNotifyEvent OnChange;

protected:
    virtual void StartKnobDrag();
    virtual void EndKnobDrag();

    void Paint() override;
    void MouseDown(runtime::TMouseButton button, runtime::TShiftState shift, int x, int y) override;
    void MouseMove(runtime::TShiftState shift, int x, int y) override;
    void MouseUp(runtime::TMouseButton button, runtime::TShiftState shift, int x, int y) override;
    void HandleKeyDown(runtime::TMessage& message) override;

private:
    bool dragging_ = false;
    runtime::TPoint dragStart_;
    TDIBImageLink* indexMain_ = nullptr;
    int max_ = 100;
    int min_ = 0;
    std::int64_t range_ = 100;
    TKnobInc smallChange_ = 1;
    TKnobInc pageSize_ = 5;
    int position_ = 0;
    float fraction_ = 0;
    int numGlyphs_ = 1;
    bool drawTweens_ = false;
    bool loopLastFrame_ = false;
    TKnobOrientation orientation_ = koVertical;
    bool useFineTune_ = false;
    int pixelPercent_ = 100;
    std::int64_t pendingDrag_ = 0; ///< screen pixels x 100 not yet a whole drag pixel
};

/// The knob with its properties published and its template properties registered.
class TDIBKnob : public TCustomDIBKnob {
public:
    explicit TDIBKnob(runtime::TComponent* owner);
    std::string ClassName() const override { return "TDIBKnob"; }
};

} // namespace toolkit
