#include "history/history.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "betting/store.h"
#include "history/sql.h"

namespace ozn {
namespace {

namespace fs = std::filesystem;
using sql::Statement;
using sql::exec;

// Another program may hold the file for a moment; a race is not held up long for it.
constexpr int kBusyMs = 250;

bool parseNumbers(const std::string& text, std::vector<int>& out) {
    out.clear();
    if (text.empty()) return true;
    int n = -1;
    for (char c : text + ",") {
        if (c == ',') {
            if (n < 0) return false;
            out.push_back(n);
            n = -1;
        } else if (c >= '0' && c <= '9' && n < 100) {
            n = (n < 0 ? 0 : n * 10) + (c - '0');
        } else {
            return false;
        }
    }
    return true;
}

int finishersOf(int scratched, int fallen) { return kHorses - (scratched ? 1 : 0) - (fallen ? 1 : 0); }

bool outcomeOk(int scratched, int fallen) {
    return scratched >= 0 && scratched <= kHorses && fallen >= 0 && fallen <= kHorses && (!scratched || scratched != fallen);
}

// A finishing order as stored: empty (not known), or every runner but the
// scratched and fallen horse exactly once.
bool finishOk(const std::string& text, int scratched, int fallen) {
    std::vector<int> order;
    if (!outcomeOk(scratched, fallen) || !parseNumbers(text, order)) return false;
    if (order.empty()) return true;
    if (static_cast<int>(order.size()) != finishersOf(scratched, fallen)) return false;
    std::array<bool, kHorses + 1> seen{};
    for (int h : order) {
        if (h < 1 || h > kHorses || seen[h] || h == scratched || h == fallen) return false;
        seen[h] = true;
    }
    return true;
}

// The first game versions stored the order from its second place on, then
// one stray value (0, or the winner again). The winner is the one runner
// missing from the rest; anything else stays unknown.
std::string repairedFinish(const std::string& stored, int scratched, int fallen) {
    std::vector<int> order;
    if (!outcomeOk(scratched, fallen) || !parseNumbers(stored, order)) return "";
    if (static_cast<int>(order.size()) != finishersOf(scratched, fallen)) return "";
    order.pop_back();
    std::array<bool, kHorses + 1> seen{};
    if (scratched) seen[scratched] = true;
    if (fallen) seen[fallen] = true;
    for (int h : order) {
        if (h < 1 || h > kHorses || seen[h]) return "";
        seen[h] = true;
    }
    std::string out = std::to_string(std::find(seen.begin() + 1, seen.end(), false) - seen.begin());
    for (int h : order) out += "," + std::to_string(h);
    return out;
}

bool repairFinishingOrders(sqlite3* db) {
    std::vector<std::pair<long long, std::string>> fixes;
    Statement read(db, "SELECT id, scratched, fallen, finish FROM races");
    while (read.step())
        fixes.emplace_back(read.integer(0), repairedFinish(read.text(3), static_cast<int>(read.integer(1)),
                                                           static_cast<int>(read.integer(2))));
    if (!read.done()) return false;
    for (const auto& [id, finish] : fixes)
        if (!Statement(db, "UPDATE races SET finish = ? WHERE id = ?").bind(1, finish).bind(2, id).run()) return false;
    return true;
}

// Each step takes the schema from version i to i + 1 in one transaction. A
// later version adds its step here; an older file is brought up to date
// when it is opened.
struct Migration {
    const char* sql;
    bool (*fix)(sqlite3*);
};
const Migration kMigrations[] = {
    {R"sql(
    CREATE TABLE races (
        id INTEGER PRIMARY KEY,
        played_at TEXT NOT NULL,
        meeting INTEGER NOT NULL,
        race_no INTEGER NOT NULL,
        race_name TEXT NOT NULL,
        course TEXT NOT NULL,
        scratched INTEGER NOT NULL,
        fallen INTEGER NOT NULL,
        finish TEXT NOT NULL,
        lines TEXT NOT NULL,
        money_before INTEGER NOT NULL,
        money_after INTEGER NOT NULL,
        command_line INTEGER NOT NULL);
    CREATE INDEX races_meeting ON races(meeting);
    CREATE TABLE tickets (
        race_id INTEGER NOT NULL REFERENCES races(id),
        kind INTEGER NOT NULL,
        horses TEXT NOT NULL,
        stake INTEGER NOT NULL);
    CREATE TABLE payouts (
        race_id INTEGER NOT NULL REFERENCES races(id),
        kind INTEGER NOT NULL,
        horses TEXT NOT NULL,
        multiplier TEXT NOT NULL,
        amount INTEGER NOT NULL,
        refund INTEGER NOT NULL);
    CREATE INDEX tickets_race ON tickets(race_id);
    CREATE INDEX payouts_race ON payouts(race_id);
    )sql",
     nullptr},
    // Money spent beside the tickets (the tip sheet), the day of the last
    // integrity check, and the finishing orders of version 1 set right.
    {R"sql(
    CREATE TABLE events (
        race_id INTEGER NOT NULL REFERENCES races(id),
        kind TEXT NOT NULL,
        amount INTEGER NOT NULL);
    CREATE INDEX events_race ON events(race_id);
    CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);
    )sql",
     repairFinishingOrders},
    // What each ticket showed when it was bought; older tickets stay unknown.
    {R"sql(
    ALTER TABLE tickets ADD COLUMN odds REAL;
    ALTER TABLE tickets ADD COLUMN odds_high REAL;
    ALTER TABLE tickets ADD COLUMN popularity INTEGER;
    )sql",
     nullptr},
};
static_assert(std::size(kMigrations) == History::kSchemaVersion);

