// The race history: recording, statistics, old and damaged files, a kill
// mid-write, CSV.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <regex>
#include <sstream>

#include "betting/betting.h"
#include "core/lifecycle.h"
#include "core/random.h"
#include "fakes.h"
#include "history/keeper.h"
#include "race/run.h"
#include "tempdir.h"
#include "window/menus.h"

using namespace ozn;
using namespace ozn::test;

namespace {

RaceRow smallRace(int meeting, int raceNo, Money stake, Money paid) {
    RaceRow r;
    r.playedAt = "2026-12-07 10:00:00", r.meeting = meeting, r.raceNo = raceNo;
    r.raceName = "潮風, ステークス", r.course = "芝1600m";  // a comma for the CSV
    r.finish = {7, 15, 3, 1, 2, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 16, 17, 18}, r.lines = {"馬連  7番15番12.5倍"};
    r.tickets = {{3, "7-15", stake, 12.5, 0, 3}, {1, "2", 100, 2.4, 0, 1}};
    if (paid) r.payouts = {{3, "7-15", "12.5", paid, false}};
    r.before = 10000, r.after = 10000 - stake - 100 + paid;
    return r;
}

// Runs SQL on the file itself, past the history; the connection is left open.
sqlite3* behindItsBack(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    return db;
}

long long count(const std::string& path, const std::string& sql) {
    sqlite3* db = behindItsBack(path, "");
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
    long long n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
}

}  // namespace

// Independently of the database: the group of a ticket in each breakdown,
// as the sort key that orders the rows.
static int groupOf(Breakdown by, const TicketRow& t, const RaceRow& r) {
    auto band = [](double v, std::initializer_list<double> ends) {
        int k = 1;
        for (double e : ends) k += v >= e;
        return k;
    };
    switch (by) {
        case Breakdown::Kind: return t.kind;
        case Breakdown::Popularity: return t.popularity ? band(t.popularity, {4, 7, 11}) : 9;
        case Breakdown::Odds: return t.odds > 0 ? band(t.odds, {5, 20, 100}) : 9;
        case Breakdown::Course: return r.course == "ダート" ? 0 : std::stoi(r.course.substr(3));
        case Breakdown::TicketCount: return band(static_cast<double>(r.tickets.size()), {2, 6, 21});
    }
    return 0;
}

