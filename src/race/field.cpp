#include "race/field.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace ozn {
namespace {

constexpr double kTurn = std::numbers::pi * kTurnRadius;
constexpr double kLap = 2 + 2 * kTurn;
constexpr double kRace = kLap + kLineX - kGateX;  // from the gate round to the line
constexpr double kLength = 0.04;                  // one length, in course units
constexpr double kPullUp = 0.6;                   // run past the line, so that the last is past it too
constexpr double kPass = 0.9;                     // lengths a runner needs before it can share a lane
constexpr double kPace = 0.9;                     // of the music: the line, in a race not called

// Where the leader is at each stage, in course units from the gate.
constexpr double kLeaderAt[kStages] = {0.22,
                                       1 - kGateX + kTurn * 0.25,
                                       1 - kGateX + kTurn + 0.5,
                                       2 - kGateX + kTurn * 1.25,
                                       2 - kGateX + kTurn * 1.75,
                                       2 - kGateX + kTurn * 2 + 0.25,
                                       kRace};

std::size_t index(Stage s) { return static_cast<std::size_t>(s); }

// Each runner on the inside unless one is too close ahead there.
std::vector<double> lanes(const StageOrder& o) {
    std::vector<double> lane;
    std::array<double, kLanes> lastIn;
    lastIn.fill(-std::numeric_limits<double>::infinity());
    for (double behind : o.behind) {
        int l = 0;
        while (l < kLanes && behind - lastIn[static_cast<std::size_t>(l)] < kPass) ++l;
        if (l == kLanes) l = static_cast<int>(std::min_element(lastIn.begin(), lastIn.end()) - lastIn.begin());
        lastIn[static_cast<std::size_t>(l)] = behind;
        lane.push_back(l);
    }
    return lane;
}

}  // namespace

CoursePoint coursePoint(double along) {
    const double r = kTurnRadius;
    double d = std::fmod(along * kRace, kLap);
    if (d < 0) d += kLap;
    if (d < 1 - kGateX) return {kGateX + d, r, 0, 1};
    d -= 1 - kGateX;
    if (d < kTurn) {
        const double a = d / r;
        return {1 + r * std::sin(a), r * std::cos(a), std::sin(a), std::cos(a)};
    }
    d -= kTurn;
    if (d < 1) return {1 - d, -r, 0, -1};
    d -= 1;
    if (d < kTurn) {
        const double a = d / r;
        return {-r * std::sin(a), -r * std::cos(a), -std::sin(a), -std::cos(a)};
    }
    return {d - kTurn, r, 0, 1};
}

std::array<double, kStages> stageTimes(const std::vector<CommentaryCall>& calls, double music) {
    std::array<double, kStages> t{};
    std::array<bool, kStages> called{};
    for (const CommentaryCall& c : calls) t[index(c.stage)] = c.at, called[index(c.stage)] = true;
    // Between two known points (the gate at 0, the calls, the line) the
    // field keeps an even pace.
    double fromT = 0, fromD = 0;
    for (std::size_t s = 0; s < kStages; ++s) {
        if (called[s]) {
            fromT = t[s], fromD = kLeaderAt[s];
            continue;
        }
        std::size_t next = s;
        while (next < kStages && !called[next]) ++next;
        const double toT = next < kStages ? t[next] : std::max(music * kPace, fromT), toD = next < kStages ? kLeaderAt[next] : kRace;
        t[s] = fromT + (toT - fromT) * (kLeaderAt[s] - fromD) / (toD - fromD);
    }
    return t;
}

