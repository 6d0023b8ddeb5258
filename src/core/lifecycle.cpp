#include "core/lifecycle.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "core/datafiles.h"
#include "core/savefile.h"
#include "core/text.h"

namespace ozn {
namespace {

std::string withSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

bool folderWritable(const std::string& apppath) {
    std::string probe = apppath + "test.txt";
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST && ::unlink(probe.c_str()) == 0)  // one left by a kill
        fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

// A relative TEMP or TMPDIR would make the save depend on the working folder.
std::string absoluteOrEmpty(const std::string& dir) { return !dir.empty() && dir.front() == '/' ? withSlash(dir) : ""; }

std::string temporaryFolder() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string dir = absoluteOrEmpty(tmpdir ? tmpdir : "");
    return dir.empty() ? std::string("/tmp/") : dir;
}

std::string dataHomeFolder(const StartupEnv& env) {
    if (env.dataHome.empty()) return privateFolderIn(temporaryFolder());
    std::error_code ec;
    std::filesystem::create_directories(env.dataHome, ec);
    return withSlash(env.dataHome);
}

// The folder of the save and settings when the program folder cannot be
// written. $TEMP as the game always did, but in a folder of the player's
// own, since others share it; without one a temporary folder would lose the
// money on restart, so the user's data folder is used.
std::string fallbackFolder(const StartupEnv& env) {
    if (env.installed) return dataHomeFolder(env);
    std::string own = privateFolderIn(absoluteOrEmpty(env.temp));
    return own.empty() ? dataHomeFolder(env) : own;
}

// A save left by an older game straight in a shared folder: read only when
// it is a plain file of the player's own.
bool oldSaveOfOurs(const std::string& path) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_nlink == 1;
}

// Every place a save of this game may have been written but its home.
std::vector<std::string> otherSavePlaces(const GameRecord& rec, const StartupEnv& env) {
    std::vector<std::string> places;
    auto add = [&](const std::string& path) {
        if (path.size() > 9 && path != rec.bakenpath && std::find(places.begin(), places.end(), path) == places.end())
            places.push_back(path);
    };
    if (!rec.savefallback.empty()) add(rec.savefallback + "baken.txt");
    if (std::string own = privateFolderIn(temporaryFolder(), false); !own.empty()) add(own + "baken.txt");
    for (const std::string& shared : {absoluteOrEmpty(env.temp), temporaryFolder()})
        if (!shared.empty() && oldSaveOfOurs(shared + "baken.txt")) add(shared + "baken.txt");
    return places;
}

std::string localStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local));
}

