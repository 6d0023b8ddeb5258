#pragma once
// `reading`: hands a text to the engine chosen by the voice setting, falls
// back from engine to engine and, last of all, puts it on the clipboard.
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/interfaces.h"
#include "core/record.h"
#include "sound/messages.h"
#include "sound/readings.h"

namespace ozn {

// A transcript of everything handed to speech: one line per engine a text
// reaches, "<ms since start>\t<route>\t<text>", line breaks written as \n.
class SpeechLog {
public:
    // OZN_SPEECH_LOG names the file; null when it is not set or cannot be opened.
    static std::unique_ptr<SpeechLog> fromEnvironment();
    explicit SpeechLog(std::FILE* file);
    ~SpeechLog();
    SpeechLog(const SpeechLog&) = delete;
    SpeechLog& operator=(const SpeechLog&) = delete;
    void write(const char* route, const std::string& text);

private:
    std::FILE* file_;
    std::mutex m_;
    std::chrono::steady_clock::time_point start_;
};

class VoiceDispatcher : public Speaker {
public:
    using EngineFactory = std::function<std::shared_ptr<SpeechEngine>()>;
    // engine1: the first engine (may be null); createSecond makes a new
    // second engine for the first-use path (null result: not available).
    VoiceDispatcher(GameRecord& rec, Ui& ui, SpeechEngine* engine1, EngineFactory createSecond,
                    SpeechLog* log = nullptr);
    void reading(const std::string& text, SpeakMode mode = SpeakMode::Interrupt, Topic topic = Topic::Info) override;
    void stop() override;
    bool speaking() const override;

    // While a screen reader runs, it reads list entries, focus and dialogs
    // itself, and the first use starts at the engine it shares (engine 3).
    void setScreenReader(bool on) { screenReader_ = on; }
    bool screenReader() const { return screenReader_; }
    // Until it is known whether a screen reader runs (a moment at start-up),
    // what it would read itself (the focus, list entries) waits: the last
    // such text is said on release unless a screen reader turned out to run.
    // Before the first use has chosen an engine, news waits as well, and is
    // said first on release.
    void holdForScreenReader() { holding_ = true; }
    void releaseHeld();
    // Speed, pitch and volume of the game's own speech, for every engine.
    void setParams(const SpeechParams& params);
    // Texts the player is likely to hear next (the neighbours of a list's
    // entry): the chosen engine may make them ahead.
    void prefetch(const std::vector<std::string>& texts);
    // The game's fixed texts, made in idle time and kept; made again in the
    // new voice when the settings or the engine change.
    void prefetchIdle(std::vector<std::string> texts);
    // Texts that will be said in other settings (a step of the speed): made
    // ahead in those, first of all.
    void prefetchIn(const SpeechParams& params, const std::vector<std::string>& texts);
    // F3: says the current text of the history again.
    void repeat();
    // Shift+F3 / Ctrl+F3: steps back or forward through the history.
    void older();
    void newer();
    // Says a text that is not news (the answer to a key of its own): never
    // kept, and heard also beside a screen reader.
    void answer(const std::string& text, SpeakMode mode = SpeakMode::Interrupt);
    const MessageHistory& history() const { return history_; }
    // How many texts were handed to speech so far: whether anything was
    // said since a given moment.
    std::uint64_t handed() const { return handed_; }

private:
    void dispatch(const std::string& text);
    void makeFixedTexts();
    bool speak(int slot, const std::string& text);
    void fromSecond(const std::string& text, bool thirdTried = false);
    void fromThird(const std::string& text, bool thirdTried = false);
    std::vector<SpeechEngine*> engines() const;
    // The text as handed to engine 1 (Open JTalk) or 2 (espeak-ng): the
    // readings table, and for espeak-ng kana in place of kanji.
    std::string forEngine(int slot, const std::string& text);
    std::vector<std::string> forEngine(int slot, const std::vector<std::string>& texts);
    SpeechEngine* engineAt(int slot) const;  // 1 Open JTalk, 2 espeak-ng, 3 speech-dispatcher
    // The engine that makes sounds ahead: the one in use; 0 for
    // speech-dispatcher, which makes its own.
    int makingSlot() const;

    GameRecord& rec_;
    Ui& ui_;
    SpeechEngine* engine1_;
    EngineFactory createSecond_;
    SpeechLog* log_;
    bool screenReader_ = false;
    bool holding_ = false;
    struct Held {
        std::string text;
        SpeakMode mode;
        Topic topic;
        bool answer = false;  // heard but not kept
    };
    std::optional<Held> held_;
    std::vector<Held> heldNews_;
    bool engineChosen() const { return rec_.voicemode >= 1 && rec_.voicemode <= 3; }
    MessageHistory history_;
    std::unique_ptr<KanaReader> kana_;  // made when espeak-ng first speaks
    std::vector<std::string> fixed_;    // the fixed texts made in idle time
    int fixedFor_ = 0;                  // the engine they were made for
    std::optional<SpeechParams> params_;
    std::uint64_t handed_ = 0;
    int lastSlot_ = 0;  // the engine that took the last text
    SpeakMode mode_ = SpeakMode::Interrupt;  // of the text being dispatched
    Topic topic_ = Topic::Info;
};

// The voice menu: 1 -> 2 -> 3 -> 1; any other value -> 1.
void switchVoice(GameRecord& rec);
// What F9 says: the engine now chosen.
std::string voiceName(int voicemode);

// Line breaks become pauses, so no engine reads them out.
std::string speakableText(const std::string& text);

// What self-voicing says as a dialog opens: its title (unless that is the
// program's name or a bare number), its prompt, then the buttons of a
// message box or the default text of an input box.
std::string dialogSpeech(const std::string& title, const std::string& prompt,
                         const std::vector<std::string>& buttons, const std::string& defaultText = "");

// A menu item as spoken: the caption without its access key, then its shortcut.
std::string menuItemSpeech(const std::string& caption, const std::string& shortcut);

}  // namespace ozn
