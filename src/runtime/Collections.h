#pragma once
// Owned, ordered collections of persistent items (the stored lists of a form: image list
// items, animation frames). The collection owns its items; subclasses hear of every change.

#include "runtime/Components.h"

#include <memory>
#include <string>
#include <vector>

namespace runtime {

class TCollection;

class TCollectionItem : public TPersistent {
public:
    explicit TCollectionItem(TCollection* collection) : collection_(collection) {}
    std::string ClassName() const override { return "TCollectionItem"; }

    TCollection* Collection() const { return collection_; }
    /// Position in the collection, or -1 while it is not (yet) in one.
    int Index() const;
    /// Moves the item; the index is clamped to the collection.
    void SetIndex(int index);
    /// Unique within the collection, in creation order.
    int ID() const { return id_; }
    virtual std::string DisplayName() const { return ClassName(); }

protected:
    /// Tells the collection that this item (or, with allItems, every item) changed.
    void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection* collection_;
    int id_ = 0;
};

class TCollection : public TPersistent {
public:
    explicit TCollection(TPersistent* owner = nullptr) : owner_(owner) {}
    ~TCollection() override;
    std::string ClassName() const override { return "TCollection"; }

    TPersistent* Owner() const { return owner_; }
    int Count() const { return static_cast<int>(items_.size()); }
    /// The item at index, or nullptr outside 0..Count - 1.
    TCollectionItem* Items(int index) const;
    TCollectionItem* Add();
    TCollectionItem* Insert(int index);
    /// Frees the item at index; out-of-range indices are ignored.
    void Delete(int index);
    void Clear();
    /// Moves an item from one position to another (both clamped).
    void Move(int from, int to);
    int IndexOf(const TCollectionItem* item) const;

    void BeginUpdate() { ++updateCount_; }
    /// Sends one Update(nullptr) when the outermost update ends.
    void EndUpdate();

protected:
    /// Makes the collection's own kind of item (not yet inserted).
    virtual std::unique_ptr<TCollectionItem> CreateItem() {
        return std::make_unique<TCollectionItem>(this);
    }
    /// An item (or all, for nullptr) changed; not called while updating.
    virtual void Update(TCollectionItem* item) { (void)item; }
    virtual void Added(TCollectionItem* item) { (void)item; }
    /// After an item was freed, with the index it had.
    virtual void Deleted(int formerIndex) { (void)formerIndex; }
    virtual void Moved(TCollectionItem* item, int from, int to) {
        (void)item, (void)from, (void)to;
    }

private:
    friend class TCollectionItem;
    void changed(TCollectionItem* item);

    TPersistent* owner_;
    std::vector<std::unique_ptr<TCollectionItem>> items_;
    int nextId_ = 0;
    int updateCount_ = 0;
};

} // namespace runtime
