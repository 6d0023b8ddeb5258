// The race history: recording, totals, damaged files, a kill mid-write, CSV.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "betting/betting.h"
#include "core/lifecycle.h"
#include "core/random.h"
#include "fakes.h"
#include "history/history.h"
#include "tempdir.h"

using namespace ozn;
using namespace ozn::test;

namespace {

RaceRow smallRace(int meeting, int raceNo, Money stake, Money paid) {
    RaceRow r;
    r.playedAt = "2026-12-07 10:00:00", r.meeting = meeting, r.raceNo = raceNo;
    r.raceName = "潮風, ステークス", r.course = "芝1600m";  // a comma for the CSV
    r.finish = {7, 15, 3}, r.lines = {"馬連  7番15番12.5倍"};
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

}  // namespace

TEST(History, ASeededGameKeepsItsSignatureAndIsRecordedWithTotalsThatAddUp) {
    TempDir dir;
    dir.copyBundledData();
    auto history = History::open(dir.file("data"), "x").history;
    ASSERT_TRUE(history);
    History& h = *history;
    GameRecord rec;
    FakeUi ui;
    setenv("OZN_SEED", "99", 1);
    GameRandom rng(seedFromEnvironment());
    unsetenv("OZN_SEED");
    FakeClock clock;
    FakeSpeaker speech;
    FakeMp3 mp3;
    Ports ports{ui, rng, clock, speech, mp3};
    CardLists card;
    std::vector<Money> afterEach;
    RaceHooks hooks{nullptr, [] { return true; }, [&](CardLists l) { card = std::move(l); }, nullptr,
                    [&](const RaceOutcome& out, const Settlement& s) {
                        ASSERT_TRUE(h.record(raceRow(rec, out, s, 1, "2026-12-07 10:00:00")));
                        afterEach.push_back(rec.mochikin);
                    }};
    ASSERT_TRUE(startUp(rec, ui, {dir.path(), "30000", "", ""}, {[&] { card = readlist(rec, rng, ui); }, nullptr}));
    for (int race = 0; race < 6; ++race) {
        for (int kind = 1; kind <= 6; ++kind)
            for (int pick : {0, 3}) {
                ui.inputs.push_back("200");
                rec.bakenkind = static_cast<std::int16_t>(kind);
                registerTicket(rec, ui, kind, card[kind - 1][pick]);  // the favourites: some pay
            }
        ASSERT_EQ(hasso(rec, ports, hooks), HassoResult::NextRace);
    }
    std::vector<RaceRow> races = h.allRaces();
    ASSERT_EQ(races.size(), 6u);
    // Independently of the query: every ticket and what came back for it.
    std::array<KindTotals, 6> sum{};
    Money best = 0;
    for (const RaceRow& r : races) {
        EXPECT_TRUE(r.commandLine);
        EXPECT_EQ(r.finish.size(), 18u - (r.scratched ? 1 : 0) - (r.fallen ? 1 : 0));
        Money back = 0, staked = 0;
        for (const TicketRow& t : r.tickets) {
            KindTotals& k = sum[t.kind - 1];
            ++k.tickets, k.stake += t.stake, staked += t.stake;
            bool hit = false;
            for (const PayoutRow& p : r.payouts)
                if (p.kind == t.kind && p.horses == t.horses) k.returns += p.amount, back += p.amount, hit |= !p.refund;
            k.hits += hit;
        }
        for (const PayoutRow& p : r.payouts) best = std::max(best, p.refund ? 0 : p.amount);
        EXPECT_EQ(r.after, r.before - staked + back);  // the money adds up race by race
    }
    EXPECT_EQ(races.back().after, afterEach.back());
    // Any change to the order of the draws changes the money after each race.
    EXPECT_EQ(afterEach, (std::vector<Money>{27600, 26980, 27020, 24620, 32360, 29960}));
    auto totals = h.totals();
    for (int k = 0; k < 6; ++k) {
        const KindTotals &t = totals[k], &e = sum[k];
        EXPECT_EQ(std::tie(t.tickets, t.stake, t.returns, t.hits), std::tie(e.tickets, e.stake, e.returns, e.hits)) << k;
        EXPECT_EQ(t.tickets, 12) << k;
    }
    ASSERT_GT(best, 0) << "the seed was meant to give a payout";
    EXPECT_EQ(h.best()->payout.amount, best);
    std::vector<std::string> report = reportLines(h, 1);
    EXPECT_EQ(report.front(), "■ 今開催の成績（第1開催）");
    EXPECT_NE(std::find(report.begin(), report.end(), "■ 最高払い戻し"), report.end());
}

TEST(History, StatisticsAndCsvOfAKnownMeeting) {
    TempDir dir;
    auto h = History::open(dir.path(), "x").history;
    ASSERT_TRUE(h);
    for (const RaceRow& r : {smallRace(1, 1, 500, 6250), smallRace(1, 2, 300, 0), smallRace(2, 1, 1000, 0)})
        ASSERT_TRUE(h->record(r));
    EXPECT_EQ(h->lastMeeting(), 2);
    const KindTotals quinellas = h->totals(1)[2];
    EXPECT_EQ(std::tie(quinellas.tickets, quinellas.stake, quinellas.returns, quinellas.hits),
              std::make_tuple(2, Money(800), Money(6250), 1));
    std::vector<std::string> lines = reportLines(*h, 1);
    auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    for (const char* line : {"馬連 2枚 800円 払い戻し 6250円 的中率 50.0% 回収率 781.3%",
                             "単勝 2枚 200円 払い戻し 0円 的中率 0.0% 回収率 0.0%",
                             "馬連 3枚 1800円 払い戻し 6250円 的中率 33.3% 回収率 347.2%",  // all time
                             "  馬連  7番15番12.5倍",
                             "2026-12-07 10:00:00 第1開催 第 1レース 潮風, ステークス 芝1600m 馬連 7-15 12.5倍 6250円"})
        EXPECT_TRUE(has(line)) << line;

    ASSERT_TRUE(writeCsv(*h, dir.file("out.csv")));
    std::ifstream in(dir.file("out.csv"));
    std::vector<std::string> rows;
    for (std::string l; std::getline(in, l);) rows.push_back(l.substr(0, l.size() - 1));  // CR LF
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(std::vector<std::string>({rows[0], rows[1], rows[6]}),
              std::vector<std::string>({"日時,開催,レース,レース名,券種,馬番,金額,払い戻し,返還",
                                        "2026-12-07 10:00:00,1,1,\"潮風, ステークス\",馬連,7-15,500,6250,0",
                                        "2026-12-07 10:00:00,2,1,\"潮風, ステークス\",単勝,2,100,0,0"}));
    EXPECT_FALSE(writeCsv(*h, dir.file("no/such/folder/out.csv")));
}

TEST(History, DamagedOrNewerFilesAreMovedAsideAndANewOneBegun) {
    struct Case { const char* name; std::function<void(const std::string&)> spoil; } cases[] = {
        {"garbage", [](const std::string& p) { std::ofstream(p) << "これはデータベースではありません"; }},
        {"newer schema", [](const std::string& p) { sqlite3_close(behindItsBack(p, "PRAGMA user_version=99")); }},
        {"torn pages", [](const std::string& p) {
             {
                 auto h = History::open(std::filesystem::path(p).parent_path(), "x").history;
                 for (int i = 0; i < 40; ++i) h->record(smallRace(1, 1, 100, 0));
             }
             std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(4096 + 100);
             f << std::string(3000, '\xff');
         }},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.file("history.sqlite");
        c.spoil(path);
        std::string before = dir.read("history.sqlite");
        auto opened = History::open(dir.path(), "20261207-100000");
        ASSERT_TRUE(opened.history) << c.name;
        EXPECT_NE(opened.notice.find("history.sqlite.bad-20261207-100000"), std::string::npos) << c.name;
        EXPECT_EQ(dir.read("history.sqlite.bad-20261207-100000"), before) << c.name;  // kept as it was
        EXPECT_TRUE(opened.history->record(smallRace(1, 1, 100, 0))) << c.name;
        EXPECT_EQ(opened.history->allRaces().size(), 1u) << c.name;
    }
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

TEST(History, AKillNeverLosesACommittedRaceNorLeavesHalfOfOne) {
    TempDir dir;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto h = History::open(dir.path(), "x").history;
        if (!h || !h->record(smallRace(1, 1, 500, 6250))) _exit(3);
        // A second race half written when the end comes.
        behindItsBack(dir.file("history.sqlite"),
                      "BEGIN; INSERT INTO races (played_at, meeting, race_no, race_name, course, scratched, fallen, finish, "
                      "lines, money_before, money_after, command_line) VALUES ('t',1,2,'半分','',0,0,'','',1,1,0);");
        ::kill(::getpid(), SIGKILL);
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
