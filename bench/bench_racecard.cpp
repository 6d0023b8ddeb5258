// Card generation speed: a whole readlist with all 6,036 list texts, and the
// literal exchange sort of the trifecta table for comparison.
#include <benchmark/benchmark.h>

#include "core/datafiles.h"
#include "core/random.h"
#include "core/text.h"
#include "fakes.h"
#include "literal_sort.h"
#include "race/autoplay.h"
#include "racecard/racecard.h"

namespace {

ozn::GameRecord benchRecord() {
    ozn::GameRecord rec;
    const int codes[18] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4, 6, 0, 0, 5, 8};
    for (int k = 0; k < 18; ++k) {
        rec.racelist[k] = "レース" + std::to_string(k + 1);
        rec.horsename[k] = "ウマ" + std::to_string(k + 1);
        rec.tekisei[k] = static_cast<std::uint8_t>(codes[k]);
        ozn::parseOddsLine(rec, k, std::to_string(k + 1) + " " + ozn::text::formatOdds(2.4 + k * k * 0.45, 1) +
                                       " " + ozn::text::formatOdds(1.2 + k * 1.1, 1));
    }
    rec.mochikin = 15000;
    return rec;
}

void BM_Readlist(benchmark::State& state) {
    ozn::GameRecord rec = benchRecord();
    ozn::GameRandom rng(42);
    ozn::test::FakeUi ui;
    for (auto _ : state) {
        rec.raceno = 1;
        rec.racehist.fill(0);
        benchmark::DoNotOptimize(ozn::readlist(rec, rng));
    }
}
BENCHMARK(BM_Readlist)->Unit(benchmark::kMillisecond);

// The trifecta odds of one card, in list order.
std::vector<double> trifectaKeys() {
    ozn::GameRecord rec = benchRecord();
    ozn::GameRandom rng(42);
    ozn::test::FakeUi ui;
    rec.raceno = 1;
    ozn::readlist(rec, rng);
    std::vector<double> keys(4896);
    for (int m = 0; m < 4896; ++m) keys[rec.sanrentanidx[m] - 1] = rec.sanrentanodds[m];
    return keys;
}

void BM_LiteralTrifectaSort(benchmark::State& state) {
    std::vector<double> keys = trifectaKeys();
    for (auto _ : state) benchmark::DoNotOptimize(ozn::test::literalExchangeSort(keys));
}
BENCHMARK(BM_LiteralTrifectaSort)->Unit(benchmark::kMillisecond);

void BM_TrifectaSortOrder(benchmark::State& state) {
    std::vector<double> keys = trifectaKeys();
    for (auto _ : state) benchmark::DoNotOptimize(ozn::exchangeSortOrder(keys));
}
BENCHMARK(BM_TrifectaSortOrder)->Unit(benchmark::kMillisecond);

}  // namespace

// Races through the headless game's path (the race run, settlement, the next
// card), with a 100-yen quinella box on every race and nobody waiting.
void BM_HeadlessRaces(benchmark::State& state) {
    ozn::GameRecord rec = benchRecord();
    ozn::GameRandom rng(7);
    rec.raceno = 1;
    ozn::readlist(rec, rng);
    ozn::SilentWorld world;
    ozn::Ports ports{world, rng, world, world, world};
    for (auto _ : state) {
        if (rec.mochikin < 1000) rec.mochikin = 15000;
        ozn::autoplay(rec, ports, 1, ozn::Strategy::Box, {}, {});
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HeadlessRaces)->Unit(benchmark::kMicrosecond);
