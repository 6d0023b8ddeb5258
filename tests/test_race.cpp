#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>

#include "core/datafiles.h"
#include "core/lifecycle.h"
#include "core/text.h"
#include "fakes.h"
#include "core/random.h"
#include "race/commentary.h"
#include "race/field.h"
#include "race/race.h"
#include "race/autoplay.h"
#include "race/run.h"
#include "racecard/racecard.h"
#include "tempdir.h"

using namespace ozn;
using namespace ozn::test;

namespace {

RaceOutcome finish(int first, int second, int third, int scratched = 0, int fallen = 0) {
    RaceOutcome o;
    o.first = first, o.second = second, o.third = third;
    o.scratched = scratched, o.fallen = fallen;
    return o;
}

std::string printed(const Settlement& s) {
    std::string out;
    for (const auto& p : s.prints) out += p.text + (p.newline ? "\n" : "");
    return out;
}

}  // namespace

TEST(Simulation, FirstThreePlaces) {
    struct Case {
        int scratched, fallen; std::vector<std::pair<int, int>> draws /* (value, n) */; int first, second, third;
    } cases[] = {
        // First place: 30 / 54 / 74 cascade.
        {0, 0, {{30, 120}, {75, 120}, {4, 18}, {75, 120}, {5, 18}}, 1, 4, 5},
        {0, 0, {{31, 120}, {75, 120}, {4, 18}, {75, 120}, {5, 18}}, 2, 4, 5},
        {0, 0, {{74, 120}, {75, 120}, {4, 18}, {75, 120}, {5, 18}}, 3, 4, 5},
        {0, 0, {{75, 120}, {1, 18}, {9, 18}, {75, 120}, {4, 18}, {75, 120}, {5, 18}}, 9, 4, 5},
        // R1 = 10 with favourite 1 scratched gives favourite 2.
        {1, 0, {{10, 120}, {75, 120}, {4, 18}, {75, 120}, {5, 18}}, 2, 4, 5},
        // R2 = 20 with favourite 2 already first: an outsider, never 1 or 3.
        {0, 0, {{31, 120}, {20, 120}, {1, 18}, {3, 18}, {2, 18}, {6, 18}, {75, 120}, {5, 18}}, 2, 6, 5},
        // Second-place windows: 1..30 favourite 2, 31..54 favourite 1, 55..74 favourite 3.
        {0, 0, {{75, 120}, {7, 18}, {20, 120}, {75, 120}, {5, 18}}, 7, 2, 5},
        {0, 0, {{75, 120}, {7, 18}, {40, 120}, {75, 120}, {5, 18}}, 7, 1, 5},
        {0, 0, {{75, 120}, {7, 18}, {60, 120}, {75, 120}, {5, 18}}, 7, 3, 5},
        // R2 equal to the winner's number (7) passes favourite 2 over.
        {0, 0, {{75, 120}, {7, 18}, {7, 120}, {8, 18}, {75, 120}, {5, 18}}, 7, 8, 5},
        // Third place: 1..30 favourite 3, 31..54 favourite 1, 55..74 favourite 2.
        {0, 0, {{75, 120}, {7, 18}, {75, 120}, {8, 18}, {20, 120}}, 7, 8, 3},
        {0, 0, {{75, 120}, {7, 18}, {75, 120}, {8, 18}, {40, 120}}, 7, 8, 1},
        {0, 0, {{75, 120}, {7, 18}, {75, 120}, {8, 18}, {60, 120}}, 7, 8, 2},
        // R3 equal to the second's number passes the favourite over; windows do not cascade.
        {0, 0, {{75, 120}, {7, 18}, {75, 120}, {8, 18}, {8, 120}, {9, 18}}, 7, 8, 9},
        {0, 3, {{75, 120}, {7, 18}, {75, 120}, {8, 18}, {20, 120}, {3, 18}, {10, 18}}, 7, 8, 10},
        {5, 3, {{75, 120}, {7, 18}, {75, 120}, {8, 18}, {20, 120}, {3, 18}, {10, 18}}, 7, 8, 10},  // 16 run
    };
    GameRecord rec = raceRecord();
    for (const auto& c : cases) {
        ScriptedRandom rng;
        for (auto [v, n] : c.draws) rng.want(v, n);
        FakeUi ui;
        RaceOutcome out;
        out.scratched = c.scratched, out.fallen = c.fallen;
        drawFinish(rec, rng, out);
        EXPECT_EQ(std::vector<int>({out.first, out.second, out.third}),
                  std::vector<int>({c.first, c.second, c.third}))
            << "draws from " << c.draws.front().first;
        EXPECT_EQ(out.p1, c.first);
        // The order is every runner but the scratched and fallen one, once each.
        int runners = 18 - (c.scratched ? 1 : 0) - (c.fallen ? 1 : 0);
        EXPECT_EQ(out.finishers, runners);
        std::set<int> seen(out.order.begin(), out.order.begin() + runners);
        EXPECT_EQ(static_cast<int>(seen.size()), runners);
        EXPECT_EQ(seen.count(c.scratched) + seen.count(c.fallen) + seen.count(0), 0u);
    }
}

