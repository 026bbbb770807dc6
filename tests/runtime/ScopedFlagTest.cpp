#include "runtime/ScopedFlag.h"

#include <gtest/gtest.h>

#include <stdexcept>

using runtime::TScopedFlag;

TEST(ScopedFlag, HoldsForTheScopeAndComesDownAfterIt) {
    bool busy = false;
    {
        const TScopedFlag guard(busy);
        EXPECT_TRUE(busy);
    }
    EXPECT_FALSE(busy);
}

TEST(ScopedFlag, ComesDownWhenAnExceptionLeavesTheScope) {
    bool busy = false;
    const auto work = [&] {
        const TScopedFlag guard(busy);
        throw std::runtime_error("handler failed");
    };
    EXPECT_THROW(work(), std::runtime_error);
    EXPECT_FALSE(busy);
}

TEST(ScopedFlag, TakesAComputedValueAndStillEndsCleared) {
    bool kept = true;
    {
        const TScopedFlag guard(kept, false);
        EXPECT_FALSE(kept);
        kept = true; // the scope may change it; the end clears it all the same
    }
    EXPECT_FALSE(kept);
}
