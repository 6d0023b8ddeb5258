// The race history: recording, totals, old and damaged files, a kill
// mid-write, CSV.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>

#include "betting/betting.h"
#include "core/lifecycle.h"
#include "core/random.h"
#include "fakes.h"
#include "history/keeper.h"
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
    r.tickets = {{3, "7-15", stake}, {1, "2", 100}};
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

// A seeded meeting with a scratch, a fall and tip sheets bought before and
// after the tickets, kept as the window keeps it.
TEST(History, ASeededMeetingIsRecordedAsDrawnWithMoneyThatChainsAndTotalsThatAddUp) {
    TempDir dir;
    dir.copyBundledData();
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
    RaceHooks hooks{nullptr, [] { return true; },
                    [&](CardLists l) { card = std::move(l), keeper.cardMade(rec.mochikin); }, nullptr,
                    [&](const RaceOutcome& out, const Settlement& s) {
                        EXPECT_EQ(keeper.settled(rec, out, s, "2026-12-07 10:00:00"), "");
                        drawn.push_back(out), afterEach.push_back(rec.mochikin);
                    }};
    ASSERT_TRUE(startUp(rec, ui, {dir.path(), "", "", ""}, {[&] { card = readlist(rec, rng, ui); }, nullptr}));
    keeper.cardMade(rec.mochikin);
    for (int race = 1; race <= 12; ++race) {
        if (race % 3 == 1 && mnulook(rec, ui)) keeper.tipSheet(kTipSheetFee);
        for (int kind = 1; kind <= 6; ++kind)
            for (int pick : {0, 3}) {
                ui.inputs.push_back("100");
                rec.bakenkind = static_cast<std::int16_t>(kind);
                registerTicket(rec, ui, kind, card[kind - 1][pick]);  // the favourites: some pay
            }
        if (race % 3 == 2 && mnulook(rec, ui)) keeper.tipSheet(kTipSheetFee);  // moves mochikinmae, not the history's
        ASSERT_EQ(hasso(rec, ports, hooks), HassoResult::NextRace);
        EXPECT_EQ(dir.read("baken.txt"), " " + std::to_string(rec.mochikin) + " \r\n");  // saved with every race
    }
    std::vector<RaceRow> races = h.allRaces();
    ASSERT_EQ(races.size(), 12u);
    // Independently of the query: every ticket and what came back for it.
    std::array<KindTotals, 6> sum{};
    Money best = 0, previous = 15000;
    int scratches = 0, falls = 0;
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
            KindTotals& k = sum[t.kind - 1];
            ++k.tickets, k.stake += t.stake, staked += t.stake;
            bool hit = false;
            for (const PayoutRow& p : r.payouts)
                if (p.kind == t.kind && p.horses == t.horses) k.returns += p.amount, back += p.amount, hit |= !p.refund;
            k.hits += hit;
        }
        for (const PayoutRow& p : r.payouts) best = std::max(best, p.refund ? 0 : p.amount);
        for (Money fee : r.tipSheets) tips += fee;
        EXPECT_EQ(tips, i % 3 < 2 ? 300 : 0) << i;
        EXPECT_EQ(r.before, previous) << i;  // each race starts where the one before ended
        EXPECT_EQ(r.after, r.before - staked - tips + back) << i;
        EXPECT_EQ(r.after, afterEach[i]);
        previous = r.after;
    }
    EXPECT_TRUE(scratches && falls) << "the seed was meant to give a scratch and a fall";
    auto totals = h.totals();
    for (int k = 0; k < 6; ++k) {
        const KindTotals &t = totals[k], &e = sum[k];
        EXPECT_EQ(std::tie(t.tickets, t.stake, t.returns, t.hits), std::tie(e.tickets, e.stake, e.returns, e.hits)) << k;
    }
    ASSERT_GT(best, 0) << "the seed was meant to give a payout";
    EXPECT_EQ(h.best()->payout.amount, best);
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
}

