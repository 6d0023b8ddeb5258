#include "racecard/racecard.h"

#include <algorithm>
#include <charconv>

#include "core/text.h"
#include "racecard/rules.h"

namespace ozn {
namespace {

void setProfile(GameRecord& rec, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    rec.yoso1 = a;
    rec.yoso2 = b;
    rec.yoso3 = c;
}

struct RaceLine {
    void (*profile)(GameRecord&);
    std::uint8_t fanfare;
};

constexpr RaceLine kRaceTable[kHorses] = {
    {dirtrace, 1},  {shiba1200, 2}, {shiba1200, 1}, {shiba1600, 2}, {shiba1600, 2}, {shiba1600, 1},
    {shiba1600, 1}, {shiba2000, 1}, {shiba2000, 1}, {shiba2000, 2}, {shiba2200, 2}, {shiba2200, 2},
    {shiba2400, 1}, {shiba2400, 1}, {shiba2400, 1}, {shiba2500, 1}, {shiba3000, 2}, {shiba3200, 2},
};

// Draws from 1..18 until the number is not yet taken.
int drawFree(Random& rng, const std::array<bool, kHorses + 1>& taken) {
    for (;;) {
        int n = draw(rng, kHorses);
        if (!taken[n]) return n;
    }
}

void fillWinPlace(const GameRecord& rec, CardLists& lists) {
    for (int h = 1; h <= kHorses; ++h) {
        int r = rec.ninki[h - 1];
        std::string head = std::to_string(h) + "番 " + rec.umaname[h - 1] + " ";
        std::string tail = text::signedNumber(r) + "番人気)";
        lists[0].push_back(head + rec.tanoddsstr[r - 1] + "倍" + tail);
        lists[1].push_back(head + rec.fukuoddsstr[r - 1] + "倍から" + rec.fukuodds1str[r - 1] + "倍" + tail);
    }
}

}  // namespace

void dirtrace(GameRecord& rec) { setProfile(rec, 1, 2, 3); }
void shiba1200(GameRecord& rec) { setProfile(rec, 2, 3, 1); }
void shiba1600(GameRecord& rec) { setProfile(rec, 3, 1, 2); }
void shiba2000(GameRecord& rec) { setProfile(rec, 4, 5, 6); }
void shiba2200(GameRecord& rec) { setProfile(rec, 5, 6, 4); }
void shiba2400(GameRecord& rec) { setProfile(rec, 6, 4, 5); }
void shiba2500(GameRecord& rec) { setProfile(rec, 7, 8, 9); }
void shiba3000(GameRecord& rec) { setProfile(rec, 8, 9, 7); }
void shiba3200(GameRecord& rec) { setProfile(rec, 9, 7, 8); }

void selectCourse(GameRecord& rec, int raceLine) {
    const RaceLine& row = kRaceTable[raceLine - 1];
    row.profile(rec);
    rec.fanfare = row.fanfare;
}

CardLists readlist(GameRecord& rec, Random& rng, bool texts) {
    rec.honkaku = rec.honkakuWanted;  // a setting changed with tickets held waits for a new card
    // A race number outside the meeting has no room in racehist: start a new meeting.
    if (rec.raceno < 1 || rec.raceno > kRacesPerMeeting) {
        rec.raceno = 1;
        rec.racehist.fill(0);
        rec.racename.clear();
    }

    // The race line, never one already run in this meeting.
    int line;
    for (;;) {
        rng.reseed();
        line = draw(rng, kHorses);
        rec.racename = rec.racelist[line - 1];
        auto run = rec.racehist.begin() + rec.raceno;
        if (std::find(rec.racehist.begin(), run, line) == run) break;
    }
    rec.racehist[rec.raceno - 1] = static_cast<std::uint8_t>(line);
    selectCourse(rec, line);

    // Post positions: horse number d runs the horse of line drawn[d].
    rng.reseed();
    std::array<bool, kHorses + 1> taken{};
    for (int d = 1; d <= kHorses; ++d) {
        int horseLine = drawFree(rng, taken);
        taken[horseLine] = true;
        rec.umaname[d - 1] = rec.horsename[horseLine - 1];
        rec.umatekisei[d - 1] = rec.tekisei[horseLine - 1];
    }

    // The course favourites: the highest horse number carrying each code.
    std::array<int, kHorses + 1> byRank{};  // byRank[k] = horse number of rank k
    for (int h = 1; h <= kHorses; ++h) {
        std::uint8_t code = rec.umatekisei[h - 1];
        if (code == rec.yoso1) byRank[1] = h;
        else if (code == rec.yoso2) byRank[2] = h;
        else if (code == rec.yoso3) byRank[3] = h;
    }
    taken.fill(false);
    for (int k = 1; k <= 3; ++k) taken[byRank[k]] = byRank[k] != 0;
    // The others at random; a favourite rank that no runner's code matched is
    // filled the same way, so the ranks stay a permutation.
    auto fillRank = [&](int k) {
        byRank[k] = drawFree(rng, taken);
        taken[byRank[k]] = true;
    };
    for (int k = 4; k <= kHorses; ++k) fillRank(k);
    for (int k = 1; k <= 3; ++k)
        if (byRank[k] == 0) fillRank(k);

    rec.yoso1 = static_cast<std::uint8_t>(byRank[1]);
    rec.yoso2 = static_cast<std::uint8_t>(byRank[2]);
    rec.yoso3 = static_cast<std::uint8_t>(byRank[3]);
    for (int k = 1; k <= kHorses; ++k) rec.ninki[byRank[k] - 1] = static_cast<std::uint8_t>(k);

    CardLists lists;
    if (texts) fillWinPlace(rec, lists);
    combinationOdds(rec, lists, texts);
    if (rec.honkaku) rulesOdds(rec, lists);
    rec.mochikinmae = rec.mochikin;
    return lists;
}

void combinationOdds(GameRecord& rec, CardLists& lists, bool texts) {
    auto W = [&](int h) { return rec.tanodds[rec.ninki[h - 1] - 1]; };
    auto P = [&](int h) { return rec.fukuodds[rec.ninki[h - 1] - 1]; };
    // The more popular of a and b (a on equal ranks) takes the win factor.
    auto pairBase = [&](int a, int b) {
        bool aFirst = rec.ninki[a - 1] <= rec.ninki[b - 1];
        return aFirst ? W(a) * P(b) : W(b) * P(a);
    };

    // Enumeration in list order, with the odds of each combination, also
    // kept as whole tenths (hundredths for the quinella) for the texts.
    std::vector<std::array<int, 3>> pairs, trios, trifectas;
    std::vector<double> uma, wideLo, wideHi, trio, tan;
    std::vector<long long> umaUnits, wideLoUnits, wideHiUnits, trioUnits, tanUnits;
    auto keep = [](std::vector<double>& values, std::vector<long long>& units, double x, int decimals) {
        long long u = text::roundOddsUnits(x, decimals);
        units.push_back(u);
        values.push_back(static_cast<double>(u) / (decimals == 1 ? 10.0 : 100.0));
    };
    pairs.reserve(kPairs), trios.reserve(kTrios), trifectas.reserve(kTrifectas);
    for (auto* v : {&uma, &wideLo, &wideHi}) v->reserve(kPairs);
    for (auto* v : {&umaUnits, &wideLoUnits, &wideHiUnits}) v->reserve(kPairs);
    trio.reserve(kTrios), trioUnits.reserve(kTrios), tan.reserve(kTrifectas), tanUnits.reserve(kTrifectas);
    for (int a = 1; a <= 17; ++a)
        for (int b = a + 1; b <= 18; ++b) {
            double base = pairBase(a, b);
            pairs.push_back({a, b, 0});
            keep(uma, umaUnits, base, 2);
            keep(wideLo, wideLoUnits, base * 0.4, 1);
            keep(wideHi, wideHiUnits, base * 0.9, 1);
        }
    for (int a = 1; a <= 16; ++a)
        for (int b = a + 1; b <= 17; ++b)
            for (int c = b + 1; c <= 18; ++c) {
                trios.push_back({a, b, c});
                keep(trio, trioUnits, pairBase(a, b) * P(c), 1);
            }
    for (int a = 1; a <= 18; ++a)
        for (int b = 1; b <= 18; ++b)
            for (int c = 1; c <= 18; ++c) {
                if (a == b || b == c || a == c) continue;
                trifectas.push_back({a, b, c});
                keep(tan, tanUnits, W(a) * P(b) * P(c) * 1.5, 1);
            }

    // Sorted tables; pop[k] = popularity number of combination k (0-based).
    // The units order exactly as the odds made from them, and sort faster.
    auto rank = [](const std::vector<long long>& units, auto store) {
        std::vector<int> order = exchangeSortOrder(std::vector<std::uint64_t>(units.begin(), units.end()));
        std::vector<int> pop(units.size());
        for (std::size_t m = 0; m < order.size(); ++m) {
            pop[order[m]] = static_cast<int>(m) + 1;
            store(m, order[m]);
        }
        return pop;
    };
    auto umaPop = rank(umaUnits, [&](std::size_t m, int k) {
        rec.umaodds[m] = uma[k];
        rec.umaidx[m] = static_cast<std::int16_t>(k + 1);
    });
    auto widePop = rank(wideLoUnits, [&](std::size_t m, int k) {
        rec.wideoddsmin[m] = wideLo[k];
        rec.wideoddsmax[m] = wideHi[k];
        rec.wideidx[m] = static_cast<std::int16_t>(k + 1);
    });
    auto trioPop = rank(trioUnits, [&](std::size_t m, int k) {
        rec.sanrenpukuodds[m] = trio[k];
        rec.sanrenpukuidx[m] = static_cast<std::int16_t>(k + 1);
    });
    auto tanPop = rank(tanUnits, [&](std::size_t m, int k) {
        rec.sanrentanodds[m] = tan[k];
        rec.sanrentanidx[m] = static_cast<std::int16_t>(k + 1);
    });

    if (!texts) return;
    // Written into one buffer and appended to the list's own.
    auto item = [](TextList& list, const std::array<int, 3>& t, int n, long long tenths, long long upperTenths, int m) {
        char buf[160];
        char* p = buf;
        auto put = [&p](const char* s, std::size_t len) { p = std::copy(s, s + len, p); };
        auto number = [&p](long long v) { p = std::to_chars(p, p + 24, v).ptr; };
        auto oneDecimal = [&](long long v) {
            number(v / 10);
            *p++ = '.';
            *p++ = static_cast<char>('0' + v % 10);
        };
        static constexpr char kBan[] = "番", kFrom[] = "倍から", kPop[] = "倍(", kNinki[] = "番人気)";
        for (int i = 0; i < n; ++i) number(t[i]), put(kBan, sizeof kBan - 1);
        *p++ = ' ';
        oneDecimal(tenths);
        if (upperTenths >= 0) put(kFrom, sizeof kFrom - 1), oneDecimal(upperTenths);
        put(kPop, sizeof kPop - 1);
        number(m);
        put(kNinki, sizeof kNinki - 1);
        list.push_back(std::string_view(buf, static_cast<std::size_t>(p - buf)));
    };
    lists[2].reserve(kPairs, kPairs * 40), lists[3].reserve(kPairs, kPairs * 56);
    lists[4].reserve(kTrios, kTrios * 44), lists[5].reserve(kTrifectas, kTrifectas * 44);
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        // Stored to two decimals, shown to one, halves away from zero.
        item(lists[2], pairs[k], 2, (umaUnits[k] + 5) / 10, -1, umaPop[k]);
        item(lists[3], pairs[k], 2, wideLoUnits[k], wideHiUnits[k], widePop[k]);
    }
    for (std::size_t k = 0; k < trios.size(); ++k) item(lists[4], trios[k], 3, trioUnits[k], -1, trioPop[k]);
    for (std::size_t k = 0; k < trifectas.size(); ++k) item(lists[5], trifectas[k], 3, tanUnits[k], -1, tanPop[k]);
}

