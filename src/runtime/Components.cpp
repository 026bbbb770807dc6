#include "runtime/Components.h"

#include "runtime/SameText.h"

#include <algorithm>
#include <cctype>

namespace runtime {

// TPersistent

void TPersistent::Assign(const TPersistent* source) {
    if (source == nullptr) AssignError(nullptr);
    source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) const {
    dest->AssignError(this);
}

void TPersistent::AssignError(const TPersistent* source) const {
    const std::string sourceName = source != nullptr ? source->ClassName() : "nil";
    throw EConvertError("Cannot assign a " + sourceName + " to a " + ClassName());
}

// TComponent

namespace {

bool isIdentifier(std::string_view name) {
    if (name.empty()) return false;
    const auto first = static_cast<unsigned char>(name[0]);
    if (!(std::isalpha(first) || first == '_')) return false;
    return std::all_of(name.begin() + 1, name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
}

void eraseValue(std::vector<TComponent*>& list, TComponent* value) {
    list.erase(std::remove(list.begin(), list.end(), value), list.end());
}

} // namespace

TComponent::TComponent(TComponent* owner) {
    if (owner != nullptr) {
        owner->Insert(this);
        owner->Notification(this, TOperation::opInsert);
    }
}

TComponent::~TComponent() {
    BeforeDestruction();
}

void TComponent::BeforeDestruction() {
    if (goingAway_) return;
    goingAway_ = true;
    Destroying();
    while (!freeNotifies_.empty()) {
        TComponent* other = freeNotifies_.back();
        freeNotifies_.pop_back();
        eraseValue(other->freeNotifies_, this);
        other->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (owner_ != nullptr) {
        TComponent* owner = owner_;
        owner->Notification(this, TOperation::opRemove);
        owner->Remove(this);
        // Memory held by the owner's list stays with it until the caller (Free) takes it.
    }
}

void TComponent::Destroying() {
    if (HasState(csDestroying)) return;
    IncludeState(csDestroying);
    for (TComponent* c : components_)
        c->Destroying();
}

void TComponent::Adopt(std::unique_ptr<TComponent> component) {
    if (component->owner_ != this) throw EComponentError("Component is not owned by this owner");
    owned_.push_back(std::move(component));
}

void TComponent::Insert(TComponent* component) {
    components_.push_back(component);
    component->owner_ = this;
}

void TComponent::Remove(TComponent* component) {
    eraseValue(components_, component);
    component->owner_ = nullptr;
}

std::unique_ptr<TComponent> TComponent::ReleaseOwned(TComponent* component) {
    auto it = std::find_if(owned_.begin(), owned_.end(),
                           [component](const auto& p) { return p.get() == component; });
    if (it == owned_.end()) return nullptr;
    std::unique_ptr<TComponent> taken = std::move(*it);
    owned_.erase(it);
    return taken;
}

void TComponent::DestroyComponents() {
    while (!components_.empty()) {
        TComponent* last = components_.back();
        if (std::unique_ptr<TComponent> mine = ReleaseOwned(last)) {
            mine->BeforeDestruction(); // removes it from components_, with the notices
            mine.reset();
        } else {
            Notification(last, TOperation::opRemove);
            Remove(last);
        }
    }
}

void TComponent::Free(TComponent* component) {
    if (component == nullptr) return;
    TComponent* owner = component->owner_;
    std::unique_ptr<TComponent> mine = owner != nullptr ? owner->ReleaseOwned(component) : nullptr;
    if (!mine) throw EComponentError("Only components made by Create can be freed by Free");
    mine->BeforeDestruction();
    mine.reset();
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) return nullptr;
    return components_[static_cast<std::size_t>(index)];
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (SameText(c->name_, name)) return c;
    return nullptr;
}

int TComponent::ComponentIndex() const {
    if (owner_ == nullptr) return -1;
    const auto& list = owner_->components_;
    const auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TComponent::SetName(const std::string& name) {
    if (name == name_) return;
    if (!name.empty() && !isIdentifier(name))
        throw EComponentError("'" + name + "' is not a valid component name");
    if (!name.empty() && owner_ != nullptr) {
        TComponent* other = owner_->FindComponent(name);
        if (other != nullptr && other != this)
            throw EComponentError("A component named " + name + " already exists");
    }
    name_ = name;
}

void TComponent::FreeNotification(TComponent* component) {
    if (component == nullptr || component == this) return;
    if (owner_ != nullptr && component->owner_ == owner_) return; // the owner tells both
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
        freeNotifies_.push_back(component);
    auto& theirs = component->freeNotifies_;
    if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (component == nullptr) return;
    eraseValue(freeNotifies_, component);
    eraseValue(component->freeNotifies_, this);
}

void TComponent::Loaded() {
    ExcludeState(csLoading);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove) RemoveFreeNotification(component);
    // A handler may free components: walk by index and re-check the bound each time.
    for (std::size_t i = components_.size(); i-- > 0;) {
        if (i < components_.size()) components_[i]->Notification(component, operation);
    }
}

} // namespace runtime
