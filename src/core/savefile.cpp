#include "core/savefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>

#include "core/text.h"

namespace ozn {
namespace {

constexpr const char* kTempSuffix = ".tmp-XXXXXX";

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

std::string folderOf(const std::string& path) {
    std::string dir = std::filesystem::path(path).parent_path().string();
    return dir.empty() ? "." : dir;
}

bool blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool isLink(const std::string& path) {
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) return false;
    return S_ISLNK(st.st_mode) || (S_ISREG(st.st_mode) && st.st_nlink > 1);
}

bool replaceFile(const std::string& path, const std::string& content, bool sync, bool* link) {
    if (link) *link = false;
    if (path.empty()) return false;
    // mkostemp creates with O_CREAT|O_EXCL and mode 0600: a name that exists,
    // link or not, is never opened, only passed over for another.
    std::string tmp = path + kTempSuffix;
    int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    if (!writeAll(fd, content, sync)) {
        ::unlink(tmp.c_str());
        return false;
    }
    const bool wasLink = isLink(path);
    // rename replaces the name itself: whatever a link pointed at is left alone.
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    if (link) *link = wasLink;
    if (sync) {  // the rename itself must reach the disk, or a crash could bring back the old file
        int dirFd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) ::fsync(dirFd), ::close(dirFd);
    }
    return true;
}

std::string privateFolderIn(const std::string& shared, bool make) {
    if (shared.empty() || shared.front() != '/') return "";
    std::string dir = shared + (shared.back() == '/' ? "" : "/") + "ozn-" + std::to_string(::geteuid());
    if (make && ::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return "";
    // Someone else's folder, or a link to one, under our name is never used.
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return "";
    struct stat st{};
    bool ours = ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && ((st.st_mode & 077) == 0 || ::fchmod(fd, 0700) == 0);
    ::close(fd);
    return ours ? dir + "/" : "";
}

SaveRead readSave(const std::string& path) {
    SaveRead r;
    int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return r;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {  // a folder in the way holds no money
        ::close(fd);
        return r;
    }
    // Far more than a save ever holds: anything longer is not one.
    char buf[256];
    std::string bytes;
    for (ssize_t n; bytes.size() < sizeof buf && (n = ::read(fd, buf, sizeof buf)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        bytes.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    r.state = SaveRead::State::Damaged;
    if (bytes.size() >= sizeof buf) return r;
    std::size_t i = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    while (i < bytes.size() && blank(bytes[i])) ++i;
    const std::size_t digits = i;
    while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9') ++i;
    if (i == digits) return r;
    const std::string amount = bytes.substr(digits, i - digits);
    // Only blanks and line ends may follow: " 12,000 " is not twelve yen.
    for (; i < bytes.size(); ++i)
        if (!blank(bytes[i]) && bytes[i] != '\r' && bytes[i] != '\n') return r;
    Money money = 0;
    if (std::from_chars(amount.data(), amount.data() + amount.size(), money).ec != std::errc() || money > kMoneyLimit)
        return r.state = SaveRead::State::TooLarge, r;
    r.state = SaveRead::State::Whole;
    r.money = money;
    return r;
}

bool writeSaveFile(const std::string& path, Money money, bool* link) {
    return replaceFile(path, text::signedNumber(money) + " \r\n", true, link);
}

std::string keepAside(const std::string& path, const std::string& stamp) {
    std::string aside = path + ".bad-" + stamp;
    struct stat st{};
    for (int n = 2; ::lstat(aside.c_str(), &st) == 0 && n < 100; ++n) aside = path + ".bad-" + stamp + "-" + std::to_string(n);
    return ::rename(path.c_str(), aside.c_str()) == 0 ? aside : "";
}

void removeStaleTemps(const std::string& path) {
    if (path.empty()) return;
    const std::filesystem::path file(path);
    const std::string prefix = file.filename().string() + ".tmp";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path(), ec)) {
        const std::string name = entry.path().filename().string();
        // Ours: the old fixed name and the names made from kTempSuffix.
        bool temp = name == prefix || (name.size() == prefix.size() + 7 && name.rfind(prefix + "-", 0) == 0);
        if (temp && !entry.is_directory(ec)) ::unlink(entry.path().c_str());
    }
}

}  // namespace ozn