// What a damaged file may hold is left out: its rows are found once, when
// the history is first read, and every query reads the views. Rows written
// since are the game's own. A check that meets NULL counts as failed.
const char* const kCheckedViews = R"sql(
    CREATE TEMP TABLE bad_races AS SELECT id FROM main.races WHERE NOT COALESCE(
        typeof(played_at) = 'text' AND
        played_at GLOB '[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]' AND
        typeof(meeting) = 'integer' AND meeting BETWEEN 1 AND 999999999 AND
        typeof(race_no) = 'integer' AND race_no BETWEEN 1 AND 12 AND
        typeof(race_name) = 'text' AND typeof(course) = 'text' AND typeof(lines) = 'text' AND
        typeof(scratched) = 'integer' AND scratched BETWEEN 0 AND 18 AND
        typeof(fallen) = 'integer' AND fallen BETWEEN 0 AND 18 AND typeof(finish) = 'text' AND
        ozn_finish_ok(finish, scratched, fallen) AND
        typeof(money_before) = 'integer' AND money_before BETWEEN 0 AND 9007199254740992 AND
        typeof(money_after) = 'integer' AND money_after BETWEEN 0 AND 9007199254740992 AND
        typeof(command_line) = 'integer' AND command_line IN (0, 1), 0);
    CREATE TEMP VIEW ok_races AS SELECT * FROM main.races WHERE id NOT IN (SELECT id FROM bad_races);
    CREATE TEMP TABLE bad_tickets AS SELECT rowid AS seq FROM main.tickets WHERE NOT COALESCE(
        race_id IN (SELECT id FROM ok_races) AND
        typeof(kind) = 'integer' AND kind BETWEEN 1 AND 6 AND ozn_horses_ok(kind, horses) AND
        typeof(stake) = 'integer' AND stake BETWEEN 1 AND 9007199254740992, 0);
    CREATE TEMP VIEW ok_tickets AS SELECT rowid AS seq, * FROM main.tickets WHERE rowid NOT IN (SELECT seq FROM bad_tickets);
    CREATE TEMP TABLE bad_payouts AS SELECT rowid AS seq FROM main.payouts WHERE NOT COALESCE(
        race_id IN (SELECT id FROM ok_races) AND
        typeof(kind) = 'integer' AND kind BETWEEN 1 AND 6 AND ozn_horses_ok(kind, horses) AND
        typeof(multiplier) = 'text' AND typeof(amount) = 'integer' AND amount BETWEEN 0 AND 9007199254740992 AND
        typeof(refund) = 'integer' AND refund IN (0, 1), 0);
    CREATE TEMP VIEW ok_payouts AS SELECT rowid AS seq, * FROM main.payouts WHERE rowid NOT IN (SELECT seq FROM bad_payouts);
    CREATE TEMP TABLE bad_events AS SELECT rowid AS seq FROM main.events WHERE NOT COALESCE(
        race_id IN (SELECT id FROM ok_races) AND typeof(kind) = 'text' AND
        typeof(amount) = 'integer' AND amount BETWEEN 0 AND 9007199254740992, 0);
    CREATE TEMP VIEW ok_events AS SELECT rowid AS seq, * FROM main.events WHERE rowid NOT IN (SELECT seq FROM bad_events);
)sql";

