#include "core/datafiles.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "core/savefile.h"
#include "core/text.h"

namespace ozn {
namespace {

std::optional<std::string> fromShiftJis(const std::string& bytes) {
    for (const char* code : {"CP932", "SHIFT_JIS"}) {
        iconv_t cd = iconv_open("UTF-8", code);
        if (cd == reinterpret_cast<iconv_t>(-1)) continue;
        std::string out(bytes.size() * 3 + 4, '\0');
        char* in = const_cast<char*>(bytes.data());
        std::size_t inLeft = bytes.size();
        char* o = out.data();
        std::size_t outLeft = out.size();
        std::size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
        iconv_close(cd);
        if (r == static_cast<std::size_t>(-1)) continue;
        out.resize(out.size() - outLeft);
        return out;
    }
    return std::nullopt;
}

std::vector<std::string> splitLines(const std::string& s) {
    std::vector<std::string> lines;
    std::string cur;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

std::optional<std::vector<std::string>> readDataFile(const std::string& path) {
    auto lines = readTextLines(path);
    if (!lines || lines->size() > static_cast<std::size_t>(kMaxDataLines)) return std::nullopt;
    return lines;
}

}  // namespace

std::optional<std::vector<std::string>> readTextLines(const std::string& path) {
    // No file of the game is anywhere near this; a larger one is not ours.
    constexpr std::uintmax_t kMaxBytes = 1 << 20;
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxBytes) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
    if (!text::isValidUtf8(bytes)) {
        auto decoded = fromShiftJis(bytes);
        if (!decoded) return std::nullopt;
        bytes = std::move(*decoded);
    }
    return splitLines(bytes);
}

bool loadRaceNames(GameRecord& rec, const std::string& path) {
    auto lines = readDataFile(path);
    if (!lines) return false;
    for (std::size_t k = 0; k < lines->size(); ++k) rec.racelist[k] = (*lines)[k];
    return true;
}

int aptitudeCode(const std::string& text) {
    static const char* const kCodes[] = {"dirt", "1200", "1600", "2000", "2200",
                                         "2400", "2500", "3000", "3200"};
    for (int i = 0; i < 9; ++i)
        if (text == kCodes[i]) return i + 1;
    return 0;
}

void parseHorseLine(const std::string& line, std::string& name, std::uint8_t& code) {
    std::size_t p = text::charFind(line, " ");
    if (p == 0) {
        name = line;
        code = 0;
        return;
    }
    name = text::charLeft(line, p - 1);
    code = static_cast<std::uint8_t>(aptitudeCode(text::charRight(line, 4)));
}

bool loadHorses(GameRecord& rec, const std::string& path) {
    auto lines = readDataFile(path);
    if (!lines) return false;
    for (std::size_t k = 0; k < lines->size(); ++k) parseHorseLine((*lines)[k], rec.horsename[k], rec.tekisei[k]);
    return true;
}

bool parseOddsLine(GameRecord& rec, int k, const std::string& line) {
    std::size_t b1 = text::charFind(line, " ");
    std::size_t b2 = text::charFind(line, " ", b1 + 1);
    if (b1 > 0 && b2 == 0) return false;  // a win field that never ends
    rec.tanoddsstr[k] = b1 == 0 ? std::string() : text::charMid(line, b1 + 1, b2 - b1);
    rec.tanodds[k] = text::leadingNumber(rec.tanoddsstr[k]);
    rec.fukuoddsstr[k] = text::charMid(line, b2 + 1);
    rec.fukuodds[k] = text::leadingNumber(rec.fukuoddsstr[k]);
    // Beyond these the combination odds no longer fit their texts, and a
    // negative multiplier would take money for a win.
    auto sane = [](double v) { return std::isfinite(v) && v >= 0 && v <= kMaxOdds; };
    if (!sane(rec.tanodds[k]) || !sane(rec.fukuodds[k])) return false;
    rec.fukuodds1str[k] = text::oneDecimal(text::formatOdds(rec.fukuodds[k] * 1.25, 1));
    rec.fukuodds1[k] = text::leadingNumber(rec.fukuodds1str[k]);
    rec.fukuodds2str[k] = text::oneDecimal(text::formatOdds(rec.fukuodds1[k] * 0.9, 1));
    rec.fukuodds2[k] = text::leadingNumber(rec.fukuodds2str[k]);
    return true;
}

bool loadOdds(GameRecord& rec, const std::string& path) {
    auto lines = readDataFile(path);
    if (!lines) return false;
    for (std::size_t k = 0; k < lines->size(); ++k)
        if (!parseOddsLine(rec, static_cast<int>(k), (*lines)[k])) return false;
    return true;
}

bool fileExists(const std::string& path) {
    struct stat st{};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void deleteFile(const std::string& path) {
    if (fileExists(path)) ::unlink(path.c_str());
}

std::uint8_t readSettings(const std::string& path) {
    constexpr std::uint8_t kDefault = 4;
    if (!fileExists(path)) return kDefault;
    auto lines = readTextLines(path);
    if (!lines || lines->empty()) return kDefault;
    auto value = text::strictNumber(lines->front());
    if (!value) return kDefault;
    double whole = std::floor(*value);
    if (whole < 0 || whole > 255) return kDefault;
    return static_cast<std::uint8_t>(whole);
}

bool writeSettings(const std::string& path, std::uint8_t voicemode, bool* link) {
    return replaceFile(path, text::plainNumber(voicemode) + "\r\n", false, link);
}

std::string loadDataFiles(GameRecord& rec, const std::string& folder) {
    const std::string dir = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    for (auto [load, file] : {std::pair{&loadRaceNames, "race.txt"}, {&loadHorses, "horsename.txt"}, {&loadOdds, "odds.txt"}})
        if (!load(rec, dir + file)) return file;
    return "";
}

}  // namespace ozn