// Thirty seeded races over three meetings with scratches, falls, refunds and
// tip sheets bought before and after the tickets, kept as the window keeps
// them: each is recorded as drawn and as the card showed it, the money
// chains, and every breakdown equals the sums over the ticket rows.
TEST(History, ASeededHistoryIsKeptAsDrawnAndShownAndEveryBreakdownAddsUp) {
    TempDir dir;
    dir.copyBundledData();
    dir.write("baken.txt", " 300000 \r\n");
    RaceKeeper keeper;
    EXPECT_EQ(keeper.open(dir.file("data"), "20261207-100000"), "");
    History& h = *keeper.history();
    GameRecord rec;
    FakeUi ui;
    GameRandom rng(31);
    FakeClock clock;
    FakeSpeaker speech;
    FakeMp3 mp3;
    Ports ports{ui, rng, clock, speech, mp3};
    CardLists card;
    std::vector<RaceOutcome> drawn;
    std::vector<Money> afterEach;
    std::vector<std::string> changeLines;  // the money line printed after each race
    std::map<std::string, std::string> shown;  // "kind horses" -> the list entry it was bought from
    RaceHooks hooks{nullptr, [] { return true; },
                    [&](CardLists l) { card = std::move(l), keeper.cardMade(rec.mochikin); }, nullptr,
                    [&](const RaceOutcome& out, const Settlement& s) {
                        EXPECT_EQ(keeper.settled(rec, out, s, "2026-12-07 10:00:00"), "");
                        drawn.push_back(out), afterEach.push_back(rec.mochikin);
                    }, nullptr};
    ASSERT_TRUE(startUp(rec, ui, {dir.path(), "", "", ""}, {[&] { card = readlist(rec, rng); }, nullptr}));
    keeper.cardMade(rec.mochikin);
    for (int race = 1; race <= 30; ++race) {
        if (race % 3 == 1 && mnulook(rec, ui)) keeper.tipSheet(kTipSheetFee);
        for (int kind = 1; kind <= 6; ++kind)
            for (int pick : {0, 3, 9, 15}) {
                ui.inputs.push_back("100");
                rec.bakenkind = static_cast<std::int16_t>(kind);
                Purchase p;
                if (registerTicket(rec, ui, kind, card[kind - 1][pick], &p))
                    shown[std::to_string(race) + " " + std::to_string(kind) + " " + horsesText(kind, p.horses)] = card[kind - 1][pick];
            }
        if (race % 3 == 2 && mnulook(rec, ui)) keeper.tipSheet(kTipSheetFee);
        ASSERT_EQ(hasso(rec, ports, hooks), HassoResult::NextRace);
        const std::size_t rest = ui.printed.rfind("\n残り持ち金は"), start = ui.printed.rfind('\n', rest - 1) + 1;
        changeLines.push_back(ui.printed.substr(start, rest - start));
        EXPECT_EQ(dir.read("baken.txt"), " " + std::to_string(rec.mochikin) + " \r\n");  // saved with every race
    }
    std::vector<RaceRow> races = h.allRaces();
    ASSERT_EQ(races.size(), 30u);
    EXPECT_EQ(races.back().meeting, 3);
    std::map<Breakdown, std::map<int, StatsRow>> sums;
    Money best = 0, previous = 300000;
    int scratches = 0, falls = 0, refunds = 0;
    const std::regex odds(R"(([0-9.]+) ?倍(から([0-9.]+)倍)?[ (]([0-9]+)番人気)");
    for (std::size_t i = 0; i < races.size(); ++i) {
        const RaceRow& r = races[i];
        const RaceOutcome& out = drawn[i];
        scratches += r.scratched != 0, falls += r.fallen != 0;
        EXPECT_EQ(std::tie(r.scratched, r.fallen), std::tie(out.scratched, out.fallen));
        EXPECT_EQ(r.finish, std::vector<int>(out.order.begin(), out.order.begin() + out.finishers)) << i;
        EXPECT_EQ(r.finish[0], out.first);
        EXPECT_FALSE(r.commandLine);
        Money back = 0, staked = 0, tips = 0;
        for (const TicketRow& t : r.tickets) {
            std::smatch m;
            const std::string& entry = shown[std::to_string(i + 1) + " " + std::to_string(t.kind) + " " + t.horses];
            ASSERT_TRUE(std::regex_search(entry, m, odds)) << entry;
            EXPECT_EQ(std::make_tuple(t.odds, t.oddsHigh, t.popularity),
                      std::make_tuple(std::stod(m[1]), m[3].matched ? std::stod(m[3]) : 0.0, std::stoi(m[4]))) << entry;
            Money paid = 0;
            bool refunded = false;
            for (const PayoutRow& p : r.payouts)
                if (p.kind == t.kind && p.horses == t.horses) p.refund ? void(refunded = true) : void(paid += p.amount);
            staked += t.stake, back += paid + (refunded ? t.stake : 0);
            for (Breakdown by : kBreakdowns) {
                StatsRow& e = sums[by][groupOf(by, t, r)];
                if (refunded) ++e.refunds, e.refunded += t.stake;
                else ++e.tickets, e.stake += t.stake, e.payouts += paid, e.hits += paid > 0, e.best = std::max(e.best, paid);
            }
            refunds += refunded;
            best = std::max(best, paid);
        }
        for (Money fee : r.tipSheets) tips += fee;
        EXPECT_EQ(tips, i % 3 < 2 ? 300 : 0) << i;
        EXPECT_EQ(r.before, previous) << i;  // each race starts where the one before ended
        EXPECT_EQ(r.after, r.before - staked - tips + back) << i;
        EXPECT_EQ(r.after, afterEach[i]);
        EXPECT_EQ(changeLines[i], moneyChangeLine(r.after, r.before)) << i;  // tip sheets after tickets too
        previous = r.after;
    }
    EXPECT_TRUE(scratches && falls && refunds) << "the seed was meant to give a scratch, a fall and a refund";
    auto numbers = [](const StatsRow& r) { return std::make_tuple(r.tickets, r.hits, r.stake, r.payouts, r.best, r.refunds, r.refunded); };
    for (Breakdown by : kBreakdowns) {
        std::vector<StatsRow> rows = h.breakdown(by, {Period::All, 0, "2026-12-07"});
        ASSERT_EQ(rows.size(), sums[by].size()) << breakdownName(by);
        auto expected = sums[by].begin();
        for (const StatsRow& row : rows) EXPECT_EQ(numbers(row), numbers((expected++)->second)) << breakdownName(by) << row.label;
    }
    EXPECT_EQ(h.best()->payout.amount, best);
}