TEST(Settlement, EveryKind) {
    struct Case {
        const char* name; RaceOutcome out; std::vector<std::tuple<int, Horses, Money>> tickets; Money gain;
        const char *printedText, *announced;
        bool reversedRanks = false;  // horse h is rank 19 - h: 18 is the favourite
        double winOdds = 0;          // of rank 1, when not 0
        Money before = 10000;
    } cases[] = {
        {"no ticket", finish(1, 2, 3), {}, 0, "", ""},
        {"win 2.35", finish(1, 2, 3), {{1, {1}, 100}}, 235, "単勝  1番2.35 倍\n", "単勝  1番2.35 倍\r\n"},
        {"win loses", finish(2, 1, 3), {{1, {1}, 100}}, 0, "", ""},
        {"place first", finish(1, 2, 3), {{2, {1}, 100}}, 150, "副賞  1番1.5倍\n", "副賞  1番1.5倍"},
        {"place second", finish(1, 2, 3), {{2, {2}, 100}}, 170, "副賞  2番1.7倍\n", "副賞  2番1.7倍"},
        {"place third", finish(1, 2, 3), {{2, {3}, 100}}, 250, "副賞  3番2.5倍\n", "副賞  3番2.5倍"},
        {"quinella either order", finish(4, 2, 3), {{3, {2, 4}, 100}}, 800, "馬連  2番 4番8.0倍\n",
         "\r\n馬連  2番 4番8.0倍\r\n"},
        {"wide ranks 2,5", finish(2, 5, 9), {{4, {2, 5}, 100}}, 600, "ワイド  2番 5番6.倍\n", "ワイド  2番 5番6.倍"},
        {"wide ranks 1,3", finish(1, 9, 3), {{4, {1, 3}, 100}}, 240, "ワイド  1番 3番2.4倍\n", "ワイド  1番 3番2.4倍"},
        {"wide ranks 9,16", finish(9, 16, 1), {{4, {9, 16}, 100}}, 13770, "ワイド  9番 16番137.7倍\n",
         "ワイド  9番 16番137.7倍"},
        {"trio any order", finish(5, 1, 3), {{5, {1, 3, 5}, 100}}, 1760, "３連副 1番3番5番 17.6倍\n",
         "\r\n３連副 1番3番5番 17.6倍\r\n"},
        {"trifecta exact", finish(2, 1, 3), {{6, {2, 1, 3}, 100}}, 1800, "３連探 2番1番3番 18.0倍\n",
         "３連探 2番1番3番 18.0倍"},
        {"trifecta wrong order", finish(2, 1, 3), {{6, {1, 2, 3}, 100}}, 0, "", ""},
        {"fallen horse", finish(1, 2, 3, 0, 9), {{1, {9}, 100}}, 0, "", ""},
        {"scratched win", finish(1, 2, 3, 9), {{1, {9}, 300}}, 300, "", ""},
        {"scratched place", finish(1, 2, 3, 9), {{2, {9}, 300}}, 300, "", ""},
        {"scratched quinella", finish(1, 2, 3, 9), {{3, {1, 9}, 300}}, 300, "", ""},
        {"scratched wide", finish(1, 2, 3, 9), {{4, {2, 9}, 300}}, 300, "", ""},
        {"scratched trio", finish(1, 2, 3, 9), {{5, {1, 2, 9}, 300}}, 300, "", ""},
        {"scratched trifecta", finish(1, 2, 3, 9), {{6, {9, 1, 2}, 300}}, 300, "", ""},
        // Ranks apart from numbers: the trio's win factor goes to its lowest
        // number (rank 17), not to the favourite; in a pair the more popular
        // one takes it, whatever its number.
        {"trio", finish(16, 2, 18), {{5, {2, 16, 18}, 100}}, 10200, "３連副 2番16番18番 102.0倍\n",
         "\r\n３連副 2番16番18番 102.0倍\r\n", true},
        {"quinella", finish(3, 17, 9), {{3, {3, 17}, 100}}, 3400, "馬連  3番 17番34.0倍\n", "\r\n馬連  3番 17番34.0倍\r\n",
         true},
        {"wide, the higher number first", finish(17, 5, 9), {{4, {5, 17}, 100}}, 2400, "ワイド  5番 17番24.倍\n",
         "ワイド  5番 17番24.倍", true},
        // Further place and wide lines are indented under the first.
        {"two places, two wides", finish(1, 2, 3), {{2, {3}, 100}, {2, {1}, 100}, {4, {1, 2}, 100}, {4, {2, 3}, 100}}, 940,
         "副賞  1番1.5倍\n   3番2.5倍\nワイド  1番 2番1.4倍\n   2番 3番4.倍\n",
         "副賞  1番1.5倍   3番2.5倍ワイド  1番 2番1.4倍   2番 3番4.倍"},
        // Billions in and out: nothing wraps.
        {"billions", finish(1, 2, 3), {{6, {1, 2, 3}, 2'000'000'000LL}}, 26'400'000'000LL, "３連探 1番2番3番 13.2倍\n",
         "３連探 1番2番3番 13.2倍", false, 0, 4'000'000'000LL},
        // The largest stake the game takes pays up to the most it can hold.
        {"at the limit", finish(1, 2, 3), {{1, {1}, kMoneyLimit}}, kMoneyLimit,
         "単勝  1番2.35 倍\n持ち金は上限の1000000000000000円までです\n",
         "単勝  1番2.35 倍\r\n\r\n持ち金は上限の1000000000000000円までです\r\n", false, 0, 0},
        {"under the limit", finish(1, 2, 3), {{1, {1}, 400'000'000'000'000}}, 940'000'000'000'000, "単勝  1番2.35 倍\n",
         "単勝  1番2.35 倍\r\n", false, 0, 0},
        // Whole yen from a half: to the even one.
        {"212.5 yen", finish(1, 2, 3), {{1, {1}, 100}}, 212, "単勝  1番2.125 倍\n", "単勝  1番2.125 倍\r\n", false,
         2.125},
        {"237.5 yen", finish(1, 2, 3), {{1, {1}, 100}}, 238, "単勝  1番2.375 倍\n", "単勝  1番2.375 倍\r\n", false,
         2.375},
    };
    for (const auto& c : cases) {
        GameRecord rec = raceRecord();
        rec.mochikin = c.before;
        if (c.reversedRanks)
            for (int h = 1; h <= 18; ++h) rec.ninki[h - 1] = static_cast<std::uint8_t>(19 - h);
        if (c.winOdds) rec.tanodds[0] = c.winOdds, rec.tanoddsstr[0] = text::formatOdds(c.winOdds, 3) + " ";
        RaceOutcome out = c.out;
        out.p1 = rec.ninki[out.first - 1], out.p2 = rec.ninki[out.second - 1], out.p3 = rec.ninki[out.third - 1];
        for (const auto& [kind, horses, stake] : c.tickets) addTicket(rec, kind, horses, stake);
        Settlement s = settle(rec, out);
        EXPECT_EQ(rec.mochikin, c.before + c.gain) << c.name;
        EXPECT_EQ(printed(s), c.printedText) << c.name;
        EXPECT_EQ(s.announcement, c.announced) << c.name;
    }
}

namespace {

// A race run through the flow, with the window's part scripted.
struct Flow {
    TempDir dir;
    GameRecord rec = raceRecord();
    FakeUi ui;
    ScriptedRandom rng;
    FakeClock clock;
    FakeSpeaker speech;
    FakeMp3 mp3;
    Ports ports{ui, rng, clock, speech, mp3};
    int controlons = 0, closes = 0, cards = 0;
    bool closeEnds = true;
    RaceHooks hooks{[this] { ++controlons; }, [this] { ++closes; return closeEnds; }, [this](CardLists) { ++cards; },
                    nullptr, nullptr, nullptr};

    Flow() {
        rec.apppath = dir.path() + "/", rec.bakenpath = dir.file("baken.txt");
        for (int k = 0; k < 18; ++k) rec.racelist[k] = "R", rec.horsename[k] = "H";
        rec.raceno = 1, rec.fanfare = 2;
        dir.write("baken.txt", " 10000 \r\n");
    }
    // A race with no scratch, no fall and the order 1, 2, 3.
    void scriptPlainRace() { for (int n : {15, 15, 120, 120, 120}) rng.want(1, n); }
};

}  // namespace

TEST(Flow, OrderOfEventsFanfareAndSave) {
    for (int fanfare : {1, 2}) {
        Flow f;
        std::vector<std::string> journal;
        f.ui.journal = f.speech.journal = f.mp3.journal = f.clock.journal = &journal;
        f.rec.fanfare = static_cast<std::uint8_t>(fanfare);
        addTicket(f.rec, 1, {1}, 1000);
        f.rec.mochikin = 9000;  // the stake was paid from 10000
        f.rng.want(7, 15), f.rng.want(3, 18);                     // scratch 3
        f.rng.want(8, 15), f.rng.want(3, 18), f.rng.want(4, 18);  // fall: 3 again, then 4
        f.rng.want(1, 120), f.rng.want(1, 120), f.rng.want(75, 120), f.rng.want(5, 18);
        ASSERT_EQ(hasso(f.rec, f.ports, f.hooks), HassoResult::NextRace);
        std::vector<std::string> seen;
        for (const std::string& e : journal)
            if (e != "wait" || (!seen.empty() && seen.back() == "say 3番除外")) seen.push_back(e);  // the pause after the scratch
        ASSERT_GE(seen.size(), 8u);
        EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.begin() + 8),
                  (std::vector<std::string>{fanfare == 1 ? "play kanto.mp3" : "play kansai.mp3", "say 3番除外", "wait",
                                            "effect gate", "play hasso.mp3", "say 4番落馬", "box 着順結果",
                                            "effect won"}));  // never the scratched one
        // The finishing order: 16 places, and a line for the scratch but none for the fall.
        ASSERT_EQ(f.ui.boxes.size(), 1u);
        const std::string& order = f.ui.boxes[0].prompt;
        EXPECT_EQ(order.substr(0, 12), "\r\n1着  1番");
        EXPECT_EQ(std::count(order.begin(), order.end(), '\n'), 18);
        EXPECT_TRUE(order.ends_with("\r\n3番は除外により変換\r\n")) << order;
        EXPECT_EQ(f.mp3.played.back(), f.rec.apppath + "hasso.mp3");
        EXPECT_EQ(f.ui.printed, "単勝  1番2.35 倍\n 1350円増えました\n残り持ち金は 11350円です\n");
        ASSERT_EQ(f.speech.said.size(), 3u);
        EXPECT_EQ(f.speech.said[2], "単勝  1番2.35 倍\r\n 1350円増えました残り持ち金は 11350円です");
        EXPECT_EQ(f.speech.modes[2], SpeakMode::Wait);
        EXPECT_EQ(std::vector<int>({f.controlons, f.rec.raceno, f.rec.tancount, f.cards}), std::vector<int>({1, 2, 0, 1}));
        EXPECT_EQ(f.rec.mochikinmae, 11350);
        EXPECT_EQ(f.dir.read("baken.txt"), " 11350 \r\n");  // saved with the race, as the history keeps it
        EXPECT_FALSE(f.dir.exists("ozn.cfg"));
    }
}

TEST(Flow, MoneyCheckAndGameOver) {
    const char* over = "持ち金が100円もなくなっちゃったので終了します";
    struct Case { Money left, winStake; HassoResult result; std::string printed, said; Money after; } cases[] = {
        // No ticket, no payout line.
        {100, 0, HassoResult::NextRace, " 9900円減りました\n残り持ち金は 100円です\n",
         " 9900円減りました残り持ち金は 100円です", 100},
        {99, 0, HassoResult::GameOver, over + std::string("\n"), over, 99},
        // 23.5 yen back is not enough: the payout is shown and said first.
        {50, 10, HassoResult::GameOver, "単勝  1番2.35 倍\n" + (over + std::string("\n")),
         "単勝  1番2.35 倍\r\n" + std::string(over), 74},
    };
    for (const auto& c : cases) {
        Flow f;
        if (c.winStake) addTicket(f.rec, 1, {1}, c.winStake);
        f.rec.mochikin = c.left;
        f.scriptPlainRace();
        ASSERT_EQ(hasso(f.rec, f.ports, f.hooks), c.result) << c.left;
        EXPECT_EQ(std::count(f.ui.boxes[0].prompt.begin(), f.ui.boxes[0].prompt.end(), '\n'), 19);  // all 18 placed
        EXPECT_EQ(f.ui.printed, c.printed);
        EXPECT_EQ(f.rec.mochikin, c.after);
        EXPECT_EQ(f.speech.said.back(), c.said);
        // The gates, then game over alone (not the win that came too late), or nothing with no ticket.
        EXPECT_EQ(f.ui.effects, (c.result == HassoResult::GameOver ? std::vector<Effect>{Effect::Gate, Effect::GameOver}
                                                                   : std::vector<Effect>{Effect::Gate}));
        EXPECT_FALSE(f.dir.exists("ozn.cfg"));
        EXPECT_EQ(f.dir.exists("baken.txt"), c.result == HassoResult::NextRace);
        EXPECT_EQ(f.controlons, c.result == HassoResult::NextRace ? 1 : 0);
        if (c.result != HassoResult::GameOver) continue;
        f.dir.copyBundledData();  // the next game starts afresh
        GameRecord next;
        FakeUi ui;
        ASSERT_TRUE(startUp(next, ui, {f.dir.path(), "", "", ""}, {}));
        EXPECT_EQ(next.mochikin, 15000);
    }
}

// A save that fails after a race is told once and tried again with the next.
TEST(Flow, AFailedSaveAfterARaceIsToldOnceAndTriedAgain) {
    Flow f;
    SaveWatch watch;
    f.hooks.saved = [&](bool ok) { watch.saved(f.ui, ok); };
    const Box told{"持ち金を保存できませんでした。次のレースのあとでもう一度保存します", "", kStyleOk};
    f.rec.bakenpath = f.dir.file("gone/baken.txt");
    for (int race = 1; race <= 4; ++race) {
        if (race == 3) f.rec.bakenpath = f.dir.file("baken.txt");  // the folder works again
        f.ui.boxes.clear();
        f.rec.mochikin = 12000 + race;
        f.scriptPlainRace();
        ASSERT_EQ(hasso(f.rec, f.ports, f.hooks), HassoResult::NextRace);
        ASSERT_EQ(f.ui.boxes.size(), race == 1 ? 2u : 1u) << race;
        EXPECT_EQ(f.ui.boxes.back().title, race == 1 ? "" : "着順結果") << race;  // told only after the first
        EXPECT_EQ(f.dir.read("baken.txt"), " " + std::to_string(race >= 3 ? 12000 + race : 10000) + " \r\n") << race;
    }
    f.rec.bakenpath = f.dir.file("gone/baken.txt");  // fails again: told again
    f.ui.boxes.clear();
    f.scriptPlainRace();
    hasso(f.rec, f.ports, f.hooks);
    EXPECT_EQ(f.ui.boxes.back(), told);
}

TEST(Flow, MeetingQuestionOnlyAfterRace12) {
    struct Case { int race; Answer answer; bool quit; } cases[] = {  // quit: confirms "終了しますか?"
        {1, Answer::Yes, false}, {11, Answer::No, false}, {12, Answer::Yes, false}, {12, Answer::No, false}, {12, Answer::No, true}};
    for (auto [race, answer, quit] : cases) {
        Flow f;
        f.rec.raceno = static_cast<std::uint8_t>(race);
        for (int k = 0; k < race - 1; ++k) f.rec.racehist[k] = static_cast<std::uint8_t>(k + 2);
        f.scriptPlainRace();
        f.ui.answers = {Answer::Other, answer};
        f.closeEnds = quit;
        EXPECT_EQ(hasso(f.rec, f.ports, f.hooks), quit ? HassoResult::Ended : HassoResult::NextRace);
        ASSERT_EQ(f.ui.boxes.size(), race == 12 ? 2u : 1u) << race;
        if (quit) continue;  // the game ends here
        if (race < 12) {
            EXPECT_EQ(f.rec.raceno, race + 1);
            continue;
        }
        EXPECT_EQ(f.ui.boxes[1], (Box{"開催変わりしますか", "", kStyleYesNo}));
        // Either way a new meeting starts at race 1; after No the money was saved first.
        EXPECT_EQ(f.rec.raceno, 1);
        EXPECT_EQ(std::count(f.rec.racehist.begin(), f.rec.racehist.end(), 0), 11);
        const int ended = answer == Answer::No;
        EXPECT_EQ(std::vector<int>({f.closes, f.mp3.frees, f.mp3.inits}), std::vector<int>({ended, ended, ended}));
    }
}

namespace {

// The horse numbers a call names: "7番", not "2番手".
std::vector<int> called(const std::string& t) {
    std::vector<int> out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(t[i])) || (i && std::isdigit(static_cast<unsigned char>(t[i - 1]))))
            continue;
        std::size_t j = i;
        int n = 0;
        while (j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]))) n = n * 10 + (t[j++] - '0');
        if (t.compare(j, 3, "番") == 0 && t.compare(j, 6, "番手") != 0) out.push_back(n);
    }
    return out;
}

