#include "history/keeper.h"

#include <algorithm>
#include <ctime>

namespace ozn {
namespace {
constexpr int kLastMeeting = 999999999;  // as far as the history counts
constexpr std::size_t kMostWaiting = 1000;

std::string localNow(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, format, &local));
}
}  // namespace

std::string RaceKeeper::open(const std::string& folder, std::string stamp) {
    History::Opened opened = History::open(folder, stamp.empty() ? localNow("%Y%m%d-%H%M%S") : stamp);
    history_ = std::move(opened.history);
    meeting_ = history_ ? std::min(history_->lastMeeting(), kLastMeeting - 1) + 1 : 1;
    return opened.notice;
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
    if (waiting_.size() < kMostWaiting) waiting_.push_back(std::move(row));
    if (flush() || waitTold_) return "";
    waitTold_ = true;
    return "成績の記録ファイルが今は使えないので、このレースは使えるようになってから記録します";
}

bool RaceKeeper::flush() {
    while (history_ && !waiting_.empty() && history_->record(waiting_.front())) waiting_.pop_front();
    return waiting_.empty();
}

}  // namespace ozn
