#include "sound/audio.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <sonic.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "core/stopsignal.h"
#include "sound/voice.h"

namespace ozn {
namespace {

constexpr int kSpeechChannel = 0;
constexpr int kChannels = 4;  // speech, and three for the sounds of events
// The mixer works in this one format; SDL converts it for whatever the
// device takes, so sounds are made for it without asking.
constexpr int kMixRate = 44100, kMixChannels = 2;
constexpr SDL_AudioFormat kMixFormat = AUDIO_S16SYS;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

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

std::vector<std::string> phrases(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    auto flush = [&] {
        if (!cur.empty()) out.push_back(cur);
        cur.clear();
    };
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            flush();
            ++i;
        } else if (text.compare(i, 3, "、") == 0 || text.compare(i, 3, "。") == 0) {
            cur.append(text, i, 3);
            flush();
            i += 3;
        } else {
            cur += text[i++];
        }
    }
    flush();
    return out;
}

// The audio converted to what the mixer plays, kept in `audio`: the chunk
// only points into it.
Mix_Chunk* deviceChunk(const Pcm& pcm, std::vector<Uint8>& audio) {
    auto converted = convert(reinterpret_cast<const Uint8*>(pcm.samples.data()), pcm.samples.size() * 2, AUDIO_S16SYS,
                             1, pcm.rate, kMixFormat, kMixChannels, kMixRate);
    if (!converted) return nullptr;
    audio = std::move(*converted);
    return Mix_QuickLoad_RAW(audio.data(), static_cast<Uint32>(audio.size()));
}

// What the caller and the worker share. Every field is guarded by `m`.
struct SpeechChannel::Shared {
    mutable std::mutex m;
    std::condition_variable cv;
    bool quit = false;
    std::uint64_t generation = 0;  // raised by every text that cuts in, and by stop()

    struct Phrase {
        std::string text, voice;
        Synth synth;
        bool commentary = false;
    };
    std::deque<Phrase> pending;  // phrases still to be made and played, in order
    Mix_Chunk* ready = nullptr;  // the next phrase, made and waiting for the channel
    bool readyCommentary = false, playingCommentary = false;

    struct Ahead {
        std::string phrase, voice;
        Synth synth;
    };
    std::deque<Ahead> ahead;  // phrases a player is likely to want next
    std::deque<Ahead> idle;   // fixed texts, made last and kept
    std::string inFlight;     // the key the worker is making ahead right now
    std::set<std::string> retired;  // voices whose settings changed: nothing made in them is kept

    struct Entry {
        std::string phrase;
        Mix_Chunk* chunk;
        std::vector<Uint8> audio;  // in the device's format; the chunk only points into it
        bool kept = false;         // a fixed text: never pushed out
    };
    std::map<std::string, std::list<Entry>> caches;  // per voice, most recent first
    static constexpr std::size_t kCacheSize = 160;

    // The race's calls are not cut off by the texts that come meanwhile.
    bool commentaryOn() const {
        if (playingCommentary && Mix_Playing(kSpeechChannel)) return true;
        if (ready && readyCommentary) return true;
        return std::any_of(pending.begin(), pending.end(), [](const Phrase& p) { return p.commentary; });
    }
    bool making = false;  // the worker makes a phrase of what is being said
    std::uint64_t makingGen = 0;  // of this text: one cut off since is no longer being said
    bool busy() const {
        return !pending.empty() || ready || (making && makingGen == generation) || Mix_Playing(kSpeechChannel);
    }

    Mix_Chunk* cached(const std::string& phrase, const std::string& voice) {
        auto found = caches.find(voice);
        if (found == caches.end()) return nullptr;
        auto& cache = found->second;
        for (auto it = cache.begin(); it != cache.end(); ++it)
            if (it->phrase == phrase) {
                cache.splice(cache.begin(), cache, it);
                return cache.front().chunk;
            }
        return nullptr;
    }

    void freeChunk(Mix_Chunk* chunk) {
        if (Mix_Playing(kSpeechChannel) && Mix_GetChunk(kSpeechChannel) == chunk) Mix_HaltChannel(kSpeechChannel);
        if (ready == chunk) ready = nullptr;
        Mix_FreeChunk(chunk);
    }

    // Keeps newly made audio in the voice's cache; if the other side made the
    // same phrase meanwhile, that one is kept. Null when nothing was made, or
    // when the voice was retired while it was being made.
    Mix_Chunk* store(const std::string& phrase, const std::string& voice, std::optional<Pcm> pcm, bool kept = false) {
        if (!pcm || retired.count(voice)) return nullptr;
        if (Mix_Chunk* c = cached(phrase, voice)) return c;
        trimSilence(*pcm);
        Entry e{phrase, nullptr, {}, kept};
        e.chunk = deviceChunk(*pcm, e.audio);
        if (!e.chunk) return nullptr;
        auto& cache = caches[voice];
        cache.push_front(std::move(e));
        if (cache.size() > kCacheSize) {
            Mix_Chunk* playing = Mix_Playing(kSpeechChannel) ? Mix_GetChunk(kSpeechChannel) : nullptr;
            for (auto victim = std::prev(cache.end()); victim != cache.begin(); --victim)
                if (victim->chunk != playing && victim->chunk != ready && !victim->kept) {
                    Mix_FreeChunk(victim->chunk);
                    cache.erase(victim);
                    break;
                }
        }
        return cache.front().chunk;
    }

