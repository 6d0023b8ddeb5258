#include "racecard/rules.h"

#include <algorithm>

#include "core/brackets.h"
#include "core/text.h"

namespace ozn {
namespace {

double W(const GameRecord& rec, int h) { return rec.tanodds[rec.ninki[h - 1] - 1]; }
double P(const GameRecord& rec, int h) { return rec.fukuodds[rec.ninki[h - 1] - 1]; }

template <std::size_t N>
std::vector<int> rankInto(const std::vector<long long>& tenths, std::array<double, N>& odds,
                          std::array<std::int16_t, N>& idx) {
    std::vector<int> order = exchangeSortOrder(std::vector<std::uint64_t>(tenths.begin(), tenths.end()));
    std::vector<int> pop(tenths.size());
    for (std::size_t m = 0; m < order.size(); ++m) {
        pop[order[m]] = static_cast<int>(m) + 1;
        odds[m] = static_cast<double>(tenths[order[m]]) / 10.0;
        idx[m] = static_cast<std::int16_t>(order[m] + 1);
    }
    return pop;
}

std::string item(const std::string& head, long long tenths, int pop) {
    return head + " " + text::tenthsText(tenths) + "倍(" + std::to_string(pop) + "番人気)";
}

}  // namespace

double quinellaBase(const GameRecord& rec, int a, int b) {
    return rec.ninki[a - 1] <= rec.ninki[b - 1] ? W(rec, a) * P(rec, b) : W(rec, b) * P(rec, a);
}

long long exactaTenths(const GameRecord& rec, int first, int second) {
    const double q = quinellaBase(rec, first, second);
    const double wf = W(rec, first), ws = W(rec, second);
    const long long shownQuinella = (text::roundOddsUnits(q, 2) + 5) / 10;
    const long long raw = ws > 0 ? text::roundOddsUnits(q * (wf + ws) / ws, 1) : 0;
    return std::max(raw, shownQuinella + 1);
}

long long bracketTenths(const GameRecord& rec, int i, int j) {
    double chance = 0;
    for (int a = bracketHorses(i).first; a <= bracketHorses(i).second; ++a)
        for (int b = bracketHorses(j).first; b <= bracketHorses(j).second; ++b) {
            if (i == j && a >= b) continue;  // each pair of one bracket once
            const double q = quinellaBase(rec, a, b);
            if (q > 0) chance += 1.0 / q;
        }
    const long long tenths = chance > 0 ? text::roundOddsUnits(1.0 / chance, 1) : 10;
    return std::max(tenths, 10LL);
}

int exactaNumber(int first, int second) { return (first - 1) * (kHorses - 1) + (second < first ? second : second - 1); }

int bracketPairNumber(int i, int j) {
    int n = 0;
    for (int k = 1; k < i; ++k) n += kBrackets - k + 1;
    return n + (j - i) + 1;
}

void rulesOdds(GameRecord& rec, CardLists& lists) {
    std::vector<long long> exacta, bracket;
    exacta.reserve(kExactas), bracket.reserve(kBracketPairs);
    for (int a = 1; a <= kHorses; ++a)
        for (int b = 1; b <= kHorses; ++b)
            if (a != b) exacta.push_back(exactaTenths(rec, a, b));
    for (int i = 1; i <= kBrackets; ++i)
        for (int j = i; j <= kBrackets; ++j) bracket.push_back(bracketTenths(rec, i, j));
    const std::vector<int> exactaPop = rankInto(exacta, rec.umatanodds, rec.umatanidx);
    const std::vector<int> bracketPop = rankInto(bracket, rec.wakuodds, rec.wakuidx);
    lists[6] = {}, lists[7] = {};
    std::size_t k = 0;
    for (int a = 1; a <= kHorses; ++a)
        for (int b = 1; b <= kHorses; ++b)
            if (a != b) lists[6].push_back(item(std::to_string(a) + "番" + std::to_string(b) + "番", exacta[k], exactaPop[k])), ++k;
    k = 0;
    for (int i = 1; i <= kBrackets; ++i)
        for (int j = i; j <= kBrackets; ++j)
            lists[7].push_back(item(std::to_string(i) + "枠" + std::to_string(j) + "枠", bracket[k], bracketPop[k])), ++k;
}

}  // namespace ozn
