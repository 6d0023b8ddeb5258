#include "sound/audio.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <sonic.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "core/stopsignal.h"
#include "sound/mixer.h"
#include "sound/voice.h"

namespace ozn {
namespace {

// The mixer works in this one format; SDL converts it for whatever the
// device takes, so sounds are made for it without asking.
constexpr int kMixRate = 44100, kMixChannels = 2;
constexpr SDL_AudioFormat kMixFormat = AUDIO_S16SYS;


bool openMixer() {
    // SDL would take SIGINT and SIGTERM for itself and turn them into events
    // nobody reads: the game could then only be killed.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    if (Mix_OpenAudioDevice(kMixRate, kMixFormat, kMixChannels, 1024, nullptr, 0) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    Mix_AllocateChannels(kChannels);
    Mix_ReserveChannels(1);
    return true;
}

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

bool audible() {
    AudioDevice& device = AudioDevice::instance();
    return device.open() && !device.usingDummy();
}

void AudioDevice::close() {
    if (!open_) return;
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    open_ = false;
    tried_ = false;
}

namespace {
// SDL converts sound between formats, rates and channel counts; nullopt when
// it cannot.
std::optional<std::vector<Uint8>> convert(const Uint8* data, std::size_t len, SDL_AudioFormat fromFormat,
                                          int fromChannels, int fromRate, SDL_AudioFormat toFormat, int toChannels,
                                          int toRate) {
    SDL_AudioCVT cvt;
    int need = SDL_BuildAudioCVT(&cvt, fromFormat, static_cast<Uint8>(fromChannels), fromRate, toFormat,
                                 static_cast<Uint8>(toChannels), toRate);
    if (need < 0) return std::nullopt;
    std::vector<Uint8> out(len * static_cast<std::size_t>(cvt.len_mult));
    std::memcpy(out.data(), data, len);
    if (need > 0) {
        cvt.buf = out.data();
        cvt.len = static_cast<int>(len);
        if (SDL_ConvertAudio(&cvt) != 0) return std::nullopt;
        len = static_cast<std::size_t>(cvt.len_cvt);
    }
    out.resize(len);  // never shrinks the buffer's capacity
    return out;
}
}  // namespace

std::optional<Pcm> loadWav(const std::string& path) {
    SDL_AudioSpec wave{};
    Uint8* raw = nullptr;
    Uint32 len = 0;
    if (!SDL_LoadWAV(path.c_str(), &wave, &raw, &len)) return std::nullopt;
    auto mono = convert(raw, len, wave.format, wave.channels, wave.freq, AUDIO_S16SYS, 1, wave.freq);
    SDL_FreeWAV(raw);
    if (!mono) return std::nullopt;
    Pcm pcm;
    pcm.rate = wave.freq;
    pcm.samples.resize(mono->size() / 2);
    std::memcpy(pcm.samples.data(), mono->data(), pcm.samples.size() * 2);
    return pcm;
}

void changeTempo(Pcm& pcm, double factor) {
    if (factor == 1.0 || pcm.samples.empty() || pcm.rate <= 0) return;
    sonicStream s = sonicCreateStream(pcm.rate, 1);
    if (!s) return;
    sonicSetSpeed(s, static_cast<float>(factor));
    sonicWriteShortToStream(s, pcm.samples.data(), static_cast<int>(pcm.samples.size()));
    sonicFlushStream(s);
    std::vector<std::int16_t> out(static_cast<std::size_t>(sonicSamplesAvailable(s)));
    out.resize(static_cast<std::size_t>(sonicReadShortFromStream(s, out.data(), static_cast<int>(out.size()))));
    sonicDestroyStream(s);
    pcm.samples = std::move(out);
}

void trimSilence(Pcm& pcm) {
    constexpr int kThreshold = 300;  // of 32767
    auto loud = [](std::int16_t v) { return v > kThreshold || v < -kThreshold; };
    auto first = std::find_if(pcm.samples.begin(), pcm.samples.end(), loud);
    if (first == pcm.samples.end()) return;
    auto last = std::find_if(pcm.samples.rbegin(), pcm.samples.rend(), loud).base();
    const long lead = pcm.rate / 50, tail = pcm.rate / 12;  // 20 ms before, 80 ms after
    long from = std::max<long>(0, (first - pcm.samples.begin()) - lead);
    long to = std::min<long>(static_cast<long>(pcm.samples.size()), (last - pcm.samples.begin()) + tail);
    pcm.samples.resize(static_cast<std::size_t>(to));
    pcm.samples.erase(pcm.samples.begin(), pcm.samples.begin() + from);
}

Mix_Chunk* deviceChunk(const Pcm& pcm, std::vector<Uint8>& audio) {
    auto converted = convert(reinterpret_cast<const Uint8*>(pcm.samples.data()), pcm.samples.size() * 2, AUDIO_S16SYS,
                             1, pcm.rate, kMixFormat, kMixChannels, kMixRate);
    if (!converted) return nullptr;
    audio = std::move(*converted);
    return Mix_QuickLoad_RAW(audio.data(), static_cast<Uint32>(audio.size()));
}

SdlMp3Player::~SdlMp3Player() {
    if (!AudioDevice::instance().isOpen()) return;
    if (music_) Mix_HaltMusic(), Mix_FreeMusic(music_);
    for (int c = kSpeechChannel + 1; c < kChannels; ++c) Mix_HaltChannel(c);
    for (auto& [path, chunk] : effects_) Mix_FreeChunk(chunk);
}

int mixerVolume(int percent, bool ducked) {
    int v = std::clamp(percent, 0, 100) * MIX_MAX_VOLUME / 100;
    return ducked ? v * 2 / 5 : v;
}

void SdlMp3Player::init() {
    AudioDevice::instance().open();
    released_ = false;
    applyMusicVolume();
    setEffectVolume(effectVolume_);
}

void SdlMp3Player::free() {
    if (AudioDevice::instance().isOpen()) Mix_HaltMusic();
    if (music_) Mix_FreeMusic(music_), music_ = nullptr;
    released_ = true;
}

void SdlMp3Player::applyMusicVolume() {
    if (AudioDevice::instance().isOpen()) Mix_VolumeMusic(mixerVolume(musicVolume_, ducked_));
}

void SdlMp3Player::setMusicVolume(int percent) {
    musicVolume_ = std::clamp(percent, 0, 100);
    applyMusicVolume();
}

void SdlMp3Player::duck(bool on) {
    ducked_ = on;
    applyMusicVolume();
}

void SdlMp3Player::setEffectVolume(int percent) {
    effectVolume_ = std::clamp(percent, 0, 100);
    if (!AudioDevice::instance().isOpen()) return;
    for (int c = kSpeechChannel + 1; c < kChannels; ++c) Mix_Volume(c, mixerVolume(effectVolume_, false));
}

void SdlMp3Player::effect(const std::string& folder, Effect e) {
    if (log_) log_->write("effect", effectName(e));
    if (released_ || !AudioDevice::instance().isOpen() || effectVolume_ == 0) return;
    const std::string path = folder + "fx-" + effectName(e) + ".wav";
    auto it = std::find_if(effects_.begin(), effects_.end(), [&](const auto& p) { return p.first == path; });
    if (it == effects_.end()) {
        Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
        if (!chunk) return;  // a missing sound is no reason to stop the game
        it = effects_.insert(effects_.end(), {path, chunk});
    }
    // Any free channel but speech's; when all are busy, the oldest sound gives way.
    if (Mix_PlayChannel(-1, it->second, 0) < 0) {
        int oldest = Mix_GroupOldest(-1);
        if (oldest > kSpeechChannel) Mix_PlayChannel(oldest, it->second, 0);
    }
}

double SdlMp3Player::length(const std::string& path) {
    if (released_ || !AudioDevice::instance().isOpen()) return 0;
    Mix_Music* music = Mix_LoadMUS(path.c_str());
    if (!music) return 0;
    double seconds = Mix_MusicDuration(music);
    Mix_FreeMusic(music);
    return seconds > 0 ? seconds : 0;
}

bool SdlMp3Player::start(const std::string& path) {
    if (music_) Mix_HaltMusic(), Mix_FreeMusic(music_), music_ = nullptr;
    skipped_ = false;
    started_ = std::chrono::steady_clock::now();
    if (released_ || !AudioDevice::instance().isOpen()) return false;
    music_ = Mix_LoadMUS(path.c_str());
    applyMusicVolume();
    if (music_ && Mix_PlayMusic(music_, 0) == 0) return true;
    if (music_) Mix_FreeMusic(music_), music_ = nullptr;
    return false;
}

bool SdlMp3Player::playing() { return music_ && !released_ && Mix_PlayingMusic(); }

double SdlMp3Player::position() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void SdlMp3Player::skip() {
    if (!playing()) return;
    Mix_HaltMusic();
    skipped_ = true;
}

}  // namespace ozn
