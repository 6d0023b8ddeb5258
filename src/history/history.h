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
};

// The settled race as the record holds it: tickets still in the store, the
// outcome, the payouts and the money after. The caller adds when, which
// meeting, the money before and the tip sheets.
RaceRow raceRow(const GameRecord& rec, const RaceOutcome& out, const Settlement& s);

std::string horsesText(int kind, const Horses& h);
// The horses of a stored combination, or nullopt when it does not make sense.
std::optional<Horses> parseHorses(int kind, const std::string& text);
// "7-15" as the game says it elsewhere: "7番15番".
std::string horsesSpoken(const std::string& stored);

struct KindTotals {
    int tickets = 0, hits = 0;
    Money stake = 0, returns = 0;  // returns: payouts and refunds
};

struct BestPayout {
    RaceRow race;  // without tickets and payouts
    PayoutRow payout;
};

class History {
public:
    static constexpr int kSchemaVersion = 2;

    struct Opened {
        std::unique_ptr<History> history;  // null: play without history
        std::string notice;                // to tell the player once; empty when all went well
    };
    // Opens (or makes) folder/history.sqlite; stamp is the local time as
    // "yyyyMMdd-HHmmss". A file that is not a database, is damaged, is some
    // other program's or comes from a newer game is moved aside as
    // history.sqlite.bad-<stamp> and a new one begun. A file that is busy or
    // cannot be read just now is left alone: no history for this run.
    static Opened open(const std::string& folder, const std::string& stamp);
    ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    // One transaction; false when it could not be written.
    bool record(const RaceRow& race);
    int lastMeeting() const;
    std::vector<RaceRow> meeting(int meeting) const;  // with tickets and payouts
    std::vector<RaceRow> allRaces() const;            // the same, for every race
    // Per kind 1..6 (index 0..5): of one meeting, or of all time.
    std::array<KindTotals, 6> totals(std::optional<int> meeting = std::nullopt) const;
    std::optional<BestPayout> best() const;
    // Stored rows that make no sense (a damaged file): left out of
    // everything above.
    int skippedRows() const;

private:
    explicit History(sqlite3* db) : db_(db) {}
    std::vector<RaceRow> races(std::optional<int> meeting) const;
    // The connection, once the rows that make no sense are known.
    sqlite3* checked() const;
    sqlite3* db_;
    mutable bool checked_ = false;
};

// The results window: this meeting race by race, totals per kind for the
// meeting and for all time, and the best payout ever.
std::vector<std::string> reportLines(const History& history, int meeting);

// One row per ticket, UTF-8 with a BOM and a header line. false when it
// cannot be written.
bool writeCsv(const History& history, const std::string& path);

}  // namespace ozn