void finishOkSql(sqlite3_context* c, int, sqlite3_value** v) {
    auto text = sqlite3_value_text(v[0]);
    sqlite3_result_int(c, text && finishOk(reinterpret_cast<const char*>(text), sqlite3_value_int(v[1]),
                                           sqlite3_value_int(v[2])));
}

void horsesOkSql(sqlite3_context* c, int, sqlite3_value** v) {
    auto text = sqlite3_value_text(v[1]);
    sqlite3_result_int(c, text && parseHorses(sqlite3_value_int(v[0]), reinterpret_cast<const char*>(text)));
}

bool addChecks(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    return sqlite3_create_function(db, "ozn_finish_ok", 3, flags, nullptr, finishOkSql, nullptr, nullptr) == SQLITE_OK &&
           sqlite3_create_function(db, "ozn_horses_ok", 2, flags, nullptr, horsesOkSql, nullptr, nullptr) == SQLITE_OK;
}

// Busy, locked or an I/O error: the file may be sound, only not usable now.
bool transient(int rc) {
    switch (rc & 0xff) {
        case SQLITE_BUSY: case SQLITE_LOCKED: case SQLITE_IOERR: case SQLITE_NOMEM: case SQLITE_CANTOPEN:
        case SQLITE_PROTOCOL: case SQLITE_FULL: case SQLITE_READONLY: case SQLITE_PERM: case SQLITE_AUTH:
            return true;
        default: return false;
    }
}

enum class Opening { Ready, Bad, NotNow, ReadOnly };

// Opens the file and brings its schema up to date. Bad: not ours to use.
// The integrity check, which reads the whole file, runs once a day.
Opening openDatabase(const std::string& path, const std::string& today, sqlite3*& db) {
    db = nullptr;
    auto fail = [&](Opening why) {
        sqlite3_close(db);
        db = nullptr;
        return why;
    };
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        return fail(Opening::NotNow);
    sqlite3_busy_timeout(db, kBusyMs);
    auto badOr = [&](int rc) { return fail(transient(rc) ? Opening::NotNow : Opening::Bad); };
    Statement v(db, "PRAGMA user_version");
    if (!v.step()) return badOr(v.rc());
    const long long version = v.integer(0);
    v.reset();
    if (version < 0 || version > History::kSchemaVersion) return fail(Opening::Bad);  // a newer game's
    Statement tables(db, "SELECT count(*) FROM sqlite_master");
    if (!tables.step()) return badOr(tables.rc());
    if (version == 0 && tables.integer(0) > 0) return fail(Opening::Bad);  // some other program's
    tables.reset();
    bool checkDue = version > 0;
    if (version >= 2) {
        Statement last(db, "SELECT value FROM meta WHERE key = 'checked'");
        if (last.step()) checkDue = last.text(0) != today;
        else if (!last.done()) return badOr(last.rc());
    }
    if (checkDue) {
        Statement check(db, "PRAGMA quick_check");
        if (!check.step()) return badOr(check.rc());
        if (check.text(0) != "ok") return fail(Opening::Bad);
    }
    if (sqlite3_db_readonly(db, "main") == 1) return fail(Opening::ReadOnly);
    // Write-ahead log: a race is on disk once committed, and a kill never
    // leaves half of one.
    for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "PRAGMA foreign_keys=ON"}) {
        Statement s(db, pragma);
        if (!s.step() && !s.done()) return badOr(s.rc());
    }
    for (long long step = version; step < History::kSchemaVersion; ++step) {
        const Migration& m = kMigrations[step];
        bool ok = exec(db, "BEGIN IMMEDIATE");
        const int began = sqlite3_errcode(db);
        ok = ok && exec(db, m.sql) && (!m.fix || m.fix(db)) &&
             exec(db, ("PRAGMA user_version=" + std::to_string(step + 1)).c_str()) && exec(db, "COMMIT");
        if (!ok) {
            const int rc = sqlite3_errcode(db);
            exec(db, "ROLLBACK");
            return transient(began) || transient(rc) ? fail(Opening::NotNow) : fail(Opening::Bad);
        }
    }
    if (checkDue || version < 2)
        Statement(db, "INSERT OR REPLACE INTO meta (key, value) VALUES ('checked', ?)").bind(1, today).run();
    if (!addChecks(db)) return fail(Opening::NotNow);
    return Opening::Ready;
}

