#include "runtime/Components.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace runtime;

namespace {

// Records its destruction in a shared log and keeps one reference that removal notices clear.
class Probe : public TComponent {
public:
    Probe(TComponent* owner, std::string label, std::vector<std::string>* log)
        : TComponent(owner), label_(std::move(label)), log_(log) {}
    ~Probe() override {
        if (log_ != nullptr) log_->push_back(label_);
    }
    std::string ClassName() const override { return "TProbe"; }

    void SetBuddy(TComponent* buddy) {
        buddy_ = buddy;
        if (buddy != nullptr) buddy->FreeNotification(this);
    }
    TComponent* Buddy() const { return buddy_; }
    int removals = 0;

protected:
    void Notification(TComponent* component, TOperation operation) override {
        if (operation == TOperation::opRemove) {
            ++removals;
            if (component == buddy_) buddy_ = nullptr;
        }
        TComponent::Notification(component, operation);
    }

private:
    std::string label_;
    std::vector<std::string>* log_;
    TComponent* buddy_ = nullptr;
};

} // namespace

TEST(Component, OwnerFreesWhatItCreatedLastFirst) {
    std::vector<std::string> log;
    {
        Probe owner(nullptr, "owner", &log);
        auto* a = TComponent::Create<Probe>(&owner, "a", &log);
        TComponent::Create<Probe>(a, "a.child", &log);
        TComponent::Create<Probe>(&owner, "b", &log);
        EXPECT_EQ(owner.ComponentCount(), 2);
        EXPECT_EQ(a->Owner(), &owner);
        EXPECT_EQ(a->ComponentIndex(), 0);
    }
    // A component made by Create loses its own components while it is still whole; the stack
    // owner's own destructor body runs before its base frees anything.
    EXPECT_EQ(log, (std::vector<std::string>{"owner", "b", "a.child", "a"}));
}

TEST(Component, FreeRemovesAnOwnedComponentAndItsSiblingsHearOfIt) {
    std::vector<std::string> log;
    Probe owner(nullptr, "owner", &log);
    auto* a = TComponent::Create<Probe>(&owner, "a", &log);
    auto* b = TComponent::Create<Probe>(&owner, "b", &log);
    b->SetBuddy(a); // same owner: no free-notice link needed, the owner passes the notice on
    TComponent::Free(a);
    EXPECT_EQ(log, std::vector<std::string>{"a"});
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(owner.Components(0), b);
    EXPECT_EQ(b->Buddy(), nullptr);
    EXPECT_EQ(owner.Components(1), nullptr);
}

TEST(Component, FreeNotificationClearsReferencesAcrossOwnersInBothDirections) {
    Probe formA(nullptr, "A", nullptr);
    Probe formB(nullptr, "B", nullptr);
    auto* watcher = TComponent::Create<Probe>(&formA, "watcher", nullptr);
    auto* target = TComponent::Create<Probe>(&formB, "target", nullptr);
    watcher->SetBuddy(target);
    target->SetBuddy(watcher);
    TComponent::Free(target);
    EXPECT_EQ(watcher->Buddy(), nullptr);
    // The link is gone on both sides: freeing the watcher must not touch the freed target.
    TComponent::Free(watcher);
    EXPECT_EQ(formA.ComponentCount(), 0);
}

TEST(Component, RemoveFreeNotificationStopsTheNotice) {
    Probe formA(nullptr, "A", nullptr);
    Probe formB(nullptr, "B", nullptr);
    auto* watcher = TComponent::Create<Probe>(&formA, "watcher", nullptr);
    auto* target = TComponent::Create<Probe>(&formB, "target", nullptr);
    watcher->SetBuddy(target);
    target->RemoveFreeNotification(watcher);
    const int before = watcher->removals;
    TComponent::Free(target);
    EXPECT_EQ(watcher->removals, before);
}

TEST(Component, AComponentNotMadeByCreateIsDetachedNotFreedWhenItsOwnerGoes) {
    std::vector<std::string> log;
    auto owner = std::make_unique<Probe>(nullptr, "owner", &log);
    Probe guest(owner.get(), "guest", &log);
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_THROW(TComponent::Free(&guest), EComponentError);
    owner.reset();
    EXPECT_EQ(guest.Owner(), nullptr);
    EXPECT_EQ(log, std::vector<std::string>{"owner"});
}

TEST(Component, AGuestDestroyedFirstLeavesItsOwnerList) {
    Probe owner(nullptr, "owner", nullptr);
    {
        Probe guest(&owner, "guest", nullptr);
        EXPECT_EQ(owner.ComponentCount(), 1);
    }
    EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(Component, NamesAreIdentifiersUniqueWithinTheOwnerIgnoringCase) {
    Probe owner(nullptr, "owner", nullptr);
    auto* a = TComponent::Create<Probe>(&owner, "a", nullptr);
    auto* b = TComponent::Create<Probe>(&owner, "b", nullptr);
    a->SetName("kbComp");
    EXPECT_EQ(owner.FindComponent("KBCOMP"), a);
    EXPECT_THROW(b->SetName("KbComp"), EComponentError);
    EXPECT_THROW(b->SetName("1st"), EComponentError);
    EXPECT_THROW(b->SetName("a b"), EComponentError);
    b->SetName("_x1");
    a->SetName("kbComp"); // renaming to its own name is fine
    EXPECT_EQ(owner.FindComponent(""), nullptr);
    EXPECT_THROW(TComponent::Create<Probe>(nullptr, "orphan", nullptr), EComponentError);
}

TEST(Component, DestroyingStateReachesOwnedComponentsBeforeTheyGo) {
    struct Checker : TComponent {
        Checker(TComponent* owner, bool* sawDestroying) : TComponent(owner), saw(sawDestroying) {}
        ~Checker() override { *saw = HasState(csDestroying); }
        bool* saw;
    };
    bool saw = false;
    {
        Probe owner(nullptr, "owner", nullptr);
        TComponent::Create<Checker>(&owner, &saw);
    }
    EXPECT_TRUE(saw);
}

TEST(Persistent, AssigningUnrelatedObjectsNamesBothClasses) {
    Probe a(nullptr, "a", nullptr);
    TPersistent plain;
    try {
        plain.Assign(&a);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TProbe to a TPersistent");
    }
    try {
        a.Assign(nullptr);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a nil to a TProbe");
    }
}
