#include "core/lifecycle.h"

#include <fcntl.h>
#include <unistd.h>

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

std::string dataHomeFolder(const StartupEnv& env) {
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
    removeStaleSaveTemp(rec.bakenpath);
    rec.mochikin = readSaveFile(rec.bakenpath).value_or(kStartingMoney);
    return true;
}

}  // namespace

std::string settingsPath(const GameRecord& rec) { return rec.cfgpath.empty() ? rec.apppath + "ozn.cfg" : rec.cfgpath; }

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
    if (!writeSaveFile(rec.bakenpath, rec.mochikin)) {
        ui.msgBox("ファイル書きこみエラーです", "エラー", kStyleNotice);
        return EndResult::WriteFailed;
    }
    return EndResult::Close;
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