    // A chunk for the phrase in this voice, from the cache or newly made;
    // null on failure.
    Mix_Chunk* chunkFor(const std::string& phrase, const std::string& voice, const Synth& make,
                        std::unique_lock<std::mutex>& lock) {
        // Being made ahead already: waiting for it beats making it twice.
        while (inFlight == voice + '\n' + phrase) cv.wait(lock);
        if (Mix_Chunk* c = cached(phrase, voice)) return c;
        lock.unlock();
        auto pcm = make(phrase);
        lock.lock();
        return store(phrase, voice, std::move(pcm));
    }

    void makeAhead(std::deque<Ahead>& from, std::unique_lock<std::mutex>& lock) {
        const bool kept = &from == &idle;
        Ahead a = std::move(from.front());
        from.pop_front();
        if (Mix_Chunk* c = cached(a.phrase, a.voice)) {
            if (kept) caches[a.voice].front().kept = true;  // found: now the front
            (void)c;
            return;
        }
        inFlight = a.voice + '\n' + a.phrase;
        lock.unlock();
        auto pcm = a.synth(a.phrase);
        lock.lock();
        inFlight.clear();
        store(a.phrase, a.voice, std::move(pcm), kept);
        cv.notify_all();
    }

    void cut() {
        ++generation;
        pending.clear();
        ready = nullptr;
        playingCommentary = false;
        if (AudioDevice::instance().isOpen()) Mix_HaltChannel(kSpeechChannel);
    }
};

SpeechChannel::SpeechChannel() : shared_(std::make_shared<Shared>()) {
    worker_ = std::thread([s = shared_] {
        std::unique_lock lock(s->m);
        std::uint64_t readyGen = 0;
        for (;;) {
            if (s->quit) return;
            if (s->ready && s->generation != readyGen) s->ready = nullptr;
            // The next phrase of what is being said is made first, while the
            // current one plays, and handed over as soon as it ends.
            if (!s->ready && !s->pending.empty()) {
                std::uint64_t gen = s->generation;
                Shared::Phrase next = std::move(s->pending.front());
                s->pending.pop_front();
                s->making = true;
                s->makingGen = gen;
                Mix_Chunk* c = s->chunkFor(next.text, next.voice, next.synth, lock);
                s->making = false;
                if (s->generation != gen) continue;
                if (c) s->ready = c, s->readyCommentary = next.commentary, readyGen = gen;
                s->cv.notify_all();
                continue;
            }
            if (s->ready && !Mix_Playing(kSpeechChannel)) {
                Mix_PlayChannel(kSpeechChannel, s->ready, 0);
                s->playingCommentary = s->readyCommentary;
                s->ready = nullptr;
                s->cv.notify_all();
                continue;
            }
            // Meanwhile, what the player is likely to hear next.
            if (!s->ahead.empty() || !s->idle.empty()) {
                s->makeAhead(s->ahead.empty() ? s->idle : s->ahead, lock);
                continue;
            }
            if (s->ready) s->cv.wait_for(lock, std::chrono::milliseconds(5));
            else s->cv.wait(lock, [&] { return s->quit || !s->pending.empty() || !s->ahead.empty() || !s->idle.empty(); });
        }
    });
}

void SpeechChannel::shutdown() {
    {
        std::lock_guard lock(shared_->m);
        shared_->quit = true;
        shared_->cut();
        shared_->ahead.clear();
        shared_->idle.clear();
    }
    shared_->cv.notify_all();
    if (worker_.joinable()) worker_.join();
}

SpeechChannel::~SpeechChannel() {
    shutdown();
    for (auto& [voice, cache] : shared_->caches)
        for (auto& e : cache) Mix_FreeChunk(e.chunk);
}

