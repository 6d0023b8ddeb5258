#pragma once
// Money and its arithmetic. Every amount the game holds, every stake and
// total and every payout stays within 0..kMoneyLimit; what would go beyond
// is refused or held at the limit, so that nothing can wrap around.
#include <cstdint>
#include <optional>

namespace ozn {

using Money = std::int64_t;

// 1000兆円. Below 2^53, so that an amount is exact in the double a payout is
// computed in, and kept exactly by the save and the history.
inline constexpr Money kMoneyLimit = 1'000'000'000'000'000;

namespace checked {

constexpr bool valid(Money m) { return m >= 0 && m <= kMoneyLimit; }

// The total of `count` tickets at `stake`; nullopt beyond the limit.
std::optional<Money> times(Money stake, std::int64_t count);

struct Paid {
    Money money;   // held after the payout
    bool capped;   // the payout went past the limit and was held at it
};
// held + stake × multiplier, computed in a double and rounded half to even.
Paid pay(Money held, Money stake, double multiplier);

}  // namespace checked
}  // namespace ozn
