#include "core/money.h"

#include <cmath>

namespace ozn::checked {

std::optional<Money> times(Money stake, std::int64_t count) {
    Money total = 0;
    if (__builtin_mul_overflow(stake, count, &total) || !valid(total)) return std::nullopt;
    return total;
}

Paid pay(Money held, Money stake, double multiplier) {
    const double total = std::nearbyint(static_cast<double>(stake) * multiplier + static_cast<double>(held));
    if (!(total <= static_cast<double>(kMoneyLimit))) return {kMoneyLimit, true};  // NaN too
    return {total < 0 ? 0 : static_cast<Money>(total), false};
}

}  // namespace ozn::checked
