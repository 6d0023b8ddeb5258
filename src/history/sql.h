#pragma once
// A thin wrapper of SQLite's statements for the history.
#include <sqlite3.h>

#include <string>

namespace ozn::sql {

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) { rc_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &s_, nullptr); }
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

inline bool exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

}  // namespace ozn::sql
