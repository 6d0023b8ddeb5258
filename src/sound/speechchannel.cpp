// The speech channel: texts spoken phrase by phrase on a mixer channel of
// their own, made by worker threads and kept per voice.
#include <algorithm>
#include <atomic>
#include <functional>
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

namespace {
std::atomic<int> g_abandoning{0};
constexpr int kMakers = 4;
}  // namespace

bool synthesisAbandoned() { return g_abandoning.load() > 0; }

// What the callers and the threads share. Every field is guarded by `m`.
struct SpeechChannel::Shared {
    mutable std::mutex m;
    std::condition_variable cv;
    bool quit = false;

    // A phrase of what is being said, in the order it is heard. Makers take
    // the first ones not yet taken, so the next phrases are made while one
    // plays; the player hands each to the channel as the last one ends.
    struct Phrase {
        std::string text, voice;
        Synth synth;
        bool commentary = false;
        std::uint64_t textId = 0;
        bool first = false;  // a text's first phrase: its failure hands the text on
        bool wasKept = false;  // made before the text came
        Failed onFail;
        enum State { Waiting, Making, Made, Lost } state = Waiting;
        Mix_Chunk* chunk = nullptr;
        std::chrono::steady_clock::time_point started;
    };
    std::deque<std::shared_ptr<Phrase>> queue;
    std::uint64_t texts = 0;
    bool playingCommentary = false;

