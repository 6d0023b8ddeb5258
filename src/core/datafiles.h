#pragma once
// Reading and writing the game's small text files.
#include <optional>
#include <string>
#include <vector>

#include "core/record.h"
#include "core/savefile.h"

namespace ozn {

inline constexpr int kMaxDataLines = 18;
// The largest win or place odds a data file may give.
inline constexpr double kMaxOdds = 99999.9;

// The lines of a text file, decoded from UTF-8 (BOM optional) or, when the
// bytes are not valid UTF-8, from Shift-JIS; CR LF, LF and CR all end a line.
// nullopt when the file cannot be read or is larger than any of ours (1 MiB).
std::optional<std::vector<std::string>> readTextLines(const std::string& path);

// Each returns false on a missing or unreadable file or one of more than 18
// lines (and, for the odds, a line with exactly one blank or an odds value
// that is negative, not finite or above kMaxOdds).
bool loadRaceNames(GameRecord& rec, const std::string& path);
bool loadHorses(GameRecord& rec, const std::string& path);
bool loadOdds(GameRecord& rec, const std::string& path);
// The three files from one folder: the name of the first that cannot be
// read, or an empty string when all were.
std::string loadDataFiles(GameRecord& rec, const std::string& folder);

// Parsing of single lines, shared by the loaders.
int aptitudeCode(const std::string& text);
void parseHorseLine(const std::string& line, std::string& name, std::uint8_t& code);
bool parseOddsLine(GameRecord& rec, int index, const std::string& line);

bool fileExists(const std::string& path);
void deleteFile(const std::string& path);

// The voice setting: 4 when the file is missing or does not hold a byte.
std::uint8_t readSettings(const std::string& path);
// false when it could not be written; `*link`: a link at `path` was replaced.
bool writeSettings(const std::string& path, std::uint8_t voicemode, bool* link = nullptr);

}  // namespace ozn