bool SpeechChannel::say(const std::string& text, const std::string& voice, const Synth& synth, SpeakMode mode) {
    // Without a real sound device nobody would hear it: let the next engine
    // (or the clipboard, for a screen reader) take the text.
    if (!audible()) return false;
    std::vector<std::string> parts = phrases(text);
    std::unique_lock lock(shared_->m);
    if (shared_->quit) return false;
    shared_->retired.erase(voice);
    const bool queued = mode == SpeakMode::Queue || mode == SpeakMode::Commentary || shared_->commentaryOn();
    if (!queued) shared_->cut();
    std::uint64_t gen = shared_->generation;
    if (parts.empty()) return true;
    std::size_t from = 0;
    if (!queued) {
        // The first phrase is made here, so a failing engine is known at once.
        Mix_Chunk* first = shared_->chunkFor(parts.front(), voice, synth, lock);
        if (!first) return false;
        if (shared_->generation != gen) return true;
        Mix_HaltChannel(kSpeechChannel);
        Mix_PlayChannel(kSpeechChannel, first, 0);
        from = 1;
    }
    for (std::size_t i = from; i < parts.size(); ++i)
        shared_->pending.push_back({parts[i], voice, synth, mode == SpeakMode::Commentary});
    shared_->cv.notify_all();
    return true;
}

void SpeechChannel::prefetch(const std::vector<std::string>& texts, const std::string& voice, const Synth& synth) {
    if (!audible()) return;
    std::vector<std::vector<std::string>> parts;
    for (const std::string& t : texts) parts.push_back(phrases(t));
    std::lock_guard lock(shared_->m);
    if (shared_->quit) return;
    shared_->retired.erase(voice);
    // Only the latest wishes count: the player has moved on from the others.
    shared_->ahead.clear();
    // The first phrase of each text decides how soon it is heard; the rest
    // can follow while that one plays.
    for (std::size_t round = 0; round < 8; ++round)
        for (const auto& p : parts)
            if (round < p.size()) shared_->ahead.push_back({p[round], voice, synth});
    shared_->cv.notify_all();
}

void SpeechChannel::prefetchIdle(const std::vector<std::string>& texts, const std::string& voice, const Synth& synth) {
    if (!audible()) return;
    std::lock_guard lock(shared_->m);
    if (shared_->quit) return;
    shared_->retired.erase(voice);
    for (const std::string& t : texts)
        for (const std::string& p : phrases(t)) shared_->idle.push_back({p, voice, synth});
    shared_->cv.notify_all();
}

bool SpeechChannel::has(const std::string& phrase, const std::string& voice) const {
    std::lock_guard lock(shared_->m);
    auto found = shared_->caches.find(voice);
    if (found == shared_->caches.end()) return false;
    return std::any_of(found->second.begin(), found->second.end(), [&](const auto& e) { return e.phrase == phrase; });
}

void SpeechChannel::stop() {
    std::lock_guard lock(shared_->m);
    shared_->cut();
}

bool SpeechChannel::speaking() const {
    std::lock_guard lock(shared_->m);
    return AudioDevice::instance().isOpen() && shared_->busy();
}

void SpeechChannel::setVolume(int volume) {
    if (AudioDevice::instance().open()) Mix_Volume(kSpeechChannel, std::clamp(volume, 0, MIX_MAX_VOLUME));
}

void SpeechChannel::forget(const std::string& voice) {
    std::lock_guard lock(shared_->m);
    shared_->retired.insert(voice);
    auto& s = *shared_;
    std::erase_if(s.pending, [&](const Shared::Phrase& p) { return p.voice == voice; });
    std::erase_if(s.ahead, [&](const Shared::Ahead& a) { return a.voice == voice; });
    std::erase_if(s.idle, [&](const Shared::Ahead& a) { return a.voice == voice; });
    auto found = s.caches.find(voice);
    if (found == s.caches.end()) return;
    for (auto& e : found->second) s.freeChunk(e.chunk);
    s.caches.erase(found);
}

SdlMp3Player::~SdlMp3Player() {
    if (!AudioDevice::instance().isOpen()) return;
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

bool SdlMp3Player::playAndWait(const std::string& path, bool serviceEvents, Ui& ui, const Tick& tick) {
    Mix_Music* music = released_ || !AudioDevice::instance().isOpen() || stopRequested() ? nullptr
                                                                                         : Mix_LoadMUS(path.c_str());
    // A skip asked for before the start music began is taken as it begins;
    // the fanfare, which lets no events through, never sees one.
    auto skipped = [&] { return serviceEvents && skip_; };
    const auto start = std::chrono::steady_clock::now();
    auto seconds = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    applyMusicVolume();
    if (music && Mix_PlayMusic(music, 0) == 0) {
        while (Mix_PlayingMusic() && !stopRequested() && !skipped()) {
            if (serviceEvents) ui.processEvents();
            if (tick && !skipped()) tick(seconds());
            sleepMs(10);
        }
        Mix_HaltMusic();
    }
    if (music) Mix_FreeMusic(music);
    // What is still being said over it is waited for in the same way.
    while (music && serviceEvents && tick && !stopRequested() && !skipped() && tick(seconds())) {
        ui.processEvents();
        sleepMs(10);
    }
    const bool heard = !skipped();
    if (serviceEvents) skip_ = false;
    return heard;
}

}  // namespace ozn
