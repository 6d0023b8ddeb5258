#pragma once
// The three real speech engines.
#include <chrono>
#include <functional>
#include <future>
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

// Engines 1 and 2 make their sound themselves and play it, phrase by
// phrase, on the game's speech channel.
class ChannelEngine : public SpeechEngine {
public:
    bool speak(const std::string& text, SpeakMode mode, Topic topic) override;
    void prefetch(const std::vector<std::string>& texts) override;
    void prefetchIdle(const std::vector<std::string>& texts) override;
    void stop() override { channel_.stop(); }
    bool speaking() const override { return channel_.speaking(); }
    void setParams(const SpeechParams& params) override;
    // The name its sounds are kept under: the engine and the settings that
    // change them, so that no sound made at another speed is played.
    std::string voice() const { return voiceOf(params_); }

protected:
    explicit ChannelEngine(SpeechChannel& channel) : channel_(channel) {}
    virtual std::string voiceOf(const SpeechParams& params) const = 0;
    // Makes one phrase with the settings in force now.
    virtual SpeechChannel::Synth synth() = 0;
    // Whether silence counts as said: only where the engine could be heard.
    virtual bool ready() const = 0;
    SpeechParams params_;

private:
    SpeechChannel& channel_;
};

// Engine 1: Open JTalk, run as a program.
class OpenJTalkEngine : public ChannelEngine {
public:
    using Paths = JTalkPaths;
    explicit OpenJTalkEngine(SpeechChannel& channel, Paths paths = Paths());
    // The synthesised audio; nullopt when the program, dictionary or voice is
    // missing or synthesis fails.
    std::optional<Pcm> synthesize(const std::string& text, const SpeechParams& params = {}) const;
    bool available() const;

private:
    std::string voiceOf(const SpeechParams& params) const override;
    SpeechChannel::Synth synth() override;
    bool ready() const override { return available(); }
    Paths paths_;
};

// Engine 2: espeak-ng with its Japanese voice, synthesised in-process.
class EspeakEngine : public ChannelEngine {
public:
    // nullptr when espeak-ng cannot be initialised.
    static std::shared_ptr<EspeakEngine> create(SpeechChannel& channel);
    std::optional<Pcm> synthesize(const std::string& text, const SpeechParams& params = {});

private:
    EspeakEngine(SpeechChannel& channel, int rate) : ChannelEngine(channel), rate_(rate) {}
    std::string voiceOf(const SpeechParams& params) const override;
    SpeechChannel::Synth synth() override;
    bool ready() const override { return true; }
    int rate_;
    std::mutex synthLock_;
};

// An engine still being made on a thread of its own, so that start-up never
// waits for it. A text that comes before it is ready waits for it until the
// bound; then, or if making it failed, the engine counts as failed.
class PendingEngine : public SpeechEngine {
public:
    using Make = std::function<std::shared_ptr<SpeechEngine>()>;
    static std::shared_ptr<PendingEngine> start(Make make, std::chrono::milliseconds bound);
    PendingEngine(std::shared_future<std::shared_ptr<SpeechEngine>> made,
                  std::chrono::steady_clock::time_point deadline)
        : made_(std::move(made)), deadline_(deadline) {}
    bool speak(const std::string& text, SpeakMode mode, Topic topic) override;
    // Passed on only once the engine is there: making ahead never waits.
    void prefetch(const std::vector<std::string>& texts) override;
    void prefetchIdle(const std::vector<std::string>& texts) override;
    void stop() override;
    bool speaking() const override;
    // Kept until the engine is there, then handed on.
    void setParams(const SpeechParams& params) override;
    // The engine once made, waiting up to the bound; null when it failed.
    std::shared_ptr<SpeechEngine> resolve() const;

private:
    std::shared_ptr<SpeechEngine> ready() const;
    std::shared_future<std::shared_ptr<SpeechEngine>> made_;
    std::chrono::steady_clock::time_point deadline_;
    mutable std::mutex m_;
    std::optional<SpeechParams> params_;
    mutable bool handedOn_ = false;
};

// Engine 3: the speech-dispatcher daemon.
class SpeechdEngine : public SpeechEngine {
public:
    // nullptr when no connection can be made within `timeoutMs`.
    static std::shared_ptr<SpeechdEngine> connect(int timeoutMs);
    ~SpeechdEngine() override;
    bool speak(const std::string& text, SpeakMode mode, Topic topic) override;
    void stop() override;
    bool speaking() const override;
    void setParams(const SpeechParams& params) override;

    struct State;

private:
    explicit SpeechdEngine(std::shared_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> state_;
};

}  // namespace ozn