TEST(History, StatisticsAndCsvOfAKnownMeeting) {
    TempDir dir;
    auto h = History::open(dir.path(), "x").history;
    ASSERT_TRUE(h);
    RaceRow amount = smallRace(2, 1, 1000, 0);
    amount.commandLine = true;
    for (const RaceRow& r : {smallRace(1, 1, 500, 6250), smallRace(1, 2, 300, 0), amount}) ASSERT_TRUE(h->record(r));
    EXPECT_EQ(h->lastMeeting(), 2);
    const KindTotals quinellas = h->totals(1)[2];
    EXPECT_EQ(std::tie(quinellas.tickets, quinellas.stake, quinellas.returns, quinellas.hits),
              std::make_tuple(2, Money(800), Money(6250), 1));
    std::vector<std::string> lines = reportLines(*h, 1);
    EXPECT_EQ(lines[0], "今開催の成績（第1開催）");
    auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    for (const char* line : {"第 1レース 潮風, ステークス 芝1600m", "  1着 7番 2着 15番 3着 3番", "  5650円増えて 持ち金 15650円",
                             "馬連 2枚 800円 払い戻し 6250円 的中率 50.0% 回収率 781.3%",
                             "単勝 2枚 200円 払い戻し 0円 的中率 0.0% 回収率 0.0%",
                             "馬連 3枚 1800円 払い戻し 6250円 的中率 33.3% 回収率 347.2%",  // all time
                             "  馬連  7番15番12.5倍",
                             "2026-12-07 10:00:00 第1開催 第 1レース 潮風, ステークス 芝1600m 馬連 7番15番 12.5倍 6250円"})
        EXPECT_TRUE(has(line)) << line;
    EXPECT_EQ(reportLines(*h, 2)[1], "第 1レース 潮風, ステークス 芝1600m 金額指定");

    ASSERT_TRUE(writeCsv(*h, dir.file("out.csv")));
    std::ifstream in(dir.file("out.csv"));
    std::vector<std::string> rows;
    for (std::string l; std::getline(in, l);) rows.push_back(l.substr(0, l.size() - 1));  // CR LF
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(std::vector<std::string>({rows[0], rows[1], rows[6]}),
              std::vector<std::string>({"\xEF\xBB\xBF日時,開催,レース,レース名,券種,馬番,金額,払い戻し,返還,金額指定",
                                        "2026-12-07 10:00:00,1,1,\"潮風, ステークス\",馬連,7番15番,500,6250,0,0",
                                        "2026-12-07 10:00:00,2,1,\"潮風, ステークス\",単勝,2番,100,0,0,1"}));
    EXPECT_FALSE(writeCsv(*h, dir.file("no/such/folder/out.csv")));
}

TEST(History, DamagedForeignOrNewerFilesAreMovedAsideAndANewOneBegun) {
    struct Case { const char* name; std::function<void(const std::string&)> spoil; } cases[] = {
        {"garbage", [](const std::string& p) { std::ofstream(p) << "これはデータベースではありません"; }},
        {"newer schema", [](const std::string& p) { sqlite3_close(behindItsBack(p, "PRAGMA user_version=99")); }},
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
        for (int i = 1; i <= 3; ++i) ASSERT_TRUE(h->record(smallRace(1, i, 500, 6250)));
    }
    sqlite3_close(behindItsBack(path,
        "UPDATE races SET finish = '7,x' WHERE id = 1;"
        "UPDATE payouts SET kind = -4 WHERE race_id = 2;"
        "UPDATE payouts SET amount = 9223372036854775807 WHERE race_id = 3;"
        "UPDATE tickets SET stake = 'much' WHERE race_id = 3 AND kind = 1;"
        "INSERT INTO races SELECT 9, played_at, 2147483647, race_no, race_name, course, scratched, fallen, finish,"
        " lines, money_before, money_after, command_line FROM races WHERE id = 2;"));
    RaceKeeper keeper;
    EXPECT_EQ(keeper.open(dir.path(), "x"), "");
    const History& h = *keeper.history();
    // Race 1 with its two tickets and payout, one payout of race 2, one of
    // race 3, a ticket of race 3, and the race of a meeting out of range.
    EXPECT_EQ(h.skippedRows(), 8);
    EXPECT_EQ(keeper.meeting(), 2);
    std::vector<RaceRow> races = h.allRaces();
    ASSERT_EQ(races.size(), 2u);
    EXPECT_TRUE(races[0].payouts.empty() && races[1].payouts.empty() && races[1].tickets.size() == 1);
    EXPECT_EQ(h.totals()[2].returns, 0);
    EXPECT_EQ(reportLines(h, 1)[0], "記録のうち 8 行は壊れていて読めないので、除いてあります");
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
    RaceKeeper keeper;
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
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    rec.raceno = 3;
    EXPECT_EQ(keeper.settled(rec, out, {}, "2026-12-07 10:02:00"), "");
    std::vector<RaceRow> races = keeper.history()->allRaces();
    ASSERT_EQ(races.size(), 3u);
    EXPECT_EQ((std::vector<int>{races[0].raceNo, races[1].raceNo, races[2].raceNo}), (std::vector<int>{1, 2, 3}));
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