    struct Ahead {
        std::string phrase, voice;
        Synth synth;
    };
    std::deque<Ahead> ahead;        // phrases a player is likely to want next
    std::deque<Ahead> idle;         // fixed texts, made last and kept
    bool backgroundBusy = false;    // one maker at a time works ahead: the other is free for what is said
    std::set<std::string> inFlight; // keys being made right now
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
        return std::any_of(queue.begin(), queue.end(), [](const auto& p) { return p->commentary; });
    }
    bool busy() const { return !queue.empty() || Mix_Playing(kSpeechChannel); }

    static std::string key(const std::string& voice, const std::string& phrase) { return voice + '\n' + phrase; }

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

    bool inUse(Mix_Chunk* chunk) const {
        if (Mix_Playing(kSpeechChannel) && Mix_GetChunk(kSpeechChannel) == chunk) return true;
        return std::any_of(queue.begin(), queue.end(), [&](const auto& p) { return p->chunk == chunk; });
    }

    void freeChunk(Mix_Chunk* chunk) {
        if (Mix_Playing(kSpeechChannel) && Mix_GetChunk(kSpeechChannel) == chunk) Mix_HaltChannel(kSpeechChannel);
        std::erase_if(queue, [&](const auto& p) { return p->chunk == chunk; });
        Mix_FreeChunk(chunk);
    }

    // Keeps newly made audio in the voice's cache; if it was made meanwhile
    // elsewhere, that one is kept. Null when nothing was made, or when the
    // voice was retired while it was being made.
    Mix_Chunk* store(const std::string& phrase, const std::string& voice, std::optional<Pcm> pcm, bool kept = false) {
        if (!pcm || retired.count(voice)) return nullptr;
        if (Mix_Chunk* c = cached(phrase, voice)) return c;
        trimSilence(*pcm);
        Entry e{phrase, nullptr, {}, kept};
        e.chunk = deviceChunk(*pcm, e.audio);
        if (!e.chunk) return nullptr;
        auto& cache = caches[voice];
        cache.push_front(std::move(e));
        if (cache.size() > kCacheSize)
            for (auto victim = std::prev(cache.end()); victim != cache.begin(); --victim)
                if (!victim->kept && !inUse(victim->chunk)) {
                    Mix_FreeChunk(victim->chunk);
                    cache.erase(victim);
                    break;
                }
        return cache.front().chunk;
    }

    // Makes one phrase with the lock released; another maker already making
    // it is waited for rather than doubled.
    Mix_Chunk* make(const std::string& phrase, const std::string& voice, const Synth& synth, bool kept,
                    std::unique_lock<std::mutex>& lock) {
        const std::string k = key(voice, phrase);
        while (inFlight.count(k)) cv.wait(lock);
        if (Mix_Chunk* c = cached(phrase, voice)) return c;
        inFlight.insert(k);
        lock.unlock();
        auto pcm = synth(phrase);
        lock.lock();
        inFlight.erase(k);
        Mix_Chunk* c = store(phrase, voice, std::move(pcm), kept);
        cv.notify_all();
        return c;
    }

    // One round of a maker: true when it did something.
    bool makeOne(std::unique_lock<std::mutex>& lock) {
        for (const auto& p : queue)
            if (p->state == Phrase::Waiting) {
                std::shared_ptr<Phrase> mine = p;
                mine->state = Phrase::Making;
                mine->started = std::chrono::steady_clock::now();
                Mix_Chunk* c = make(mine->text, mine->voice, mine->synth, false, lock);
                // Given up on meanwhile (cut off, or past the limit): the sound stays in the cache.
                if (mine->state == Phrase::Making) {
                    mine->chunk = c;
                    mine->state = c ? Phrase::Made : Phrase::Lost;
                }
                cv.notify_all();
                return true;
            }
        if (backgroundBusy || (ahead.empty() && idle.empty())) return false;
        std::deque<Ahead>& from = ahead.empty() ? idle : ahead;
        const bool kept = &from == &idle;
        Ahead a = std::move(from.front());
        from.pop_front();
        if (cached(a.phrase, a.voice)) {
            if (kept) caches[a.voice].front().kept = true;  // found: now the front
            return true;
        }
        backgroundBusy = true;
        make(a.phrase, a.voice, a.synth, kept, lock);
        backgroundBusy = false;
        cv.notify_all();
        return true;
    }

    // Drops the rest of a text whose phrase failed; what is left of it goes
    // to the next engine when it failed at its start.
    std::function<void()> fail(const std::shared_ptr<Phrase>& failed) {
        std::string rest;
        const bool handOn = failed->onFail && failed->first;
        for (const auto& p : queue)
            if (p->textId == failed->textId) rest += (rest.empty() ? "" : " ") + p->text;
        std::erase_if(queue, [&](const auto& p) { return p->textId == failed->textId; });
        if (!handOn) return {};
        return [f = failed->onFail, rest] { f(rest); };
    }

    // One round of the player: true when it did something. `late` is what
    // is to be run outside the lock.
    bool playOne(std::function<void()>& late) {
        if (queue.empty()) return false;
        std::shared_ptr<Phrase> front = queue.front();
        if (front->state == Phrase::Making && std::chrono::steady_clock::now() - front->started > kPhraseLimit)
            front->state = Phrase::Lost;
        if (front->state == Phrase::Lost) {
            late = fail(front);
            return true;
        }
        if (front->state != Phrase::Made || Mix_Playing(kSpeechChannel) || !secondReady(*front)) return false;
        play(*front);
        queue.pop_front();
        cv.notify_all();
        return true;
    }

    // A text starts once the first of its later pieces that had to be made
    // is made too: short phrases ("3番") are over before the next could be
    // made, and a pause in the middle of a sentence is worse than a later start.
    bool secondReady(const Phrase& front) const {
        if (!front.first) return true;
        for (std::size_t i = 1; i < queue.size(); ++i)
            if (queue[i]->textId == front.textId && !queue[i]->wasKept)
                return queue[i]->state != Phrase::Waiting && queue[i]->state != Phrase::Making;
        return true;
    }

    std::function<void(const std::string&)> played;
    void play(const Phrase& p) {
        Mix_PlayChannel(kSpeechChannel, p.chunk, 0);
        playingCommentary = p.commentary;
        if (played) played(p.text);
    }

    void cut() {
        for (const auto& p : queue) p->state = Phrase::Lost;  // a maker still on one keeps only the sound
        queue.clear();
        playingCommentary = false;
        if (AudioDevice::instance().isOpen()) Mix_HaltChannel(kSpeechChannel);
        cv.notify_all();
    }
};

SpeechChannel::SpeechChannel() : shared_(std::make_shared<Shared>()) {
    // Several makers: the pieces of a text are made side by side (on a busy
    // machine each synthesiser gets its share), and one making ahead never
    // holds up what is being said.
    for (int i = 0; i < kMakers; ++i)
        makers_.emplace_back([s = shared_] {
            std::unique_lock lock(s->m);
            while (!s->quit)
                if (!s->makeOne(lock)) s->cv.wait(lock);
        });
    player_ = std::thread([s = shared_] {
        std::unique_lock lock(s->m);
        while (!s->quit) {
            std::function<void()> late;
            if (s->playOne(late)) {
                if (late) {
                    lock.unlock();
                    late();
                    lock.lock();
                }
                continue;
            }
            // While a phrase plays or is being made, the channel is watched closely.
            if (s->queue.empty()) s->cv.wait(lock);
            else s->cv.wait_for(lock, std::chrono::milliseconds(2));
        }
    });
}

