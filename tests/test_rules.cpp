// 本格ルール: brackets, 馬単 and 枠連 odds and lists, their buying, real
// payouts, and the history that keeps them.
#include <gtest/gtest.h>

#include <numeric>

#include "betting/betting.h"
#include "betting/bulk.h"
#include "core/brackets.h"
#include "core/datafiles.h"
#include "fakes.h"
#include "history/history.h"
#include "race/race.h"
#include "racecard/rules.h"
#include "tempdir.h"

using namespace ozn;
using namespace ozn::test;

namespace {

// The race tests' card (horse h has rank h) under 本格ルール.
GameRecord rulesRecord() {
    GameRecord rec = raceRecord();
    rec.honkaku = true;
    return rec;
}

}  // namespace

TEST(Rules, BracketsOfEighteenRunners) {
    const int expected[18] = {1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 7, 8, 8, 8};
    for (int h = 1; h <= 18; ++h) {
        EXPECT_EQ(bracketOf(h), expected[h - 1]) << h;
        auto [first, last] = bracketHorses(bracketOf(h));
        EXPECT_TRUE(first <= h && h <= last) << h;
    }
    EXPECT_EQ(bracketHorses(7), (std::pair{13, 15}));
    EXPECT_EQ(bracketHorses(8), (std::pair{16, 18}));
}

TEST(Rules, ExactaAndBracketOddsAndLists) {
    GameRecord rec = rulesRecord();
    struct Exacta { int first, second; long long tenths; } exactas[] = {
        {1, 2, 56},     // 3.525 x 6.35 / 4
        {1, 3, 82},     // 5.875 x 8.35 / 6
        {3, 1, 209},    // 5.875 x 8.35 / 2.35
        {17, 18, 6281},  // 323 x 70 / 36
        {18, 17, 6650},  // 323 x 70 / 34
    };
    for (const auto& e : exactas) EXPECT_EQ(exactaTenths(rec, e.first, e.second), e.tenths) << e.first << "-" << e.second;
    struct Bracket { int i, j; long long tenths; } brackets[] = {
        {1, 1, 35},    // the one pair 1-2
        {1, 2, 16},    // 1 / (1/5.875 + 1/4.7 + 1/10 + 1/8)
        {8, 8, 1014},  // 1 / (1/288 + 1/304 + 1/323)
    };
    for (const auto& b : brackets) EXPECT_EQ(bracketTenths(rec, b.i, b.j), b.tenths) << b.i << "-" << b.j;
    // Every pair: the favourite first pays less than the reverse, both more
    // than the quinella as shown, and together they are priced as it is.
    for (int a = 1; a <= 17; ++a)
        for (int b = a + 1; b <= 18; ++b) {
            const double q = quinellaBase(rec, a, b), shown = std::round(q * 10) / 10;
            const double fav = exactaTenths(rec, a, b) / 10.0, rev = exactaTenths(rec, b, a) / 10.0;
            EXPECT_TRUE(shown < fav && fav < rev) << a << "-" << b;
            EXPECT_NEAR(1 / fav + 1 / rev, 1 / q, 0.01 / q) << a << "-" << b;
        }
    // A bracket pair pays no more than any quinella it covers, and never below 1.0.
    for (int i = 1; i <= 8; ++i)
        for (int j = i; j <= 8; ++j)
            for (int a = bracketHorses(i).first; a <= bracketHorses(i).second; ++a)
                for (int b = bracketHorses(j).first; b <= bracketHorses(j).second; ++b)
                    if (a != b) {
                        EXPECT_LE(bracketTenths(rec, i, j), std::llround(quinellaBase(rec, a, b) * 10) + 1);
                    }
    GameRecord flat = rulesRecord();
    flat.tanodds.fill(1), flat.fukuodds.fill(1);
    EXPECT_EQ(bracketTenths(flat, 7, 8), 10);  // nine pairs at 1.0 each: 0.1, paid as 1.0
    flat.tanodds[17] = 100000;                 // the second hardly ever wins: just above the quinella
    EXPECT_EQ(exactaTenths(flat, 1, 18), 11);

    CardLists lists;
    rulesOdds(rec, lists);
    ASSERT_EQ(lists[6].size(), 306u);
    ASSERT_EQ(lists[7].size(), 36u);
    struct Item { int list; std::size_t at; const char* text; } items[] = {
        {6, 0, "1番2番 5.6倍(1番人気)"},   {6, 1, "1番3番 8.2倍(3番人気)"},     {6, 17, "2番1番 9.5倍(5番人気)"},
        {6, 305, "18番17番 665.0倍(306番人気)"}, {7, 0, "1枠1枠 3.5倍(4番人気)"}, {7, 1, "1枠2枠 1.6倍(1番人気)"},
        {7, 35, "8枠8枠 101.4倍(35番人気)"}, {7, 30, "6枠6枠 143.0倍(36番人気)"},
    };
    for (const auto& it : items) EXPECT_EQ(lists[it.list][it.at], it.text) << it.at;
    const CardOdds card(rec);
    EXPECT_EQ(card.of(kExacta, {1, 2, 0}).popularity, 1);
    EXPECT_DOUBLE_EQ(card.of(kExacta, {18, 17, 0}).odds, 665.0);
    EXPECT_EQ(card.of(kBracketQuinella, {6, 6, 0}).popularity, 36);
    EXPECT_EQ(card.of(kBracketQuinella, {2, 1, 0}).popularity, 0);  // brackets are held smaller first
}

