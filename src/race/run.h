#pragma once
// One race from the fanfare to the next card, as a state machine that never
// waits itself: the window (or a headless driver) feeds it the clock's ticks,
// the player's answers and keys, and it says what it waits for next.
#include <memory>
#include <string>

#include "race/commentary.h"
#include "race/race.h"

namespace ozn {

// What the race waits for before it can go on.
struct RaceWait {
    enum class Kind {
        Tick,  // the music, a text being heard or the pause: tick again soon
        Box,   // a box to show; answer it with answered()
        Done,  // the race is over: `result` says how
    } kind = Kind::Tick;
    std::string prompt, title;
    int style = 0;
    HassoResult result = HassoResult::NextRace;
};

class RaceRun {
public:
    RaceRun(GameRecord& rec, Ports& ports, RaceHooks hooks, RaceCall call);
    ~RaceRun();
    RaceRun(const RaceRun&) = delete;
    RaceRun& operator=(const RaceRun&) = delete;

    // Clears the print area and starts the fanfare.
    const RaceWait& start();
    // The clock moved on: the music, the speech and the pause are looked at.
    const RaceWait& tick();
    // The box asked for was answered.
    const RaceWait& answered(Answer a);
    // Escape: the start music and its calls end, now or as they begin.
    void escape();
    const RaceWait& waiting() const { return wait_; }
    // From the start until the money is settled: Escape is the race's.
    bool beforeSettlement() const;

private:
    enum class Stage { Idle, Fanfare, Hear, Pause, Music, Result, Money, GameOver, Meeting, Over };
    const RaceWait& advance();
    void beginMusic();
    void settleRace();
    void nextCard();
    void sayAndWait(const std::string& text, Stage then);
    bool heard();
    const RaceWait& finish(HassoResult r);
    const RaceWait& ask(const std::string& prompt, const std::string& title, int style);

    GameRecord& rec_;
    Ports& p_;
    RaceHooks hooks_;
    RaceCall call_;
    Stage stage_ = Stage::Idle, after_ = Stage::Idle;
    RaceWait wait_;
    RaceOutcome out_;
    std::unique_ptr<CommentaryRunner> caller_;
    bool escaped_ = false, musicOver_ = false;
    double since_ = 0, length_ = 0;  // the pause, or the bound of a text being heard
    bool settled_ = false;
};

// The money written after each race: a failure is told once, the next race
// tries again, and the quit has its own retry.
struct SaveWatch {
    bool told = false;
    void saved(Ui& ui, bool ok) {
        if (!ok && !told) ui.msgBox("持ち金を保存できませんでした。次のレースのあとでもう一度保存します", "", kStyleOk);
        told = !ok;
    }
};

// hasso: one race run to its end without a window: the music and the texts
// are waited for on the clock given (a test's or a headless game's).
HassoResult hasso(GameRecord& rec, Ports& ports, const RaceHooks& hooks, const RaceCall& call = {});

}  // namespace ozn
