#pragma once
// 枠: the eight brackets a card of 18 runners is drawn up in. Brackets 1 to 6
// take two horses each and 7 and 8 three each, in horse-number order.
#include <utility>

namespace ozn {

constexpr int bracketOf(int horse) { return horse <= 12 ? (horse + 1) / 2 : (horse <= 15 ? 7 : 8); }

// The first and last horse of bracket 1..8.
constexpr std::pair<int, int> bracketHorses(int bracket) {
    return bracket <= 6 ? std::pair{2 * bracket - 1, 2 * bracket} : std::pair{3 * bracket - 8, 3 * bracket - 6};
}

}  // namespace ozn
