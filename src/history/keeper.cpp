#include "history/keeper.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>

#include "core/savefile.h"
#include "core/text.h"

#include <utility>

namespace ozn {
namespace {
constexpr int kLastMeeting = 999999999;  // as far as the history counts

std::string localNow(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, format, &local));
}
}  // namespace

std::string RaceKeeper::open(const std::string& folder, std::string stamp, const std::string& file) {
    History::Opened opened = History::open(folder, stamp.empty() ? localNow("%Y%m%d-%H%M%S") : stamp, file);
    history_ = std::move(opened.history);
    meeting_ = history_ ? std::min(history_->lastMeeting(), kLastMeeting - 1) + 1 : 1;
    return opened.notice;
}

std::string RaceKeeper::resume(GameRecord& rec) {
    commandLine_ = rec.bakenpath.empty(), savePath_ = rec.bakenpath;
    if (!history_) return "";
    const History::LeftOff left = history_->leftOff(commandLine_);
    before_ += left.waitingFees;  // paid before this run's first card
    struct stat st{};
    if (commandLine_ || !left.any || left.savePath != rec.bakenpath || ::stat(rec.bakenpath.c_str(), &st) != 0) return "";
    std::tm at{};
    at.tm_isdst = -1;
    if (!strptime(left.at.c_str(), "%Y-%m-%d %H:%M:%S", &at) || std::mktime(&at) <= st.st_mtime) return "";
    const Money money = left.after - left.waitingFees;
    if (money == rec.mochikin || money < 100) return "";
    rec.mochikin = rec.mochikinmae = money;
    before_ = money + left.waitingFees;
    writeSaveFile(rec.bakenpath, money);
    return "前回は持ち金を保存する前に終わったので、成績に記録された持ち金 " + text::plainNumber(money) + "円から始めます";
}

void RaceKeeper::tipSheet(Money fee) {
    // Behind races still waiting it would be counted with the wrong one.
    if (history_ && waiting_.empty() &&
        history_->recordTipSheet(localNow("%Y-%m-%d %H:%M:%S"), fee, commandLine_, savePath_))
        return;
    tipSheets_.push_back(fee);
}

void RaceKeeper::cardMade(Money money) {
    before_ = money;
    tipSheets_.clear();
}

std::string RaceKeeper::settled(const GameRecord& rec, const RaceOutcome& out, const Settlement& s,
                                std::string playedAt) {
    // A new meeting of this run begins with its race 1.
    if (rec.raceno == 1 && recordedThisRun_) meeting_ = std::min(meeting_ + 1, kLastMeeting);
    recordedThisRun_ = true;
    if (!history_) return "";
    RaceRow row = raceRow(rec, out, s);
    row.meeting = meeting_;
    row.playedAt = playedAt.empty() ? localNow("%Y-%m-%d %H:%M:%S") : std::move(playedAt);
    row.before = before_;
    row.tipSheets = std::move(tipSheets_);
    tipSheets_.clear();
    // Past what may wait, a race is lost: the player hears so, once.
    if (waiting_.size() >= mostWaiting_ && !flush()) {
        ++lost_;
        if (std::exchange(lostTold_, true)) return "";
        return "成績の記録ファイルが長く使えないので、これからのレースは記録できません";
    }
    waiting_.push_back(std::move(row));
    if (flush() || waitTold_) return "";
    waitTold_ = true;
    return "成績の記録ファイルが今は使えないので、このレースは使えるようになってから記録します";
}

bool RaceKeeper::flush() {
    while (history_ && !waiting_.empty() && history_->record(waiting_.front())) waiting_.pop_front();
    return waiting_.empty();
}

}  // namespace ozn
