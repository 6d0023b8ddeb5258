#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <random>
#include <set>

#include "core/datafiles.h"
#include "core/random.h"
#include "core/text.h"
#include "fakes.h"
#include "literal_sort.h"
#include "racecard/racecard.h"

using namespace ozn;
using namespace ozn::test;

namespace {

// 18 horses; codes[k] is the aptitude code of line k+1.
GameRecord cardRecord(const std::array<int, 18>& codes) {
    GameRecord rec;
    for (int k = 0; k < 18; ++k) {
        rec.racelist[k] = "R" + std::to_string(k + 1);
        rec.horsename[k] = "H" + std::to_string(k + 1);
        rec.tekisei[k] = static_cast<std::uint8_t>(codes[k]);
        parseOddsLine(rec, k, std::to_string(k + 1) + " " + text::formatOdds(2.0 + k * 3.7, 1) + " " +
                                  text::formatOdds(1.1 + k * 0.55, 1));
    }
    rec.raceno = 1;
    rec.mochikin = 15000;
    return rec;
}

const std::array<int, 18> kAllCodes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4, 6, 0, 0, 5, 8};
// Per race line: the aptitude codes of its three favourites, and its fanfare.
const char* const kCourses = "1231 2312 2311 3122 3122 3121 3121 4561 4561 4562 5642 5642 6451 6451 6451 7891 8972 9782";

// Scripts a card: race line, post positions as the identity, and the given
// horse numbers for ranks 4.. in order.
void scriptCard(ScriptedRandom& rng, int line, const std::vector<int>& others) {
    rng.want(line, 18);
    for (int d = 1; d <= 18; ++d) rng.want(d, 18);
    for (int h : others) rng.want(h, 18);
}

// Popularity is a permutation, with the three favourites at ranks 1, 2, 3.
void expectRanks(const GameRecord& rec) {
    std::array<std::uint8_t, 18> sorted = rec.ninki;
    std::sort(sorted.begin(), sorted.end());
    for (int k = 0; k < 18; ++k) ASSERT_EQ(sorted[k], k + 1);
    EXPECT_EQ(std::vector<int>({rec.ninki[rec.yoso1 - 1], rec.ninki[rec.yoso2 - 1], rec.ninki[rec.yoso3 - 1]}),
              std::vector<int>({1, 2, 3}));
}

}  // namespace

