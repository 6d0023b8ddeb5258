// A history database that is readable but holds any values: each input
// changes values in any table, column and row of a valid file, then the
// results window and the CSV are made from it. Nothing may crash, and the
// rows that make no sense are only left out.
#include <sqlite3.h>

#include <cstring>
#include <filesystem>

#include "fuzz_common.h"
#include "history/history.h"

using namespace ozn;

namespace {

const char* const kTables[] = {"races", "tickets", "payouts", "events", "meta"};

// In memory where the system offers it: every run writes and syncs a database.
const std::string& folder() {
    static const std::string dir = std::filesystem::is_directory("/dev/shm")
                                       ? "/dev/shm/ozn-fuzz-history-" + std::to_string(::getpid())
                                       : fuzz::scratch();
    return dir;
}
const std::string kStamp = "20261207-100000";

// A file of the first version with a meeting and a game with an amount,
// brought up to date, with a tip sheet added.
const std::string& validFile() {
    static const std::string path = [] {
        const std::string dir = folder() + "/base";
        std::filesystem::create_directories(dir);
        std::filesystem::copy_file(std::string(OZN_TEST_DATA) + "/history-v1.sqlite", dir + "/history.sqlite",
                                   std::filesystem::copy_options::overwrite_existing);
        auto h = History::open(dir, kStamp).history;
        RaceRow r = h->meeting(1).back();
        r.tipSheets = {300, 300};
        h->record(r);
        return dir + "/history.sqlite";
    }();
    return path;
}

void bindValue(sqlite3_stmt* s, const std::uint8_t*& p, const std::uint8_t* end) {
    const int type = p < end ? *p++ % 5 : 0;
    const std::size_t len = p < end ? *p++ % 24 : 0;
    const std::size_t n = std::min<std::size_t>(len, static_cast<std::size_t>(end - p));
    long long i = 0;
    std::memcpy(&i, p, std::min(n, sizeof i));
    switch (type) {
        case 0: sqlite3_bind_int64(s, 1, i); break;
        case 1: sqlite3_bind_int64(s, 1, i % 40 - 5); break;  // near the values that mean something
        case 2: sqlite3_bind_text(s, 1, reinterpret_cast<const char*>(p), static_cast<int>(n), SQLITE_TRANSIENT); break;
        case 3: sqlite3_bind_double(s, 1, static_cast<double>(i) / 7.0); break;
        default: sqlite3_bind_null(s, 1); break;
    }
    p += n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string dir = folder() + "/run";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(validFile(), dir + "/history.sqlite");
    sqlite3* db = nullptr;
    sqlite3_open((dir + "/history.sqlite").c_str(), &db);
    sqlite3_exec(db, "PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr);  // speed, not safety, here
    for (const std::uint8_t *p = data, *end = data + size; end - p >= 3;) {
        const char* table = kTables[*p++ % 5];
        const int column = *p++, row = *p++;
        std::vector<std::string> columns;
        sqlite3_stmt* info = nullptr;
        sqlite3_prepare_v2(db, (std::string("SELECT name FROM pragma_table_info('") + table + "')").c_str(), -1, &info, nullptr);
        while (sqlite3_step(info) == SQLITE_ROW) columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(info, 0)));
        sqlite3_finalize(info);
        const std::string sql = std::string("UPDATE ") + table + " SET " + columns[column % columns.size()] +
                                " = ?1 WHERE rowid = (SELECT rowid FROM " + table + " LIMIT 1 OFFSET " +
                                std::to_string(row) + " % (SELECT max(count(*), 1) FROM " + table + "))";
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
        bindValue(s, p, end);
        sqlite3_step(s);  // a value a constraint refuses is simply not written
        sqlite3_finalize(s);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);

    History::Opened opened = History::open(dir, kStamp);
    OZN_CHECK(opened.history);
    const History& h = *opened.history;
    OZN_CHECK(h.skippedRows() >= 0);
    const int last = h.lastMeeting();
    OZN_CHECK(last >= 0 && last < 1000000000);
    for (int meeting : {1, 2, last}) OZN_CHECK(!reportLines(h, {Period::Meeting, meeting, ""}).empty());
    OZN_CHECK(!reportLines(h, {Period::Month, 0, "2026-12-07"}).empty());
    for (Breakdown by : kBreakdowns)
        for (const StatsRow& r : h.breakdown(by, {Period::Week, last, "2026-12-07"}))
            OZN_CHECK(r.tickets >= r.hits && r.stake >= 0 && r.payouts >= 0 && r.best <= r.payouts);
    (void)trendSentence(h.moneyByRace({}), Period::All);
    OZN_CHECK(writeCsv(h, dir + "/out.csv"));
    OZN_CHECK(writeRacesCsv(h, {Period::All, last, "2026-12-07"}, dir + "/races.csv"));
    return 0;
}
