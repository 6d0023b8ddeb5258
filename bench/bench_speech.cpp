// Speech latency: from `reading` of a list entry to the first sound sample
// handed to the audio device, for a new text and for a repeated one.
#include <SDL_mixer.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "core/datafiles.h"
#include "core/random.h"
#include "fakes.h"
#include "racecard/racecard.h"
#include "sound/audio.h"
#include "betting/betting.h"
#include "sound/engines.h"
#include "sound/mixer.h"
#include "sound/readings.h"

namespace {

using Clock = std::chrono::steady_clock;

ozn::GameRecord cardRecord() {
    ozn::GameRecord rec;
    for (int k = 0; k < 18; ++k) {
        rec.racelist[k] = "レース";
        rec.horsename[k] = "ウマ";
        ozn::parseOddsLine(rec, k, std::to_string(k + 1) + " " + std::to_string(2 + k * k / 2) + " " +
                                       std::to_string(1 + k));
    }
    rec.mochikin = 15000;
    return rec;
}
std::atomic<bool> g_armed{false};
std::atomic<Clock::rep> g_heard{0};

void postMix(void*, Uint8* stream, int len) {
    if (!g_armed.load()) return;
    auto* s = reinterpret_cast<const Sint16*>(stream);
    for (int i = 0; i < len / 2; ++i)
        if (s[i] != 0) {
            g_heard.store(Clock::now().time_since_epoch().count());
            g_armed.store(false);
            return;
        }
}

double secondsToFirstSample(ozn::OpenJTalkEngine& engine, const std::string& text, bool silenceFirst = true) {
    if (silenceFirst) {
        engine.speak("", ozn::SpeakMode::Interrupt, ozn::Topic::Entry);  // silence, then listen
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
    g_heard.store(0);
    g_armed.store(true);
    auto start = Clock::now();
    engine.speak(text, ozn::SpeakMode::Interrupt, ozn::Topic::Entry);
    while (g_heard.load() == 0 && Clock::now() - start < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    g_armed.store(false);
    return std::chrono::duration<double>(Clock::duration(g_heard.load()) - start.time_since_epoch()).count();
}

// Open JTalk on a speech channel whose first sample is listened for.
struct Listening {
    ozn::SpeechChannel channel;
    ozn::OpenJTalkEngine engine{channel};
    bool ok = false;
    explicit Listening(benchmark::State& state) {
        ok = engine.available() && ozn::AudioDevice::instance().open();
        if (!ok) state.SkipWithError("Open JTalk or audio not available");
        else Mix_SetPostMix(postMix, nullptr);
    }
    ~Listening() {
        if (!ok) return;
        Mix_SetPostMix(nullptr, nullptr);
        engine.speak("", ozn::SpeakMode::Interrupt, ozn::Topic::Entry);
    }
};

void runLatency(benchmark::State& state, bool repeated) {
    Listening l(state);
    if (!l.ok) return;
    ozn::OpenJTalkEngine& engine = l.engine;
    const std::string names[] = {"サンダーダスト", "ハヤテノカゼ", "ミドリノマイル", "アサヒノツバサ", "ギンノオウカン"};
    int n = 0;
    if (repeated) secondsToFirstSample(engine, "12番 ミナモノカガミ 118.6 倍 17番人気)");
    for (auto _ : state) {
        ++n;
        std::string text = repeated ? "12番 ミナモノカガミ 118.6 倍 17番人気)"
                                    : std::to_string(n % 18 + 1) + "番 " + names[n % 5] + " " +
                                          std::to_string(n) + ".5 倍 " + std::to_string(n % 18 + 1) + "番人気)";
        state.SetIterationTime(secondsToFirstSample(engine, text));
    }
}

// A player moving through a list: each entry is said and its neighbours are
// made ahead, as the window does; after listening a while the player moves
// by `step`. Reports the median and 95th percentile from key to sound.
void runListMoves(benchmark::State& state, int step) {
    Listening l(state);
    if (!l.ok) return;
    ozn::OpenJTalkEngine& engine = l.engine;
    ozn::GameRecord rec = cardRecord();
    ozn::GameRandom rng(7);
    ozn::test::FakeUi ui;
    const ozn::TextList trios = ozn::readlist(rec, rng)[4];
    std::vector<std::string> entries;
    for (std::string t : trios) entries.push_back(t);
    // As the window does: every entry one key reaches.
    auto neighbours = [&](std::size_t i) {
        std::vector<std::string> out;
        for (int r : ozn::rowsAhead(5, static_cast<int>(i), static_cast<int>(entries.size()))) out.push_back(entries[r]);
        return out;
    };
    std::size_t at = 0;
    engine.speak(entries[at], ozn::SpeakMode::Interrupt, ozn::Topic::Entry);
    engine.prefetch(neighbours(at));
    std::vector<double> samples;
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));  // listening
        at = (at + step) % entries.size();
        double t = secondsToFirstSample(engine, entries[at], false);
        engine.prefetch(neighbours(at));
        samples.push_back(t);
        state.SetIterationTime(t);
    }
    std::sort(samples.begin(), samples.end());
    auto pct = [&](double p) { return samples[static_cast<std::size_t>(p * (samples.size() - 1) + 0.5)] * 1000; };
    state.counters["p50_ms"] = pct(0.5);
    state.counters["p95_ms"] = pct(0.95);
}