TEST(Rules, TypedEntryListsAndBulk) {
    struct Typed { int kind; const char* answer; const char* selection; } typed[] = {
        {kExacta, "0715", "7番15番 "}, {kExacta, "1507", "15番7番 "}, {kExacta, "0707", nullptr},
        {kExacta, "0719", nullptr},    {kBracketQuinella, "36", "3枠6枠 "}, {kBracketQuinella, "33", "3枠3枠 "},
        {kBracketQuinella, "63", nullptr}, {kBracketQuinella, "09", nullptr}, {kBracketQuinella, "3", nullptr},
    };
    for (const auto& t : typed) {
        FakeUi ui;
        ui.inputs = {t.answer};
        auto got = typedEntry(ui, t.kind);
        EXPECT_EQ(got.value_or("refused"), t.selection ? t.selection : "refused") << t.answer;
        if (!t.selection) {
            EXPECT_EQ(ui.boxes.at(0).prompt, t.kind == kExacta ? "1から18の数字を入れて下さい" : "1から8の数字を入れて下さい");
        }
    }
    struct Bought { int kind; const char* selection; Horses horses; const char* said; } bought[] = {
        {kExacta, "15番7番 34.6倍(12番人気)", {15, 7, 0}, "馬単 15番7番 300円 買いました"},
        {kBracketQuinella, "3枠3枠 12.3倍(5番人気)", {3, 3, 0}, "枠連 3枠3枠 300円 買いました"},
    };
    for (const auto& b : bought) {
        GameRecord rec = rulesRecord();
        FakeUi ui;
        ui.inputs = {"300"};
        Purchase p;
        ASSERT_TRUE(registerTicket(rec, ui, b.kind, b.selection, &p)) << b.selection;
        EXPECT_EQ(ticketHorses(rec, b.kind, 0), b.horses);
        EXPECT_EQ(purchaseSpeech(p), b.said);
        EXPECT_EQ(rec.mochikin, 9700);
    }
    struct Bulk { int kind; const char* line; std::vector<Horses> tickets; const char* error; } bulks[] = {
        {kExacta, "07 15 01", {{1, 7, 0}, {1, 15, 0}, {7, 1, 0}, {7, 15, 0}, {15, 1, 0}, {15, 7, 0}}, ""},
        {kExacta, "07-01 03", {{7, 1, 0}, {7, 3, 0}}, ""},
        {kExacta, "07-01 03 M", {{1, 7, 0}, {3, 7, 0}, {7, 1, 0}, {7, 3, 0}}, ""},
        {kExacta, "07 15/01 07", {{7, 1, 0}, {15, 1, 0}, {15, 7, 0}}, ""},
        {kBracketQuinella, "1 3 5", {{1, 3, 0}, {1, 5, 0}, {3, 5, 0}}, ""},
        {kBracketQuinella, "3-1 5", {{1, 3, 0}, {3, 5, 0}}, ""},
        {kBracketQuinella, "3 5/3 5 7", {{3, 3, 0}, {3, 5, 0}, {3, 7, 0}, {5, 5, 0}, {5, 7, 0}}, ""},
        {kBracketQuinella, "3 9", {}, "9という枠番はありません。1から8の数字を入れて下さい"},
        {kBracketQuinella, "3-1 5 M", {}, "マルチは３連単だけです"},
    };
    for (const auto& b : bulks) {
        BulkParse p = parseBulk(b.kind, b.line);
        EXPECT_EQ(p.error, b.error) << b.line;
        EXPECT_EQ(p.order.tickets, b.tickets) << b.line;
    }
}

