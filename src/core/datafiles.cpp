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

// Writes and closes fd.
bool writeAll(int fd, const std::string& content, bool sync) {
    std::size_t done = 0;
    bool ok = true;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (ok && sync && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    return ok;
}

bool writeWhole(const std::string& path, const std::string& content, bool sync) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd >= 0 && writeAll(fd, content, sync);
}

constexpr const char* kUniqueTemp = ".tmp-XXXXXX";

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

std::optional<Money> readSaveFile(const std::string& path) {
    auto lines = readTextLines(path);
    if (!lines || lines->empty()) return std::nullopt;
    // Whole yen are read exactly: money beyond 2^53 yen would come back changed.
    if (auto exact = text::leadingWholeNumber(lines->front())) return *exact;
    auto money = text::roundHalfEven(text::leadingNumber(lines->front()), std::numeric_limits<Money>::min(),
                                     std::numeric_limits<Money>::max());
    if (!money) return std::nullopt;
    return *money;
}

bool writeSaveFile(const std::string& path, Money money) {
    if (path.empty()) return false;
    std::string tmp = path + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {  // a folder in the way, or a file not ours to replace: a name of our own
        tmp = path + kUniqueTemp;
        fd = ::mkostemp(tmp.data(), O_CLOEXEC);
        if (fd < 0) return false;
        ::fchmod(fd, 0644);
    }
    if (!writeAll(fd, text::signedNumber(money) + " \r\n", true)) {
        ::unlink(tmp.c_str());
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    // The rename itself must reach the disk, or a crash could bring back the old save.
    std::string dir = std::filesystem::path(path).parent_path().string();
    int dirFd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

void removeStaleSaveTemp(const std::string& path) {
    if (path.empty()) return;
    deleteFile(path + ".tmp");
    const std::filesystem::path save(path);
    const std::string prefix = save.filename().string() + ".tmp-";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(save.parent_path(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == prefix.size() + 6 && name.rfind(prefix, 0) == 0) deleteFile(entry.path().string());
    }
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

void writeSettings(const std::string& path, std::uint8_t voicemode) {
    writeWhole(path, text::plainNumber(voicemode) + "\r\n", false);
}

}  // namespace ozn
