#include "race/commentary.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>

namespace ozn {
namespace {

// The race's own seed: the same race is called the same way.
std::uint64_t raceSeed(const GameRecord& rec, const RaceOutcome& out) {
    std::uint64_t h = 1469598103934665603ULL;
    auto mix = [&h](std::uint64_t v) { h = (h ^ v) * 1099511628211ULL; };
    mix(rec.raceno);
    for (unsigned char c : rec.racename) mix(c);
    mix(static_cast<std::uint64_t>(out.scratched));
    mix(static_cast<std::uint64_t>(out.fallen));
    for (int i = 0; i < out.finishers; ++i) mix(static_cast<std::uint64_t>(out.order[i]));
    return h;
}

// The leader's margin over the next horse, in lengths.
std::string marginWords(double gap) {
    static const std::pair<double, const char*> kMargins[] = {
        {0.25, "クビ"}, {0.5, "半馬身"}, {0.9, "1馬身"}, {1.4, "1馬身半"}, {2.0, "2馬身"}, {3.0, "3馬身"}};
    for (auto [limit, words] : kMargins)
        if (gap < limit) return words;
    return "5馬身";
}

constexpr double kClosest = 0.1;  // lengths between two runners: never level, so the order is plain

StageOrder stageOrder(const std::vector<std::pair<double, int>>& scored, double spread) {
    StageOrder o;
    for (auto [score, h] : scored) {
        double behind = (score - scored.front().first) * spread;
        if (!o.behind.empty()) behind = std::max(behind, o.behind.back() + kClosest);
        o.horses.push_back(h);
        o.behind.push_back(behind);
    }
    return o;
}

// One call at three lengths (0 full, 1 the leader by name, 2 numbers only):
// what only it says (the start, a scratch, a fall), then the leaders.
struct Draft {
    Stage stage;
    std::array<std::string, 3> note, body;
    bool carriesStart = false;  // the start call was merged into this one
    bool essential() const {
        return stage == Stage::Start || stage == Stage::Finish || carriesStart || !note[2].empty();
    }
    std::string text(int level) const { return note[level] + body[level]; }
};

class Caller {
public:
    Caller(const GameRecord& rec, const RunningOrder& order, const std::string& course)
        : rec_(rec), order_(order), course_(course) {}

    std::vector<Draft> drafts() const {
        std::vector<Draft> out;
        for (int i = 0; i < kStages; ++i) {
            const auto stage = static_cast<Stage>(i);
            const StageOrder& o = order_.at(stage);
            Draft d = call(stage, o.horses[0], o.horses[1], o.horses[2], marginWords(o.behind[1] - o.behind[0]));
            const int f = order_.fallen;
            if (f && stage == order_.fallStage)
                d.note = {"あっと、" + name(f) + "が落馬。", name(f) + "、落馬。", num(f) + "落馬。"};
            out.push_back(std::move(d));
        }
        return out;
    }

private:
    std::string name(int h) const { return std::to_string(h) + "番" + rec_.umaname[h - 1]; }
    static std::string num(int h) { return std::to_string(h) + "番"; }

    Draft call(Stage stage, int a, int b, int c, const std::string& m) const {
        const std::string A = name(a), B = name(b), C = name(c);
        switch (stage) {
            case Stage::Start: {
                const int x = order_.scratched;
                const std::string s = x ? num(x) + "は出走取消です。" : "";
                const std::string course = course_.empty() ? "" : "、" + course_;
                return {stage,
                        {rec_.racename + course + "、スタートしました。" + s, rec_.racename + course + "、スタート。" + s,
                         "スタート。" + s},
                        {"先頭は" + A + "、" + m + "のリード。", "先頭" + A + "、" + m + "。", "先頭" + num(a) + "、" + m + "。"}};
            }
            case Stage::FirstCorner:
                return {stage, {},
                        {"1コーナー、先頭は" + A + "、" + m + "のリード、2番手に" + B + "。",
                         "1コーナー、先頭" + A + "、" + m + "。", "1コーナー、" + num(a) + "、" + m + "。"}};
            case Stage::BackStraight:
                return {stage, {},
                        {"向こう正面、" + A + "が先頭、リードは" + m + "。" + B + "、" + C + "が続きます。",
                         "向こう正面、先頭" + A + "、" + m + "。", "向こう正面、" + num(a) + "先頭。"}};
            case Stage::ThirdCorner:
                return {stage, {},
                        {"3コーナー、先頭は" + A + "、2番手" + B + "、3番手" + C + "。",
                         "3コーナー、先頭" + A + "。", "3コーナー、" + num(a) + "。"}};
            case Stage::FinalCorner:
                return {stage, {},
                        {"4コーナー、先頭は" + A + "、" + m + "のリード。" + B + "、" + C + "が迫る。",
                         "4コーナー、" + A + "、" + num(b) + "、" + num(c) + "。",
                         "4コーナー、" + num(a) + "、" + num(b) + "、" + num(c) + "。"}};
            case Stage::Straight:
                return {stage, {},
                        {"直線、" + A + "が先頭、リードは" + m + "。" + B + "が追う。",
                         "直線、" + A + "先頭、" + num(b) + "が追う。", "直線、" + num(a) + "先頭。"}};
            case Stage::Finish: break;
        }
        return {stage, {},
                {A + "、1着でゴール、" + m + "差。" + rec_.racename + "を制しました。2着" + B + "、3着" + C + "。",
                 "ゴール、1着" + A + "、" + m + "差。2着" + num(b) + "、3着" + num(c) + "。",
                 "ゴール。1着" + num(a) + "、2着" + num(b) + "、3着" + num(c) + "。"}};
    }

