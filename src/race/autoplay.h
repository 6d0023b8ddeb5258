#pragma once
// Races played without a window: a betting strategy stands in for the
// player and the race runs on a clock that nobody waits for.
#include <functional>
#include <optional>
#include <string>

#include "core/interfaces.h"
#include "core/record.h"
#include "race/race.h"

namespace ozn {

enum class Strategy {
    None,
    Favourite,  // 100 yen on the win of popularity 1
    Box,        // a 100-yen quinella box of popularity 1, 2 and 3
};
std::optional<Strategy> strategyNamed(const std::string& name);  // none, favourite, box

// One race as it went, for a line of the report.
struct PlayedRace {
    int meeting = 1, race = 1;
    std::string name, course;
    RaceOutcome out;
    Money before = 0, stakes = 0, back = 0, after = 0;  // back: payouts and refunds
};
// Tab-separated: meeting, race, name, course, first, second, third,
// scratch, fall, money before, stakes, payouts and refunds, money after.
std::string reportLine(const PlayedRace& r);

// Buys what the strategy asks for on the card shown.
void placeBets(GameRecord& rec, Strategy s);

struct AutoplayResult {
    int races = 0;
    HassoResult last = HassoResult::NextRace;  // GameOver when the money ran out
};

// Plays up to `races` races from the card already made, as the game's own
// race run does; `hooks` hear everything the window would (the history).
AutoplayResult autoplay(GameRecord& rec, Ports& ports, int races, Strategy s, const RaceHooks& hooks,
                        const std::function<void(const PlayedRace&)>& each);

// The outside world of a game nobody watches: no box waits, nothing is
// heard, no music plays, and time passes only when it is waited for.
class SilentWorld : public Ui, public Clock, public Speaker, public Mp3Player {
public:
    Answer msgBox(const std::string&, const std::string&, int style) override {
        return style == kStyleYesNo || style == kStyleYesNoQuestion ? Answer::Yes : Answer::Other;
    }
    std::string inputBox(const std::string&, const std::string&, const std::string&) override { return ""; }
    void print(const std::string&) override {}
    void printLine(const std::string&) override {}
    void clearPrint() override {}
    void setClipboard(const std::string&) override {}
    double monotonicSeconds() override { return now_; }
    double secondsOfDay() override { return now_; }
    void sleepMs(int ms) override { now_ += ms / 1000.0; }
    void reading(const std::string&, SpeakMode, Topic) override {}
    void init() override {}
    void free() override {}
    bool start(const std::string&) override { return false; }
    bool playing() override { return false; }
    double position() override { return 0; }

private:
    double now_ = 0.25;
};

}  // namespace ozn
