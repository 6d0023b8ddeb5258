#pragma once
// `reading`: hands a text to the engine chosen by the voice setting, falls
// back from engine to engine and, last of all, puts it on the clipboard.
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/interfaces.h"
#include "core/record.h"

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

    // While a screen reader runs, it reads list entries, focus and dialogs
    // itself, and the first use starts at the engine it shares (engine 3).
    void setScreenReader(bool on) { screenReader_ = on; }
    // Texts the player is likely to hear next (the neighbours of a list's
    // entry): the chosen engine may make them ahead.
    void prefetch(const std::vector<std::string>& texts);
    // Says the last text again: the race, a menu answer, a purchase or an entry.
    void repeat();

private:
    bool speak(int slot, const std::string& text);
    void fromSecond(const std::string& text, bool thirdTried = false);
    void fromThird(const std::string& text, bool thirdTried = false);

    GameRecord& rec_;
    Ui& ui_;
    SpeechEngine* engine1_;
    EngineFactory createSecond_;
    SpeechLog* log_;
    bool screenReader_ = false;
    std::string last_;
    bool wait_ = false;  // of the text being dispatched
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