    const GameRecord& rec_;
    const RunningOrder& order_;
    const std::string& course_;
};

constexpr double kLead = 0.4;  // before the first call: the gates open
constexpr double kGap = 0.35;  // between two calls
constexpr double kTail = 0.3;  // after the finish, before the music ends

// Where each call would start, or empty when the calls do not fit.
std::vector<double> schedule(const std::vector<Draft>& d, const std::vector<int>& level, double music, int speed) {
    std::vector<double> len, at(d.size());
    for (std::size_t i = 0; i < d.size(); ++i) len.push_back(speakingSeconds(d[i].text(level[i]), speed));
    // The finish ends with the music; the others as near their place in the
    // race as they can be: none before it, unless the next needs the room.
    at.back() = music - kTail - len.back();
    if (d.size() == 1) return {std::max(0.0, at.back())};  // said however slowly
    double free = kLead;
    for (std::size_t i = 0; i + 1 < d.size(); ++i) {
        at[i] = std::max(free, music * stageShare(d[i].stage));
        free = at[i] + len[i] + kGap;
    }
    for (std::size_t i = d.size() - 1; i-- > 0;) at[i] = std::min(at[i], at[i + 1] - kGap - len[i]);
    return at.front() < kLead - 1e-9 ? std::vector<double>{} : at;
}

}  // namespace

double speakingSeconds(const std::string& text, int speedPercent) {
    // Measured on the game's voices: about 0.15 s a character; a digit is a
    // word of its own ("12" is "じゅうに").
    double chars = 0;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        chars += (c >= '0' && c <= '9') ? 2 : (c == 'm' ? 3 : 1);
        i += n;
    }
    return chars * 0.15 * 100.0 / std::max(speedPercent, 10);
}

const char* stageName(Stage s) {
    static const char* const kNames[kStages] = {"スタート", "1コーナー", "向こう正面", "3コーナー", "4コーナー", "直線", "ゴール"};
    return kNames[static_cast<int>(s)];
}

double stageShare(Stage s) {
    static constexpr double kShare[kStages] = {0, 0.17, 0.32, 0.46, 0.58, 0.72, 0.92};
    return kShare[static_cast<int>(s)];
}

RunningOrder runningOrder(const GameRecord& rec, const RaceOutcome& out) {
    using enum Stage;
    std::mt19937_64 rng(raceSeed(rec, out));
    RunningOrder r;
    r.scratched = out.scratched;
    r.fallen = out.fallen;
    std::vector<int> runners;
    for (int h = 1; h <= kHorses; ++h)
        if (h != out.scratched) runners.push_back(h);
    // Each horse has a running style (where it likes to be early on) and
    // ends where the draw put it; the faller somewhere in the field.
    std::uniform_real_distribution<double> field(0, static_cast<double>(runners.size() - 1));
    std::array<double, kHorses + 1> early{}, last{};
    for (int h : runners) early[h] = field(rng), last[h] = field(rng);
    for (int p = 0; p < out.finishers; ++p) last[out.order[p]] = p;
    if (out.fallen)
        r.fallStage = static_cast<Stage>(
            std::uniform_int_distribution<int>(static_cast<int>(FirstCorner), static_cast<int>(Straight))(rng));
    static constexpr double kWeight[kStages] = {0.05, 0.25, 0.45, 0.6, 0.7, 0.9, 1.0};

    for (int i = 0; i < static_cast<int>(Finish); ++i) {
        const auto stage = static_cast<Stage>(i);
        std::vector<std::pair<double, int>> scored;
        const double w = kWeight[i];
        std::uniform_real_distribution<double> noise(-0.75, 0.75);
        for (int h : runners)
            if (h != out.fallen || stage <= r.fallStage)
                scored.push_back({(1 - w) * early[h] + w * last[h] + (1 - w) * noise(rng), h});
        std::sort(scored.begin(), scored.end());
        if (out.fallen && stage == r.fallStage) {
            auto it = std::find_if(scored.begin(), scored.end(), [&](auto& o) { return o.second == out.fallen; });
            const double at = it->first;
            scored.erase(it);
            r.fallenBehind = at - scored.front().first;
        }
        if (stage == FinalCorner) {
            // The winner is with the leaders as they turn for home.
            auto it = std::find_if(scored.begin(), scored.end(), [&](auto& o) { return o.second == out.first; });
            if (it - scored.begin() > 2) {
                std::rotate(scored.begin() + 2, it, it + 1);
                scored[2].first = (scored[1].first + scored[3].first) / 2;
            }
        }
        // Out of the gate the field is still close together.
        r.stages[static_cast<std::size_t>(i)] = stageOrder(scored, stage == Start ? 0.25 : 1.0);
    }
    StageOrder& finish = r.stages[static_cast<std::size_t>(Finish)];
    for (int p = 0; p < out.finishers; ++p) {
        const double gap = p == 0 ? 0 : std::uniform_real_distribution<double>(p == 1 ? 0.1 : 0.2, p == 1 ? 3.5 : 1.0)(rng);
        finish.horses.push_back(out.order[p]);
        finish.behind.push_back(p == 0 ? 0 : finish.behind.back() + gap);
    }
    return r;
}

