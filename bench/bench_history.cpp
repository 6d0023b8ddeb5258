// The results window's statistics over a long history: 2000 races of 24
// tickets each (48,000 tickets), as a player who plays every evening keeps
// in a year.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "history/history.h"

namespace {

const std::string& longHistory() {
    static const std::string dir = [] {
        std::string d = (std::filesystem::temp_directory_path() / "ozn-bench-history").string();
        std::filesystem::remove_all(d);
        ozn::History::open(d, "20261207-100000");  // the schema
        sqlite3* db = nullptr;
        sqlite3_open((d + "/history.sqlite").c_str(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt *race = nullptr, *ticket = nullptr, *payout = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO races VALUES (?1, printf('2026-%02d-%02d 20:00:00', ?1 % 12 + 1, ?1 % 28 + 1), "
                               "?1 / 12 + 1, ?1 % 12 + 1, 'R', '芝1600m', 0, 0, '1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18', "
                               "'', 15000, 15000, 0)", -1, &race, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO tickets VALUES (?1, ?2, ?3, 100, ?4, NULL, ?5)", -1, &ticket, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO payouts VALUES (?1, ?2, ?3, '12.5', 1250, 0)", -1, &payout, nullptr);
        for (int r = 1; r <= 2000; ++r) {
            sqlite3_bind_int(race, 1, r);
            sqlite3_step(race), sqlite3_reset(race);
            for (int t = 0; t < 24; ++t) {
                const int kind = t % 6 + 1;
                const std::string horses = kind <= 2 ? std::to_string(t % 18 + 1)
                                         : kind <= 4 ? std::to_string(t % 9 + 1) + "-" + std::to_string(t % 9 + 10)
                                                     : std::to_string(t % 6 + 1) + "-" + std::to_string(t % 6 + 7) + "-" +
                                                           std::to_string(t % 6 + 13);
                sqlite3_bind_int(ticket, 1, r), sqlite3_bind_int(ticket, 2, kind);
                sqlite3_bind_text(ticket, 3, horses.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_double(ticket, 4, 1.5 + (r * 7 + t * 13) % 300), sqlite3_bind_int(ticket, 5, (r + t) % 18 + 1);
                sqlite3_step(ticket), sqlite3_reset(ticket);
                if ((r + t) % 9 == 0) {
                    sqlite3_bind_int(payout, 1, r), sqlite3_bind_int(payout, 2, kind);
                    sqlite3_bind_text(payout, 3, horses.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_step(payout), sqlite3_reset(payout);
                }
            }
        }
        for (sqlite3_stmt* s : {race, ticket, payout}) sqlite3_finalize(s);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return d;
    }();
    return dir;
}

// Opening the window: the history opened and its first table made (the
// rows that make no sense are looked for once, here).
void BM_HistoryOpenAndFirstTable(benchmark::State& state) {
    const std::string& dir = longHistory();
    for (auto _ : state) {
        auto h = ozn::History::open(dir, "20261207-100000").history;
        benchmark::DoNotOptimize(h->breakdown(ozn::Breakdown::Kind, {}));
    }
}
BENCHMARK(BM_HistoryOpenAndFirstTable)->Unit(benchmark::kMillisecond);

// Each key that changes the view: one breakdown, or the chart's points.
void BM_HistoryEachView(benchmark::State& state) {
    auto h = ozn::History::open(longHistory(), "20261207-100000").history;
    h->skippedRows();
    const auto by = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if (by < 5) benchmark::DoNotOptimize(h->breakdown(ozn::kBreakdowns[by], {ozn::Period::All, 0, "2026-12-07"}));
        else benchmark::DoNotOptimize(h->moneyByRace({ozn::Period::All, 0, "2026-12-07"}));
    }
}
BENCHMARK(BM_HistoryEachView)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

}  // namespace