// The record with the bundled horses' names.
GameRecord namedRecord() {
    TempDir dir;
    dir.copyBundledData();
    GameRecord rec = raceRecord();
    EXPECT_TRUE(loadHorses(rec, dir.file("horsename.txt")));
    for (int h = 0; h < kHorses; ++h) rec.umaname[h] = rec.horsename[h];
    return rec;
}

// Race n of a seeded series: a scratch in every third, a fall in every second.
RaceOutcome seededRace(const GameRecord& rec, Random& rng, int n) {
    RaceOutcome out;
    out.scratched = n % 3 == 0 ? draw(rng, kHorses) : 0;
    do out.fallen = n % 2 ? draw(rng, kHorses) : 0;
    while (out.fallen && out.fallen == out.scratched);
    drawFinish(rec, rng, out);
    return out;
}

}  // namespace

TEST(Commentary, TwoThousandSeededRacesAreCalledAsDrawnWithinTheMusic) {
    GameRecord rec = namedRecord();
    GameRandom rng(2024);
    int everyStage = 0, atNormalSpeed = 0;
    for (int race = 0; race < 2000; ++race) {
        const RaceOutcome out = seededRace(rec, rng, race);
        rec.raceno = static_cast<std::uint8_t>(race % 12 + 1);
        rec.racename = "大空ダービー";
        const double music = race % 4 ? 30.0 : 21.4;
        const int speed = std::array{100, 100, 150, 300, 70, 50}[race % 6];
        auto calls = planCommentary(rec, runningOrder(rec, out), "芝2400m", music, speed);
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls, planCommentary(rec, runningOrder(rec, out), "芝2400m", music, speed)) << "the race's own seed";
        // The finish names the drawn first three, last of all.
        std::vector<int> last = called(calls.back().text);
        ASSERT_GE(last.size(), 3u) << calls.back().text;
        EXPECT_EQ(std::vector<int>(last.end() - 3, last.end()), (std::vector<int>{out.first, out.second, out.third}))
            << calls.back().text;
        int scratchNamed = 0, falls = 0;
        bool fallen = false;
        for (std::size_t i = 0; i < calls.size(); ++i) {
            const CommentaryCall& c = calls[i];
            std::vector<int> named = called(c.text);
            scratchNamed += static_cast<int>(std::count(named.begin(), named.end(), out.scratched));
            EXPECT_FALSE(fallen && std::count(named.begin(), named.end(), out.fallen)) << "named after its fall: " << c.text;
            if (c.text.find("落馬") != std::string::npos) {
                ++falls;
                fallen = true;
                EXPECT_EQ(std::count(named.begin(), named.end(), out.fallen), 1) << c.text;
            }
            if (c.text.find("4コーナー") != std::string::npos) {
                EXPECT_TRUE(std::count(named.begin(), named.end(), out.first)) << "the winner turns for home in front";
            }
            // Within the music, one after another.
            const double end = c.at + speakingSeconds(c.text, speed);
            EXPECT_TRUE(c.at >= 0 && c.at < music) << c.at;
            EXPECT_LE(end, i + 1 < calls.size() ? calls[i + 1].at + 1e-9 : calls.size() > 1 ? music : 1e9) << c.text;
        }
        EXPECT_EQ(scratchNamed, out.scratched ? 1 : 0);
        EXPECT_EQ(falls, out.fallen ? 1 : 0);
        if (speed == 100 && music == 30) ++atNormalSpeed, everyStage += calls.size() == kStages;
    }
    EXPECT_EQ(everyStage, atNormalSpeed);  // at the speed the game starts with, every stage is called
}