std::int64_t modifiedNs(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// The money of the newest save that holds one; a damaged one is kept aside
// and the player told. false: the game must not start.
bool readNewestSave(GameRecord& rec, Ui& ui) {
    constexpr Money kStartingMoney = 15000;
    std::vector<std::string> places = rec.saveplaces;
    places.insert(places.begin(), rec.bakenpath);
    std::stable_sort(places.begin(), places.end(),
                     [](const std::string& a, const std::string& b) { return modifiedNs(a) > modifiedNs(b); });
    rec.mochikin = kStartingMoney;
    for (const std::string& path : places) {
        removeStaleTemps(path);
        const SaveRead save = readSave(path);
        switch (save.state) {
            case SaveRead::State::Missing: continue;
            case SaveRead::State::Whole:
                rec.mochikin = save.money;
                if (path != rec.bakenpath) saveMoney(rec, ui);  // home at once, where the next crash is looked for
                return true;
            case SaveRead::State::TooLarge:
                // A payout on it could not be worked out; the file stays as it is.
                ui.msgBox("持ち金のファイル " + path + " の金額が、このゲームで払い戻しを正しく計算できる上限の" +
                              text::plainNumber(kMoneyLimit) + "円を超えているので始められません。ファイルはそのままにしてあります",
                          "エラー", kStyleNotice);
                return false;
            case SaveRead::State::Damaged: {
                const std::string aside = keepAside(path, localStamp());
                ui.msgBox("持ち金のファイル " + path + " は金額として読めないので、" +
                              (aside.empty() ? "" : aside + " に移して、") + "15000円から始めます",
                          "エラー", kStyleOk);
                continue;
            }
        }
    }
    // Written at once, so that a later crash before any save is told apart
    // from a save the player removed to start again.
    writeSaveFile(rec.bakenpath, rec.mochikin);
    return true;
}

// false: another game holds the folder, and the player has been told.
bool lockFolder(GameRecord& rec, Ui& ui, const std::string& folder) {
    if (folder.empty()) return true;
    for (const auto& held : rec.locks)
        if (held->covers(folder)) return true;  // a second lock of our own would shut us out
    auto lock = std::make_shared<FolderLock>(folder);
    if (lock->state() == FolderLock::State::Busy) {
        ui.msgBox("ozn はすでに動いています", "", kStyleOk);
        return false;
    }
    rec.locks.push_back(std::move(lock));
    return true;
}

bool decideMoney(GameRecord& rec, Ui& ui, const StartupEnv& env, bool writable) {
    if (text::charCount(env.commandLine) >= 3) {
        double amount = text::leadingNumber(env.commandLine);
        auto money = text::roundHalfEven(amount, 100, 300000);
        if (amount < 100 || amount > 300000 || !money) {
            ui.msgBox("100円以上300000円以下に設定してください", "エラー", kStyleNotice);
            return false;
        }
        rec.mochikin = *money;
        return true;
    }
    rec.bakenpath = (writable ? rec.apppath : fallbackFolder(env)) + "baken.txt";
    rec.savefallback = env.dataHome.empty() ? "" : withSlash(env.dataHome);
    // Two games on one save would overwrite each other's money, whatever
    // their data folders.
    if (!lockFolder(rec, ui, std::filesystem::path(rec.bakenpath).parent_path().string())) return false;
    rec.saveplaces = otherSavePlaces(rec, env);
    return readNewestSave(rec, ui);
}

void tellLink(GameRecord& rec, Ui& ui, const std::string& path) {
    if (rec.linktold) return;
    rec.linktold = true;
    ui.msgBox(path + " はほかのファイルへのリンクだったので、リンク先には書きこまず、新しいファイルに置きかえました", "エラー",
              kStyleNotice);
}

}  // namespace

std::string settingsPath(const GameRecord& rec) { return rec.cfgpath.empty() ? rec.apppath + "ozn.cfg" : rec.cfgpath; }

std::string dataHomeFrom(const char* xdgDataHome, const char* home) {
    if (xdgDataHome && xdgDataHome[0] == '/') return std::string(xdgDataHome) + "/ozn";
    if (home && home[0] == '/') return std::string(home) + "/.local/share/ozn";
    return "";
}

FolderLock::FolderLock(const std::string& folder) {
    if (folder.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    // The folder itself is locked: no file to create, so a read-only folder
    // is locked as well as any.
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st{};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return;
    dev_ = st.st_dev, ino_ = st.st_ino;
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) state_ = State::Held;
    else if (errno == EWOULDBLOCK) state_ = State::Busy;
}