std::vector<CommentaryCall> planCommentary(const GameRecord& rec, const RunningOrder& order, const std::string& course,
                                           double musicSeconds, int speedPercent) {
    std::vector<Draft> drafts = Caller(rec, order, course).drafts();
    std::vector<int> level(drafts.size(), 0);
    // Shortened first where least is lost, then merged into the next call.
    using enum Stage;
    static constexpr Stage kShorten[] = {BackStraight, ThirdCorner, FirstCorner, Straight, FinalCorner, Start, Finish};
    static constexpr Stage kMerge[] = {BackStraight, ThirdCorner, FirstCorner, Straight, FinalCorner, Start};
    std::vector<double> at = schedule(drafts, level, musicSeconds, speedPercent);
    for (int to = 1; to <= 2; ++to)
        for (Stage s : kShorten) {
            if (!at.empty()) break;
            level[static_cast<std::size_t>(s)] = to;
            at = schedule(drafts, level, musicSeconds, speedPercent);
        }
    for (Stage s : kMerge) {
        if (!at.empty()) break;
        auto it = std::find_if(drafts.begin(), drafts.end(), [s](const Draft& d) { return d.stage == s; });
        const auto i = it - drafts.begin();
        // What only this call says (the start, a scratch, a fall) goes to the next one.
        Draft& next = drafts[static_cast<std::size_t>(i + 1)];
        for (std::string& n : next.note) n = it->note[2] + n;
        next.carriesStart = next.carriesStart || it->essential();
        drafts.erase(it);
        level.erase(level.begin() + i);
        at = schedule(drafts, level, musicSeconds, speedPercent);
    }
    std::vector<CommentaryCall> calls;
    for (std::size_t i = 0; i < drafts.size(); ++i)
        calls.push_back({at[i], drafts[i].text(level[i]), drafts[i].essential(), drafts[i].stage});
    return calls;
}

void CommentaryRunner::duck(bool on) {
    if (on == ducked_) return;
    ducked_ = on;
    mp3_.duck(on);
}

bool CommentaryRunner::tick(double seconds) {
    if (calls_.empty()) return false;
    const bool speaking = speech_.speaking();
    if (speaking) quietSince_ = seconds, handed_ = false;
    // The music comes back up only once the caller has paused for breath.
    duck(speaking || (ducked_ && seconds - quietSince_ < kBreath));
    if (next_ < calls_.size() && !speaking && !handed_ && seconds >= calls_[next_].at) {
        // Overtaken by the next call: left out, unless it must be heard.
        while (next_ + 1 < calls_.size() && seconds >= calls_[next_ + 1].at && !calls_[next_].essential) ++next_;
        speech_.reading(calls_[next_++].text, SpeakMode::Commentary);
        handed_ = true, handedAt_ = quietSince_ = seconds;
        duck(true);
    }
    // A call just handed over may take a moment to be heard.
    if (handed_ && seconds - handedAt_ > kStartGrace) handed_ = false;
    return (next_ < calls_.size() || speaking || handed_) && seconds < calls_.back().at + kLongestWait;
}

void CommentaryRunner::end(bool skipped) {
    if (skipped && !calls_.empty()) speech_.stop();
    duck(false);
}

}  // namespace ozn
