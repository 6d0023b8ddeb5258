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
    std::chrono::milliseconds limit = kPhraseLimit;  // for one phrase
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
    void prefetchIn(const SpeechParams& params, const std::vector<std::string>& texts) override;
    void setFallback(Fallback fallback) override { fallback_ = std::move(fallback); }
    // The name its sounds are kept under: the engine and the settings that
    // change them, so that no sound made at another speed is played.
    std::string voice() const { return voiceOf(params_); }

protected:
    explicit ChannelEngine(SpeechChannel& channel) : channel_(channel) {}
    virtual std::string voiceOf(const SpeechParams& params) const = 0;
    // Makes one phrase with these settings.
    virtual SpeechChannel::Synth synth(const SpeechParams& params) = 0;
    // Whether the engine can speak at all (and silence counts as said).
    virtual bool ready() const = 0;
    SpeechParams params_;

private:
    SpeechChannel& channel_;
    Fallback fallback_;
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
    SpeechChannel::Synth synth(const SpeechParams& params) override;
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
    SpeechChannel::Synth synth(const SpeechParams& params) override;
    bool ready() const override { return true; }
    int rate_;
    std::mutex synthLock_;
};

// An engine still being made on a thread of its own, so that start-up never
// waits for it. The first text that needs it waits for it up to the bound
// (from start-up or from that moment, whichever is later); one that is not
// there by then, or that failed, counts as failed.
class PendingEngine : public SpeechEngine {
public:
    using Make = std::function<std::shared_ptr<SpeechEngine>()>;
    static std::shared_ptr<PendingEngine> start(Make make, std::chrono::milliseconds bound);
    PendingEngine(std::shared_future<std::shared_ptr<SpeechEngine>> made,
                  std::chrono::steady_clock::time_point deadline, std::chrono::milliseconds bound)
        : made_(std::move(made)), deadline_(deadline), bound_(bound) {}
    bool speak(const std::string& text, SpeakMode mode, Topic topic) override;
    // Passed on only once the engine is there: making ahead never waits.
    void prefetch(const std::vector<std::string>& texts) override;
    void prefetchIdle(const std::vector<std::string>& texts) override;
    void stop() override;
    bool speaking() const override;
    // Kept until the engine is there, then handed on.
    void setParams(const SpeechParams& params) override;
    void prefetchIn(const SpeechParams& params, const std::vector<std::string>& texts) override;
    void setFallback(Fallback fallback) override;
    // The engine once made, waiting up to the bound; null when it failed.
    std::shared_ptr<SpeechEngine> resolve() const;

private:
    std::shared_ptr<SpeechEngine> ready() const;
    std::shared_future<std::shared_ptr<SpeechEngine>> made_;
    std::chrono::steady_clock::time_point deadline_;
    std::chrono::milliseconds bound_;
    mutable std::mutex m_;
    std::optional<SpeechParams> params_;
    Fallback fallback_;
    mutable bool handedOn_ = false;
    mutable bool givenUp_ = false;  // waited for once in vain
};

// Runs `open` on a thread of its own and waits up to `timeoutMs` for it;
// nullptr on time-out. What it makes after that is handed to `close`.
void* openWithin(std::function<void*()> open, std::function<void(void*)> close, int timeoutMs);

// Which of speech-dispatcher's messages are still to be heard. Its notices
// come on its own thread, late and in any order: the newest id counts.
class MessageIds {
public:
    void said(int id, bool commentary);
    void ended(int id);  // ended or cancelled
    bool speaking() const;
    bool commentaryOn() const;
    void stopCommentary();

private:
    mutable std::mutex m_;
    int lastSaid_ = -1, lastDone_ = -1, lastCommentary_ = -1;
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
