#include "runtime/Exception.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class EUnitError : public runtime::Exception {
public:
    using Exception::Exception;
};

} // namespace

TEST(AllocateOrRaise, RunningOutOfMemoryBecomesTheUnitsErrorWithItsMessage) {
    try {
        runtime::AllocateOrRaise<EUnitError>("no room", []() -> int { throw std::bad_alloc(); });
        FAIL() << "nothing raised";
    } catch (const EUnitError& e) {
        EXPECT_EQ(e.Message(), "no room");
    }
    // A size beyond what a container can hold is the same failure.
    std::vector<int> probe;
    EXPECT_THROW(runtime::AllocateOrRaise<EUnitError>(
                     "too big", [&] { probe.reserve(probe.max_size() + std::size_t{1}); }),
                 EUnitError);
}

TEST(AllocateOrRaise, BuildsTheMessageOnlyOnFailureAndPassesOtherErrorsThrough) {
    int built = 0;
    auto message = [&] {
        ++built;
        return std::string("made");
    };
    const auto block =
        runtime::AllocateOrRaise<EUnitError>(message, [] { return std::make_unique<int[]>(3); });
    EXPECT_NE(block, nullptr);
    EXPECT_EQ(built, 0);
    try {
        runtime::AllocateOrRaise<EUnitError>(message, []() -> int { throw std::bad_alloc(); });
    } catch (const EUnitError& e) {
        EXPECT_EQ(e.Message(), "made");
    }
    EXPECT_EQ(built, 1);
    EXPECT_THROW(runtime::AllocateOrRaise<EUnitError>(
                     "unused", []() -> int { throw runtime::EConvertError("other"); }),
                 runtime::EConvertError);
}
