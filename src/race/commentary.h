#pragma once
// 実況: the race called while the start music plays, from a race already
// drawn. Its running order comes from a generator of its own, seeded from
// the race, so calling a race changes no draw of the game; the race view
// draws the same order.
#include <array>
#include <string>
#include <vector>

#include "core/interfaces.h"
#include "core/record.h"
#include "race/race.h"

namespace ozn {

// Where the leaders are as a call is made, in the order they are reached.
enum class Stage { Start, FirstCorner, BackStraight, ThirdCorner, FinalCorner, Straight, Finish };
inline constexpr int kStages = 7;
// "スタート", "1コーナー", "向こう正面", "3コーナー", "4コーナー", "直線", "ゴール".
const char* stageName(Stage s);
// Where a stage falls in the start music when it is not called: a share of its length.
double stageShare(Stage s);

// The field at one stage: the runners on the track, leader first, and how
// many lengths each is behind the leader (strictly growing).
struct StageOrder {
    std::vector<int> horses;
    std::vector<double> behind;
};

// The race as it is called and drawn. A scratched horse is in no stage; the
// faller runs until its fall, which is called at fallStage, the first stage
// it is missing from; the finish holds the whole finishing order.
struct RunningOrder {
    int scratched = 0, fallen = 0;
    Stage fallStage = Stage::Finish;
    double fallenBehind = 0;  // where it fell: lengths behind the leader at fallStage
    std::array<StageOrder, kStages> stages;
    const StageOrder& at(Stage s) const { return stages[static_cast<std::size_t>(s)]; }
};

// The same race always runs the same way.
RunningOrder runningOrder(const GameRecord& rec, const RaceOutcome& out);

struct CommentaryCall {
    double at = 0;           // seconds into the start music
    std::string text;
    bool essential = false;  // said however late: the start, a fall, the finish
    Stage stage = Stage::Start;  // whose running order it gives
    bool operator==(const CommentaryCall&) const = default;
};

// About seven calls (start, first corner, back straight, third and final
// corners, straight, finish) from the running order, fitting the music:
// none starts after it ends, none overlaps the next at the speech speed
// given (percent), and the finish ends with the music. When speech is slow,
// calls are shortened, then merged into the next.
std::vector<CommentaryCall> planCommentary(const GameRecord& rec, const RunningOrder& order, const std::string& course,
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
