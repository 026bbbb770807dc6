#include "toolkit/cDIBAnimMgr.h"

#include <algorithm>

namespace toolkit {

TDIBFrameItem::TDIBFrameItem(runtime::TCollection* collection) : TCollectionItem(collection) {
    auto* frames = dynamic_cast<TDIBFrameList*>(collection);
    TDIBAnimation* animation = frames != nullptr ? frames->Animation() : nullptr;
    indexImage_ = std::make_unique<TDIBImageLink>(animation);
    indexImage_->OnImageChanged = [this, animation](runtime::TPersistent*, int, TDIBImageChange) {
        if (animation != nullptr) animation->FrameChanged(Index());
    };
    if (animation != nullptr) indexImage_->SetDIBImageList(animation->DIBImageList());
}

std::string TDIBFrameItem::DisplayName() const {
    return "Frame " + std::to_string(Index() + 1);
}

TDIBFrameList::TDIBFrameList(TDIBAnimation* animation)
    : TCollection(animation), animation_(animation) {}

TDIBFrameItem* TDIBFrameList::Items(int index) const {
    return static_cast<TDIBFrameItem*>(TCollection::Items(index));
}

void TDIBFrameList::Deleted(int formerIndex) {
    if (animation_ != nullptr) animation_->FrameChanged(formerIndex);
}

TDIBAnimation::TDIBAnimation(runtime::TComponent* owner)
    : TComponent(owner), frames_(std::make_unique<TDIBFrameList>(this)) {}

TDIBAnimation::~TDIBAnimation() {
    listeners_.clear(); // frames going away with the animation tell no one
    frames_.reset();
}

void TDIBAnimation::SetDIBImageList(TCustomDIBImageList* list) {
    if (list_ != nullptr) list_->RemoveFreeNotification(this);
    list_ = list;
    if (list_ != nullptr) list_->FreeNotification(this);
    for (int i = 0; i < frames_->Count(); ++i)
        frames_->Items(i)->IndexImage().SetDIBImageList(list);
}

int TDIBAnimation::AddListener(TFrameListener listener) {
    listeners_.emplace_back(nextListener_, std::move(listener));
    return nextListener_++;
}

void TDIBAnimation::RemoveListener(int id) {
    listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(),
                                    [id](const auto& l) { return l.first == id; }),
                     listeners_.end());
}

void TDIBAnimation::FrameChanged(int frame) {
    const auto snapshot = listeners_; // a listener may remove itself
    for (const auto& [id, listener] : snapshot)
        if (listener) listener(this, frame);
}

void TDIBAnimation::Notification(runtime::TComponent* component, runtime::TOperation operation) {
    if (operation == runtime::TOperation::opRemove && component == list_) list_ = nullptr;
    TComponent::Notification(component, operation);
}

} // namespace toolkit