// The field the race view draws, for 2000 seeded races called at several
// speeds and not called: at each stage, and so at each call, the runners
// stand in the order the call gives and names; it ends on the result box's
// order; the scratched horse is never on the track, the faller not after
// its fall; every runner only goes forwards, without a jump.
TEST(RaceField, TwoThousandSeededRacesAreDrawnAsTheyAreCalled) {
    GameRecord rec = namedRecord();
    GameRandom rng(2025);
    for (int race = 0; race < 2000; ++race) {
        const RaceOutcome out = seededRace(rec, rng, race);
        rec.raceno = static_cast<std::uint8_t>(race % 12 + 1);
        const RunningOrder order = runningOrder(rec, out);
        const int speed = std::array{0, 100, 150, 70}[race % 4];  // 0: not called
        const auto calls = speed ? planCommentary(rec, order, "ダート", 30, speed) : std::vector<CommentaryCall>{};
        const RaceField field(order, stageTimes(calls, 30), 30);
        auto drawn = [&](double t) {
            std::vector<int> v;
            for (const FieldRunner& r : field.at(t).runners) v.push_back(r.horse);
            return v;
        };
        for (const CommentaryCall& c : calls) {
            const std::vector<int> now = drawn(c.at);
            EXPECT_EQ(now, order.at(c.stage).horses) << c.text;
            std::vector<int> named = called(c.text);
            // Less what a note says first: the scratch, the fall.
            for (auto [h, note] : {std::pair{out.scratched, "出走取消"}, {out.fallen, "落馬"}})
                if (c.text.find(note) != std::string::npos) named.erase(std::find(named.begin(), named.end(), h));
            EXPECT_TRUE(std::equal(named.begin(), named.end(), now.begin())) << c.text;
        }
        for (int s = 0; s < kStages; ++s) EXPECT_EQ(drawn(field.stageTime(Stage(s))), order.at(Stage(s)).horses) << s;
        std::vector<int> box = called(finishingOrderText(out));
        if (out.scratched) box.pop_back();  // "N番は除外により変換"
        EXPECT_EQ(drawn(1e9), box);
        const double fall = out.fallen ? field.stageTime(order.fallStage) : 1e9;
        std::array<double, kHorses + 1> was{};
        for (double t = 0; t <= 31; t += 0.1) {
            const FieldFrame f = field.at(t);
            EXPECT_EQ(std::count_if(f.runners.begin(), f.runners.end(), [&](auto& r) { return r.horse == out.fallen; }),
                      out.fallen && t < fall ? 1 : 0) << t;
            EXPECT_EQ(f.fellAt >= 0, t >= fall);
            for (const FieldRunner& r : f.runners) {
                EXPECT_NE(r.horse, out.scratched);
                EXPECT_TRUE(t == 0 || (r.along >= was[r.horse] && r.along < was[r.horse] + 0.03)) << t << " " << r.horse;
                EXPECT_TRUE(r.lane >= 0 && r.lane <= kLanes - 1);
                was[r.horse] = r.along;
            }
        }
    }
}

