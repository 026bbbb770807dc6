#include "toolkit/cDIBBorder.h"

#include <algorithm>

namespace toolkit {

// ---- TDIBBorderEdge ---------------------------------------------------------------------------

TDIBBorderEdge::TDIBBorderEdge(TDIBBorder* border, bool vertical)
    : border_(border), vertical_(vertical), start_(std::make_unique<TDIBImageLink>(border)),
      middle_(std::make_unique<TDIBImageLink>(border)),
      end_(std::make_unique<TDIBImageLink>(border)) {
    for (TDIBImageLink* link : {start_.get(), middle_.get(), end_.get()})
        link->OnImageChanged = [this](runtime::TPersistent*, int, TDIBImageChange) { changed(); };
}

TDIBBorderEdge::~TDIBBorderEdge() = default;

void TDIBBorderEdge::Assign(const runtime::TPersistent* source) {
    if (const auto* other = dynamic_cast<const TDIBBorderEdge*>(source)) {
        drawStyle_ = other->drawStyle_;
        autoCalcSize_ = other->autoCalcSize_;
        size_ = other->size_;
        start_->SetDIBIndex(other->start_->DIBIndex());
        middle_->SetDIBIndex(other->middle_->DIBIndex());
        end_->SetDIBIndex(other->end_->DIBIndex());
        changed();
        return;
    }
    TPersistent::Assign(source);
}

void TDIBBorderEdge::SetDrawStyle(TDIBBorderDrawStyle value) {
    if (value == drawStyle_) return;
    drawStyle_ = value;
    changed();
}

void TDIBBorderEdge::SetAutoCalcSize(bool value) {
    if (value == autoCalcSize_) return;
    autoCalcSize_ = value;
    changed();
}

void TDIBBorderEdge::SetSize(int value) {
    value = std::max(value, 0);
    if (value == size_) return;
    size_ = value;
    changed();
}

void TDIBBorderEdge::setImageList(TCustomDIBImageList* list) {
    for (TDIBImageLink* link : {start_.get(), middle_.get(), end_.get()})
        link->SetDIBImageList(list);
}

void TDIBBorderEdge::changed() {
    if (border_ != nullptr) border_->edgeChanged();
}

int TDIBBorderEdge::across(const TDIBImageLink& link) const {
    TAbstractSuperDIB* image = nullptr;
    if (!link.IsValid() || !link.GetImage(image)) return -1;
    return vertical_ ? image->Width() : image->Height();
}

int TDIBBorderEdge::Size() const {
    if (!autoCalcSize_) return size_;
    return std::max({across(*start_), across(*middle_), across(*end_), 0});
}

namespace {

// Lengths of an image along and across an edge.
int alongOf(const TAbstractSuperDIB& image, bool vertical) {
    return vertical ? image.Height() : image.Width();
}

} // namespace

void TDIBBorderEdge::Draw(TAbstractSuperDIB& dest, const TRect& rect, bool farSide) {
    const int first = vertical_ ? rect.Top : rect.Left;
    const int last = vertical_ ? rect.Bottom : rect.Right;
    if (last <= first) return;
    // Where an image of this extent across the edge goes.
    auto place = [&](int acrossExtent, int along, int& x, int& y) {
        const int side = vertical_ ? (farSide ? rect.Right - acrossExtent : rect.Left)
                                   : (farSide ? rect.Bottom - acrossExtent : rect.Top);
        x = vertical_ ? side : along;
        y = vertical_ ? along : side;
    };
    // The list hands out one scratch surface at a time: take each image just before drawing it.
    TAbstractSuperDIB* image = nullptr;
    const int startLength =
        start_->IsValid() && start_->GetImage(image) ? alongOf(*image, vertical_) : 0;
    const int endLength = end_->IsValid() && end_->GetImage(image) ? alongOf(*image, vertical_) : 0;
    const int spanFirst = first + startLength, spanLast = last - endLength;

    if (spanLast > spanFirst && middle_->IsValid() && middle_->GetImage(image)) {
        const int acrossExtent = vertical_ ? image->Width() : image->Height();
        const int tile = alongOf(*image, vertical_);
        int x = 0, y = 0;
        if (drawStyle_ == dsStretch) {
            if (stretched_ == nullptr) stretched_ = std::make_unique<TMemoryDIB>();
            image->CopyPropertiesTo(stretched_.get());
            const int span = spanLast - spanFirst;
            stretched_->SetSize(vertical_ ? acrossExtent : span, vertical_ ? span : acrossExtent);
            stretched_->StretchFrom(*image);
            place(acrossExtent, spanFirst, x, y);
            stretched_->Draw(x, y, stretched_->Width(), stretched_->Height(), dest);
        } else {
            for (int at = spanFirst; at < spanLast; at += tile) {
                const int length = std::min(tile, spanLast - at);
                place(acrossExtent, at, x, y);
                image->Draw(x, y, vertical_ ? acrossExtent : length,
                            vertical_ ? length : acrossExtent, dest);
            }
        }
    }
    if (start_->IsValid() && start_->GetImage(image)) {
        int x = 0, y = 0;
        place(vertical_ ? image->Width() : image->Height(), first, x, y);
        image->Draw(x, y, image->Width(), image->Height(), dest);
    }
    if (end_->IsValid() && end_->GetImage(image)) {
        int x = 0, y = 0;
        place(vertical_ ? image->Width() : image->Height(), last - alongOf(*image, vertical_), x,
              y);
        image->Draw(x, y, image->Width(), image->Height(), dest);
    }
}

// ---- TDIBBorder -------------------------------------------------------------------------------

TDIBBorder::TDIBBorder(runtime::TComponent* owner)
    : TComponent(owner), left_(std::make_unique<TDIBVertBorderEdge>(this)),
      right_(std::make_unique<TDIBVertBorderEdge>(this)),
      top_(std::make_unique<TDIBHorzBorderEdge>(this)),
      bottom_(std::make_unique<TDIBHorzBorderEdge>(this)) {}

TDIBBorder::~TDIBBorder() {
    IncludeState(runtime::csDestroying);
}

void TDIBBorder::SetDIBImageList(TCustomDIBImageList* list) {
    if (list == imageList_) return;
    if (imageList_ != nullptr) imageList_->RemoveFreeNotification(this);
    imageList_ = list;
    if (list != nullptr) list->FreeNotification(this);
    for (TDIBBorderEdge* edge :
         {static_cast<TDIBBorderEdge*>(left_.get()), static_cast<TDIBBorderEdge*>(right_.get()),
          static_cast<TDIBBorderEdge*>(top_.get()), static_cast<TDIBBorderEdge*>(bottom_.get())})
        edge->setImageList(list);
    edgeChanged();
}

void TDIBBorder::Notification(runtime::TComponent* component, runtime::TOperation operation) {
    if (operation == runtime::TOperation::opRemove && component == imageList_)
        SetDIBImageList(nullptr);
    TComponent::Notification(component, operation);
}

void TDIBBorder::edgeChanged() {
    if (!HasState(runtime::csDestroying) && OnChange) OnChange(this);
}

void TDIBBorder::DrawBorder(TAbstractSuperDIB& dest, const TRect& client) {
    left_->Draw(dest, client, false);
    right_->Draw(dest, client, true);
    const TRect between{client.Left + left_->Size(), client.Top, client.Right - right_->Size(),
                        client.Bottom};
    top_->Draw(dest, between, false);
    bottom_->Draw(dest, between, true);
}

TRect TDIBBorder::ShrinkClientRect(const TRect& client) const {
    return {client.Left + left_->Size(), client.Top + top_->Size(), client.Right - right_->Size(),
            client.Bottom - bottom_->Size()};
}

} // namespace toolkit
