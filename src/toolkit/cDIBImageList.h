#pragma once
// The image list: an owned, numbered collection of surfaces that controls reach through image
// links by index. The list tells every link when its image changes, is deleted or moves.

#include "runtime/Collections.h"
#include "runtime/Components.h"
#include "toolkit/cDIB.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace toolkit {

class TCustomDIBImageList;
class TDIBImageLink;

enum TImageRetrieval { irInternal, irLoadOnStart, irLoadOnDemand };

/// Kinds of notices a link receives.
enum TDIBImageChange { icDeleted = 0, icChanged = 1 };

/// Lets the owner redirect the folder of an image file (sender, folder in and out).
using TTranslateImagePathEvent =
    std::function<void(runtime::TPersistent* sender, std::string& path)>;

class TDIBImagesItem : public runtime::TCollectionItem {
public:
    explicit TDIBImagesItem(runtime::TCollection* collection);
    std::string ClassName() const override { return "TDIBImagesItem"; }

    TImageRetrieval ImageRetrieval() const { return retrieval_; }
    /// Also decides whether the surface stores its pixels in the form (only irInternal does).
    void SetImageRetrieval(TImageRetrieval value);
    TMemoryDIB& DIB() { return *dib_; }
    const TMemoryDIB& DIB() const { return *dib_; }
    std::string DisplayName() const override { return displayName_; }
    void SetDisplayName(const std::string& name) { displayName_ = name; }
    std::string TemplateFilename;
    TTranslateImagePathEvent OnTranslateImagePath;

    bool IsLoaded() const { return loaded_; }
    /// Loads the picture from its files when the item keeps it there and has not yet.
    void MakeAvailable();

private:
    std::string translate(const std::string& fileName);

    TImageRetrieval retrieval_ = irInternal;
    std::unique_ptr<TMemoryDIB> dib_;
    std::string displayName_;
    bool loaded_ = false;
};

/// The owned items of an image list; forwards changes, deletions and moves to it.
class TDIBImages : public runtime::TCollection {
public:
    explicit TDIBImages(TCustomDIBImageList* list);
    std::string ClassName() const override { return "TDIBImages"; }
    TDIBImagesItem* Items(int index) const;
    TDIBImagesItem* Add() { return static_cast<TDIBImagesItem*>(TCollection::Add()); }
    TDIBImagesItem* Insert(int index) {
        return static_cast<TDIBImagesItem*>(TCollection::Insert(index));
    }
    void ImageChanged(TDIBImagesItem* item);

protected:
    std::unique_ptr<runtime::TCollectionItem> CreateItem() override {
        return std::make_unique<TDIBImagesItem>(this);
    }
    void Added(runtime::TCollectionItem* item) override;
    void Deleted(int formerIndex) override;
    void Moved(runtime::TCollectionItem* item, int from, int to) override;

private:
    TCustomDIBImageList* list_;
};

class TCustomDIBImageList : public runtime::TComponent {
public:
    explicit TCustomDIBImageList(runtime::TComponent* owner);
    ~TCustomDIBImageList() override;
    std::string ClassName() const override { return "TCustomDIBImageList"; }

    TDIBImages& DIBImages() { return *images_; }

    /// The picture at index, loaded first when needed, as the list's shared scratch surface:
    /// valid until the next GetImage on this list. False for invalid indices or no pixels.
    bool GetImage(int index, TAbstractSuperDIB*& image);
    bool IsValidIndex(int index) const;
    void RegisterLink(TDIBImageLink* link);
    void UnregisterLink(TDIBImageLink* link);
    /// The item whose TemplateFilename is name + ":" + number, appended when there is none.
    TDIBImagesItem* FindOrAddTemplateItem(const std::string& name, int number);
    /// Items kept as irLoadOnStart load their files now.
    void Loaded() override;

private:
    friend class TDIBImages;
    void notify(int index, TDIBImageChange kind);
    void shift(int from, int to);
    void inserted(int index, int oldCount);

    std::unique_ptr<TDIBImages> images_;
    std::vector<TDIBImageLink*> links_;
    std::unique_ptr<TMemoryDIB> scratch_;
    std::unique_ptr<TMemoryDIB> scratch2_;
};

class TDIBImageList : public TCustomDIBImageList {
public:
    using TCustomDIBImageList::TCustomDIBImageList;
    std::string ClassName() const override { return "TDIBImageList"; }
};

/// A control's reference to one image: a list and an index (-1 for none).
class TDIBImageLink : public runtime::TPersistent {
public:
    using TImageChangedEvent =
        std::function<void(runtime::TPersistent* sender, int index, TDIBImageChange kind)>;

    explicit TDIBImageLink(runtime::TComponent* owner) : owner_(owner) {}
    ~TDIBImageLink() override;
    std::string ClassName() const override { return "TDIBImageLink"; }
    /// From another link: DIBIndex, then DIBImageList.
    void Assign(const runtime::TPersistent* source) override;

    TCustomDIBImageList* DIBImageList() const { return list_; }
    void SetDIBImageList(TCustomDIBImageList* list);
    int DIBIndex() const { return index_; }
    void SetDIBIndex(int index);
    runtime::TComponent* Owner() const { return owner_; }
    TImageChangedEvent OnImageChanged;

    bool GetImage(TAbstractSuperDIB*& image) const;
    bool IsValid() const;

private:
    friend class TCustomDIBImageList;
    void notice(int index, TDIBImageChange kind);

    runtime::TComponent* owner_;
    TCustomDIBImageList* list_ = nullptr;
    int index_ = -1;
};

} // namespace toolkit