// A seeded meeting, called and not: the same money and results; called, each
// race is heard over lowered music and ends on its winner before the result
// box, or falls silent at Escape; and each event has its sound once.
TEST(Flow, CallingTheRaceChangesNoDrawAndEndsBeforeTheResult) {
    std::vector<std::string> results[3];
    std::vector<double> ended[3];  // on the race's clock
    for (int run : {0, 1, 2}) {
        // Not called, called, and called with the race view watching, which
        // changes neither the money nor how long a race lasts.
        const bool on = run > 0;
        Flow f;
        RaceField field;
        double clock = -1;
        if (run == 2) {
            f.hooks.field = [&](const RaceField& given) { field = given; };
            f.hooks.raceClock = [&](double t) { clock = t; };
        }
        std::vector<std::string> journal;
        f.ui.journal = f.speech.journal = f.mp3.journal = &journal;
        f.speech.callLength = 25;  // each call is heard for a while
        GameRandom seeded(77);
        Ports ports{f.ui, seeded, f.clock, f.speech, f.mp3};
        RaceOutcome drawn;
        f.hooks.settled = [&](const RaceOutcome& out, const Settlement&) { drawn = out; };
        for (int race = 1; race <= 11; ++race) {
            f.mp3.skipAt = race == 5 ? 100 : -1;
            for (int h : {1, 2, 3, 9}) addTicket(f.rec, 1, {h, 0, 0}, 100), f.rec.mochikin -= 100;
            journal.clear();
            f.ui.effects.clear();
            ASSERT_EQ(hasso(f.rec, ports, f.hooks, {on, 100, "ダート"}), HassoResult::NextRace);
            const auto box = std::find(journal.begin(), journal.end(), "box 着順結果");
            results[run].push_back(f.ui.boxes.back().prompt + " " + std::to_string(f.rec.mochikin));
            ended[run].push_back(f.clock.mono);
            if (run == 2) {  // the view ends on the result box's order
                EXPECT_EQ(clock, std::numeric_limits<double>::infinity());
                EXPECT_EQ(field.at(clock).runners.size(), std::size_t(drawn.finishers));
                EXPECT_EQ(field.at(clock).leader(), drawn.first);
            }
            std::vector<std::string> calls;
            for (auto it = journal.begin(); it != box; ++it)
                if (it->rfind("say ", 0) == 0 && it->find("番除外") == std::string::npos &&
                    it->find("番落馬") == std::string::npos)
                    calls.push_back(*it);
            const bool paid = std::count(journal.begin(), journal.end(), "effect won") == 1;
            EXPECT_EQ(f.ui.effects, (std::vector<Effect>{Effect::Gate, paid ? Effect::Won : Effect::NoWin}));
            const bool ducked = std::count(journal.begin(), box, "duck") > 0;
            EXPECT_EQ(ducked, on);
            EXPECT_TRUE(journal.back() != "duck" && std::find(box, journal.end(), "duck") == journal.end());
            if (!on) {
                EXPECT_TRUE(calls.empty());
                continue;
            }
            const bool escaped = race == 5;
            const auto stop = std::find(journal.begin(), box, "stop");
            EXPECT_EQ(stop != box, escaped);
            if (escaped) {
                EXPECT_TRUE(std::none_of(stop, journal.end(), [](auto& e) { return e.find("着でゴール") != e.npos || e.find("ゴール。") != e.npos; }));
                continue;
            }
            EXPECT_GE(calls.size(), 4u) << race;
            EXPECT_EQ(called(calls.back()), (std::vector<int>{drawn.first, drawn.second, drawn.third}));
        }
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[1], results[2]);
    EXPECT_EQ(ended[1], ended[2]);
}

