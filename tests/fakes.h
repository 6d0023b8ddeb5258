#pragma once
// Scripted stand-ins for the outside world.
#include <algorithm>
#include <cmath>
#include <deque>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

#include "betting/store.h"
#include "core/datafiles.h"
#include "core/interfaces.h"

namespace ozn::test {

struct Box {
    std::string prompt, title;
    int style;
    bool operator==(const Box&) const = default;
};
inline std::ostream& operator<<(std::ostream& o, const Box& b) { return o << b.prompt << " | " << b.title << " | " << b.style; }
// The one box expected when `shown`, else none.
inline std::vector<Box> boxIf(bool shown, const Box& b) { return shown ? std::vector<Box>{b} : std::vector<Box>{}; }

// Pops the next scripted answer, or gives `otherwise` when the script is done.
template <class T>
T next(std::deque<T>& script, T otherwise) {
    if (script.empty()) return otherwise;
    T t = std::move(script.front());
    script.pop_front();
    return t;
}

class FakeUi : public Ui {
public:
    std::deque<std::string> inputs;   // answers to input boxes, in order
    std::deque<Answer> answers;       // answers to message boxes (default Other / Yes for questions)
    std::vector<Box> boxes;           // every message box shown
    std::vector<Box> prompts;         // every input box shown
    std::vector<std::string> defaults;  // and the text it came with
    std::string printed;              // print area, lines ended by "\n"
    std::string clipboard;
    std::vector<std::string>* journal = nullptr;  // what happened, in order, with the fakes below

