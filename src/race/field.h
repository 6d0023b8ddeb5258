#pragma once
// The field as the race view draws it: where each runner is at any second
// of the start music. At each stage's time the runners stand in that
// stage's running order, as the commentary calls it; between stages they
// move smoothly. One lap of an oval: out of the gate on the home straight,
// past the stands, round the first and second corners, down the back
// straight, round the third and fourth, and up the straight to the line.
#include <array>
#include <vector>

#include "race/commentary.h"

namespace ozn {

// The oval in its own units: straights of length 1 from x = 0 to x = 1, the
// home straight along y = +kTurnRadius (run towards +x), the back straight
// along y = -kTurnRadius, turns centred on (0, 0) and (1, 0).
inline constexpr double kTurnRadius = 0.35;
inline constexpr double kGateX = 0.3, kLineX = 0.85;

struct CoursePoint {
    double x, y;
    double outX, outY;  // towards the outside rail
};
// A point `along` the race (0 the gate, 1 the line, more past it).
CoursePoint coursePoint(double along);

struct FieldRunner {
    int horse;
    double along;
    double lane;  // 0 on the inside rail, outwards in runners' widths
};

struct FieldFrame {
    std::vector<FieldRunner> runners;  // leader first
    Stage stage = Stage::Start;         // the last stage reached
    double fellAt = -1;                 // along the race where the faller went down, once it has
    bool over = false;                  // past the line and pulled up
    int leader() const { return runners.empty() ? 0 : runners.front().horse; }
};

inline constexpr int kLanes = 6;  // across the track

class RaceField {
public:
    // times: when each stage is reached (seconds into the music, growing);
    // end: when the music ends, the field pulled up past the line.
    RaceField(RunningOrder order, const std::array<double, kStages>& times, double end);
    RaceField() : RaceField({}, {}, 0) {}
    FieldFrame at(double seconds) const;
    const RunningOrder& order() const { return order_; }
    double stageTime(Stage s) const { return times_[static_cast<std::size_t>(s)]; }
    double end() const { return end_; }

private:
    struct Key {
        double t, along, lane, slope = 0;
    };
    RunningOrder order_;
    std::array<double, kStages> times_;
    double end_;
    std::array<std::vector<Key>, kHorses + 1> keys_;  // by horse
    double fellAt_ = -1, fallTime_ = 0;
};

// Each stage at its call where it is called; the others, and every stage
// of a race not called, at the pace of a race that ends with the music.
std::array<double, kStages> stageTimes(const std::vector<CommentaryCall>& calls, double music);

}  // namespace ozn
