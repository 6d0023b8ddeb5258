#pragma once
// A thin wrapper of SQLite's statements for the history.
#include <sqlite3.h>

#include <string>
#include <type_traits>

#include "history/history.h"

namespace ozn::sql {

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) { rc_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &s_, nullptr); }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    template <class T>
        requires std::is_integral_v<T>
    Statement& bind(int i, T v) {
        sqlite3_bind_int64(s_, i, static_cast<sqlite3_int64>(v));
        return *this;
    }
    Statement& bind(int i, double v) {
        sqlite3_bind_double(s_, i, v);
        return *this;
    }
    Statement& bind(int i, const std::string& v) {
        sqlite3_bind_text(s_, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    bool step() {
        if (!s_) return false;
        rc_ = sqlite3_step(s_);
        return rc_ == SQLITE_ROW;
    }
    bool run() { return !step() && done(); }
    // The last step ran out of rows (rather than failing).
    bool done() const { return s_ && rc_ == SQLITE_DONE; }
    int rc() const { return rc_; }
    // Ends the statement's read, so that it holds no transaction open.
    void reset() { sqlite3_reset(s_); }
    long long integer(int col) const { return sqlite3_column_int64(s_, col); }
    double real(int col) const { return sqlite3_column_double(s_, col); }
    std::string text(int col) const {
        auto p = sqlite3_column_text(s_, col);
        return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(s_, col)))
                 : std::string();
    }

private:
    sqlite3_stmt* s_ = nullptr;
    int rc_ = SQLITE_OK;
};

// The ticket's odds, upper odds and popularity when they make sense, else
// NULL (not known): a damaged value never drops the ticket itself.
inline constexpr const char* kShownOdds =
    "CASE WHEN typeof(x.odds) IN ('real', 'integer') AND x.odds > 0 AND x.odds <= 1e9 THEN x.odds END AS odds, "
    "CASE WHEN typeof(x.odds_high) IN ('real', 'integer') AND x.odds_high > 0 AND x.odds_high <= 1e9 "
    "THEN x.odds_high END AS odds_high, "
    "CASE WHEN typeof(x.popularity) = 'integer' AND x.popularity BETWEEN 1 AND 4896 THEN x.popularity END AS popularity";

// The races of a period, as a condition on `r`. ?1 is the meeting, ?2
// today's date; the last 7 and 30 days end today and count it in.
inline std::string periodClause(Period p) {
    auto since = [](const char* days) {
        return std::string("r.played_at >= date(?2, '") + days + "') AND r.played_at < date(?2, '+1 day')";
    };
    switch (p) {
        case Period::Meeting: return "r.meeting = ?1";
        case Period::Today: return since("+0 days");
        case Period::Week: return since("-6 days");
        case Period::Month: return since("-29 days");
        case Period::All: break;
    }
    return "1";
}

inline void bindPeriod(Statement& s, const PeriodFilter& f) { s.bind(1, f.meeting).bind(2, f.today); }

inline bool exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

}  // namespace ozn::sql