// Each band's edges from both sides: odds 5, 20 and 100 begin a band,
// popularity 3|4, 6|7 and 10|11 and tickets in a race 1|2, 5|6 and 20|21
// part two.
TEST(History, EveryBandStartsAtItsEdge) {
    TempDir dir;
    auto h = History::open(dir.path(), "x").history;
    const double odds[] = {4.9, 5, 19.9, 20, 99.9, 100};
    const int popularity[] = {3, 4, 6, 7, 10, 11};
    int raceNo = 0;
    for (int n : {1, 2, 5, 6, 20, 21}) {
        RaceRow r = smallRace(1, ++raceNo, 100, 0);
        r.tickets.clear();
        for (int i = 0; i < n; ++i)
            r.tickets.push_back({6, horsesText(6, {i < 16 ? 1 : 2, i < 16 ? 2 : 1, 3 + i % 16}), 100, odds[(i + raceNo) % 6], 0,
                                 popularity[(i + raceNo) % 6]});
        ASSERT_TRUE(h->record(r));
    }
    const std::vector<RaceRow> races = h->allRaces();
    for (Breakdown by : {Breakdown::Odds, Breakdown::Popularity, Breakdown::TicketCount}) {
        std::map<int, int> want;
        for (const RaceRow& r : races)
            for (const TicketRow& t : r.tickets) ++want[groupOf(by, t, r)];
        std::vector<int> got, expected;
        for (const StatsRow& row : h->breakdown(by, {})) got.push_back(row.tickets);
        for (auto [group, tickets] : want) expected.push_back(tickets);
        EXPECT_EQ(got, expected) << breakdownName(by);
    }
}

// A file written by the first version (a seeded meeting and a game with an
// amount, the finishing orders stored from second place on): every row is
// kept, and every order is set right.
TEST(History, AVersionOneFileKeepsEveryRowAndGetsItsFinishingOrdersRight) {
    TempDir dir;
    const std::string path = dir.file("history.sqlite");
    std::filesystem::copy_file(std::string(OZN_TEST_DATA) + "/history-v1.sqlite", path);
    const char* tables[] = {"races", "tickets", "payouts"};
    std::vector<long long> rows;
    for (const char* t : tables) rows.push_back(count(path, std::string("SELECT count(*) FROM ") + t));
    auto opened = History::open(dir.path(), "20261207-100000");
    ASSERT_TRUE(opened.history) << opened.notice;
    EXPECT_EQ(opened.notice, "");
    EXPECT_EQ(count(path, "PRAGMA user_version"), History::kSchemaVersion);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(count(path, std::string("SELECT count(*) FROM ") + tables[i]), rows[i]);
    std::vector<RaceRow> races = opened.history->allRaces();
    std::ifstream truth(std::string(OZN_TEST_DATA) + "/history-v1-order.txt");
    std::size_t tickets = 0, payouts = 0;
    for (const RaceRow& r : races) {
        int meeting, raceNo, scratched, fallen;
        std::string colon, line;
        truth >> meeting >> raceNo >> scratched >> fallen >> colon;
        std::getline(truth, line);
        std::istringstream in(line);
        std::vector<int> order{std::istream_iterator<int>(in), {}};
        EXPECT_EQ(std::tie(r.meeting, r.raceNo, r.scratched, r.fallen), std::tie(meeting, raceNo, scratched, fallen));
        EXPECT_EQ(r.finish, order) << meeting << "-" << raceNo;
        EXPECT_EQ(r.commandLine, meeting == 2);
        tickets += r.tickets.size(), payouts += r.payouts.size();
    }
    EXPECT_EQ(races.size(), 15u);
    EXPECT_EQ((std::vector<long long>{static_cast<long long>(races.size()), static_cast<long long>(tickets),
                                      static_cast<long long>(payouts)}), rows);
    EXPECT_EQ(opened.history->skippedRows(), 0);
    // Their tickets showed no odds that were kept: unknown in both bands.
    for (Breakdown by : {Breakdown::Popularity, Breakdown::Odds}) {
        std::vector<StatsRow> rows = opened.history->breakdown(by, {});
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].label + std::to_string(rows[0].tickets + rows[0].refunds), "不明" + std::to_string(tickets));
    }
}

