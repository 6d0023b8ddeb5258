#include "sound/audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace ozn {
namespace {

constexpr int kSpeechChannel = 0;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool openMixer() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    Mix_AllocateChannels(4);
    Mix_ReserveChannels(1);
    return true;
}

void put16(std::vector<std::uint8_t>& v, std::uint16_t x) {
    v.push_back(x & 0xFF);
    v.push_back(x >> 8);
}
void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}
std::uint32_t get32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

}  // namespace

AudioDevice& AudioDevice::instance() {
    static AudioDevice device;
    return device;
}

bool AudioDevice::open() {
    if (tried_) return open_;
    tried_ = true;
    Mix_Init(MIX_INIT_MP3);
    open_ = openMixer();
    if (!open_) {
        // No sound card: the dummy driver keeps the timing of every sound.
        SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
        dummy_ = true;
        open_ = openMixer();
    }
    return open_;
}

void AudioDevice::close() {
    if (!open_) return;
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    open_ = false;
    tried_ = false;
}

std::vector<std::uint8_t> makeWav(const Pcm& pcm) {
    std::vector<std::uint8_t> v;
    std::uint32_t data = static_cast<std::uint32_t>(pcm.samples.size() * 2);
    v.insert(v.end(), {'R', 'I', 'F', 'F'});
    put32(v, 36 + data);
    v.insert(v.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(v, 16);
    put16(v, 1);
    put16(v, 1);
    put32(v, static_cast<std::uint32_t>(pcm.rate));
    put32(v, static_cast<std::uint32_t>(pcm.rate * 2));
    put16(v, 2);
    put16(v, 16);
    v.insert(v.end(), {'d', 'a', 't', 'a'});
    put32(v, data);
    for (std::int16_t s : pcm.samples) put16(v, static_cast<std::uint16_t>(s));
    return v;
}

bool readWav(const std::vector<std::uint8_t>& b, Pcm& out) {
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        return false;
    int channels = 0, bits = 0;
    std::size_t at = 12;
    while (at + 8 <= b.size()) {
        std::uint32_t size = get32(&b[at + 4]);
        const std::uint8_t* body = &b[at + 8];
        std::size_t avail = b.size() - at - 8;
        if (std::memcmp(&b[at], "fmt ", 4) == 0 && size >= 16 && avail >= 16) {
            if (get16(body) != 1) return false;
            channels = get16(body + 2);
            out.rate = static_cast<int>(get32(body + 4));
            bits = get16(body + 14);
        } else if (std::memcmp(&b[at], "data", 4) == 0) {
            if (channels < 1 || bits != 16) return false;
            std::size_t n = std::min<std::size_t>(size, avail) / (2 * channels);
            out.samples.resize(n);
            for (std::size_t i = 0; i < n; ++i)
                out.samples[i] = static_cast<std::int16_t>(get16(body + i * 2 * channels));
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

SpeechChannel::SpeechChannel() = default;

SpeechChannel::~SpeechChannel() {
    if (AudioDevice::instance().isOpen()) Mix_HaltChannel(kSpeechChannel);
    for (Entry& e : cache_) Mix_FreeChunk(e.chunk);
}

bool SpeechChannel::start(Mix_Chunk* chunk, bool wait) {
    Mix_HaltChannel(kSpeechChannel);
    if (Mix_PlayChannel(kSpeechChannel, chunk, 0) < 0) return false;
    while (wait && Mix_Playing(kSpeechChannel)) sleepMs(5);
    return true;
}

bool SpeechChannel::playCached(const std::string& key, bool wait) {
    if (!AudioDevice::instance().open()) return false;
    for (auto it = cache_.begin(); it != cache_.end(); ++it)
        if (it->key == key) {
            cache_.splice(cache_.begin(), cache_, it);
            return start(cache_.front().chunk, wait);
        }
    return false;
}

bool SpeechChannel::play(const std::string& key, const Pcm& pcm, bool wait) {
    if (!AudioDevice::instance().open()) return false;
    Entry e{key, nullptr, makeWav(pcm)};
    e.chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(e.wav.data(), static_cast<int>(e.wav.size())), 1);
    if (!e.chunk) return false;
    cache_.push_front(std::move(e));
    if (cache_.size() > kCacheSize) {
        // The oldest entry may be the one still playing only if the cache is tiny.
        Mix_HaltChannel(kSpeechChannel);
        Mix_FreeChunk(cache_.back().chunk);
        cache_.pop_back();
    }
    return start(cache_.front().chunk, wait);
}

void SpeechChannel::stop() {
    if (AudioDevice::instance().isOpen()) Mix_HaltChannel(kSpeechChannel);
}

bool SpeechChannel::playing() const {
    return AudioDevice::instance().isOpen() && Mix_Playing(kSpeechChannel);
}

void SdlMp3Player::init() {
    AudioDevice::instance().open();
    released_ = false;
}

void SdlMp3Player::free() {
    if (AudioDevice::instance().isOpen()) Mix_HaltMusic();
    released_ = true;
}

void SdlMp3Player::playAndWait(const std::string& path, bool serviceEvents, Ui& ui) {
    if (released_ || !AudioDevice::instance().isOpen()) return;
    Mix_Music* music = Mix_LoadMUS(path.c_str());
    if (!music) return;
    if (Mix_PlayMusic(music, 0) == 0) {
        while (Mix_PlayingMusic()) {
            if (serviceEvents) ui.processEvents();
            sleepMs(10);
        }
    }
    Mix_FreeMusic(music);
}

}  // namespace ozn