void SpeechChannel::shutdown() {
    ++g_abandoning;  // an engine still making a phrase gives up
    {
        std::lock_guard lock(shared_->m);
        shared_->quit = true;
        shared_->cut();
        shared_->ahead.clear();
        shared_->idle.clear();
    }
    shared_->cv.notify_all();
    for (std::thread& t : makers_)
        if (t.joinable()) t.join();
    if (player_.joinable()) player_.join();
    --g_abandoning;
}

SpeechChannel::~SpeechChannel() {
    shutdown();
    for (auto& [voice, cache] : shared_->caches)
        for (auto& e : cache) Mix_FreeChunk(e.chunk);
}

bool SpeechChannel::say(const std::string& text, const std::string& voice, const Synth& synth, SpeakMode mode,
                        Failed onFail) {
    // Without a real sound device nobody would hear it: let the next engine
    // (or the clipboard, for a screen reader) take the text.
    if (!audible()) return false;
    std::vector<std::string> parts = phrases(text);
    std::lock_guard lock(shared_->m);
    auto& s = *shared_;
    if (s.quit) return false;
    s.retired.erase(voice);
    const bool queued = mode == SpeakMode::Queue || mode == SpeakMode::Commentary || s.commentaryOn();
    if (!queued) s.cut();
    const std::uint64_t id = ++s.texts;
    // Phrases made before are played as they are. Of the others, the first
    // is made alone, to be heard soon; the rest two phrases at a time, each
    // piece made while the one before plays: a loaded machine starting a
    // synthesiser for every short phrase would fall behind the voice.
    std::size_t piece = 1;
    for (std::size_t i = 0; i < parts.size();) {
        auto p = std::make_shared<Shared::Phrase>();
        p->voice = voice, p->synth = synth, p->commentary = mode == SpeakMode::Commentary;
        p->textId = id, p->first = i == 0, p->onFail = onFail;
        if ((p->chunk = s.cached(parts[i], voice))) {
            p->text = parts[i++];
            p->state = Shared::Phrase::Made;
            p->wasKept = true;
        } else {
            for (std::size_t n = 0; n < piece && i < parts.size() && (n == 0 || !s.cached(parts[i], voice)); ++n, ++i)
                joinPhrase(p->text, parts[i]);
            piece = std::min<std::size_t>(piece * 2, 2);
        }
        s.queue.push_back(std::move(p));
    }
    // A first phrase made ahead starts here and now.
    if (!queued && !s.queue.empty() && s.queue.front()->state == Shared::Phrase::Made && s.secondReady(*s.queue.front())) {
        s.play(*s.queue.front());
        s.queue.pop_front();
    }
    s.cv.notify_all();
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

void SpeechChannel::prefetchIdle(const std::vector<std::string>& texts, const std::string& voice, const Synth& synth,
                                 bool first) {
    if (!audible()) return;
    std::lock_guard lock(shared_->m);
    auto& s = *shared_;
    if (s.quit) return;
    s.retired.erase(voice);
    // Asked for again (each step of a setting): what is queued or kept already is not queued twice.
    std::set<std::string> queued;
    for (const auto& a : s.idle) queued.insert(Shared::key(a.voice, a.phrase));
    std::deque<Shared::Ahead> added;
    for (const std::string& t : texts)
        for (const std::string& p : phrases(t))
            if (queued.insert(Shared::key(voice, p)).second && !s.inFlight.count(Shared::key(voice, p)) && !s.cached(p, voice))
                added.push_back({p, voice, synth});
    s.idle.insert(first ? s.idle.begin() : s.idle.end(), added.begin(), added.end());
    s.cv.notify_all();
}

void SpeechChannel::setPlayedHook(std::function<void(const std::string& phrase)> hook) {
    std::lock_guard lock(shared_->m);
    shared_->played = std::move(hook);
}

std::size_t SpeechChannel::idleQueued() const {
    std::lock_guard lock(shared_->m);
    return shared_->idle.size();
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
    auto& s = *shared_;
    s.retired.insert(voice);
    std::erase_if(s.queue, [&](const auto& p) { return p->voice == voice; });
    std::erase_if(s.ahead, [&](const Shared::Ahead& a) { return a.voice == voice; });
    std::erase_if(s.idle, [&](const Shared::Ahead& a) { return a.voice == voice; });
    auto found = s.caches.find(voice);
    if (found == s.caches.end()) return;
    for (auto& e : found->second) s.freeChunk(e.chunk);
    s.caches.erase(found);
}

}  // namespace ozn