// A known history with a race on each side of every period's edge (today is
// 2026-12-07), a refund, and a game with an amount.
TEST(History, PeriodsRefundsTrendReportAndCsvOfAKnownHistory) {
    TempDir dir;
    auto h = History::open(dir.path(), "x").history;
    ASSERT_TRUE(h);
    const char* times[] = {"2026-11-07 23:59:59", "2026-11-08 00:00:00", "2026-11-30 23:59:59", "2026-12-01 00:00:00",
                           "2026-12-06 23:59:59", "2026-12-07 00:00:00", "2026-12-07 23:59:59"};
    Money money = 15000;
    for (int i = 0; i < 7; ++i) {
        RaceRow r = smallRace(i < 5 ? 1 : 2, i % 5 + 1, 500, i == 2 ? 6250 : 0);
        r.playedAt = times[i];
        if (i == 6) r.payouts = {{1, "2", "", 100, true}};  // the win ticket refunded
        r.before = money, money = r.after = money - 600 + (i == 2 ? 6250 : 0) + (i == 6 ? 100 : 0);
        ASSERT_TRUE(h->record(r));
    }
    RaceRow amount = smallRace(3, 1, 1000, 0);
    amount.commandLine = true;
    ASSERT_TRUE(h->record(amount));
    auto kinds = [&](Period p) {
        std::vector<std::string> lines = statsLines(*h, Breakdown::Kind, {p, 2, "2026-12-07"});
        lines.erase(lines.begin() + 1);  // how 回収率 is counted
        return lines;
    };
    const std::string how = "回収率は、返還された馬券を買わなかったものとして数えます。返還込みは、返還を払い戻しに数えた率です";
    using L = std::vector<std::string>;
    EXPECT_EQ(kinds(Period::All),
              (L{"通算の券種別", "単勝 7枚 700円 払い戻し 0円 的中率 0.0% 回収率 0.0% 返還込み 12.5% 最高 0円 返還 1枚 100円",
                 "馬連 8枚 4500円 払い戻し 6250円 的中率 12.5% 回収率 138.9% 返還込み 138.9% 最高 6250円",
                 "合計 15枚 5200円 払い戻し 6250円 的中率 6.7% 回収率 120.2% 返還込み 119.8% 最高 6250円 返還 1枚 100円"}));
    EXPECT_EQ(statsLines(*h, Breakdown::Kind, {})[1], how);
    for (auto [p, tickets] : {std::pair{Period::Month, 13}, {Period::Week, 9}, {Period::Today, 5}, {Period::Meeting, 3}}) {
        int counted = 0;
        for (const StatsRow& r : h->breakdown(Breakdown::Kind, {p, 2, "2026-12-07"})) counted += r.tickets;
        EXPECT_EQ(counted, tickets) << periodName(p);
    }
    EXPECT_EQ(kinds(Period::Today).back(), "合計 5枚 2200円 払い戻し 0円 的中率 0.0% 回収率 0.0% 返還込み 4.3% 最高 0円 返還 1枚 100円");
    EXPECT_EQ(trendSentence(h->moneyByRace({Period::All, 0, "2026-12-07"}), Period::All),
              "通算で 7レース。持ち金は 15000円から 17150円、最低 13800円、最高 19450円。最近7レースの回収率 152.4%");
    EXPECT_EQ(trendSentence(h->moneyByRace({Period::Week, 0, "2026-12-07"}), Period::Week),
              "7日で 4レース。持ち金は 19450円から 17150円、最低 17150円、最高 19450円。最近4レースの回収率 0.0%");
    EXPECT_EQ(trendSentence({}, Period::Today), "今日はまだレースがありません");

    std::vector<std::string> lines = reportLines(*h, {Period::Meeting, 1, ""});
    EXPECT_EQ(lines[0], "今開催の成績（第1開催）");
    auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    for (const char* line : {"第 3レース 潮風, ステークス 芝1600m", "  1着 7番 2着 15番 3着 3番", "  5650円増えて 持ち金 19450円",
                             "  馬連  7番15番12.5倍",
                             "2026-11-30 23:59:59 第1開催 第 3レース 潮風, ステークス 芝1600m 馬連 7番15番 12.5倍 6250円"})
        EXPECT_TRUE(has(line)) << line;
    EXPECT_EQ(reportLines(*h, {Period::Meeting, 3, ""})[1], "第 1レース 潮風, ステークス 芝1600m 金額指定");
    std::vector<std::string> week = reportLines(*h, {Period::Week, 0, "2026-12-07"});  // races told by day and meeting
    EXPECT_EQ(L({week[0], week[1]}), L({"7日の成績", "2026-12-01 00:00 第1開催 第 4レース 潮風, ステークス 芝1600m"}));

    ASSERT_TRUE(writeCsv(*h, dir.file("out.csv")) && writeSummaryCsv(*h, Breakdown::Kind, {}, dir.file("sum.csv")));
    std::vector<std::string> rows;
    for (const char* f : {"out.csv", "sum.csv"}) {
        std::ifstream in(dir.file(f));
        for (std::string l; std::getline(in, l);) rows.push_back(l.substr(0, l.size() - 1));  // CR LF
    }
    ASSERT_EQ(rows.size(), 17u + 4u);
    EXPECT_EQ(L({rows[0], rows[5], rows[16], rows[17], rows[20]}),
              L({"\xEF\xBB\xBF日時,開催,レース,レース名,コース,券種,馬番,金額,払い戻し,返還,オッズ,オッズ上限,人気,金額指定",
                 "2026-11-30 23:59:59,1,3,\"潮風, ステークス\",芝1600m,馬連,7番15番,500,6250,0,12.5,,3,0",
                 "2026-12-07 10:00:00,3,1,\"潮風, ステークス\",芝1600m,単勝,2番,100,0,0,2.4,,1,1",
                 "\xEF\xBB\xBF期間,表,項目,枚数,的中,金額,払い戻し,的中率,回収率,回収率(返還込み),最高払い戻し,返還枚数,返還金額",
                 "通算,券種別,合計,15,1,5200,6250,6.7%,120.2%,119.8%,6250,1,100"}));
    EXPECT_FALSE(writeCsv(*h, dir.file("no/such/folder/out.csv")));
}