// A whole meeting of twelve races and a game over, through the race run with
// no window: the order of what is heard and shown, and the money of each race.
TEST(Autoplay, AMeetingThenAGameOverThroughTheRaceRun) {
    TempDir dir;
    dir.copyBundledData();
    GameRecord rec;
    ASSERT_EQ(loadDataFiles(rec, dir.path()), "");
    rec.apppath = dir.path() + "/", rec.mochikin = 15000, rec.raceno = 1;
    GameRandom rng(7);
    readlist(rec, rng);
    FakeUi ui;
    FakeSpeaker speech;
    FakeMp3 mp3;
    FakeClock clock;
    std::vector<std::string> journal;
    ui.journal = speech.journal = mp3.journal = &journal;
    Ports ports{ui, rng, clock, speech, mp3};
    std::vector<PlayedRace> played;
    std::vector<std::string> cards;
    RaceHooks hooks;
    hooks.showCard = [&](CardLists) { cards.push_back(rec.racename); };
    auto race = [&](const PlayedRace& r) {
        played.push_back(r);
        // Each race: fanfare, gates, start music, the result box, its sound, then the money line heard.
        std::vector<std::string> seen;
        for (const std::string& e : journal)
            if (e.rfind("say ", 0) != 0 || e.find("残り持ち金") != e.npos || e.find("終了します") != e.npos) seen.push_back(e);
        const std::string fanfare = rec.fanfare == 1 ? "play kanto.mp3" : "play kansai.mp3";
        const std::string money = r.after < 100 ? "say 持ち金が100円もなくなっちゃったので終了します"
                                                : "say " + moneyChangeLine(r.after, r.before) + "残り持ち金は" +
                                                      text::signedNumber(r.after) + "円です";
        ASSERT_GE(seen.size(), 6u);
        EXPECT_EQ(seen[1], "effect gate");
        EXPECT_EQ(seen[2], "play hasso.mp3");
        EXPECT_EQ(seen[3], "box 着順結果");
        EXPECT_TRUE(seen[4] == "effect won" || seen[4] == "effect nowin" || seen[4] == "effect gameover") << seen[4];
        EXPECT_TRUE(seen[5].ends_with(money.substr(4))) << seen[5];
        EXPECT_EQ(seen.size(), r.race == 12 ? 7u : 6u);
        if (r.race == 12) {
            EXPECT_EQ(seen[6], "box ");  // the application's title
            EXPECT_EQ(ui.boxes.back(), (Box{"開催変わりしますか", "", kStyleYesNo}));
        }
        EXPECT_EQ(r.after, r.before - r.stakes + r.back) << r.race;
        journal.clear();
    };
    AutoplayResult result = autoplay(rec, ports, 12, Strategy::Box, hooks, race);
    ASSERT_EQ(result.races, 12);
    EXPECT_EQ(result.last, HassoResult::NextRace);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(played[i].race, i + 1);
        EXPECT_EQ(played[i].stakes, 300);
        if (i) {
            EXPECT_EQ(played[i].before, played[i - 1].after);
        }
    }
    EXPECT_EQ(rec.raceno, 1);  // a new meeting after Yes
    EXPECT_EQ(cards.size(), 12u);
    // The same seed plays the same races; the report line carries each field.
    const PlayedRace& first = played[0];
    EXPECT_EQ(reportLine(first), "1\t1\t" + first.name + "\t" + first.course + "\t" + std::to_string(first.out.first) + "\t" +
                                     std::to_string(first.out.second) + "\t" + std::to_string(first.out.third) + "\t" +
                                     std::to_string(first.out.scratched) + "\t" + std::to_string(first.out.fallen) +
                                     "\t15000\t300\t" + std::to_string(first.back) + "\t" + std::to_string(first.after));

    // Down to 300 yen: the box costs it all, and no win ends the game.
    rec.mochikin = 300;
    dir.write("baken.txt", " 300 \r\n");
    rec.bakenpath = dir.file("baken.txt");
    played.clear();
    result = autoplay(rec, ports, 12, Strategy::Box, hooks, race);
    EXPECT_EQ(result.last, HassoResult::GameOver);
    ASSERT_EQ(played.size(), static_cast<std::size_t>(result.races));
    EXPECT_LT(played.back().after, 100);
    EXPECT_EQ(speech.said.back(), "持ち金が100円もなくなっちゃったので終了します");
    EXPECT_FALSE(dir.exists("baken.txt"));  // the next game starts afresh
}

