#include "biff/CellRecords.h"

#include <bit>
#include <cmath>

namespace quarvel {

namespace {

// The two RK forms of y: the high 32 bits of the double when its low 34 bits are 0, else y as a
// 30-bit integer when it is a whole number in range.
std::optional<uint32_t> RKForm(double y) {
    const uint64_t bits = std::bit_cast<uint64_t>(y);
    if ((bits & 0xFFFFFFFFu) == 0 && ((bits >> 32) & 3u) == 0) return static_cast<uint32_t>(bits >> 32);
    if (y == std::floor(y) && y >= -536870912.0 && y <= 536870911.0)
        return static_cast<uint32_t>(static_cast<int64_t>(y) * 4 + 2);
    return std::nullopt;
}

}  // namespace

std::optional<uint32_t> RKValue(double value) {
    if (const auto rk = RKForm(value)) return rk;
    // The product is taken in extended precision and rounded once to a double.
    const double y = static_cast<double>(static_cast<long double>(value) * 100.0L);
    const auto rk = RKForm(y);
    // A reader divides by 100; only a form that gives back the very same number is kept. This
    // excludes an overflowing product (which would be read as infinity) and a product that was
    // rounded to a whole number (which would be read as the neighbouring double).
    if (!rk || y / 100.0 != value) return std::nullopt;
    return *rk + 1;
}

}  // namespace quarvel
