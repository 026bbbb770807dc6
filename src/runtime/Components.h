#pragma once
// Persistent objects (assignable, named by class) and components: objects with an owner that
// frees them, a name unique among the owner's components, and removal notices so that other
// components clear their references before a component goes away.

#include "runtime/Exception.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace runtime {

class TPersistent {
public:
    TPersistent() = default;
    TPersistent(const TPersistent&) = delete;
    TPersistent& operator=(const TPersistent&) = delete;
    virtual ~TPersistent() = default;

    /// Copies source into this object. The base asks source to AssignTo this; when neither side
    /// knows the other it raises EConvertError "Cannot assign a <source> to a <this>".
    virtual void Assign(const TPersistent* source);
    virtual std::string ClassName() const { return "TPersistent"; }

protected:
    /// Copies this object into dest; the base raises the assignment error.
    virtual void AssignTo(TPersistent* dest) const;
    [[noreturn]] void AssignError(const TPersistent* source) const;
};

class EComponentError : public Exception {
public:
    using Exception::Exception;
};

enum class TOperation { opInsert, opRemove };

enum TComponentStateFlag : std::uint32_t {
    csLoading = 1u << 0,
    csReading = 1u << 1,
    csWriting = 1u << 2,
    csDestroying = 1u << 3,
    csDesigning = 1u << 4,
};

class TComponent : public TPersistent {
public:
    /// Attaches to owner's list (when given). Only components made by Create<T> are freed by the
    /// owner; others are merely detached when the owner goes first.
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    /// Makes a T owned (and freed) by owner; returns a non-owning pointer.
    template <class T, class... Args>
    static T* Create(TComponent* owner, Args&&... args) {
        if (owner == nullptr) throw EComponentError("A component made by Create needs an owner");
        auto made = std::make_unique<T>(owner, std::forward<Args>(args)...);
        T* raw = made.get();
        owner->Adopt(std::move(made));
        return raw;
    }

    /// Frees a component now: its owner releases it when it owns it. Use only for components
    /// made by Create; others belong to whoever holds them.
    static void Free(TComponent* component);

    std::string ClassName() const override { return "TComponent"; }

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    /// The owned component at index (creation order); nullptr outside 0..count - 1.
    TComponent* Components(int index) const;
    /// The owned component with this name (case-insensitive), or nullptr.
    TComponent* FindComponent(std::string_view name) const;
    /// Index of this component in its owner's list, or -1.
    int ComponentIndex() const;

    const std::string& Name() const { return name_; }
    /// An identifier or empty; unique (case-insensitive) among the owner's components.
    void SetName(const std::string& name);
    std::intptr_t Tag() const { return tag_; }
    void SetTag(std::intptr_t tag) { tag_ = tag; }

    std::uint32_t ComponentState() const { return state_; }
    bool HasState(TComponentStateFlag flag) const { return (state_ & flag) != 0; }
    /// Used by the form reader (csLoading, csReading) and by designers.
    void IncludeState(TComponentStateFlag flag) { state_ |= flag; }
    void ExcludeState(TComponentStateFlag flag) { state_ &= ~static_cast<std::uint32_t>(flag); }

    /// Asks to be told (Notification opRemove) when component goes away, and tells component
    /// when this one goes. Components of one owner hear of each other through it anyway.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    /// Called when loading from a form has finished; clears csLoading.
    virtual void Loaded();

protected:
    /// Told of components inserted into or removed from this one's owner chain and of components
    /// it asked about with FreeNotification. The base drops the free notice link and passes the
    /// notice on to every owned component. Overrides clear their references, then call the base.
    virtual void Notification(TComponent* component, TOperation operation);
    /// Frees every owned component made by Create, last first; detaches the others.
    void DestroyComponents();

private:
    void Adopt(std::unique_ptr<TComponent> component);
    void Insert(TComponent* component);
    void Remove(TComponent* component);
    /// Marks this and all owned components as being destroyed.
    void Destroying();
    /// Everything a component does before it goes, while its own code is still whole.
    void BeforeDestruction();
    std::unique_ptr<TComponent> ReleaseOwned(TComponent* component);

    TComponent* owner_ = nullptr;
    std::string name_;
    std::intptr_t tag_ = 0;
    std::uint32_t state_ = 0;
    bool goingAway_ = false;
    std::vector<TComponent*> components_;
    std::vector<std::unique_ptr<TComponent>> owned_;
    std::vector<TComponent*> freeNotifies_;
};

} // namespace runtime
