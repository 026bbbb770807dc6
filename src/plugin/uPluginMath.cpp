#include "plugin/uPluginMath.h"

namespace dmath::detail {

// log(1 + r) for |r| < 2^-7, where a table step would cancel; r = x - 1 is exact there.
double logNearOne(double r) {
    constexpr double c[] = {-1.0 / 2, 1.0 / 3,  -1.0 / 4, 1.0 / 5,  -1.0 / 6,
                            1.0 / 7,  -1.0 / 8, 1.0 / 9,  -1.0 / 10};
    double p = c[8];
    for (int i = 7; i >= 0; --i)
        p = c[i] + r * p;
    return r + r * r * p;
}

} // namespace dmath::detail