TEST(Rules, RealPayoutsOnEveryKindWithScratchAndFall) {
    struct Rounding { double multiplier; Money per100; } roundings[] = {
        {2.35, 230}, {2.3, 230}, {34.6, 3460}, {3.46, 340}, {1.0, 100}, {1.04, 100}, {0.8, 100}, {12.0, 1200},
    };
    for (const auto& r : roundings) EXPECT_EQ(realPayout(r.multiplier), r.per100) << r.multiplier;
    EXPECT_EQ(yenText(3460), "3,460");
    EXPECT_EQ(yenText(1234567), "1,234,567");
    EXPECT_TRUE(bracketScratched(1, {1, 2}));
    EXPECT_FALSE(bracketScratched(7, {13, 14}));

    struct Ticket { int kind; Horses horses; Money stake; };
    struct Case {
        const char* name;
        int first, second, third, scratched, fallen;
        double winOdds;
        std::vector<Ticket> tickets;
        std::string printed;
        Money gain;
    } cases[] = {
        {"every kind", 1, 2, 3, 0, 0, 0,
         {{1, {1}, 100}, {2, {1}, 100}, {3, {1, 2}, 100}, {4, {1, 2}, 100}, {5, {1, 2, 3}, 100},
          {6, {1, 2, 3}, 100}, {7, {1, 2}, 200}, {7, {2, 1}, 100}, {8, {1, 1}, 100}},
         "単勝 1番 230円\n副賞 1番 150円\n馬連 1番2番 350円\nワイド 1番2番 140円\n３連複 1番2番3番 880円\n"
         "３連単 1番2番3番 1,320円\n馬単 1番2番 560円\n枠連 1枠1枠 350円\n",
         230 + 150 + 350 + 140 + 880 + 1320 + 1120 + 350},
        {"元返し", 1, 2, 3, 0, 0, 0.8, {{1, {1}, 500}}, "単勝 1番 100円\n", 500},
        // 2 is out: 馬単 on it refunded; its bracket mate 1 still runs for the 枠連.
        {"scratch", 1, 3, 4, 2, 0, 0, {{7, {2, 1}, 300}, {7, {1, 3}, 100}, {8, {1, 2}, 100}},
         "馬単 1番3番 820円\n枠連 1枠2枠 160円\n", 300 + 820 + 160},
        // The fallen horse's 馬単 is lost, not refunded.
        {"fall", 1, 3, 4, 0, 2, 0, {{7, {1, 2}, 100}, {8, {1, 2}, 100}}, "枠連 1枠2枠 160円\n", 160},
    };
    for (const auto& c : cases) {
        GameRecord rec = rulesRecord();
        if (c.winOdds) rec.tanodds[0] = c.winOdds;
        RaceOutcome out;
        out.first = c.first, out.second = c.second, out.third = c.third, out.scratched = c.scratched, out.fallen = c.fallen;
        out.p1 = c.first, out.p2 = c.second, out.p3 = c.third;
        for (const auto& t : c.tickets) addTicket(rec, t.kind, t.horses, t.stake);
        Settlement s = settle(rec, out);
        std::string printed;
        for (const auto& p : s.prints) printed += p.text + (p.newline ? "\n" : "");
        EXPECT_EQ(printed, c.printed) << c.name;
        std::string said;
        for (char ch : c.printed) said += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
        EXPECT_EQ(s.announcement, said) << c.name;
        EXPECT_EQ(rec.mochikin, 10000 + c.gain) << c.name;
    }
}

TEST(Rules, HistoryKeepsTheRulesAndBothKinds) {
    TempDir dir;
    auto h = History::open(dir.path(), "20261207-100000").history;
    ASSERT_TRUE(h);
    RaceRow r;
    r.playedAt = "2026-12-07 10:00:00", r.meeting = 1, r.raceNo = 1, r.course = "ダート", r.honkaku = true;
    r.tickets = {{kExacta, "15-7", 200, 34.6, 0, 12}, {kBracketQuinella, "3-3", 100, 12.3, 0, 5}};
    r.payouts = {{kExacta, "15-7", "34.6", 6920, false}};
    r.lines = {"馬単 15番7番 3,460円"};
    r.before = 10000, r.after = 16620;
    ASSERT_TRUE(h->record(r));
    RaceRow plain = r;
    plain.honkaku = false, plain.raceNo = 2, plain.tickets.resize(1), plain.payouts.clear();
    ASSERT_TRUE(h->record(plain));
    std::vector<RaceRow> races = h->allRaces();
    ASSERT_EQ(races.size(), 2u);
    EXPECT_TRUE(races[0].honkaku);
    EXPECT_FALSE(races[1].honkaku);
    EXPECT_EQ(races[0].tickets.size(), 2u);
    EXPECT_EQ(h->skippedRows(), 0);
    std::vector<std::string> kinds;
    for (const StatsRow& s : h->breakdown(Breakdown::Kind, {})) kinds.push_back(s.label);
    EXPECT_EQ(kinds, (std::vector<std::string>{"馬単", "枠連"}));
    EXPECT_EQ(horsesSpoken("3-3", kBracketQuinella), "3枠3枠");
    EXPECT_EQ(reportLines(*h, {})[1], "2026-12-07 10:00 第1開催 第 1レース  ダート 本格ルール");
    EXPECT_EQ(reportLines(*h, {}).back(), "2026-12-07 10:00:00 第1開催 第 1レース  ダート 馬単 15番7番 34.6倍 6920円");
    EXPECT_FALSE(parseHorses(kBracketQuinella, "5-3"));
    EXPECT_FALSE(parseHorses(kExacta, "7-7"));
}
