#pragma once
// The small interfaces through which everything outside the game logic comes in.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ozn {

// Message-box button styles.
inline constexpr int kStyleOk = 0;
inline constexpr int kStyleNotice = 6;          // キャンセル / 再試行 / 続行, no icon
inline constexpr int kStyleYesNo = 4;           // はい / いいえ
inline constexpr int kStyleYesNoQuestion = 36;  // はい / いいえ with the question icon

// Retry: 再試行 in a notice box; Other: any other button of it.
enum class Answer { Yes, No, Other, Retry };

// Short sounds that mark events; each has a file "fx-<name>.wav" beside the program.
enum class Effect { Bought, Refused, Gate, Won, NoWin, GameOver };
inline const char* effectName(Effect e) {
    static const char* const kNames[] = {"bought", "refused", "gate", "won", "nowin", "gameover"};
    return kNames[static_cast<int>(e)];
}

// Dialogs and the print area of the main window.
class Ui {
public:
    virtual ~Ui() = default;
    // An empty title shows the application's title.
    virtual Answer msgBox(const std::string& prompt, const std::string& title, int style) = 0;
    // Returns "" when the player cancels.
    virtual std::string inputBox(const std::string& prompt, const std::string& title,
                                 const std::string& def) = 0;
    virtual void print(const std::string& text) = 0;      // stays on the line
    virtual void printLine(const std::string& text) = 0;  // moves to the next line
    virtual void clearPrint() = 0;
    virtual void setClipboard(const std::string& text) = 0;
    // What the next dialog is about, said before it where dialogs are read
    // out (the ticket a stake box asks for).
    virtual void aboutNextDialog(const std::string& context) { (void)context; }
    // Marks an event with its sound: returns at once and never cuts speech off.
    virtual void effect(Effect e) { (void)e; }
    // Runs a task on the window's thread, soon; callable from any thread.
    virtual void post(std::function<void()> task) { task(); }
};

// A refusal: its sound, then its message.
inline Answer refuse(Ui& ui, const std::string& prompt, const std::string& title, int style) {
    ui.effect(Effect::Refused);
    return ui.msgBox(prompt, title, style);
}

class Random {
public:
    virtual ~Random() = default;
    virtual double next() = 0;  // uniform in [0, 1)
    virtual void reseed() = 0;  // mixes the clock (or a counter) into the state
};

// Integer part of u * n + 1: a number from 1..n.
int draw(Random& rng, int n);

class Clock {
public:
    virtual ~Clock() = default;
    virtual double monotonicSeconds() = 0;
    virtual double secondsOfDay() = 0;
    virtual void sleepMs(int ms) = 0;
};

// Where a text comes from, so that nothing a screen reader already reads is
// spoken a second time, and so that the message history keeps news, not the
// names of controls the player passes.
enum class Topic {
    Entry,   // a list entry reached by a move: kept
    Focus,   // a control's name as the focus reaches it: said, not kept
    Screen,  // menu items, button captions, zoom steps: said, not kept
    Dialog,  // a dialog's text as it opens: kept
    Info,    // what only the game knows: menu answers, purchases, the race
};

// Interrupt: cuts off what is being said. Wait: the same, for the race's own
// texts, which the race waits to be heard whole (speaking() turns false)
// before it goes on. Queue: after what is said.
// Commentary: the race's calls: queued, returns at once, and no later text
// cuts it off (only stop() does); "important" for a shared speech server.
enum class SpeakMode { Interrupt, Wait, Queue, Commentary };

// How the game's own speech sounds: speed in percent (100 = the engine's
// own pace), pitch in steps of a half-tone, volume in percent.
struct SpeechParams {
    int speed = 100, pitch = 0, volume = 100;
    bool operator==(const SpeechParams&) const = default;
};

// One speech engine. speak() returns false when the engine failed.
class SpeechEngine {
public:
    virtual ~SpeechEngine() = default;
    // topic: an engine shared with a screen reader queues the game's own
    // news beside the screen reader's instead of letting it be cut off.
    virtual bool speak(const std::string& text, SpeakMode mode, Topic topic) = 0;
    // Texts likely to be asked for next: an engine may make them ahead.
    virtual void prefetch(const std::vector<std::string>& texts) { (void)texts; }
    // The game's fixed texts: made when nothing else is to do, and kept.
    virtual void prefetchIdle(const std::vector<std::string>& texts) { (void)texts; }
    // Silence at once, queued texts included.
    virtual void stop() {}
    virtual bool speaking() const { return false; }
    virtual void setParams(const SpeechParams& params) { (void)params; }
    // Texts made ahead in other settings than those in force (the next
    // steps of speed and volume), so that a step is heard at once.
    virtual void prefetchIn(const SpeechParams& params, const std::vector<std::string>& texts) {
        (void)params, (void)texts;
    }
    // A text that speak() took but could not say after all (its first
    // phrase failed or took too long): what is left of it, for the next
    // engine. Called on any thread.
    using Fallback = std::function<void(const std::string& rest, SpeakMode mode, Topic topic)>;
    virtual void setFallback(Fallback fallback) { (void)fallback; }
};

// The game's `reading`: speaks a text through the chosen engine.
class Speaker {
public:
    virtual ~Speaker() = default;
    virtual void reading(const std::string& text, SpeakMode mode = SpeakMode::Interrupt,
                         Topic topic = Topic::Info) = 0;
    // The game's speech ends at once, queued texts too; nothing is lost
    // from the message history.
    virtual void stop() {}
    virtual bool speaking() const { return false; }
};

// The music, and the sounds for events on mixer channels of their own.
class Mp3Player {
public:
    virtual ~Mp3Player() = default;
    virtual void init() = 0;
    virtual void free() = 0;
    // Starts a file and returns at once; false when it cannot be played (a
    // missing or unreadable file, no sound): it has then ended already.
    virtual bool start(const std::string& path) = 0;
    // Whether the music started last still plays.
    virtual bool playing() = 0;
    // Seconds since the music started last, going on past its end.
    virtual double position() = 0;
    // The player has heard enough: the music ends now.
    virtual void skip() {}
    // Whether the music started last was ended by skip().
    virtual bool skipped() const { return false; }
    // The music's length in seconds; 0 when it cannot be read.
    virtual double length(const std::string& path) { (void)path; return 0; }
    // Volumes 0..100 %: 0 is silence, and music still takes its length.
    virtual void setMusicVolume(int percent) { (void)percent; }
    virtual void setEffectVolume(int percent) { (void)percent; }
    // Lowers the music (to about 40 %) while the race is called over it.
    virtual void duck(bool on) { (void)on; }
    // The sound of an event, from the program's folder; returns at once.
    virtual void effect(const std::string& folder, Effect e) { (void)folder, (void)e; }
};

}  // namespace ozn

namespace ozn {

// The outside world as the game logic sees it.
struct Ports {
    Ui& ui;
    Random& rng;
    Clock& clock;
    Speaker& speech;
    Mp3Player& mp3;
};

}  // namespace ozn
