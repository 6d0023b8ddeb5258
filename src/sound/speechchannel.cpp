// The speech channel: texts spoken phrase by phrase on a mixer channel of
// their own, made by a worker thread and kept per voice.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "sound/audio.h"
#include "sound/mixer.h"

namespace ozn {

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
        if (cached(a.phrase, a.voice)) {
            if (kept) caches[a.voice].front().kept = true;  // found: now the front
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

}  // namespace ozn
