#include "race/autoplay.h"

#include "betting/betting.h"
#include "betting/store.h"
#include "racecard/racecard.h"
#include "race/run.h"

namespace ozn {

std::optional<Strategy> strategyNamed(const std::string& name) {
    if (name == "none") return Strategy::None;
    if (name == "favourite") return Strategy::Favourite;
    if (name == "box") return Strategy::Box;
    return std::nullopt;
}

std::string reportLine(const PlayedRace& r) {
    std::string s;
    auto field = [&s](const std::string& f) { s += (s.empty() ? "" : "\t") + f; };
    for (long long v : {r.meeting, r.race}) field(std::to_string(v));
    field(r.name);
    field(r.course);
    for (long long v : {r.out.first, r.out.second, r.out.third, r.out.scratched, r.out.fallen}) field(std::to_string(v));
    for (Money v : {r.before, r.stakes, r.back, r.after}) field(std::to_string(v));
    return s;
}

namespace {
// The horse of a popularity rank on the card.
int byPopularity(const GameRecord& rec, int rank) {
    for (int h = 1; h <= kHorses; ++h)
        if (rec.ninki[h - 1] == rank) return h;
    return 0;
}
}  // namespace

void placeBets(GameRecord& rec, Strategy s) {
    constexpr Money kStake = 100;
    auto buy = [&](int kind, Horses h) {
        if (rec.mochikin >= kStake) fileTicket(rec, kind, h, kStake);
    };
    const int a = byPopularity(rec, 1), b = byPopularity(rec, 2), c = byPopularity(rec, 3);
    switch (s) {
        case Strategy::None: return;
        case Strategy::Favourite: buy(1, {a, 0, 0}); return;
        case Strategy::Box:
            // A quinella is filed with the lower number first.
            for (auto [x, y] : {std::pair{a, b}, {a, c}, {b, c}}) buy(3, {std::min(x, y), std::max(x, y), 0});
            return;
    }
}

AutoplayResult autoplay(GameRecord& rec, Ports& ports, int races, Strategy s, const RaceHooks& hooks,
                        const std::function<void(const PlayedRace&)>& each) {
    AutoplayResult result;
    int meeting = 1;
    while (result.races < races) {
        PlayedRace r;
        r.meeting = meeting, r.race = rec.raceno;
        r.name = rec.racename, r.course = currentCourse(rec);
        r.before = rec.mochikin;
        placeBets(rec, s);
        r.stakes = r.before - rec.mochikin;
        RaceHooks h = hooks;
        h.settled = [&](const RaceOutcome& out, const Settlement& st) {
            r.out = out;
            for (const PaidTicket& t : st.paid) r.back += t.amount;
            r.after = rec.mochikin;
            if (hooks.settled) hooks.settled(out, st);
        };
        result.last = hasso(rec, ports, h, {});
        ++result.races;
        if (each) each(r);
        if (result.last != HassoResult::NextRace) break;
        if (rec.raceno == 1) ++meeting;
    }
    return result;
}

}  // namespace ozn