namespace {

// Combination numbers (1-based, in list order) by horses: [a][b] for pairs,
// [a][b][c] for trios and trifectas; 0 where there is none.
struct ComboNumbers {
    std::array<std::array<int, kHorses + 1>, kHorses + 1> pair{};
    std::vector<int> trio = std::vector<int>(19 * 19 * 19), trifecta = std::vector<int>(19 * 19 * 19);
    ComboNumbers() {
        int n = 0;
        for (int a = 1; a <= 17; ++a)
            for (int b = a + 1; b <= 18; ++b) pair[a][b] = ++n;
        n = 0;
        for (int a = 1; a <= 16; ++a)
            for (int b = a + 1; b <= 17; ++b)
                for (int c = b + 1; c <= 18; ++c) trio[(a * 19 + b) * 19 + c] = ++n;
        n = 0;
        for (int a = 1; a <= 18; ++a)
            for (int b = 1; b <= 18; ++b)
                for (int c = 1; c <= 18; ++c)
                    if (a != b && b != c && a != c) trifecta[(a * 19 + b) * 19 + c] = ++n;
    }
};

const ComboNumbers& comboNumbers() {
    static const ComboNumbers numbers;
    return numbers;
}

template <std::size_t N>
std::vector<int> popularityOf(const std::array<std::int16_t, N>& idx) {
    std::vector<int> pop(N);
    for (std::size_t m = 0; m < N; ++m)
        if (idx[m] >= 1 && static_cast<std::size_t>(idx[m]) <= N) pop[idx[m] - 1] = static_cast<int>(m) + 1;
    return pop;
}

}  // namespace

