#pragma once
// `reading`: hands a text to the engine chosen by the voice setting, falls
// back from engine to engine and, last of all, puts it on the clipboard.
#include <functional>
#include <memory>

#include "core/interfaces.h"
#include "core/record.h"

namespace ozn {

class VoiceDispatcher : public Speaker {
public:
    using EngineFactory = std::function<std::shared_ptr<SpeechEngine>()>;
    // engine1: the first engine (may be null); createSecond makes a new
    // second engine for the first-use path (null result: not available).
    VoiceDispatcher(GameRecord& rec, Ui& ui, SpeechEngine* engine1, EngineFactory createSecond);
    void reading(const std::string& text, SpeakMode mode = SpeakMode::Interrupt) override;

private:
    bool speak1(const std::string& text, bool wait);
    void fromSecond(const std::string& text, bool wait);
    void fromThird(const std::string& text, bool wait);

    GameRecord& rec_;
    Ui& ui_;
    SpeechEngine* engine1_;
    EngineFactory createSecond_;
};

// The voice menu: 1 -> 2 -> 3 -> 1; any other value -> 1.
void switchVoice(GameRecord& rec);

// Line breaks become pauses, so no engine reads them out.
std::string speakableText(const std::string& text);

}  // namespace ozn