TEST(History, DamagedOrForeignFilesAreMovedAsideAndANewOneBegun) {
    struct Case { const char* name; std::function<void(const std::string&)> spoil; } cases[] = {
        {"garbage", [](const std::string& p) { std::ofstream(p) << "これはデータベースではありません"; }},
        {"another program's", [](const std::string& p) { sqlite3_close(behindItsBack(p, "CREATE TABLE notes (x)")); }},
        {"torn pages", [](const std::string& p) {
             {
                 auto h = History::open(std::filesystem::path(p).parent_path(), "x").history;
                 for (int i = 0; i < 40; ++i) h->record(smallRace(1, 1, 100, 0));
             }
             std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(4096);  // the races' first page
             f << std::string(4096, '\xff');
         }},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.file("history.sqlite");
        c.spoil(path);
        std::string before = dir.read("history.sqlite");
        auto opened = History::open(dir.path(), "20261207-100000");  // a new day: the file is checked
        ASSERT_TRUE(opened.history) << c.name;
        EXPECT_NE(opened.notice.find("history.sqlite.bad-20261207-100000"), std::string::npos) << c.name;
        EXPECT_TRUE(dir.read("history.sqlite.bad-20261207-100000") == before) << c.name;  // kept as it was
        EXPECT_TRUE(opened.history->record(smallRace(1, 1, 100, 0))) << c.name;
        EXPECT_EQ(opened.history->allRaces().size(), 1u) << c.name;
    }
}

