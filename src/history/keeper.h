#pragma once
// The history as the game keeps it during a run: which meeting a race
// belongs to, the money before its tickets, what else it cost, and races
// that could not be written yet.
#include <deque>
#include <memory>
#include <string>

#include "history/history.h"

namespace ozn {

class RaceKeeper {
public:
    // At most `mostWaiting` races wait for a busy file.
    explicit RaceKeeper(std::size_t mostWaiting = 1000) : mostWaiting_(mostWaiting) {}
    ~RaceKeeper() { flush(); }
    RaceKeeper(const RaceKeeper&) = delete;
    RaceKeeper& operator=(const RaceKeeper&) = delete;

    // Opens the history (see History::open; the stamp defaults to now); a
    // notice to show once, or "".
    std::string open(const std::string& folder, std::string stamp = "", const std::string& file = "history.sqlite");
    // After open, before the first race: tip sheets of an earlier run that
    // wait for a race count in its money before; and when the history
    // recorded money after the save was last written (a crash between the
    // two), that money is the game's again and the save is written. A notice
    // to show once, or "".
    std::string resume(GameRecord& rec);
    // A new card is up: the money now is the money before its race.
    void cardMade(Money money);
    // Kept at once, so that a quit before the race does not lose it.
    void tipSheet(Money fee);
    // Keeps the settled race, and any that waited for the file. A notice to
    // show once, the first time a race has to wait, or "".
    std::string settled(const GameRecord& rec, const RaceOutcome& out, const Settlement& s,
                        std::string playedAt = "");  // now, unless given
    // Writes the races still waiting; false when some remain.
    bool flush();

    History* history() const { return history_.get(); }
    int meeting() const { return meeting_; }
    std::size_t waiting() const { return waiting_.size(); }
    // Races that could neither be written nor wait any longer.
    std::size_t lost() const { return lost_; }

private:
    std::unique_ptr<History> history_;
    int meeting_ = 1;
    bool recordedThisRun_ = false, waitTold_ = false, lostTold_ = false, commandLine_ = false;
    std::size_t lost_ = 0, mostWaiting_;
    std::string savePath_;
    Money before_ = 0;
    std::vector<Money> tipSheets_;
    std::deque<RaceRow> waiting_;
};

}  // namespace ozn