std::string joined(const std::vector<std::string>& parts, char sep) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? std::string(1, sep) : "") + parts[i];
    return out;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    if (s.empty()) return out;
    std::size_t at = 0;
    for (;;) {
        auto end = s.find(sep, at);
        out.push_back(s.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos) return out;
        at = end + 1;
    }
}


}  // namespace

std::string horsesText(int kind, const Horses& h) {
    std::string out;
    for (int k = 0; k < horsesPerTicket(kind); ++k) out += (k ? "-" : "") + std::to_string(h[k]);
    return out;
}

std::optional<Horses> parseHorses(int kind, const std::string& text) {
    if (kind < 1 || kind > kKinds) return std::nullopt;
    if (text.find(',') != std::string::npos) return std::nullopt;
    std::string commas = text;
    std::replace(commas.begin(), commas.end(), '-', ',');
    std::vector<int> numbers;
    if (!parseNumbers(commas, numbers) || static_cast<int>(numbers.size()) != horsesPerTicket(kind))
        return std::nullopt;
    Horses h{};
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        if (numbers[k] < 1 || numbers[k] > kHorses || std::count(numbers.begin(), numbers.end(), numbers[k]) > 1)
            return std::nullopt;
        h[k] = numbers[k];
    }
    return h;
}

std::string horsesSpoken(const std::string& stored) {
    std::string out;
    for (const std::string& h : split(stored, '-')) out += h + "番";
    return out;
}

RaceRow raceRow(const GameRecord& rec, const RaceOutcome& out, const Settlement& s) {
    RaceRow r;
    r.raceNo = rec.raceno;
    r.raceName = rec.racename;
    r.course = currentCourse(rec);
    r.scratched = out.scratched;
    r.fallen = out.fallen;
    r.finish.assign(out.order.begin(), out.order.begin() + std::clamp(out.finishers, 0, kHorses));
    std::string line;
    for (const PrintPiece& piece : s.prints) {
        line += piece.text;
        if (piece.newline) r.lines.push_back(line), line.clear();
    }
    const CardOdds card(rec);
    for (int kind = 1; kind <= kKinds; ++kind)
        for (int i = 0; i < ticketCount(rec, kind); ++i) {
            const Horses h = ticketHorses(rec, kind, i);
            const ShownOdds shown = card.of(kind, h);
            r.tickets.push_back({kind, horsesText(kind, h), ticketStake(rec, kind, i), shown.odds, shown.oddsHigh,
                                 shown.popularity});
        }
    for (const PaidTicket& p : s.paid)
        r.payouts.push_back({p.kind, horsesText(p.kind, p.horses), p.multiplier, p.amount, p.refund});
    r.after = rec.mochikin;
    r.commandLine = rec.bakenpath.empty();
    return r;
}

