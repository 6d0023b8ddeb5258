#pragma once
// Sound output through SDL2_mixer: the MP3 player and a speech channel.
#include <cstdint>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include "core/interfaces.h"

struct Mix_Chunk;

namespace ozn {

// The audio device, opened once. Without a usable sound device SDL's dummy
// driver stands in, so playback still takes the sound's real length.
class AudioDevice {
public:
    static AudioDevice& instance();
    bool open();
    bool isOpen() const { return open_; }
    bool usingDummy() const { return dummy_; }
    void close();

private:
    bool open_ = false;
    bool tried_ = false;
    bool dummy_ = false;
};

// 16-bit mono PCM.
struct Pcm {
    int rate = 0;
    std::vector<std::int16_t> samples;
};

// Plays speech on a channel of its own: a new sound cuts off the old one.
class SpeechChannel {
public:
    SpeechChannel();
    ~SpeechChannel();
    SpeechChannel(const SpeechChannel&) = delete;
    SpeechChannel& operator=(const SpeechChannel&) = delete;

    // Plays a sound kept under `key` if there is one; true when it started.
    bool playCached(const std::string& key, bool wait);
    // Adds the sound to the cache of recent texts and plays it.
    bool play(const std::string& key, const Pcm& pcm, bool wait);
    void stop();
    bool playing() const;

private:
    bool start(Mix_Chunk* chunk, bool wait);
    struct Entry {
        std::string key;
        Mix_Chunk* chunk;
        std::vector<std::uint8_t> wav;
    };
    std::list<Entry> cache_;  // most recent first
    static constexpr std::size_t kCacheSize = 64;
};

class SdlMp3Player : public Mp3Player {
public:
    void init() override;
    void free() override;
    void playAndWait(const std::string& path, bool serviceEvents, Ui& ui) override;

private:
    bool released_ = true;
};

// A RIFF WAVE file of 16-bit mono PCM.
std::vector<std::uint8_t> makeWav(const Pcm& pcm);
// Parses a 16-bit PCM WAVE file (mono or the first channel); nullopt on error.
bool readWav(const std::vector<std::uint8_t>& bytes, Pcm& out);

}  // namespace ozn