bool FolderLock::covers(const std::string& folder) const {
    struct stat st{};
    return state_ == State::Held && ::stat(folder.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_;
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
}

bool startUp(GameRecord& rec, Ui& ui, const StartupEnv& env, const StartupHooks& hooks) {
    // One game at a time on a data folder, before anything is read or written.
    if (!lockFolder(rec, ui, env.dataHome)) return false;
    rec.apppath = withSlash(env.exeDir);
    if (!loadRaceNames(rec, rec.apppath + "race.txt")) {
        ui.msgBox("レース名ファイル読みこみエラーです", "エラー", kStyleNotice);
        return false;
    }
    if (!loadHorses(rec, rec.apppath + "horsename.txt")) {
        ui.msgBox("馬名ファイル読みこみエラーです", "エラー", kStyleNotice);
        return false;
    }
    if (!loadOdds(rec, rec.apppath + "odds.txt")) {
        ui.msgBox("オッズデータ読みこみエラーです。", "error", kStyleNotice);
        return false;
    }
    // The folder is probed only when the money comes from the save.
    const bool fromSave = text::charCount(env.commandLine) < 3;
    const bool writable = !env.installed && (!fromSave || folderWritable(rec.apppath));
    if (!decideMoney(rec, ui, env, writable)) return false;
    // Settings that cannot be kept beside the program are kept beside the
    // save, or the voice chosen would be forgotten at every start.
    rec.cfgpath = writable ? "" : fallbackFolder(env) + "ozn.cfg";
    if (rec.raceno == 0) rec.raceno = 1;
    if (hooks.readlist) hooks.readlist();
    if (hooks.initOutside) hooks.initOutside();
    removeStaleTemps(settingsPath(rec));
    rec.voicemode = readSettings(settingsPath(rec));
    return true;
}

void ownCopyOfLink(GameRecord& rec, Ui& ui, const std::string& path) {
    if (!isLink(path)) return;
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || bytes.size() > (1 << 20) || !replaceFile(path, bytes, false)) return;
    tellLink(rec, ui, path);
}

bool saveMoney(GameRecord& rec, Ui& ui) {
    bool link = false;
    if (!writeSaveFile(rec.bakenpath, rec.mochikin, &link)) return false;
    if (link) tellLink(rec, ui, rec.bakenpath);
    // Older copies elsewhere would come back once this one is gone.
    for (const std::string& path : rec.saveplaces) deleteFile(path);
    return true;
}

void deleteSaves(const GameRecord& rec) {
    deleteFile(rec.bakenpath);
    for (const std::string& path : rec.saveplaces) deleteFile(path);
}

EndResult endshori(GameRecord& rec, Ui& ui, Mp3Player& mp3) {
    mp3.free();
    if (rec.mochikin < 100) {
        deleteSaves(rec);
        return EndResult::GameOver;
    }
    // Money from the command line has no save file; never write one elsewhere.
    if (rec.bakenpath.empty()) return EndResult::Close;
    for (;;) {
        if (saveMoney(rec, ui)) return EndResult::Close;
        if (ui.msgBox("ファイル書きこみエラーです", "エラー", kStyleNotice) != Answer::Retry) break;
    }
    // The session's money is not lost with its folder: it goes where it can.
    // Each is read back at the next start.
    for (const std::string& folder : {rec.savefallback, privateFolderIn(temporaryFolder())}) {
        const std::string path = folder + "baken.txt";
        if (folder.empty() || path == rec.bakenpath) continue;
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        bool link = false;
        if (writeSaveFile(path, rec.mochikin, &link)) {
            if (link) tellLink(rec, ui, path);
            ui.msgBox("持ち金を " + path + " に保存しました", "", kStyleOk);
            return EndResult::Close;
        }
    }
    return EndResult::WriteFailed;
}

CloseResult closeRequest(GameRecord& rec, Ui& ui, Mp3Player& mp3, Money held) {
    bool link = false;
    writeSettings(settingsPath(rec), rec.voicemode, &link);
    if (link) tellLink(rec, ui, settingsPath(rec));
    const std::string refund = held > 0 ? "\r\nまだ走っていないレースの馬券代 " + text::plainNumber(held) + "円は持ち金に戻します" : "";
    if (ui.msgBox("終了しますか?" + refund, "", kStyleYesNoQuestion) != Answer::Yes) return CloseResult::Stay;
    // The tickets were never raced: their stakes are the player's again.
    if (__builtin_add_overflow(rec.mochikin, held, &rec.mochikin)) rec.mochikin = std::numeric_limits<Money>::max();
    rec.pctkvoice.reset();
    switch (endshori(rec, ui, mp3)) {
        case EndResult::Close: return CloseResult::Close;
        case EndResult::GameOver: return CloseResult::GameOver;
        case EndResult::WriteFailed: return CloseResult::WriteFailed;
    }
    return CloseResult::Close;
}

}  // namespace ozn
