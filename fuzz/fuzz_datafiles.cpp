// The three data files: a file is accepted exactly when it has at most 18
// lines (and, for the odds, every line gives sane odds), and every odds
// value the game keeps is a finite number from 0 to 99999.9.
#include <cmath>

#include "core/datafiles.h"
#include "fuzz_common.h"

using namespace ozn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::fileWith("data.txt", data, size);
    auto lines = readTextLines(path);
    const bool fits = lines && lines->size() <= static_cast<std::size_t>(kMaxDataLines);
    GameRecord races, horses, odds;
    OZN_CHECK(loadRaceNames(races, path) == fits);
    OZN_CHECK(loadHorses(horses, path) == fits);
    bool oddsOk = fits;
    if (fits)
        for (std::size_t k = 0; k < lines->size(); ++k) {
            GameRecord one;
            oddsOk = oddsOk && parseOddsLine(one, static_cast<int>(k), (*lines)[k]);
        }
    OZN_CHECK(loadOdds(odds, path) == oddsOk);
    if (oddsOk)
        for (int k = 0; k < kHorses; ++k)
            for (double v : {odds.tanodds[k], odds.fukuodds[k], odds.fukuodds1[k], odds.fukuodds2[k]})
                OZN_CHECK(std::isfinite(v) && v >= 0 && v <= kMaxOdds * 1.25 + 0.05);
    if (fits)
        for (std::size_t k = 0; k < lines->size(); ++k) OZN_CHECK(races.racelist[k] == (*lines)[k]);
    return 0;
}
