#include "core/lifecycle.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "core/datafiles.h"
#include "core/text.h"

namespace ozn {
namespace {

std::string withSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

bool folderWritable(const std::string& apppath) {
    std::string probe = apppath + "test.txt";
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

std::string temporaryFolder() {
    std::error_code ec;
    auto temp = std::filesystem::temp_directory_path(ec);
    return ec ? std::string("/tmp/") : withSlash(temp.string());
}

std::string dataHomeFolder(const StartupEnv& env) {
    if (env.dataHome.empty()) return temporaryFolder();
    std::error_code ec;
    std::filesystem::create_directories(env.dataHome, ec);
    return withSlash(env.dataHome);
}

// The folder of the save and settings when the program folder cannot be
// written. $TEMP as the game always did; without it a temporary folder would
// lose the money on restart, so the user's data folder is used.
std::string fallbackFolder(const StartupEnv& env) {
    if (env.installed) return dataHomeFolder(env);
    if (!env.temp.empty()) return withSlash(env.temp);
    return dataHomeFolder(env);
}

bool decideMoney(GameRecord& rec, Ui& ui, const StartupEnv& env, bool writable) {
    constexpr Money kStartingMoney = 15000;
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
    removeStaleSaveTemp(rec.bakenpath);
    rec.mochikin = readSaveFile(rec.bakenpath).value_or(kStartingMoney);
    return true;
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
    fd_ = ::open((folder + "/ozn.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return;
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) state_ = State::Held;
    else if (errno == EWOULDBLOCK) state_ = State::Busy;
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
}

bool startUp(GameRecord& rec, Ui& ui, const StartupEnv& env, const StartupHooks& hooks) {
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
    rec.voicemode = readSettings(settingsPath(rec));
    return true;
}

EndResult endshori(GameRecord& rec, Ui& ui, Mp3Player& mp3) {
    mp3.free();
    if (rec.mochikin < 100) {
        deleteFile(rec.bakenpath);
        return EndResult::GameOver;
    }
    // Money from the command line has no save file; never write one elsewhere.
    if (rec.bakenpath.empty()) return EndResult::Close;
    for (;;) {
        if (writeSaveFile(rec.bakenpath, rec.mochikin)) return EndResult::Close;
        if (ui.msgBox("ファイル書きこみエラーです", "エラー", kStyleNotice) != Answer::Retry) break;
    }
    // The session's money is not lost with its folder: it goes where it can.
    for (const std::string& folder : {rec.savefallback, temporaryFolder()}) {
        const std::string path = folder + "baken.txt";
        if (folder.empty() || path == rec.bakenpath) continue;
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (writeSaveFile(path, rec.mochikin)) {
            ui.msgBox("持ち金を " + path + " に保存しました", "", kStyleOk);
            return EndResult::Close;
        }
    }
    return EndResult::WriteFailed;
}

CloseResult closeRequest(GameRecord& rec, Ui& ui, Mp3Player& mp3) {
    writeSettings(settingsPath(rec), rec.voicemode);
    if (ui.msgBox("終了しますか?", "", kStyleYesNoQuestion) != Answer::Yes) return CloseResult::Stay;
    rec.pctkvoice.reset();
    switch (endshori(rec, ui, mp3)) {
        case EndResult::Close: return CloseResult::Close;
        case EndResult::GameOver: return CloseResult::GameOver;
        case EndResult::WriteFailed: return CloseResult::WriteFailed;
    }
    return CloseResult::Close;
}

}  // namespace ozn
