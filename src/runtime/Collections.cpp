#include "runtime/Collections.h"

#include <algorithm>

namespace runtime {

int TCollectionItem::Index() const {
    return collection_ != nullptr ? collection_->IndexOf(this) : -1;
}

void TCollectionItem::SetIndex(int index) {
    const int current = Index();
    if (current >= 0) collection_->Move(current, index);
}

void TCollectionItem::Changed(bool allItems) {
    if (collection_ != nullptr) collection_->changed(allItems ? nullptr : this);
}

TCollection::~TCollection() {
    // Items go last first, quietly: the owner is being destroyed too.
    while (!items_.empty())
        items_.pop_back();
}

TCollectionItem* TCollection::Items(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<std::size_t>(index)].get();
}

TCollectionItem* TCollection::Add() {
    return Insert(Count());
}

TCollectionItem* TCollection::Insert(int index) {
    index = std::clamp(index, 0, Count());
    auto item = CreateItem();
    item->collection_ = this;
    item->id_ = nextId_++;
    TCollectionItem* raw = item.get();
    items_.insert(items_.begin() + index, std::move(item));
    Added(raw);
    changed(nullptr);
    return raw;
}

void TCollection::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    auto gone = std::move(items_[static_cast<std::size_t>(index)]);
    items_.erase(items_.begin() + index);
    gone.reset();
    Deleted(index);
    changed(nullptr);
}

void TCollection::Clear() {
    if (items_.empty()) return;
    BeginUpdate();
    while (!items_.empty())
        Delete(Count() - 1);
    EndUpdate();
}

void TCollection::Move(int from, int to) {
    if (from < 0 || from >= Count()) return;
    to = std::clamp(to, 0, Count() - 1);
    if (from == to) return;
    auto item = std::move(items_[static_cast<std::size_t>(from)]);
    items_.erase(items_.begin() + from);
    TCollectionItem* raw = item.get();
    items_.insert(items_.begin() + to, std::move(item));
    Moved(raw, from, to);
    changed(nullptr);
}

int TCollection::IndexOf(const TCollectionItem* item) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == item) return static_cast<int>(i);
    return -1;
}

void TCollection::EndUpdate() {
    if (updateCount_ == 0) return;
    if (--updateCount_ == 0) changed(nullptr);
}

void TCollection::changed(TCollectionItem* item) {
    if (updateCount_ == 0) Update(item);
}

} // namespace runtime
