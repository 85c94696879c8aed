#include "corvid/core/lastresult.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(LastResult, WorksAgainOnlyWhenABitOfTheArgumentsChanges) {
    corvid::LastResult<float, 2> last;
    int made = 0;
    auto sum = [&](float a, float b) {
        return last.get({a, b}, [&] {
            ++made;
            return a + b;
        });
    };
    EXPECT_EQ(sum(1.0f, 2.0f), 3.0f);
    EXPECT_EQ(sum(1.0f, 2.0f), 3.0f);
    EXPECT_EQ(made, 1);

    // One ulp in either argument is a new call.
    EXPECT_EQ(sum(1.0f, std::nextafter(2.0f, 3.0f)), 1.0f + std::nextafter(2.0f, 3.0f));
    EXPECT_EQ(made, 2);
    sum(std::nextafter(1.0f, 0.0f), std::nextafter(2.0f, 3.0f));
    EXPECT_EQ(made, 3);

    // Zeros compare equal but are different arguments; a NaN is the same argument as
    // itself although it compares unequal.
    sum(0.0f, 1.0f);
    sum(-0.0f, 1.0f);
    EXPECT_EQ(made, 5);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    sum(nan, 1.0f);
    sum(nan, 1.0f);
    EXPECT_EQ(made, 6);

    last.forget();
    sum(nan, 1.0f);
    EXPECT_EQ(made, 7);
}

} // namespace
