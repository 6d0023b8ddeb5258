#include "history/history.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

#include "betting/store.h"
#include "core/text.h"

namespace ozn {
namespace {

namespace fs = std::filesystem;

// Each step takes the schema from version i to i + 1. A later version adds
// its step here; an older file is brought up to date when it is opened.
const char* const kMigrations[] = {
    R"sql(
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
};
static_assert(std::size(kMigrations) == History::kSchemaVersion);

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement& bind(int i, long long v) {
        sqlite3_bind_int64(s_, i, v);
        return *this;
    }
    Statement& bind(int i, const std::string& v) {
        sqlite3_bind_text(s_, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    bool step() { return s_ && sqlite3_step(s_) == SQLITE_ROW; }
    bool run() { return s_ && sqlite3_step(s_) == SQLITE_DONE; }
    long long integer(int col) const { return sqlite3_column_int64(s_, col); }
    std::string text(int col) const {
        auto p = sqlite3_column_text(s_, col);
        return p ? reinterpret_cast<const char*>(p) : "";
    }

private:
    sqlite3_stmt* s_ = nullptr;
};

bool exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

int schemaVersion(sqlite3* db) {
    Statement s(db, "PRAGMA user_version");
    return s.step() ? static_cast<int>(s.integer(0)) : -1;
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

enum class Opening { Ready, Bad, Failed };

// Opens the file and brings its schema up to date. Bad: not ours to use.
Opening openDatabase(const std::string& path, sqlite3*& db) {
    db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        db = nullptr;
        return fs::exists(path) ? Opening::Bad : Opening::Failed;
    }
    sqlite3_busy_timeout(db, 2000);
    auto fail = [&](Opening why) {
        sqlite3_close(db);
        db = nullptr;
        return why;
    };
    int version = schemaVersion(db);
    if (version < 0) return fail(Opening::Bad);  // not a database at all
    {
        Statement check(db, "PRAGMA quick_check");
        if (!check.step() || check.text(0) != "ok") return fail(Opening::Bad);
    }
    if (version > History::kSchemaVersion) return fail(Opening::Bad);  // a newer game's
    // Write-ahead log: a race is on disk once committed, and a kill never
    // leaves half of one.
    if (!exec(db, "PRAGMA journal_mode=WAL") || !exec(db, "PRAGMA synchronous=FULL") ||
        !exec(db, "PRAGMA foreign_keys=ON"))
        return fail(Opening::Failed);
    for (int v = version; v < History::kSchemaVersion; ++v) {
        std::string step = std::string("BEGIN IMMEDIATE;") + kMigrations[v] +
                           "PRAGMA user_version=" + std::to_string(v + 1) + ";COMMIT;";
        if (!exec(db, step.c_str())) {
            exec(db, "ROLLBACK");
            return fail(Opening::Bad);  // tables of some other kind in the way
        }
    }
    return Opening::Ready;
}

}  // namespace

std::string courseName(int raceLine) {
    static const char* const kCourses[] = {"ダート",  "芝1200m", "芝1200m", "芝1600m", "芝1600m", "芝1600m",
                                           "芝1600m", "芝2000m", "芝2000m", "芝2000m", "芝2200m", "芝2200m",
                                           "芝2400m", "芝2400m", "芝2400m", "芝2500m", "芝3000m", "芝3200m"};
    return raceLine >= 1 && raceLine <= 18 ? kCourses[raceLine - 1] : "";
}

std::string horsesText(int kind, const Horses& h) {
    std::string out;
    for (int k = 0; k < horsesPerTicket(kind); ++k) out += (k ? "-" : "") + std::to_string(h[k]);
    return out;
}

RaceRow raceRow(const GameRecord& rec, const RaceOutcome& out, const Settlement& s, int meeting,
                std::string playedAt) {
    RaceRow r;
    r.playedAt = std::move(playedAt);
    r.meeting = meeting;
    r.raceNo = rec.raceno;
    r.raceName = rec.racename;
    if (rec.raceno >= 1 && rec.raceno <= kRacesPerMeeting) r.course = courseName(rec.racehist[rec.raceno - 1]);
    r.scratched = out.scratched;
    r.fallen = out.fallen;
    for (int k = 1; k <= out.finishers; ++k) r.finish.push_back(out.order[k]);
    std::string line;
    for (const PrintPiece& piece : s.prints) {
        line += piece.text;
        if (piece.newline) r.lines.push_back(line), line.clear();
    }
    for (int kind = 1; kind <= kKinds; ++kind)
        for (int i = 0; i < ticketCount(rec, kind); ++i)
            r.tickets.push_back({kind, horsesText(kind, ticketHorses(rec, kind, i)), ticketStake(rec, kind, i)});
    for (const PaidTicket& p : s.paid)
        r.payouts.push_back({p.kind, horsesText(p.kind, p.horses), p.multiplier, p.amount, p.refund});
    r.before = rec.mochikinmae;
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
    const std::string path = folder + "/history.sqlite";
    sqlite3* db = nullptr;
    Opening how = openDatabase(path, db);
    if (how == Opening::Bad) {
        // Kept for whoever wants to look, never overwritten, never used again.
        std::string aside = path + ".bad-" + stamp;
        for (const char* side : {"", "-wal", "-shm"})
            if (fs::exists(path + side)) fs::rename(path + side, aside + side, ec);
        result.notice = "成績の記録ファイルが読めないので、" + aside + " に移して新しく始めます";
        how = openDatabase(path, db);
    }
    if (how != Opening::Ready) {
        result.notice = "成績の記録ファイルを " + folder + " に作れないので、今回は成績を記録しません";
        return result;
    }
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
        Statement s(db_, "INSERT INTO tickets (race_id, kind, horses, stake) VALUES (?,?,?,?)");
        if (!s.bind(1, id).bind(2, t.kind).bind(3, t.horses).bind(4, t.stake).run()) return rollback();
    }
    for (const PayoutRow& p : r.payouts) {
        Statement s(db_, "INSERT INTO payouts (race_id, kind, horses, multiplier, amount, refund) VALUES (?,?,?,?,?,?)");
        s.bind(1, id).bind(2, p.kind).bind(3, p.horses).bind(4, p.multiplier).bind(5, p.amount);
        if (!s.bind(6, p.refund ? 1 : 0).run()) return rollback();
    }
    return exec(db_, "COMMIT") || rollback();
}

int History::lastMeeting() const {
    Statement s(db_, "SELECT COALESCE(MAX(meeting), 0) FROM races");
    return s.step() ? static_cast<int>(s.integer(0)) : 0;
}

std::vector<RaceRow> History::races(std::optional<int> meeting) const {
    std::vector<RaceRow> out;
    std::map<long long, std::size_t> byId;
    // Only the rows of the races asked for are read, however long the history.
    const std::string where = meeting ? " WHERE r.meeting = ?" : "";
    auto query = [&](const std::string& sql) {
        auto s = std::make_unique<Statement>(db_, sql.c_str());
        if (meeting) s->bind(1, *meeting);
        return s;
    };
    auto races = query("SELECT id, played_at, meeting, race_no, race_name, course, scratched, fallen, finish, lines, "
                       "money_before, money_after, command_line FROM races r" + where + " ORDER BY id");
    Statement& s = *races;
    while (s.step()) {
        RaceRow r;
        r.playedAt = s.text(1);
        r.meeting = static_cast<int>(s.integer(2));
        r.raceNo = static_cast<int>(s.integer(3));
        r.raceName = s.text(4);
        r.course = s.text(5);
        r.scratched = static_cast<int>(s.integer(6));
        r.fallen = static_cast<int>(s.integer(7));
        for (const std::string& h : split(s.text(8), ',')) r.finish.push_back(std::stoi(h));
        r.lines = split(s.text(9), '\n');
        r.before = s.integer(10);
        r.after = s.integer(11);
        r.commandLine = s.integer(12) != 0;
        byId[s.integer(0)] = out.size();
        out.push_back(std::move(r));
    }
    auto tickets = query("SELECT t.race_id, t.kind, t.horses, t.stake FROM tickets t JOIN races r ON r.id = t.race_id" +
                         where + " ORDER BY t.rowid");
    for (Statement& t = *tickets; t.step();)
        if (auto it = byId.find(t.integer(0)); it != byId.end())
            out[it->second].tickets.push_back({static_cast<int>(t.integer(1)), t.text(2), t.integer(3)});
    auto payouts = query("SELECT p.race_id, p.kind, p.horses, p.multiplier, p.amount, p.refund FROM payouts p "
                         "JOIN races r ON r.id = p.race_id" + where + " ORDER BY p.rowid");
    for (Statement& p = *payouts; p.step();)
        if (auto it = byId.find(p.integer(0)); it != byId.end())
            out[it->second].payouts.push_back(
                {static_cast<int>(p.integer(1)), p.text(2), p.text(3), p.integer(4), p.integer(5) != 0});
    return out;
}

std::vector<RaceRow> History::meeting(int meeting) const { return races(meeting); }
std::vector<RaceRow> History::allRaces() const { return races(std::nullopt); }

std::array<KindTotals, 6> History::totals(std::optional<int> meeting) const {
    std::array<KindTotals, 6> t{};
    // Every ticket with what came back for it (a ticket is unique per race
    // and kind: equal ones were merged when bought).
    std::string sql =
        "SELECT t.kind, t.stake, "
        "  COALESCE((SELECT SUM(p.amount) FROM payouts p WHERE p.race_id = t.race_id AND p.kind = t.kind "
        "            AND p.horses = t.horses), 0), "
        "  EXISTS(SELECT 1 FROM payouts p WHERE p.race_id = t.race_id AND p.kind = t.kind "
        "         AND p.horses = t.horses AND p.refund = 0) "
        "FROM tickets t JOIN races r ON r.id = t.race_id";
    if (meeting) sql += " WHERE r.meeting = ?";
    Statement s(db_, sql.c_str());
    if (meeting) s.bind(1, *meeting);
    while (s.step()) {
        int kind = static_cast<int>(s.integer(0));
        if (kind < 1 || kind > 6) continue;
        KindTotals& k = t[kind - 1];
        ++k.tickets;
        k.stake += s.integer(1);
        k.returns += s.integer(2);
        k.hits += s.integer(3) != 0;
    }
    return t;
}

std::optional<BestPayout> History::best() const {
    Statement s(db_,
                "SELECT r.played_at, r.meeting, r.race_no, r.race_name, p.kind, p.horses, p.multiplier, p.amount, "
                "r.course "
                "FROM payouts p JOIN races r ON r.id = p.race_id WHERE p.refund = 0 "
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

}  // namespace ozn