// Values that make no sense in a readable file: each row is left out and
// counted, the meeting number stays in range, and nothing crashes.
TEST(History, RowsThatMakeNoSenseAreLeftOutAndCounted) {
    TempDir dir;
    const std::string path = dir.file("history.sqlite");
    {
        auto h = History::open(dir.path(), "x").history;
        for (int i = 1; i <= 8; ++i) ASSERT_TRUE(h->record(smallRace(1, i, 500, i <= 3 || i == 8 ? 6250 : 0)));
    }
    sqlite3_close(behindItsBack(path,
        "UPDATE races SET finish = '7,x' WHERE id = 1;"
        "UPDATE payouts SET kind = -4 WHERE race_id = 2;"
        "UPDATE payouts SET amount = 9223372036854775807 WHERE race_id = 3;"
        "UPDATE tickets SET stake = 'much' WHERE race_id = 3 AND kind = 1;"
        "UPDATE tickets SET stake = 0 WHERE race_id = 4 AND kind = 3;"
        "UPDATE races SET race_no = 0 WHERE id = 5; UPDATE races SET race_no = 13 WHERE id = 6;"
        "UPDATE tickets SET horses = '19' WHERE race_id = 7 AND kind = 1;"
        "UPDATE payouts SET refund = 2 WHERE race_id = 8;"
        "INSERT INTO races SELECT 9, played_at, 2147483647, race_no, race_name, course, scratched, fallen, finish,"
        " lines, money_before, money_after, command_line FROM races WHERE id = 2;"));
    RaceKeeper keeper;
    EXPECT_EQ(keeper.open(dir.path(), "x"), "");
    const History& h = *keeper.history();
    // Race 1 with its two tickets and payout, one payout of race 2, one of
    // race 3, a ticket of race 3, and the race of a meeting out of range;
    // a stake of 0, races 0 and 13 with their tickets, horse 19, refund 2.
    EXPECT_EQ(h.skippedRows(), 8 + 9);
    EXPECT_EQ(keeper.meeting(), 2);
    std::vector<RaceRow> races = h.allRaces();
    ASSERT_EQ(races.size(), 5u);
    EXPECT_TRUE(races[0].payouts.empty() && races[1].payouts.empty() && races[1].tickets.size() == 1);
    EXPECT_EQ(h.breakdown(Breakdown::Kind, {})[1].payouts, 0);  // the quinellas
    EXPECT_EQ(reportLines(h, {})[0], "記録のうち 17 行は壊れていて読めないので、除いてあります");
    EXPECT_TRUE(writeCsv(h, dir.file("out.csv")));
}