TEST(RaceCard, FavouritesByProfile) {
    struct Case { int line; std::array<int, 18> codes; int y1, y2, y3; } cases[] = {
        // Dirt: codes 1, 2, 3 take ranks 1, 2, 3; code 4 does not.
        {1, {4, 3, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 6, 4, 2},
        // Turf 2400: codes 6, 4, 5.
        {13, {0, 5, 0, 0, 4, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 7, 5, 2},
        // Two runners with code 2 in a 1200 m race: the higher number wins.
        {2, {2, 0, 0, 0, 3, 0, 0, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0}, 9, 5, 11},
    };
    for (const auto& c : cases) {
        GameRecord rec = cardRecord(c.codes);
        ScriptedRandom rng;
        scriptCard(rng, c.line, {});
        FakeUi ui;
        readlist(rec, rng);
        EXPECT_EQ(std::vector<int>({rec.yoso1, rec.yoso2, rec.yoso3}), std::vector<int>({c.y1, c.y2, c.y3})) << c.line;
        expectRanks(rec);  // every other runner, the second code-2 horse included, ranks 4..18
    }
}

TEST(RaceCard, WinAndPlaceTexts) {
    GameRecord rec = cardRecord({});
    rec.horsename[2] = "X", rec.tanoddsstr[4] = "7.5 ";
    rec.fukuoddsstr[4] = "1.8", rec.fukuodds1str[4] = "2.3";
    ScriptedRandom rng;
    // No codes: ranks 4..18 first, then the free favourite ranks 1..3.
    scriptCard(rng, 5, {4, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 1, 2, 18});
    CardLists lists = readlist(rec, rng);
    EXPECT_EQ(rec.ninki[2], 5);
    EXPECT_EQ(lists[0][2], "3番 X 7.5 倍 5番人気)");
    EXPECT_EQ(lists[1][2], "3番 X 1.8倍から2.3倍 5番人気)");
    EXPECT_EQ(rec.racename, "R5");
    EXPECT_EQ(rec.racehist[0], 5);
    EXPECT_EQ(rec.mochikinmae, 15000);
}

// Meetings with every aptitude, and with only one horse having any.
TEST(RaceCard, WholeCards) {
    std::array<int, 18> sparse{};
    sparse[4] = 1;
    std::set<int> coursesSeen;
    for (int seed = 1; seed <= 10; ++seed) {
        const bool allCodes = seed <= 5;
        GameRecord rec = cardRecord(allCodes ? kAllCodes : sparse);
        GameRandom rng(seed);
        FakeUi ui;
        std::set<int> lines;
        for (int race = 1; race <= 12; ++race) {
            rec.raceno = static_cast<std::uint8_t>(race);
            CardLists lists = readlist(rec, rng);
            if (seed == 1 && race == 1) {  // golden texts of lists 4 to 6 on one card
                const char* const golden[3][3] = {
                    {"1番2番 227.7倍から512.3倍(151番人気)", "6番9番 70.6倍から158.8倍(90番人気)",
                     "17番18番 1.4倍から3.1倍(1番人気)"},
                    {"1番2番3番 4383.2倍(805番人気)", "1番7番15番 1036.1倍(520番人気)", "16番17番18番 24.5倍(4番人気)"},
                    {"1番2番3番 6574.8倍(4819番人気)", "1番6番16番 1110.0倍(2532番人気)",
                     "18番17番16番 19.9倍(10番人気)"}};
                for (int k : {3, 4, 5})
                    EXPECT_EQ(std::vector<std::string>({lists[k][0], lists[k][77], lists[k].back()}),
                              std::vector<std::string>(golden[k - 3], golden[k - 3] + 3));
            }
            lines.insert(rec.racehist[race - 1]);
            EXPECT_EQ(rec.racename, rec.racelist[rec.racehist[race - 1] - 1]);
            const std::size_t sizes[] = {18, 18, 153, 153, 816, 4896};
            for (int k = 0; k < 6; ++k) ASSERT_EQ(lists[k].size(), sizes[k]);
            expectRanks(rec);
            for (int h = 1; h <= 18; ++h) {
                std::string tail = text::signedNumber(rec.ninki[h - 1]) + "番人気)";
                EXPECT_EQ(lists[0][h - 1].rfind(std::to_string(h) + "番 ", 0), 0u);
                EXPECT_EQ(lists[0][h - 1].substr(lists[0][h - 1].size() - tail.size()), tail);
            }
            // The favourites carry the aptitudes of the course on the line drawn, which also picks the fanfare.
            const int line = rec.racehist[race - 1];
            const std::string course = std::to_string(rec.umatekisei[rec.yoso1 - 1]) + std::to_string(rec.umatekisei[rec.yoso2 - 1]) +
                                       std::to_string(rec.umatekisei[rec.yoso3 - 1]) + std::to_string(rec.fanfare);
            if (allCodes) {
                EXPECT_EQ(course, std::string(kCourses + (line - 1) * 5, 4)) << "line " << line;
                coursesSeen.insert(line);
            }
            // Popularity numbers form a permutation in each list.
            for (int k = 2; k < 6; ++k) {
                std::vector<int> pops;
                for (const auto& item : lists[k]) pops.push_back(std::stoi(item.substr(item.rfind('(') + 1)));
                std::sort(pops.begin(), pops.end());
                for (std::size_t i = 0; i < pops.size(); ++i) ASSERT_EQ(pops[i], static_cast<int>(i) + 1);
            }
            EXPECT_EQ(lists[5].front().rfind("1番2番3番 ", 0), 0u);
            EXPECT_EQ(lists[5].back().rfind("18番17番16番 ", 0), 0u);
        }
        EXPECT_EQ(lines.size(), 12u) << "a race line repeated within the meeting";
        rec.raceno = 13;  // past the meeting: a new one begins
        readlist(rec, rng);
        EXPECT_EQ(rec.raceno, 1);
        EXPECT_EQ(std::count(rec.racehist.begin(), rec.racehist.end(), 0), 11);
    }
    EXPECT_EQ(coursesSeen.size(), 18u);  // every line of the course table
}

TEST(RaceCard, CombinationOddsRules) {
    GameRecord rec = cardRecord({});
    for (int h = 1; h <= 18; ++h) rec.ninki[h - 1] = static_cast<std::uint8_t>(h);
    rec.tanodds.fill(2.0);
    rec.fukuodds.fill(1.5);
    rec.tanodds[0] = 1.249, rec.fukuodds[1] = 1.0;  // quinella 1-2: 1.249 x 1 -> stored 1.25, shown 1.3
    rec.tanodds[2] = 12, rec.fukuodds[3] = 1.0;     // quinella 3-4: 12 x 1 -> 12.0
    CardLists lists;
    combinationOdds(rec, lists);
    EXPECT_EQ(lists[2][0].substr(0, lists[2][0].find("倍")), "1番2番 1.3");
    auto umaPos = std::find(rec.umaidx.begin(), rec.umaidx.end(), 1) - rec.umaidx.begin();
    EXPECT_DOUBLE_EQ(rec.umaodds[umaPos], 1.25);
    int q34 = 0;  // quinella 3-4 is pair number 17 + 14 + 1
    for (int a = 1; a < 3; ++a) q34 += 18 - a;
    EXPECT_EQ(lists[2][q34].substr(0, lists[2][q34].find("倍")), "3番4番 12.0");
    // Trifecta (a, b, c) and (b, a, c) differ when W(a)P(b) != W(b)P(a).
    EXPECT_NE(lists[5][0].substr(0, lists[5][0].find("(")), lists[5][16 * 17].substr(0, lists[5][16 * 17].find("(")));

    // A trio compares only its first two ranks: 1-2-3 with ranks 2, 3, 1
    // has the base W(2) x P(3) x P(1) = 11 x 3 x 2 = 66.
    rec.ninki[0] = 2, rec.ninki[1] = 3, rec.ninki[2] = 1;
    for (int r = 0; r < 18; ++r) rec.tanodds[r] = 10 + r, rec.fukuodds[r] = 2 + r * 0.5;
    CardLists trios;
    combinationOdds(rec, trios);
    EXPECT_EQ(trios[4][0].substr(0, trios[4][0].find("倍")), "1番2番3番 66.0");
    // The largest odds a file may hold give exact texts in every list.
    GameRecord big = cardRecord(kAllCodes);
    for (int k = 0; k < 18; ++k) ASSERT_TRUE(parseOddsLine(big, k, std::to_string(k + 1) + " 99999.9 99999.9"));
    ScriptedRandom rng;
    FakeUi ui;
    CardLists bigLists = readlist(big, rng);
    // Every entry of a list has the same odds; only the popularity differs.
    const char* const odds[6] = {"99999.9 倍", "99999.9倍から124999.9倍", "9999980000.0倍",
                                 "3999992000.0倍から8999982000.0倍", "999997000003000.0倍", "1499995500004500.0倍"};
    for (int kind = 0; kind < 6; ++kind)
        for (const std::string& entry : bigLists[kind]) {
            ASSERT_NE(entry.find(odds[kind]), std::string::npos) << entry;
            ASSERT_EQ(entry.find('-'), std::string::npos) << entry;
        }
}

TEST(RaceCard, ExchangeSortPositionsMatchTheLiteralSortOnSmallArrays) {
    // Every array of length up to 7 over three values.
    for (int n = 1; n <= 7; ++n) {
        for (int code = 0; code < std::pow(3, n); ++code) {
            std::vector<double> keys;
            for (int i = 0, c = code; i < n; ++i, c /= 3) keys.push_back(c % 3);
            ASSERT_EQ(exchangeSortOrder(keys), literalExchangeSort(keys));
        }
    }
}

// 150 cards by default (a few seconds); OZN_LITERAL_CARDS=1000 for the full
// comparison, which CI runs under the label "full".
TEST(RaceCard, ExchangeSortPositionsMatchTheLiteralSortOnManyCards) {
    const char* cards = std::getenv("OZN_LITERAL_CARDS");
    const int n = cards ? std::atoi(cards) : 150;
    std::mt19937 gen(7);
    for (int card = 0; card < n; ++card) {
        GameRecord rec = cardRecord(kAllCodes);
        std::iota(rec.ninki.begin(), rec.ninki.end(), 1);
        std::shuffle(rec.ninki.begin(), rec.ninki.end(), gen);
        if (card % 2) {
            // Few distinct odds: many ties in every kind.
            std::uniform_int_distribution<int> few(1, 3);
            for (int r = 0; r < 18; ++r) rec.tanodds[r] = few(gen), rec.fukuodds[r] = few(gen) * 0.5 + 1;
        }
        CardLists lists;
        combinationOdds(rec, lists);
        auto check = [](const auto& keys, const auto& idx, std::size_t n) {
            std::vector<double> byCombination(n);  // the keys in enumeration order, from the sorted table
            for (std::size_t m = 0; m < n; ++m) byCombination[idx[m] - 1] = keys[m];
            std::vector<int> expected = literalExchangeSort(byCombination);
            for (std::size_t m = 0; m < n; ++m) ASSERT_EQ(idx[m] - 1, expected[m]) << "position " << m;
        };
        check(rec.umaodds, rec.umaidx, 153);
        check(rec.wideoddsmin, rec.wideidx, 153);
        check(rec.sanrenpukuodds, rec.sanrenpukuidx, 816);
        check(rec.sanrentanodds, rec.sanrentanidx, 4896);
    }
}
