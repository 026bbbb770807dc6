#include "runtime/Collections.h"
#include "runtime/Application.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace runtime;

namespace {

class Recorder : public TCollection {
public:
    std::vector<std::string> log;

protected:
    void Added(TCollectionItem* item) override {
        log.push_back("add " + std::to_string(item->Index()));
    }
    void Deleted(int index) override { log.push_back("del " + std::to_string(index)); }
    void Moved(TCollectionItem*, int from, int to) override {
        log.push_back("move " + std::to_string(from) + ">" + std::to_string(to));
    }
    void Update(TCollectionItem* item) override {
        log.push_back(item ? "update item" : "update all");
    }
};

} // namespace

TEST(Collection, ItemsAreOwnedOrderedAndReportedToTheCollection) {
    Recorder c;
    TCollectionItem* a = c.Add();
    TCollectionItem* b = c.Add();
    TCollectionItem* first = c.Insert(0);
    EXPECT_EQ(c.Count(), 3);
    EXPECT_EQ(first->Index(), 0);
    EXPECT_EQ(a->Index(), 1);
    EXPECT_NE(a->ID(), b->ID());
    EXPECT_EQ(c.Items(3), nullptr);
    EXPECT_EQ(c.Items(-1), nullptr);
    c.log.clear();
    b->SetIndex(-5); // clamped to 0
    EXPECT_EQ(c.Items(0), b);
    c.Delete(1);
    c.Delete(99); // ignored
    EXPECT_EQ(c.log, (std::vector<std::string>{"move 2>0", "update all", "del 1", "update all"}));
    EXPECT_EQ(a->Index(), 1);
}

TEST(Collection, UpdatesCollapseIntoOneAtTheEnd) {
    Recorder c;
    c.BeginUpdate();
    c.Add();
    c.Add();
    c.Clear();
    c.EndUpdate();
    c.EndUpdate(); // unbalanced: ignored
    EXPECT_EQ(c.log, (std::vector<std::string>{"add 0", "add 1", "del 1", "del 0", "update all"}));
}

TEST(Application, HandledExceptionsReachTheHandlerAndNeverEscape) {
    std::vector<std::string> seen;
    Application().OnException = [&](const std::exception& e) {
        seen.push_back(e.what());
        throw std::runtime_error("handler fails too");
    };
    try {
        throw std::logic_error("boom");
    } catch (...) {
        Application().HandleException();
    }
    try {
        throw 42;
    } catch (...) {
        Application().HandleException();
    }
    Application().HandleException(); // outside a catch block: nothing
    Application().OnException = nullptr;
    EXPECT_EQ(seen, (std::vector<std::string>{"boom", "Unknown exception"}));
}
