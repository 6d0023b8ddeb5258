#pragma once
// The race history: every settled race in an SQLite database, with its
// tickets and payouts, and the statistics drawn from it.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "betting/store.h"
#include "core/record.h"
#include "race/race.h"

struct sqlite3;

namespace ozn {

struct TicketRow {
    int kind = 0;
    std::string horses;  // "7-15", in the ticket's order
    Money stake = 0;
    // As the card showed them when it was bought (see ShownOdds); 0 when not
    // known, as for races kept before these were.
    double odds = 0, oddsHigh = 0;
    int popularity = 0;
};

struct PayoutRow {
    int kind = 0;
    std::string horses;
    std::string multiplier;  // as printed; empty for a refund
    Money amount = 0;
    bool refund = false;
};

struct RaceRow {
    std::string playedAt;  // local time, "YYYY-MM-DD HH:MM:SS"
    int meeting = 0, raceNo = 0;
    std::string raceName, course;
    int scratched = 0, fallen = 0;
    std::vector<int> finish;         // horse numbers, first to last; empty when not known
    std::vector<std::string> lines;  // the payout lines as printed
    std::vector<TicketRow> tickets;
    std::vector<PayoutRow> payouts;
    std::vector<Money> tipSheets;  // the fee of each tip sheet bought for this race
    // before: the money when the race's card was made, before its tickets.
    // after = before - stakes - tip sheets + payouts and refunds.
    Money before = 0, after = 0;
    bool commandLine = false;  // money given on the command line
    std::string savePath;      // the save this money goes to (written, not read back)
    bool honkaku = false;      // run under 本格ルール
};

// The settled race as the record holds it: tickets still in the store, the
// outcome, the payouts and the money after. The caller adds when, which
// meeting, the money before and the tip sheets.
RaceRow raceRow(const GameRecord& rec, const RaceOutcome& out, const Settlement& s);

std::string horsesText(int kind, const Horses& h);
// The horses of a stored combination, or nullopt when it does not make sense.
std::optional<Horses> parseHorses(int kind, const std::string& text);
// "7-15" as the game says it elsewhere: "7番15番" (枠連 "3枠5枠").
std::string horsesSpoken(const std::string& stored, int kind = 0);

// Which races the statistics cover.
enum class Period { Meeting, Today, Week, Month, All };  // today, the last 7 and 30 days count today in
struct PeriodFilter {
    Period period = Period::All;
    int meeting = 0;    // for Period::Meeting
    std::string today;  // "YYYY-MM-DD", local time
};
std::string periodName(Period p);  // "今開催", "今日", "7日", "30日", "通算"

enum class Breakdown { Kind, Popularity, Odds, Course, TicketCount };
inline constexpr Breakdown kBreakdowns[] = {Breakdown::Kind, Breakdown::Popularity, Breakdown::Odds,
                                            Breakdown::Course, Breakdown::TicketCount};
std::string breakdownName(Breakdown b);  // "券種別", "人気別", ...

// One line of a breakdown. A refunded ticket counts as never bought:
// tickets, hits, stake and payouts leave it out; refunds and refunded say
// how many there were and what they staked.
struct StatsRow {
    std::string label;
    int tickets = 0, hits = 0, refunds = 0;
    Money stake = 0, payouts = 0, best = 0, refunded = 0;
};

// The money of one race kept from the save (not a game with an amount).
struct MoneyPoint {
    std::string playedAt;
    Money before = 0, after = 0;
    Money stake = 0, payouts = 0;  // without refunded tickets
};

struct BestPayout {
    RaceRow race;  // without tickets and payouts
    PayoutRow payout;
};

class History {
public:
    static constexpr int kSchemaVersion = 5;

    struct Opened {
        std::unique_ptr<History> history;  // null: play without history
        std::string notice;                // to tell the player once; empty when all went well
    };
    // Opens (or makes) folder/file (history.sqlite); stamp is the local time as
    // "yyyyMMdd-HHmmss". A file that is not a database, is damaged, is some
    // other program's or comes from a newer game is moved aside as
    // history.sqlite.bad-<stamp> and a new one begun. A file that is busy or
    // cannot be read just now, or that a newer game wrote, is left alone: no
    // history for this run.
    static Opened open(const std::string& folder, const std::string& stamp, const std::string& file = "history.sqlite");
    ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    // One transaction; false when it could not be written. Tip sheets kept
    // by recordTipSheet for a game of the same kind become the race's.
    bool record(const RaceRow& race);
    // A tip sheet bought for a race not yet run, kept at once.
    bool recordTipSheet(const std::string& boughtAt, Money fee, bool commandLine, const std::string& savePath);
    // Where a game of the save's kind left off: the time and money of its
    // last race or tip sheet, and the tip sheets still waiting for a race.
    struct LeftOff {
        std::string at, savePath;  // savePath: the save of the last one recorded
        Money after = 0, waitingFees = 0;
        bool any = false;
    };
    LeftOff leftOff(bool commandLine) const;
    int lastMeeting() const;
    std::vector<RaceRow> meeting(int meeting) const;  // with tickets and payouts
    std::vector<RaceRow> allRaces() const;            // the same, for every race
    std::vector<RaceRow> races(const PeriodFilter& period) const;
    std::optional<BestPayout> best() const;
    // The statistics, aggregated by the database; rows in display order.
    std::vector<StatsRow> breakdown(Breakdown by, const PeriodFilter& period) const;
    std::vector<MoneyPoint> moneyByRace(const PeriodFilter& period) const;
    // Stored rows that make no sense (a damaged file): left out of
    // everything above.
    int skippedRows() const;

private:
    explicit History(sqlite3* db) : db_(db) {}
    bool keepSavePath(const std::string& savePath);
    // The connection, once the rows that make no sense are known.
    sqlite3* checked() const;
    sqlite3* db_;
    mutable bool checked_ = false;
};

// The results window: the races of the period one by one (of this meeting,
// or with the date and meeting), and the best payout ever.
std::vector<std::string> reportLines(const History& history, const PeriodFilter& period);
// A breakdown as the window shows it: its title, how 回収率 is counted, then
// one line per row and the total.
std::vector<std::string> statsLines(const History& history, Breakdown by, const PeriodFilter& period);
// The money over the period in one sentence: races, start, end, lowest,
// highest, and 回収率 of the last ten races.
std::string trendSentence(const std::vector<MoneyPoint>& points, Period period);

// One row per ticket, UTF-8 with a BOM and a header line. false when it
// cannot be written.
bool writeCsv(const History& history, const std::string& path);
// The breakdown on screen, the same way.
bool writeSummaryCsv(const History& history, Breakdown by, const PeriodFilter& period, const std::string& path);
// The races of the period, one row each: when, which, the first three, the
// scratched and the fallen horse, the money before and after.
bool writeRacesCsv(const History& history, const PeriodFilter& period, const std::string& path);

}  // namespace ozn
