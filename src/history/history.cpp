#include "history/history.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "betting/store.h"
#include "history/schema.h"
#include "history/sql.h"

namespace ozn {
namespace {

namespace fs = std::filesystem;
using sql::Statement;
using sql::exec;
using schema::Opening;
using schema::openDatabase;
using schema::parseNumbers;
using schema::kCheckedViews;

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
    if (kind < 1 || kind > kAllKinds) return std::nullopt;
    if (text.find(',') != std::string::npos) return std::nullopt;
    std::string commas = text;
    std::replace(commas.begin(), commas.end(), '-', ',');
    std::vector<int> numbers;
    if (!parseNumbers(commas, numbers) || static_cast<int>(numbers.size()) != horsesPerTicket(kind))
        return std::nullopt;
    Horses h{};
    if (kind == kBracketQuinella) {  // brackets, smaller first, the same one twice allowed
        if (numbers[0] < 1 || numbers[1] > kBrackets || numbers[0] > numbers[1]) return std::nullopt;
        return Horses{numbers[0], numbers[1], 0};
    }
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        if (numbers[k] < 1 || numbers[k] > kHorses || std::count(numbers.begin(), numbers.end(), numbers[k]) > 1)
            return std::nullopt;
        h[k] = numbers[k];
    }
    return h;
}

std::string horsesSpoken(const std::string& stored, int kind) {
    std::string out;
    for (const std::string& h : split(stored, '-')) out += h + (kind == kBracketQuinella ? "枠" : "番");
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
    for (int kind = 1; kind <= kAllKinds; ++kind)
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
    r.savePath = rec.bakenpath;
    r.honkaku = rec.honkaku;
    return r;
}

History::Opened History::open(const std::string& folder, const std::string& stamp, const std::string& file) {
    Opened result;
    if (folder.empty()) {  // no data folder known: never fall back to the root
        result.notice = "成績を記録する場所がないので、今回は成績を記録しません";
        return result;
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    const std::string path = folder + "/" + file, today = stamp.substr(0, 8);
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
    if (how == Opening::Newer)  // left as it is, for the game that wrote it
        result.notice = "成績ファイルは新しい版のものです。そのまま残して、今回は成績を記録しません";
    else if (how == Opening::ReadOnly)
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
    if (r.honkaku && !Statement(db_, "INSERT INTO race_rules (race_id, rules) VALUES (?, 1)").bind(1, id).run())
        return rollback();
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
    const int kind = r.commandLine ? 1 : 0;
    if (!Statement(db_, "INSERT INTO events (race_id, kind, amount) SELECT ?, 'tipsheet', amount FROM tipsheets_waiting "
                        "WHERE command_line = ? ORDER BY rowid").bind(1, id).bind(2, kind).run() ||
        !Statement(db_, "DELETE FROM tipsheets_waiting WHERE command_line = ?").bind(1, kind).run() ||
        !keepSavePath(r.savePath))
        return rollback();
    return exec(db_, "COMMIT") || rollback();
}

bool History::keepSavePath(const std::string& savePath) {
    return savePath.empty() ||
           Statement(db_, "INSERT OR REPLACE INTO meta (key, value) VALUES ('save', ?)").bind(1, savePath).run();
}

bool History::recordTipSheet(const std::string& boughtAt, Money fee, bool commandLine, const std::string& savePath) {
    if (!exec(db_, "BEGIN IMMEDIATE")) return false;
    if (Statement(db_, "INSERT INTO tipsheets_waiting (bought_at, amount, command_line) VALUES (?,?,?)")
            .bind(1, boughtAt).bind(2, fee).bind(3, commandLine ? 1 : 0).run() &&
        keepSavePath(savePath) && exec(db_, "COMMIT"))
        return true;
    exec(db_, "ROLLBACK");
    return false;
}

History::LeftOff History::leftOff(bool commandLine) const {
    LeftOff l;
    const int kind = commandLine ? 1 : 0;
    Statement race(checked(), "SELECT played_at, money_after FROM ok_races WHERE command_line = ? ORDER BY id DESC LIMIT 1");
    if (race.bind(1, kind).step()) l.at = race.text(0), l.after = race.integer(1), l.any = true;
    Statement tips(db_, "SELECT COALESCE(SUM(amount), 0), COALESCE(MAX(bought_at), '') FROM tipsheets_waiting "
                        "WHERE command_line = ? AND typeof(amount) = 'integer' AND amount BETWEEN 0 AND 1000000");
    if (tips.bind(1, kind).step()) l.waitingFees = tips.integer(0), l.at = std::max(l.at, tips.text(1));
    Statement save(db_, "SELECT value FROM meta WHERE key = 'save'");
    if (save.step()) l.savePath = save.text(0);
    return l;
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
                       "money_before, money_after, command_line, "
                       "EXISTS (SELECT 1 FROM race_rules x WHERE x.race_id = r.id AND x.rules = 1) FROM ok_races r" +
                       where + " ORDER BY id");
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
        r.honkaku = s.integer(13) != 0;
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