CardOdds::CardOdds(const GameRecord& rec)
    : rec_(rec),
      pairPop_(popularityOf(rec.umaidx)),
      widePop_(popularityOf(rec.wideidx)),
      trioPop_(popularityOf(rec.sanrenpukuidx)),
      tanPop_(popularityOf(rec.sanrentanidx)),
      exactaPop_(popularityOf(rec.umatanidx)),
      bracketPop_(popularityOf(rec.wakuidx)) {}

ShownOdds CardOdds::of(int kind, const std::array<int, 3>& h) const {
    for (int k = 0; k < (kind <= 2 ? 1 : kind <= 4 || kind >= 7 ? 2 : 3); ++k)
        if (h[k] < 1 || h[k] > (kind == 8 ? kBrackets : kHorses)) return {};
    const ComboNumbers& n = comboNumbers();
    auto at = [](const std::vector<int>& pop, int number) { return number ? pop[number - 1] : 0; };
    const int trioKey = (h[0] * 19 + h[1]) * 19 + h[2];
    const int rank = kind <= 2 ? rec_.ninki[h[0] - 1] : 0;
    switch (kind) {
        case 1: return rank ? ShownOdds{rec_.tanodds[rank - 1], 0, rank} : ShownOdds{};
        case 2: return rank ? ShownOdds{rec_.fukuodds[rank - 1], rec_.fukuodds1[rank - 1], rank} : ShownOdds{};
        case 3:
        case 4: {
            const int m = at(kind == 3 ? pairPop_ : widePop_, n.pair[h[0]][h[1]]);
            if (!m) return {};
            if (kind == 3) return {text::roundOdds(rec_.umaodds[m - 1], 1), 0, m};  // shown to one decimal
            return {rec_.wideoddsmin[m - 1], rec_.wideoddsmax[m - 1], m};
        }
        case 5: {
            const int m = at(trioPop_, n.trio[trioKey]);
            return m ? ShownOdds{rec_.sanrenpukuodds[m - 1], 0, m} : ShownOdds{};
        }
        case 6: {
            const int m = at(tanPop_, n.trifecta[trioKey]);
            return m ? ShownOdds{rec_.sanrentanodds[m - 1], 0, m} : ShownOdds{};
        }
        case 7: {
            if (h[0] == h[1]) return {};
            const int m = at(exactaPop_, exactaNumber(h[0], h[1]));
            return m ? ShownOdds{rec_.umatanodds[m - 1], 0, m} : ShownOdds{};
        }
        case 8: {
            if (h[0] > h[1]) return {};
            const int m = at(bracketPop_, bracketPairNumber(h[0], h[1]));
            return m ? ShownOdds{rec_.wakuodds[m - 1], 0, m} : ShownOdds{};
        }
        default: return {};
    }
}

std::string courseName(int raceLine) {
    static const char* const kCourses[] = {"ダート",  "芝1200m", "芝1200m", "芝1600m", "芝1600m", "芝1600m",
                                           "芝1600m", "芝2000m", "芝2000m", "芝2000m", "芝2200m", "芝2200m",
                                           "芝2400m", "芝2400m", "芝2400m", "芝2500m", "芝3000m", "芝3200m"};
    return raceLine >= 1 && raceLine <= 18 ? kCourses[raceLine - 1] : "";
}

std::string currentCourse(const GameRecord& rec) {
    return rec.raceno >= 1 && rec.raceno <= kRacesPerMeeting ? courseName(rec.racehist[rec.raceno - 1]) : "";
}

}  // namespace ozn
