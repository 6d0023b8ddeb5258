#pragma once
// Sound output through SDL2_mixer: the MP3 player, the sounds of events and
// a speech channel.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/interfaces.h"

struct Mix_Chunk;
struct _Mix_Music;

namespace ozn {

// The audio device, opened once. Without a usable sound device SDL's dummy
// driver stands in, so playback still takes the sound's real length.
class AudioDevice {
public:
    static AudioDevice& instance();
    bool open();
    bool isOpen() const { return open_; }
    // True when no sound device could be opened and the silent stand-in is used.
    bool usingDummy() const { return dummy_; }
    void close();

private:
    bool open_ = false;
    bool tried_ = false;
    bool dummy_ = false;
};

// True when speech would be heard: a sound device, not the silent stand-in.
bool audible();

// 16-bit mono PCM.
struct Pcm {
    int rate = 0;
    std::vector<std::int16_t> samples;
};

// Plays speech on a mixer channel of its own. A text is spoken phrase by
// phrase: the first phrase starts as soon as it is made while the rest are
// made behind it, and a new text cuts off the old one at once, unless it is
// queued or the race's commentary is being said.
class SpeechChannel {
public:
    using Synth = std::function<std::optional<Pcm>(const std::string&)>;
    // A text whose first phrase could not be made (in time): what was to be
    // said, for the next engine. Called on the channel's own thread.
    using Failed = std::function<void(const std::string& text)>;
    SpeechChannel();
    ~SpeechChannel();
    SpeechChannel(const SpeechChannel&) = delete;
    SpeechChannel& operator=(const SpeechChannel&) = delete;

    // Returns at once: every phrase is made on the channel's threads. false
    // when nothing can be played (no audio); a first phrase that cannot be
    // made within 5 s is handed to `onFail`. `voice` names the engine and
    // its settings: made sounds are kept per voice and phrase.
    bool say(const std::string& text, const std::string& voice, const Synth& synth, SpeakMode mode,
             Failed onFail = {});
    void stop();
    // Ends the worker: no engine is asked for anything afterwards. Called
    // before the engines go, so that nothing made ahead can reach one that
    // is gone; speech is silent from then on.
    void shutdown();
    bool speaking() const;
    // The SDL volume of the channel, 0..128.
    void setVolume(int volume);
    // Everything made in this voice is dropped, and no phrase of it still
    // being made is kept: its settings have changed.
    void forget(const std::string& voice);
    // Makes these texts' phrases ahead, while the channel has nothing better
    // to do, so that they start at once when said: first phrases first.
    // Replaces what an earlier call asked for.
    void prefetch(const std::vector<std::string>& texts, const std::string& voice, const Synth& synth);
    // The game's fixed texts (prompts, buttons, menu items), made when there
    // is nothing else to do and then kept for good, while the voice lasts.
    // Whatever is queued or made already is not queued again; `first`: before the rest.
    void prefetchIdle(const std::vector<std::string>& texts, const std::string& voice, const Synth& synth,
                      bool first = false);
    std::size_t idleQueued() const;
    // Told of each phrase as it starts to play, on the channel's thread.
    void setPlayedHook(std::function<void(const std::string& phrase)> hook);
    // Whether this phrase is made and kept in this voice.
    bool has(const std::string& phrase, const std::string& voice) const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::vector<std::thread> makers_;
    std::thread player_;
};

// A phrase that takes longer to make is given up, and the next engine used.
inline constexpr std::chrono::milliseconds kPhraseLimit{5000};

// True while a speech channel is being shut down: an engine making a phrase gives up.
bool synthesisAbandoned();

// Plays the sound `factor` times as fast, its pitch kept (1.0: unchanged).
void changeTempo(Pcm& pcm, double factor);

// Cuts the silence before and after the voice, keeping a short margin, so
// phrases follow each other without gaps.
void trimSilence(Pcm& pcm);

// Splits a text into phrases at blanks and pauses, for speaking.
std::vector<std::string> phrases(const std::string& text);
// Adds a phrase to a piece made in one go, with the blank that phrases()
// took out (none after 、 or 。, which it kept).
void joinPhrase(std::string& piece, const std::string& phrase);

class SpeechLog;

// The music on SDL_mixer's music stream, the sounds for events on the
// channels that speech does not reserve.
class SdlMp3Player : public Mp3Player {
public:
    ~SdlMp3Player() override;
    void init() override;
    void free() override;
    bool start(const std::string& path) override;
    bool playing() override;
    double position() override;
    void skip() override;
    bool skipped() const override { return skipped_; }
    double length(const std::string& path) override;
    void setMusicVolume(int percent) override;
    void setEffectVolume(int percent) override;
    void duck(bool on) override;
    void effect(const std::string& folder, Effect e) override;
    // Each effect also goes to the transcript, route "effect".
    void setLog(SpeechLog* log) { log_ = log; }

private:
    void applyMusicVolume();
    bool released_ = true;
    _Mix_Music* music_ = nullptr;  // the music started last
    bool skipped_ = false;
    std::chrono::steady_clock::time_point started_{};
    int musicVolume_ = 100, effectVolume_ = 100;
    bool ducked_ = false;
    SpeechLog* log_ = nullptr;
    std::vector<std::pair<std::string, Mix_Chunk*>> effects_;  // loaded once, by path
};

// SDL's volume (0..128) for a volume in percent, lowered while ducked.
int mixerVolume(int percent, bool ducked);

// A WAVE file's sound as 16-bit mono, read and converted by SDL; nullopt on error.
std::optional<Pcm> loadWav(const std::string& path);

}  // namespace ozn
