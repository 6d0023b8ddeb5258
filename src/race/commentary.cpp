#include "race/commentary.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>

namespace ozn {
namespace {

enum Stage { kStart, kFirstCorner, kBackStraight, kFinalCorner, kStraight, kFinish, kStages };

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

// The leader's margin over the next horse, from the gap of their places.
std::string marginWords(double gap) {
    static const std::pair<double, const char*> kMargins[] = {
        {0.25, "クビ"}, {0.5, "半馬身"}, {0.9, "1馬身"}, {1.4, "1馬身半"}, {2.0, "2馬身"}, {3.0, "3馬身"}};
    for (auto [limit, words] : kMargins)
        if (gap < limit) return words;
    return "5馬身";
}

// One call at three lengths (0 full, 1 the leader by name, 2 numbers only):
// what only it says (the start, a scratch, a fall), then the leaders.
struct Draft {
    Stage stage;
    std::array<std::string, 3> note, body;
    bool carriesStart = false;  // the start call was merged into this one
    bool essential() const { return stage == kStart || stage == kFinish || carriesStart || !note[2].empty(); }
    std::string text(int level) const { return note[level] + body[level]; }
};

class Caller {
public:
    Caller(const GameRecord& rec, const RaceOutcome& out, const std::string& course)
        : rec_(rec), out_(out), course_(course), rng_(raceSeed(rec, out)) {}

    std::vector<Draft> drafts() {
        std::vector<int> runners;
        for (int h = 1; h <= kHorses; ++h)
            if (h != out_.scratched) runners.push_back(h);
        // Each horse has a running style (where it likes to be early on)
        // and ends where the draw put it; the faller somewhere in the field.
        std::uniform_real_distribution<double> field(0, static_cast<double>(runners.size() - 1));
        std::array<double, kHorses + 1> early{}, last{};
        for (int h : runners) early[h] = field(rng_), last[h] = field(rng_);
        for (int p = 0; p < out_.finishers; ++p) last[out_.order[p]] = p;
        const int fallStage = out_.fallen ? std::uniform_int_distribution<int>(kFirstCorner, kStraight)(rng_) : -1;
        static constexpr double kWeight[kStages] = {0.05, 0.25, 0.45, 0.7, 0.9, 1.0};

        std::vector<Draft> out;
        for (int stage = kStart; stage < kStages; ++stage) {
            std::vector<std::pair<double, int>> order;  // score, horse
            const double w = kWeight[stage];
            std::uniform_real_distribution<double> noise(-0.75, 0.75);
            for (int h : runners)
                if (h != out_.fallen || stage < fallStage)
                    order.push_back({(1 - w) * early[h] + w * last[h] + (1 - w) * noise(rng_), h});
            std::sort(order.begin(), order.end());
            if (stage == kFinalCorner) {
                // The winner is with the leaders as they turn for home.
                auto it = std::find_if(order.begin(), order.end(), [&](auto& o) { return o.second == out_.first; });
                if (it - order.begin() > 2) std::rotate(order.begin() + 2, it, it + 1);
            }
            double gap = order[1].first - order[0].first;
            if (stage == kFinish) {
                order = {{0, out_.first}, {1, out_.second}, {2, out_.third}};
                gap = std::uniform_real_distribution<double>(0.1, 3.5)(rng_);
            }
            Draft d = call(static_cast<Stage>(stage), order[0].second, order[1].second, order[2].second,
                           marginWords(gap));
            if (stage == fallStage)
                d.note = {"あっと、" + name(out_.fallen) + "が落馬。", name(out_.fallen) + "、落馬。",
                          num(out_.fallen) + "落馬。"};
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
            case kStart: {
                const std::string s = out_.scratched ? num(out_.scratched) + "は出走取消です。" : "";
                const std::string course = course_.empty() ? "" : "、" + course_;
                return {stage,
                        {rec_.racename + course + "、スタートしました。" + s, rec_.racename + course + "、スタート。" + s,
                         "スタート。" + s},
                        {"先頭は" + A + "、" + m + "のリード。", "先頭" + A + "、" + m + "。", "先頭" + num(a) + "、" + m + "。"}};
            }
            case kFirstCorner:
                return {stage, {},
                        {"1コーナー、先頭は" + A + "、" + m + "のリード、2番手に" + B + "。",
                         "1コーナー、先頭" + A + "、" + m + "。", "1コーナー、" + num(a) + "、" + m + "。"}};
            case kBackStraight:
                return {stage, {},
                        {"向こう正面、" + A + "が先頭、リードは" + m + "。" + B + "、" + C + "が続きます。",
                         "向こう正面、先頭" + A + "、" + m + "。", "向こう正面、" + num(a) + "先頭。"}};
            case kFinalCorner:
                return {stage, {},
                        {"4コーナー、先頭は" + A + "、" + m + "のリード。" + B + "、" + C + "が迫る。",
                         "4コーナー、" + A + "、" + num(b) + "、" + num(c) + "。",
                         "4コーナー、" + num(a) + "、" + num(b) + "、" + num(c) + "。"}};
            case kStraight:
                return {stage, {},
                        {"直線、" + A + "が先頭、リードは" + m + "。" + B + "が追う。",
                         "直線、" + A + "先頭、" + num(b) + "が追う。", "直線、" + num(a) + "先頭。"}};
            default:
                return {stage, {},
                        {A + "、1着でゴール、" + m + "差。" + rec_.racename + "を制しました。2着" + B + "、3着" + C + "。",
                         "ゴール、1着" + A + "、" + m + "差。2着" + num(b) + "、3着" + num(c) + "。",
                         "ゴール。1着" + num(a) + "、2着" + num(b) + "、3着" + num(c) + "。"}};
        }
    }

    const GameRecord& rec_;
    const RaceOutcome& out_;
    const std::string& course_;
    std::mt19937_64 rng_;
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
        static constexpr double kShare[kStages] = {0, 0.2, 0.38, 0.56, 0.72, 1};
        at[i] = std::max(free, music * kShare[d[i].stage]);
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

std::vector<CommentaryCall> planCommentary(const GameRecord& rec, const RaceOutcome& out, const std::string& course,
                                           double musicSeconds, int speedPercent) {
    std::vector<Draft> drafts = Caller(rec, out, course).drafts();
    std::vector<int> level(drafts.size(), 0);
    // Shortened first where least is lost, then merged into the next call.
    static constexpr Stage kShorten[] = {kBackStraight, kFirstCorner, kStraight, kFinalCorner, kStart, kFinish};
    static constexpr Stage kMerge[] = {kBackStraight, kFirstCorner, kStraight, kFinalCorner, kStart};
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
        calls.push_back({at[i], drafts[i].text(level[i]), drafts[i].essential()});
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