TEST(History, AFolderThatCannotBeWrittenPlaysWithoutHistory) {
    TempDir dir;
    dir.write("ozn", "a file where the folder should be");
    for (const std::string& folder : {dir.file("ozn"), std::string()}) {
        auto opened = History::open(folder, "x");
        EXPECT_FALSE(opened.history);
        EXPECT_NE(opened.notice.find("記録しません"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists("/history.sqlite"));
}

// Another program holds the file: it is not moved aside, and a race that
// cannot be written waits until the file is free.
TEST(History, ABusyFileIsLeftAloneAndRacesWaitForIt) {
    TempDir dir;
    const std::string path = dir.file("history.sqlite");
    History::open(dir.path(), "x");
    sqlite3* other = behindItsBack(path, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM meta;");
    RaceKeeper keeper(4);
    EXPECT_NE(keeper.open(dir.path(), "20261207-100000").find("今回は成績を記録しません"), std::string::npos);
    EXPECT_FALSE(keeper.history());
    EXPECT_FALSE(std::filesystem::exists(path + ".bad-20261207-100000"));
    sqlite3_close(other);
    ASSERT_EQ(keeper.open(dir.path(), "x"), "");
    other = behindItsBack(path, "BEGIN IMMEDIATE; DELETE FROM meta;");
    GameRecord rec;
    rec.raceno = 1;
    RaceOutcome out;
    std::iota(out.order.begin(), out.order.end(), 1);
    EXPECT_NE(keeper.settled(rec, out, {}, "2026-12-07 10:00:00").find("使えるようになってから記録します"), std::string::npos);
    rec.raceno = 2;
    EXPECT_EQ(keeper.settled(rec, out, {}, "2026-12-07 10:01:00"), "");  // said once
    EXPECT_EQ(keeper.waiting(), 2u);
    // Four may wait here; past them each race is lost, and the player hears so once.
    for (int i = 2; i < 4; ++i) keeper.settled(rec, out, {}, "2026-12-07 10:01:00");
    EXPECT_EQ(std::vector<std::size_t>({keeper.waiting(), keeper.lost()}), std::vector<std::size_t>({4, 0}));
    EXPECT_NE(keeper.settled(rec, out, {}, "x").find("これからのレースは記録できません"), std::string::npos);
    EXPECT_EQ(keeper.settled(rec, out, {}, "x"), "");
    EXPECT_EQ(std::vector<std::size_t>({keeper.waiting(), keeper.lost()}), std::vector<std::size_t>({4, 2}));
    EXPECT_FALSE(keeper.flush());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    rec.raceno = 3;
    EXPECT_EQ(keeper.settled(rec, out, {}, "2026-12-07 10:02:00"), "");
    std::vector<RaceRow> races = keeper.history()->allRaces();
    ASSERT_EQ(races.size(), 5u);
    EXPECT_EQ((std::vector<int>{races[0].raceNo, races[1].raceNo, races[4].raceNo}), (std::vector<int>{1, 2, 3}));
}

// Killed inside History::record, just before the commit: the race before
// stays whole, and nothing of the one being written is left.
TEST(History, AKillInsideRecordNeverLosesACommittedRaceNorLeavesHalfOfOne) {
    TempDir dir;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!History::open(dir.path(), "x").history->record(smallRace(1, 1, 500, 6250))) _exit(3);
        // Every connection opened from now on dies at its first COMMIT.
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(+[](sqlite3* db, const char**, const void*) {
            auto atCommit = [](unsigned, void*, void*, void* sql) {
                if (std::string_view(static_cast<const char*>(sql)).starts_with("COMMIT")) ::kill(::getpid(), SIGKILL);
                return 0;
            };
            sqlite3_trace_v2(db, SQLITE_TRACE_STMT, atCommit, nullptr);
            return 0;
        }));
        History::open(dir.path(), "x").history->record(smallRace(1, 2, 300, 0));
        _exit(4);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    auto opened = History::open(dir.path(), "x");
    ASSERT_TRUE(opened.history);
    EXPECT_TRUE(opened.notice.empty()) << opened.notice;
    std::vector<RaceRow> races = opened.history->allRaces();
    ASSERT_EQ(races.size(), 1u);
    EXPECT_EQ(races[0].payouts.size(), 1u);
    EXPECT_EQ(races[0].tickets.size(), 2u);
}

// A later game's file is sound: it stays as it is and this run records nothing.
TEST(History, ANewerGamesFileIsLeftInPlaceAndTheRunGoesUnrecorded) {
    TempDir dir;
    const std::string path = dir.file("history.sqlite");
    {
        auto h = History::open(dir.path(), "x").history;
        ASSERT_TRUE(h->record(smallRace(1, 1, 100, 0)));
    }
    EXPECT_EQ(modeOf(path), 0600);
    sqlite3_close(behindItsBack(path, "PRAGMA journal_mode=DELETE; PRAGMA user_version=99"));
    const std::string before = dir.read("history.sqlite");
    RaceKeeper keeper;
    EXPECT_EQ(keeper.open(dir.path(), "20261207-100000"), "成績ファイルは新しい版のものです。そのまま残して、今回は成績を記録しません");
    EXPECT_EQ(keeper.history(), nullptr);
    EXPECT_TRUE(dir.read("history.sqlite") == before);
    EXPECT_FALSE(dir.exists("history.sqlite.bad-20261207-100000"));
}

// Names come from files that players edit: none is run as a formula, and a
// failed export leaves the earlier one whole.
TEST(History, CsvCellsNeverRunAsFormulasAndAFailedExportKeepsTheLastOne) {
    TempDir dir;
    auto h = History::open(dir.path(), "x").history;
    const char* names[] = {"=HYPERLINK(\"x\")", "+1", "-2", "@SUM(A1)", "a=b"};
    for (const char* name : names) {
        RaceRow r = smallRace(1, 1, 100, 0);
        r.raceName = name, r.course = "-芝";
        ASSERT_TRUE(h->record(r));
    }
    ASSERT_TRUE(writeRacesCsv(*h, {}, dir.file("races.csv")));
    std::vector<std::string> cells;
    std::ifstream in(dir.file("races.csv"));
    for (std::string l; std::getline(in, l);)
        if (l.rfind("2026", 0) == 0) {
            std::vector<std::string> f;
            for (std::stringstream row(l); std::getline(row, f.emplace_back(), ',');) {
            }
            cells.push_back(f[3] + " " + f[4]);
        }
    EXPECT_EQ(cells, std::vector<std::string>({"\"'=HYPERLINK(\"\"x\"\")\" '-芝", "'+1 '-芝", "'-2 '-芝", "'@SUM(A1) '-芝", "a=b '-芝"}));
    EXPECT_EQ(modeOf(dir.file("races.csv")), 0600);
    const std::string earlier = dir.read("races.csv");
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {  // a file-size limit cuts the write short
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64, 64};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        _exit(writeRacesCsv(*h, {}, dir.file("races.csv")) ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(dir.read("races.csv") == earlier);
}
