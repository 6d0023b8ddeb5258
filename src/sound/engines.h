#pragma once
// The three real speech engines.
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/interfaces.h"
#include "sound/audio.h"

namespace ozn {

struct JTalkPaths {
    std::string program = "open_jtalk";
    std::string dictionary = "/var/lib/mecab/dic/open-jtalk/naist-jdic";
    std::string voice = "/usr/share/hts-voice/nitech-jp-atr503-m001/nitech_jp_atr503_m001.htsvoice";
};

// Engine 1: Open JTalk, run as a program, played through the speech channel.
class OpenJTalkEngine : public SpeechEngine {
public:
    using Paths = JTalkPaths;
    explicit OpenJTalkEngine(SpeechChannel& channel, Paths paths = Paths());
    bool speak(const std::string& text, bool wait, Topic topic) override;
    // The synthesised audio; nullopt when the program, dictionary or voice is
    // missing or synthesis fails.
    std::optional<Pcm> synthesize(const std::string& text) const;
    bool available() const;

private:
    SpeechChannel& channel_;
    Paths paths_;
};

// Engine 2: espeak-ng with its Japanese voice, synthesised in-process.
class EspeakEngine : public SpeechEngine {
public:
    // nullptr when espeak-ng cannot be initialised.
    static std::shared_ptr<EspeakEngine> create(SpeechChannel& channel);
    bool speak(const std::string& text, bool wait, Topic topic) override;
    std::optional<Pcm> synthesize(const std::string& text);

private:
    EspeakEngine(SpeechChannel& channel, int rate) : channel_(channel), rate_(rate) {}
    SpeechChannel& channel_;
    int rate_;
    std::mutex synthLock_;
};

// Engine 3: the speech-dispatcher daemon.
class SpeechdEngine : public SpeechEngine {
public:
    // nullptr when no connection can be made within `timeoutMs`.
    static std::shared_ptr<SpeechdEngine> connect(int timeoutMs);
    ~SpeechdEngine() override;
    bool speak(const std::string& text, bool wait, Topic topic) override;

    struct State;

private:
    explicit SpeechdEngine(std::shared_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> state_;
};

}  // namespace ozn