History::Opened History::open(const std::string& folder, const std::string& stamp) {
    Opened result;
    if (folder.empty()) {  // no data folder known: never fall back to the root
        result.notice = "成績を記録する場所がないので、今回は成績を記録しません";
        return result;
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    const std::string path = folder + "/history.sqlite", today = stamp.substr(0, 8);
    sqlite3* db = nullptr;
    Opening how = openDatabase(path, today, db);
    if (how == Opening::Bad) {
        // Kept for whoever wants to look, never overwritten, never used again.
        std::string aside = path + ".bad-" + stamp;
        for (const char* side : {"", "-wal", "-shm"})
            if (fs::exists(path + side)) fs::rename(path + side, aside + side, ec);
        result.notice = "成績の記録ファイルが読めないので、" + aside + " に移して新しく始めます";
        how = openDatabase(path, today, db);
    }
    if (how == Opening::ReadOnly)
        result.notice = "成績の記録ファイル " + path + " に書きこめないので、今回は成績を記録しません";
    else if (how != Opening::Ready)
        result.notice = "成績の記録ファイル " + path + " を今は使えないので、今回は成績を記録しません";
    else
        result.history.reset(new History(db));
    return result;
}

History::~History() { sqlite3_close(db_); }

bool History::record(const RaceRow& r) {
    if (!exec(db_, "BEGIN IMMEDIATE")) return false;
    auto rollback = [&] {
        exec(db_, "ROLLBACK");
        return false;
    };
    std::vector<std::string> finish;
    for (int h : r.finish) finish.push_back(std::to_string(h));
    Statement race(db_,
                   "INSERT INTO races (played_at, meeting, race_no, race_name, course, scratched, fallen, finish, "
                   "lines, money_before, money_after, command_line) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)");
    race.bind(1, r.playedAt).bind(2, r.meeting).bind(3, r.raceNo).bind(4, r.raceName).bind(5, r.course);
    race.bind(6, r.scratched).bind(7, r.fallen).bind(8, joined(finish, ',')).bind(9, joined(r.lines, '\n'));
    race.bind(10, r.before).bind(11, r.after).bind(12, r.commandLine ? 1 : 0);
    if (!race.run()) return rollback();
    const long long id = sqlite3_last_insert_rowid(db_);
    for (const TicketRow& t : r.tickets) {
        Statement s(db_, "INSERT INTO tickets (race_id, kind, horses, stake, odds, odds_high, popularity) "
                         "VALUES (?,?,?,?,?,?,?)");
        s.bind(1, id).bind(2, t.kind).bind(3, t.horses).bind(4, t.stake);
        if (t.odds > 0) s.bind(5, t.odds);
        if (t.oddsHigh > 0) s.bind(6, t.oddsHigh);
        if (t.popularity > 0) s.bind(7, t.popularity);
        if (!s.run()) return rollback();
    }
    for (const PayoutRow& p : r.payouts) {
        Statement s(db_, "INSERT INTO payouts (race_id, kind, horses, multiplier, amount, refund) VALUES (?,?,?,?,?,?)");
        s.bind(1, id).bind(2, p.kind).bind(3, p.horses).bind(4, p.multiplier).bind(5, p.amount);
        if (!s.bind(6, p.refund ? 1 : 0).run()) return rollback();
    }
    for (Money fee : r.tipSheets)
        if (!Statement(db_, "INSERT INTO events (race_id, kind, amount) VALUES (?, 'tipsheet', ?)")
                 .bind(1, id).bind(2, fee).run())
            return rollback();
    return exec(db_, "COMMIT") || rollback();
}

sqlite3* History::checked() const {
    if (!checked_) {
        checked_ = exec(db_, kCheckedViews);
        if (!checked_)  // busy, say: found again at the next read
            exec(db_, "DROP VIEW IF EXISTS ok_races; DROP VIEW IF EXISTS ok_tickets; DROP VIEW IF EXISTS ok_payouts;"
                      "DROP VIEW IF EXISTS ok_events; DROP TABLE IF EXISTS bad_races; DROP TABLE IF EXISTS bad_tickets;"
                      "DROP TABLE IF EXISTS bad_payouts; DROP TABLE IF EXISTS bad_events;");
    }
    return db_;
}

int History::lastMeeting() const {
    Statement s(db_, "SELECT COALESCE(MAX(meeting), 0) FROM races WHERE typeof(meeting) = 'integer' AND "
                     "meeting BETWEEN 1 AND 999999999");
    return s.step() ? static_cast<int>(s.integer(0)) : 0;
}

std::vector<RaceRow> History::races(const PeriodFilter& period) const {
    std::vector<RaceRow> out;
    std::map<long long, std::size_t> byId;
    // Only the rows of the races asked for are read, however long the history.
    const std::string where = " WHERE " + sql::periodClause(period.period);
    auto query = [&](const std::string& sql) {
        auto s = std::make_unique<Statement>(checked(), sql);
        sql::bindPeriod(*s, period);
        return s;
    };
    auto races = query("SELECT id, played_at, meeting, race_no, race_name, course, scratched, fallen, finish, lines, "
                       "money_before, money_after, command_line FROM ok_races r" + where + " ORDER BY id");
    for (Statement& s = *races; s.step();) {
        RaceRow r;
        r.playedAt = s.text(1);
        r.meeting = static_cast<int>(s.integer(2));
        r.raceNo = static_cast<int>(s.integer(3));
        r.raceName = s.text(4);
        r.course = s.text(5);
        r.scratched = static_cast<int>(s.integer(6));
        r.fallen = static_cast<int>(s.integer(7));
        parseNumbers(s.text(8), r.finish);
        r.lines = split(s.text(9), '\n');
        r.before = s.integer(10);
        r.after = s.integer(11);
        r.commandLine = s.integer(12) != 0;
        byId[s.integer(0)] = out.size();
        out.push_back(std::move(r));
    }
    auto rowsOf = [&](const char* table, const std::string& columns, auto add) {
        auto s = query(std::string("SELECT x.race_id, ") + columns + " FROM " + table +
                       " x JOIN races r ON r.id = x.race_id" + where + " ORDER BY x.seq");
        while (s->step())
            if (auto it = byId.find(s->integer(0)); it != byId.end()) add(out[it->second], *s);
    };
    rowsOf("ok_tickets", "x.kind, x.horses, x.stake, " + std::string(sql::kShownOdds), [](RaceRow& r, Statement& t) {
        r.tickets.push_back({static_cast<int>(t.integer(1)), t.text(2), t.integer(3), t.real(4), t.real(5),
                             static_cast<int>(t.integer(6))});
    });
    rowsOf("ok_payouts", "x.kind, x.horses, x.multiplier, x.amount, x.refund", [](RaceRow& r, Statement& p) {
        r.payouts.push_back({static_cast<int>(p.integer(1)), p.text(2), p.text(3), p.integer(4), p.integer(5) != 0});
    });
    rowsOf("ok_events", "x.amount", [](RaceRow& r, Statement& e) { r.tipSheets.push_back(e.integer(1)); });
    return out;
}

std::vector<RaceRow> History::meeting(int meeting) const { return races({Period::Meeting, meeting, ""}); }
std::vector<RaceRow> History::allRaces() const { return races({}); }

std::optional<BestPayout> History::best() const {
    Statement s(checked(),
                "SELECT r.played_at, r.meeting, r.race_no, r.race_name, p.kind, p.horses, p.multiplier, p.amount, "
                "r.course "
                "FROM ok_payouts p JOIN races r ON r.id = p.race_id WHERE p.refund = 0 "
                "ORDER BY p.amount DESC, r.id LIMIT 1");
    if (!s.step()) return std::nullopt;
    BestPayout b;
    b.race.playedAt = s.text(0);
    b.race.meeting = static_cast<int>(s.integer(1));
    b.race.raceNo = static_cast<int>(s.integer(2));
    b.race.raceName = s.text(3);
    b.payout = {static_cast<int>(s.integer(4)), s.text(5), s.text(6), s.integer(7), false};
    b.race.course = s.text(8);
    return b;
}

int History::skippedRows() const {
    Statement s(checked(), "SELECT (SELECT count(*) FROM bad_races) + (SELECT count(*) FROM bad_tickets) + "
                           "(SELECT count(*) FROM bad_payouts) + (SELECT count(*) FROM bad_events)");
    return s.step() ? static_cast<int>(std::clamp<long long>(s.integer(0), 0, 1 << 30)) : 0;
}

}  // namespace ozn