RaceField::RaceField(RunningOrder order, const std::array<double, kStages>& times, double end)
    : order_(std::move(order)), times_(times), end_(std::max(end, times.back() + 1)) {
    const StageOrder& start = order_.at(Stage::Start);
    if (start.horses.empty()) return;
    // In the gate, from the inside out by horse number, ranked as they break.
    for (int h = 1, post = 0; h <= kHorses; ++h) {
        const auto it = std::find(start.horses.begin(), start.horses.end(), h);
        if (it == start.horses.end()) continue;
        const double rank = static_cast<double>(it - start.horses.begin());
        keys_[static_cast<std::size_t>(h)].push_back({0, -rank * 1e-6, post++ * (kLanes - 1) / 17.0});
    }
    for (std::size_t s = 0; s < kStages; ++s) {
        const StageOrder& o = order_.stages[s];
        const std::vector<double> lane = lanes(o);
        for (std::size_t i = 0; i < o.horses.size(); ++i)
            keys_[static_cast<std::size_t>(o.horses[i])].push_back(
                {times_[s], (kLeaderAt[s] - o.behind[i] * kLength) / kRace, lane[i]});
    }
    if (order_.fallen) {
        const std::size_t s = index(order_.fallStage);
        std::vector<Key>& k = keys_[static_cast<std::size_t>(order_.fallen)];
        fallTime_ = times_[s];
        fellAt_ = (kLeaderAt[s] - order_.fallenBehind * kLength) / kRace;
        k.push_back({fallTime_, fellAt_, k.back().lane});
    }
    // Past the line, easing up, still in the finishing order.
    const StageOrder& finish = order_.at(Stage::Finish);
    const std::vector<double> lane = lanes(finish);
    for (std::size_t i = 0; i < finish.horses.size(); ++i)
        keys_[static_cast<std::size_t>(finish.horses[i])].push_back(
            {end_, (kRace + kPullUp - finish.behind[i] * kLength) / kRace, lane[i]});
    // Slopes that keep each runner going forwards and smooth through its
    // keys (monotone cubic), coming to a stop at the last.
    for (std::vector<Key>& k : keys_) {
        for (std::size_t i = 1; i + 1 < k.size(); ++i) {
            const double dt0 = k[i].t - k[i - 1].t, dt1 = k[i + 1].t - k[i].t;
            if (dt0 <= 0 || dt1 <= 0) continue;
            const double d0 = (k[i].along - k[i - 1].along) / dt0, d1 = (k[i + 1].along - k[i].along) / dt1;
            k[i].slope = d0 * d1 > 0 ? 2 / (1 / d0 + 1 / d1) : 0;
        }
        if (k.size() > 1 && k[1].t > k[0].t) k[0].slope = (k[1].along - k[0].along) / (k[1].t - k[0].t);
    }
}

FieldFrame RaceField::at(double seconds) const {
    FieldFrame f;
    const double t = std::clamp(seconds, 0.0, end_);
    for (std::size_t s = 0; s < kStages; ++s)
        if (times_[s] <= t) f.stage = static_cast<Stage>(s);
    f.over = t >= end_;
    const bool fell = order_.fallen && t >= fallTime_;
    if (fell) f.fellAt = fellAt_;
    for (int h = 1; h <= kHorses; ++h) {
        const std::vector<Key>& k = keys_[static_cast<std::size_t>(h)];
        if (k.empty() || (fell && h == order_.fallen)) continue;
        std::size_t i = 0;
        while (i + 1 < k.size() && k[i + 1].t <= t) ++i;
        if (i + 1 == k.size()) {
            f.runners.push_back({h, k[i].along, k[i].lane});
            continue;
        }
        const Key &a = k[i], &b = k[i + 1];
        const double dt = b.t - a.t, u = (t - a.t) / dt, u2 = u * u, u3 = u2 * u;
        const double along = (2 * u3 - 3 * u2 + 1) * a.along + (u3 - 2 * u2 + u) * dt * a.slope +
                             (3 * u2 - 2 * u3) * b.along + (u3 - u2) * dt * b.slope;
        const double ease = u2 * (3 - 2 * u);
        f.runners.push_back({h, along, a.lane + (b.lane - a.lane) * ease});
    }
    std::sort(f.runners.begin(), f.runners.end(), [](const FieldRunner& x, const FieldRunner& y) { return x.along > y.along; });
    return f;
}

}  // namespace ozn
