// The history file's schema: opening it, its steps from older versions, and
// the checks that keep a damaged file's rows out of every query.
#include "history/schema.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "betting/store.h"
#include "history/history.h"
#include "history/sql.h"

namespace ozn::schema {

using sql::Statement;
using sql::exec;

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

namespace {

// Another program may hold the file for a moment; a race is not held up long for it.
constexpr int kBusyMs = 250;

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
    // Tip sheets bought for a race that has not been run yet.
    {R"sql(
    CREATE TABLE tipsheets_waiting (
        bought_at TEXT NOT NULL,
        amount INTEGER NOT NULL,
        command_line INTEGER NOT NULL);
    )sql",
     nullptr},
    // The races run under 本格ルール (馬単 and 枠連, real payouts), each
    // with the rules' number, 1; a race not named here ran under the
    // game's own, as every older race did.
    {R"sql(
    CREATE TABLE race_rules (
        race_id INTEGER PRIMARY KEY REFERENCES races(id),
        rules INTEGER NOT NULL);
    )sql",
     nullptr},
};
static_assert(std::size(kMigrations) == History::kSchemaVersion);

}  // namespace

// Rows written since they were found are the game's own. A check that meets
// NULL counts as failed.
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
        typeof(kind) = 'integer' AND kind BETWEEN 1 AND 8 AND ozn_horses_ok(kind, horses) AND
        typeof(stake) = 'integer' AND stake BETWEEN 1 AND 9007199254740992, 0);
    CREATE TEMP VIEW ok_tickets AS SELECT rowid AS seq, * FROM main.tickets WHERE rowid NOT IN (SELECT seq FROM bad_tickets);
    CREATE TEMP TABLE bad_payouts AS SELECT rowid AS seq FROM main.payouts WHERE NOT COALESCE(
        race_id IN (SELECT id FROM ok_races) AND
        typeof(kind) = 'integer' AND kind BETWEEN 1 AND 8 AND ozn_horses_ok(kind, horses) AND
        typeof(multiplier) = 'text' AND typeof(amount) = 'integer' AND amount BETWEEN 0 AND 9007199254740992 AND
        typeof(refund) = 'integer' AND refund IN (0, 1), 0);
    CREATE TEMP VIEW ok_payouts AS SELECT rowid AS seq, * FROM main.payouts WHERE rowid NOT IN (SELECT seq FROM bad_payouts);
    CREATE TEMP TABLE bad_events AS SELECT rowid AS seq FROM main.events WHERE NOT COALESCE(
        race_id IN (SELECT id FROM ok_races) AND typeof(kind) = 'text' AND
        typeof(amount) = 'integer' AND amount BETWEEN 0 AND 9007199254740992, 0);
    CREATE TEMP VIEW ok_events AS SELECT rowid AS seq, * FROM main.events WHERE rowid NOT IN (SELECT seq FROM bad_events);
)sql";

namespace {

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

}  // namespace

Opening openDatabase(const std::string& path, const std::string& today, sqlite3*& db) {
    db = nullptr;
    auto fail = [&](Opening why) {
        sqlite3_close(db);
        db = nullptr;
        return why;
    };
    // A new file is the player's alone whatever the umask; its log files take its mode.
    if (int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600); fd >= 0) ::close(fd);
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        return fail(Opening::NotNow);
    sqlite3_busy_timeout(db, kBusyMs);
    auto badOr = [&](int rc) { return fail(transient(rc) ? Opening::NotNow : Opening::Bad); };
    Statement v(db, "PRAGMA user_version");
    if (!v.step()) return badOr(v.rc());
    const long long version = v.integer(0);
    v.reset();
    if (version > History::kSchemaVersion) return fail(Opening::Newer);
    if (version < 0) return fail(Opening::Bad);
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

}  // namespace ozn::schema