void BM_ListMoveAdjacent(benchmark::State& state) { runListMoves(state, 1); }
void BM_ListMovePageDown(benchmark::State& state) { runListMoves(state, 10); }
void BM_ListMoveShiftPageDown(benchmark::State& state) { runListMoves(state, 100); }
BENCHMARK(BM_ListMoveAdjacent)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK(BM_ListMovePageDown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK(BM_ListMoveShiftPageDown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

// Speed: the length of a phrase's sound at 200 % over its length at 100 %,
// silence trimmed as when it is played (the goal is at most 0.6).
void BM_JTalkRate200Length(benchmark::State& state) {
    ozn::SpeechChannel channel;
    ozn::OpenJTalkEngine engine(channel);
    if (!engine.available()) return state.SkipWithError("Open JTalk not available");
    const std::string text = "さんれんたん 15番7番3番 1200円 買いました";
    double ratio = 0;
    for (auto _ : state) {
        auto normal = engine.synthesize(text, {100, 0, 100}), fast = engine.synthesize(text, {200, 0, 100});
        if (!normal || !fast) return state.SkipWithError("synthesis failed");
        ozn::trimSilence(*normal);
        ozn::trimSilence(*fast);
        ratio = static_cast<double>(fast->samples.size()) / normal->samples.size();
    }
    state.counters["length_ratio"] = ratio;
}
BENCHMARK(BM_JTalkRate200Length)->Unit(benchmark::kMillisecond)->Iterations(3);

// A typed-entry prompt made ahead in idle time: from the key to its first sound.
void BM_TypedEntryPromptMadeAhead(benchmark::State& state) {
    Listening l(state);
    if (!l.ok) return;
    const std::string prompt = ozn::withReadings("３連単の馬番を071518などのように六桁で入れて下さい");
    l.engine.prefetchIdle({prompt});
    for (int i = 0; i < 400 && !l.channel.has(prompt, l.engine.voice()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    for (auto _ : state) state.SetIterationTime(secondsToFirstSample(l.engine, prompt));
}
BENCHMARK(BM_TypedEntryPromptMadeAhead)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_JTalkNewEntry(benchmark::State& state) { runLatency(state, false); }
void BM_JTalkRepeatedEntry(benchmark::State& state) { runLatency(state, true); }
BENCHMARK(BM_JTalkNewEntry)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_JTalkRepeatedEntry)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

namespace {

// Gaps inside a sentence while the machine is loaded: 40 texts never heard
// before, each of several phrases, said by Open JTalk while two threads keep
// both cores busy. The channel is watched every 0.5 ms; a gap is a stretch of
// silence between a text's first sound and its end. Reports the largest gap
// of all texts and the 95th percentile of each text's largest gap (the goal:
// none over 150 ms).
void BM_SpeechGapsUnderLoad(benchmark::State& state) {
    Listening l(state);
    if (!l.ok) return;
    std::atomic<bool> loaded{true};
    std::vector<std::thread> load;
    for (int i = 0; i < 2; ++i)
        load.emplace_back([&] {
            volatile unsigned long x = 0;
            while (loaded.load(std::memory_order_relaxed)) x = x * 31 + 7;
        });
    const std::string names[] = {"サンダーダスト", "ハヤテノカゼ", "ミドリノマイル", "アサヒノツバサ", "ギンノオウカン"};
    std::vector<double> worst;
    int n = 0;
    for (auto _ : state) {
        ++n;
        const std::string text = "たんしょう " + std::to_string(n % 18 + 1) + "番 " + names[n % 5] + " " + std::to_string(n + 3) +
                                 ".5倍、払い戻し " + std::to_string(n * 130) + "円、残りもちがねは " +
                                 std::to_string(15000 + n * 70) + "円です";
        const auto t0 = Clock::now();
        if (std::getenv("OZN_BENCH_TRACE"))
            l.channel.setPlayedHook([t0](const std::string& p) {
                std::fprintf(stderr, "%6.0f ms %s\n", std::chrono::duration<double, std::milli>(Clock::now() - t0).count(), p.c_str());
            });
        l.engine.speak(text, ozn::SpeakMode::Interrupt, ozn::Topic::Info);
        const auto until = Clock::now() + std::chrono::seconds(30);
        while (!Mix_Playing(ozn::kSpeechChannel) && Clock::now() < until) std::this_thread::sleep_for(std::chrono::microseconds(500));
        double gap = 0, longest = 0;
        auto silentFrom = Clock::now();
        bool silent = false;
        while (l.channel.speaking() && Clock::now() < until) {
            const bool playing = Mix_Playing(ozn::kSpeechChannel);
            if (!playing && !silent) silentFrom = Clock::now();
            if (!playing) gap = std::chrono::duration<double>(Clock::now() - silentFrom).count();
            if (playing && silent) {
                longest = std::max(longest, gap);
                if (std::getenv("OZN_BENCH_TRACE")) std::fprintf(stderr, "  gap %.0f ms\n", gap * 1000);
            }
            silent = !playing;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        worst.push_back(longest * 1000);
        state.SetIterationTime(longest);
    }
    loaded = false;
    for (std::thread& t : load) t.join();
    std::sort(worst.begin(), worst.end());
    state.counters["max_gap_ms"] = worst.back();
    state.counters["p95_gap_ms"] = worst[static_cast<std::size_t>(0.95 * (worst.size() - 1) + 0.5)];
}
BENCHMARK(BM_SpeechGapsUnderLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

// Ctrl+Up: "速さ 110%" is said in the new voice; made ahead in it before the
// key, it starts at once (the goal: within 50 ms).
void BM_SpeedStepMadeAhead(benchmark::State& state) {
    Listening l(state);
    if (!l.ok) return;
    int speed = 100;
    for (auto _ : state) {
        const int next = speed == 100 ? 110 : 100;
        const std::string said = "速さ " + std::to_string(next) + "%";
        l.engine.prefetchIn({next, 0, 100}, {said});
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the player listens a while
        l.engine.setParams({next, 0, 100});
        state.SetIterationTime(secondsToFirstSample(l.engine, said));
        speed = next;
    }
}
BENCHMARK(BM_SpeedStepMadeAhead)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