TEST(Autoplay, TheSameSeedPlaysTheSameRaces) {
    auto lines = [](Strategy s) {
        TempDir dir;
        dir.copyBundledData();
        GameRecord rec;
        loadDataFiles(rec, dir.path());
        rec.mochikin = 15000, rec.raceno = 1;
        GameRandom rng(7);
        readlist(rec, rng);
        SilentWorld world;
        Ports ports{world, rng, world, world, world};
        std::vector<std::string> out;
        autoplay(rec, ports, 24, s, {}, [&](const PlayedRace& r) { out.push_back(reportLine(r)); });
        return out;
    };
    const std::vector<std::string> box = lines(Strategy::Box);
    ASSERT_EQ(box.size(), 24u);
    EXPECT_EQ(box, lines(Strategy::Box));
    EXPECT_EQ(box[12].substr(0, 4), "2\t1\t");  // the second meeting
    // Betting changes no draw: the same first three with and without tickets.
    const std::vector<std::string> none = lines(Strategy::None);
    for (std::size_t i = 0; i < box.size(); ++i) {
        auto fields = [](const std::string& l) {
            std::vector<std::string> f;
            std::size_t a = 0;
            for (std::size_t b; (b = l.find('\t', a)) != l.npos; a = b + 1) f.push_back(l.substr(a, b - a));
            return std::vector<std::string>(f.begin(), f.begin() + 9);
        };
        EXPECT_EQ(fields(box[i]), fields(none[i])) << i;
    }
}
