// Speech latency: from `reading` of a list entry to the first sound sample
// handed to the audio device, for a new text and for a repeated one.
#include <SDL_mixer.h>
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "sound/audio.h"
#include "sound/engines.h"

namespace {

using Clock = std::chrono::steady_clock;
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

double secondsToFirstSample(ozn::OpenJTalkEngine& engine, const std::string& text) {
    engine.speak("", false, ozn::Topic::Entry);  // silence, then listen
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    g_heard.store(0);
    g_armed.store(true);
    auto start = Clock::now();
    engine.speak(text, false, ozn::Topic::Entry);
    while (g_heard.load() == 0 && Clock::now() - start < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    g_armed.store(false);
    return std::chrono::duration<double>(Clock::duration(g_heard.load()) - start.time_since_epoch()).count();
}

void runLatency(benchmark::State& state, bool repeated) {
    ozn::SpeechChannel channel;
    ozn::OpenJTalkEngine engine(channel);
    if (!engine.available() || !ozn::AudioDevice::instance().open()) {
        state.SkipWithError("Open JTalk or audio not available");
        return;
    }
    Mix_SetPostMix(postMix, nullptr);
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
    Mix_SetPostMix(nullptr, nullptr);
    engine.speak("", false, ozn::Topic::Entry);
}

void BM_JTalkNewEntry(benchmark::State& state) { runLatency(state, false); }
void BM_JTalkRepeatedEntry(benchmark::State& state) { runLatency(state, true); }
BENCHMARK(BM_JTalkNewEntry)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_JTalkRepeatedEntry)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