    Answer msgBox(const std::string& p, const std::string& t, int style) override {
        boxes.push_back({p, t, style});
        if (journal) journal->push_back("box " + t);
        return next(answers, style == kStyleYesNo || style == kStyleYesNoQuestion ? Answer::Yes : Answer::Other);
    }
    std::string inputBox(const std::string& p, const std::string& t, const std::string& def) override {
        prompts.push_back({p, t, 0});
        defaults.push_back(def);
        return next(inputs, std::string());
    }
    void print(const std::string& t) override { printed += t; }
    void printLine(const std::string& t) override { printed += t + "\n"; }
    void clearPrint() override { printed.clear(); }
    void setClipboard(const std::string& t) override { clipboard = t; }
    std::vector<Effect> effects;
    void effect(Effect e) override {
        effects.push_back(e);
        if (journal) journal->push_back(std::string("effect ") + effectName(e));
    }
};

// Plays back chosen draws; when the script runs out it continues with a
// small fixed generator so long loops still end.
class ScriptedRandom : public Random {
public:
    std::deque<double> script;
    // The next draw from 1..n gives k.
    void want(int k, int n) { script.push_back((k - 0.5) / n); }
    double next() override {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return test::next(script, static_cast<double>(state_ >> 11) / 9007199254740992.0);
    }
    void reseed() override {}

private:
    unsigned long long state_ = 12345;
};

class FakeClock : public Clock {
public:
    double mono = 100.0, tod = 86399.7;
    double monotonicSeconds() override { return mono; }
    double secondsOfDay() override { return tod; }
    std::vector<std::string>* journal = nullptr;  // "wait" once for each run of sleeps
    void sleepMs(int ms) override {
        if (journal && (journal->empty() || journal->back() != "wait")) journal->push_back("wait");
        mono += ms / 1000.0;
        tod = std::fmod(tod + ms / 1000.0, 86400);  // past midnight
    }
};

class FakeSpeaker : public Speaker {
public:
    std::vector<std::string> said;
    std::vector<SpeakMode> modes;
    std::vector<std::string>* journal = nullptr;
    int stops = 0;
    int callLength = 0;    // how many times speaking() is true after a commentary call
    mutable int busy = 0;  // of those still to come
    void reading(const std::string& t, SpeakMode m, Topic) override {
        said.push_back(t);
        modes.push_back(m);
        if (m == SpeakMode::Commentary) busy += callLength;
        if (journal) journal->push_back("say " + t);
    }
    void stop() override {
        ++stops;
        busy = 0;
        if (journal) journal->push_back("stop");
    }
    bool speaking() const override { return busy > 0 && busy--; }
};

// An engine that always works (or always fails) and keeps what it was given.
class FakeEngine : public SpeechEngine {
public:
    explicit FakeEngine(bool works = true) : works_(works) {}
    std::vector<std::string> said;
    std::vector<SpeakMode> modes;
    std::vector<SpeechParams> params;  // every setting it was given
    std::vector<std::string> queue;    // what it still has to say: stop() empties it
    std::vector<std::string> fixed;    // the fixed texts it was asked to make in idle time
    bool speak(const std::string& text, SpeakMode mode, Topic) override {
        if (!works_) return false;
        said.push_back(text);
        modes.push_back(mode);
        if (mode != SpeakMode::Queue && mode != SpeakMode::Commentary) queue.clear();
        if (mode != SpeakMode::Wait) queue.push_back(text);  // the race's own texts: heard at once
        return true;
    }
    void stop() override { queue.clear(); }
    bool speaking() const override { return !queue.empty(); }
    void prefetchIdle(const std::vector<std::string>& t) override { fixed.insert(fixed.end(), t.begin(), t.end()); }
    void setParams(const SpeechParams& p) override { params.push_back(p); }

private:
    bool works_;
};

class FakeMp3 : public Mp3Player {
public:
    std::vector<std::string> played;
    int inits = 0, frees = 0;
    int musicEvents = 0;  // how many looks the start music lasts at least
    int ticks = 300;      // and how many steps through its length the looks take
    int fanfareRounds = 0;
    double seconds = 30;  // every music's length
    int skipAt = -1;      // the player's Escape, at this step of the start music
    bool escaped = false;  // the start music was skipped
    int musicVolume = 100, effectVolume = 100;
    std::vector<bool> ducks;  // each change
    std::vector<std::string>* journal = nullptr;
    void init() override { ++inits; }
    void free() override { ++frees; }
    bool start(const std::string& path) override {
        played.push_back(path);
        if (journal) journal->push_back("play " + path.substr(path.rfind('/') + 1));
        fanfare_ = path.find("hasso.mp3") == std::string::npos;
        step_ = 0;
        skip_ = false;
        return true;
    }
    // A fanfare lasts fanfareRounds looks, the start music its ticks (or
    // musicEvents) through its length.
    bool playing() override {
        const int rounds = fanfare_ ? fanfareRounds : std::max(musicEvents, ticks);
        if (!fanfare_ && step_ == skipAt) skip();
        const bool on = !skip_ && step_ < rounds;
        ++step_;
        return on;
    }
    double position() override { return seconds * step_ / ticks; }
    bool skipped() const override { return skip_; }
    void skip() override {
        if (!skip_) escaped = true;
        skip_ = true;
    }
    double length(const std::string&) override { return seconds; }
    void setMusicVolume(int percent) override { musicVolume = percent; }
    void setEffectVolume(int percent) override { effectVolume = percent; }
    std::vector<Effect> effects;
    void effect(const std::string&, Effect e) override { effects.push_back(e); }
    void duck(bool on) override {
        ducks.push_back(on);
        if (journal) journal->push_back(on ? "duck" : "unduck");
    }

private:
    bool skip_ = false, fanfare_ = false;
    int step_ = 0;
};

// Horse h has popularity rank h; favourites 1, 2, 3.
inline GameRecord raceRecord() {
    GameRecord rec;
    const char* odds[18] = {"1 2.35 1.2", "2 4 1.5",   "3 6 2.5",   "4 8 2",     "5 10 3",    "6 12 3.5",
                            "7 14 4",     "8 16 4.5",  "9 18 5",    "10 20 5.5", "11 22 6",   "12 24 6.5",
                            "13 26 7",    "14 28 7.5", "15 30 8",   "16 32 8.5", "17 34 9",   "18 36 9.5"};
    for (int k = 0; k < 18; ++k) parseOddsLine(rec, k, odds[k]);
    std::iota(rec.ninki.begin(), rec.ninki.end(), 1);
    rec.yoso1 = 1, rec.yoso2 = 2, rec.yoso3 = 3;
    rec.mochikin = rec.mochikinmae = 10000;
    return rec;
}

// Files a ticket straight into the store, as a registration would.
inline void addTicket(GameRecord& rec, int kind, Horses h, Money stake) {
    int n = ticketCount(rec, kind);
    setTicketCount(rec, kind, n + 1);
    setTicketHorses(rec, kind, n, h);
    ticketStake(rec, kind, n) = stake;
    setKindFlag(rec, kind);
}

}  // namespace ozn::test
