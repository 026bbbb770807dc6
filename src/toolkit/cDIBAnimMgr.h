#pragma once
// Animations: a list of frames, each an image of an image list with its own drawing
// properties. Listeners hear when a frame is removed or its image changes.

#include "runtime/Collections.h"
#include "runtime/Components.h"
#include "toolkit/cDIBImageList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace toolkit {

class TDIBAnimation;

class TDIBFrameItem : public runtime::TCollectionItem {
public:
    explicit TDIBFrameItem(runtime::TCollection* collection);
    std::string ClassName() const override { return "TDIBFrameItem"; }
    /// "Frame " and the position counted from 1.
    std::string DisplayName() const override;

    TDIBImageLink& IndexImage() { return *indexImage_; }
    bool AutoSize = false;
    std::uint8_t Opacity = 255;
    long double Angle = 0;
    long double Scale = 100;

private:
    std::unique_ptr<TDIBImageLink> indexImage_;
};

class TDIBFrameList : public runtime::TCollection {
public:
    explicit TDIBFrameList(TDIBAnimation* animation);
    std::string ClassName() const override { return "TDIBFrameList"; }
    TDIBAnimation* Animation() const { return animation_; }
    TDIBFrameItem* Items(int index) const;
    TDIBFrameItem* Add() { return static_cast<TDIBFrameItem*>(TCollection::Add()); }

protected:
    std::unique_ptr<runtime::TCollectionItem> CreateItem() override {
        return std::make_unique<TDIBFrameItem>(this);
    }
    void Deleted(int formerIndex) override;

private:
    TDIBAnimation* animation_;
};

class TDIBAnimation : public runtime::TComponent {
public:
    /// Told (animation, frame index) when a frame is removed or its image changes.
    using TFrameListener = std::function<void(TDIBAnimation* sender, int frame)>;

    explicit TDIBAnimation(runtime::TComponent* owner);
    ~TDIBAnimation() override;
    std::string ClassName() const override { return "TDIBAnimation"; }

    TDIBFrameList& Frames() { return *frames_; }
    TCustomDIBImageList* DIBImageList() const { return list_; }
    /// Stores the list and gives it to every frame's image link.
    void SetDIBImageList(TCustomDIBImageList* list);

    /// Returns an id for RemoveListener.
    int AddListener(TFrameListener listener);
    void RemoveListener(int id);
    void FrameChanged(int frame);

protected:
    void Notification(runtime::TComponent* component, runtime::TOperation operation) override;

private:
    std::unique_ptr<TDIBFrameList> frames_;
    TCustomDIBImageList* list_ = nullptr;
    std::vector<std::pair<int, TFrameListener>> listeners_;
    int nextListener_ = 1;
};

} // namespace toolkit
