#pragma once
// 実況: the race called while the start music plays, from a race already
// drawn. Its running order comes from a generator of its own, seeded from
// the race, so calling a race changes no draw of the game.
#include <string>
#include <vector>

#include "core/interfaces.h"
#include "core/record.h"
#include "race/race.h"

namespace ozn {

struct CommentaryCall {
    double at = 0;           // seconds into the start music
    std::string text;
    bool essential = false;  // said however late: the start, a fall, the finish
    bool operator==(const CommentaryCall&) const = default;
};

// About six calls (start, first corner, back straight, final corner,
// straight, finish) that lead to the drawn finish and fit the music: none
// starts after it ends, none overlaps the next at the speech speed given
// (percent), and the finish ends with the music. When speech is slow, calls
// are shortened, then merged into the next.
std::vector<CommentaryCall> planCommentary(const GameRecord& rec, const RaceOutcome& out, const std::string& course,
                                           double musicSeconds, int speedPercent);

// How long a text takes to say at the speed given, as the plan reckons it.
double speakingSeconds(const std::string& text, int speedPercent);

// Says the planned calls as the music reaches them, the music lowered while
// a call is heard. A call whose time came while another was still heard
// waits for it; one overtaken by the next is left out, unless essential.
class CommentaryRunner {
public:
    CommentaryRunner(std::vector<CommentaryCall> calls, Speaker& speech, Mp3Player& mp3)
        : calls_(std::move(calls)), speech_(speech), mp3_(mp3) {}
    // With the seconds since the music began, during it and after it: true
    // while a call is still to be said or heard (the finish comes before the
    // result), for a while at most.
    bool tick(double seconds);
    // Skipped music silences the calls; either way the music comes back up.
    void end(bool skipped);

private:
    static constexpr double kBreath = 0.6;       // seconds of quiet before the music comes back up
    static constexpr double kStartGrace = 2;     // for a call handed over to be heard
    static constexpr double kLongestWait = 20;   // past the last call's time
    void duck(bool on);
    std::vector<CommentaryCall> calls_;
    Speaker& speech_;
    Mp3Player& mp3_;
    std::size_t next_ = 0;
    bool ducked_ = false, handed_ = false;
    double quietSince_ = 0, handedAt_ = 0;
};

}  // namespace ozn
