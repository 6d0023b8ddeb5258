#pragma once
// Inside the history: its file's schema and the checks on what it holds.
#include <sqlite3.h>

#include <string>
#include <vector>

namespace ozn::schema {

// Numbers separated by commas, as a finishing order is kept; false when the
// text is anything else.
bool parseNumbers(const std::string& text, std::vector<int>& out);

enum class Opening { Ready, Bad, NotNow, ReadOnly, Newer };
// Opens the file and brings its schema up to date. Bad: not ours to use.
// Newer: a later game's file, sound but not for this one to write.
// The integrity check, which reads the whole file, runs once a day.
Opening openDatabase(const std::string& path, const std::string& today, sqlite3*& db);

// What a damaged file may hold is left out: its rows are found once, when
// the history is first read, and every query reads the ok_ views made here.
extern const char* const kCheckedViews;

}  // namespace ozn::schema
