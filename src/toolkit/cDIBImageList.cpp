#include "toolkit/cDIBImageList.h"

#include <algorithm>

namespace toolkit {

// ---- Items ----------------------------------------------------------------------------------

TDIBImagesItem::TDIBImagesItem(runtime::TCollection* collection)
    : TCollectionItem(collection), dib_(std::make_unique<TMemoryDIB>()),
      displayName_("TDIBImagesItem") {
    dib_->OnChange = [this](runtime::TPersistent*) {
        if (auto* images = dynamic_cast<TDIBImages*>(Collection())) images->ImageChanged(this);
    };
}

void TDIBImagesItem::SetImageRetrieval(TImageRetrieval value) {
    retrieval_ = value;
    dib_->StoreData = value == irInternal;
}

std::string TDIBImagesItem::translate(const std::string& fileName) {
    if (!OnTranslateImagePath) return fileName;
    const auto cut = fileName.find_last_of("/\\");
    std::string folder = cut == std::string::npos ? std::string() : fileName.substr(0, cut + 1);
    const std::string name = cut == std::string::npos ? fileName : fileName.substr(cut + 1);
    OnTranslateImagePath(this, folder);
    if (folder.empty()) return name;
    if (folder.back() != '/' && folder.back() != '\\') folder += '/';
    return folder + name;
}

void TDIBImagesItem::MakeAvailable() {
    if (loaded_) return;
    if (retrieval_ == irInternal) {
        loaded_ = true;
        return;
    }
    if (dib_->ImageFilename.empty()) return;
    // The stored names stay as they are: a translated path is only where to read this time.
    const std::string image = dib_->ImageFilename, mask = dib_->MaskFilename;
    dib_->BeginUpdate();
    try {
        dib_->ImportPicture(translate(image));
        if (!mask.empty()) dib_->ImportMask(translate(mask));
    } catch (...) {
        dib_->ImageFilename = image;
        dib_->MaskFilename = mask;
        dib_->EndUpdate();
        throw;
    }
    dib_->ImageFilename = image;
    dib_->MaskFilename = mask;
    loaded_ = true;
    dib_->EndUpdate();
}

// ---- Collection -----------------------------------------------------------------------------

TDIBImages::TDIBImages(TCustomDIBImageList* list) : TCollection(list), list_(list) {}

TDIBImagesItem* TDIBImages::Items(int index) const {
    return static_cast<TDIBImagesItem*>(TCollection::Items(index));
}

void TDIBImages::ImageChanged(TDIBImagesItem* item) {
    const int index = IndexOf(item);
    if (index >= 0) list_->notify(index, icChanged);
}

void TDIBImages::Added(runtime::TCollectionItem* item) {
    // An insertion before the end moves the items behind it, and their links with them.
    list_->inserted(IndexOf(item), Count() - 1);
}

void TDIBImages::Deleted(int formerIndex) {
    list_->notify(formerIndex, icDeleted);
}

void TDIBImages::Moved(runtime::TCollectionItem*, int from, int to) {
    list_->shift(from, to);
}

// ---- List -----------------------------------------------------------------------------------

TCustomDIBImageList::TCustomDIBImageList(runtime::TComponent* owner)
    : TComponent(owner), images_(std::make_unique<TDIBImages>(this)),
      scratch_(std::make_unique<TMemoryDIB>(1, 1)), scratch2_(std::make_unique<TMemoryDIB>(1, 1)) {}

TCustomDIBImageList::~TCustomDIBImageList() {
    for (TDIBImageLink* link : links_)
        link->list_ = nullptr;
    links_.clear();
    // The scratch surfaces borrow item pixels: let them go before the items.
    scratch_.reset();
    scratch2_.reset();
    images_.reset();
}

bool TCustomDIBImageList::IsValidIndex(int index) const {
    return index >= 0 && index < images_->Count();
}

bool TCustomDIBImageList::GetImage(int index, TAbstractSuperDIB*& image) {
    if (!IsValidIndex(index)) return false;
    TDIBImagesItem* item = images_->Items(index);
    item->MakeAvailable();
    if (!item->DIB().HasPixels()) return false;
    scratch_->ShareFrom(item->DIB());
    image = scratch_.get();
    return true;
}

void TCustomDIBImageList::RegisterLink(TDIBImageLink* link) {
    if (link == nullptr || std::find(links_.begin(), links_.end(), link) != links_.end()) return;
    links_.push_back(link);
    for (int i = 0; i < images_->Count(); ++i)
        link->notice(i, icChanged);
}

void TCustomDIBImageList::UnregisterLink(TDIBImageLink* link) {
    links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
}

TDIBImagesItem* TCustomDIBImageList::FindOrAddTemplateItem(const std::string& name, int number) {
    const std::string wanted = name + ":" + std::to_string(number);
    for (int i = 0; i < images_->Count(); ++i)
        if (images_->Items(i)->TemplateFilename == wanted) return images_->Items(i);
    TDIBImagesItem* item = images_->Add();
    item->TemplateFilename = wanted;
    return item;
}

void TCustomDIBImageList::Loaded() {
    TComponent::Loaded();
    for (int i = 0; i < images_->Count(); ++i)
        if (images_->Items(i)->ImageRetrieval() == irLoadOnStart)
            images_->Items(i)->MakeAvailable();
}

void TCustomDIBImageList::notify(int index, TDIBImageChange kind) {
    // A handler may unregister links (or register new ones): walk a snapshot and skip links
    // that have gone meanwhile.
    const std::vector<TDIBImageLink*> snapshot = links_;
    for (TDIBImageLink* link : snapshot)
        if (std::find(links_.begin(), links_.end(), link) != links_.end())
            link->notice(index, kind);
}

void TCustomDIBImageList::inserted(int index, int oldCount) {
    for (TDIBImageLink* link : links_)
        if (link->index_ >= index && link->index_ < oldCount) ++link->index_;
}

void TCustomDIBImageList::shift(int from, int to) {
    for (TDIBImageLink* link : links_) {
        int& c = link->index_;
        if (c == from)
            c = to;
        else if (from < to && c > from && c <= to)
            --c;
        else if (from > to && c >= to && c < from)
            ++c;
    }
}

// ---- Links ----------------------------------------------------------------------------------

TDIBImageLink::~TDIBImageLink() {
    if (list_ != nullptr) list_->UnregisterLink(this);
}

void TDIBImageLink::Assign(const runtime::TPersistent* source) {
    if (const auto* other = dynamic_cast<const TDIBImageLink*>(source)) {
        SetDIBIndex(other->index_);
        SetDIBImageList(other->list_);
        return;
    }
    TPersistent::Assign(source);
}

void TDIBImageLink::SetDIBImageList(TCustomDIBImageList* list) {
    if (list_ != nullptr) list_->UnregisterLink(this);
    list_ = list;
    if (list_ != nullptr) list_->RegisterLink(this);
}

void TDIBImageLink::SetDIBIndex(int index) {
    if (index == index_) return;
    index_ = index;
    notice(index, icChanged);
}

bool TDIBImageLink::GetImage(TAbstractSuperDIB*& image) const {
    return list_ != nullptr && list_->GetImage(index_, image);
}

bool TDIBImageLink::IsValid() const {
    return list_ != nullptr && list_->IsValidIndex(index_);
}

void TDIBImageLink::notice(int index, TDIBImageChange kind) {
    if (kind == icChanged && index != index_) return;
    if (kind == icDeleted && index > index_) return;
    if (owner_ != nullptr && owner_->HasState(runtime::csDestroying)) return;
    if (kind == icDeleted && index < index_) {
        --index_;
        return;
    }
    if (OnImageChanged) OnImageChanged(this, index, kind);
    if (kind == icDeleted) index_ = -1;
}

} // namespace toolkit
