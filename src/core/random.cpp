#include "core/random.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <thread>

namespace ozn {

int draw(Random& rng, int n) {
    int k = static_cast<int>(std::floor(rng.next() * n)) + 1;
    return k > n ? n : (k < 1 ? 1 : k);
}

GameRandom::GameRandom(std::optional<std::uint64_t> fixedSeed)
    : engine_(fixedSeed.value_or(static_cast<std::uint64_t>(
          std::chrono::steady_clock::now().time_since_epoch().count()))),
      fixed_(fixedSeed.has_value()) {}

double GameRandom::next() {
    return std::generate_canonical<double, 53>(engine_);
}

void GameRandom::reseed() {
    std::uint64_t mix = fixed_ ? ++counter_
                               : static_cast<std::uint64_t>(
                                     std::chrono::system_clock::now().time_since_epoch().count());
    // Mixing the old state in keeps two re-seeds within one clock tick apart.
    std::seed_seq seq{static_cast<std::uint32_t>(engine_()), static_cast<std::uint32_t>(engine_() >> 32),
                      static_cast<std::uint32_t>(mix), static_cast<std::uint32_t>(mix >> 32)};
    engine_.seed(seq);
}

std::optional<std::uint64_t> seedFromEnvironment() {
    const char* s = std::getenv("OZN_SEED");
    if (!s || !*s) return std::nullopt;
    char* end = nullptr;
    unsigned long long v = std::strtoull(s, &end, 10);
    if (*end != '\0') return std::nullopt;
    return v;
}

double SystemClock::monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double SystemClock::secondsOfDay() {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    double frac = std::chrono::duration<double>(now.time_since_epoch()).count();
    frac -= std::floor(frac);
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + frac;
}

void SystemClock::sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace ozn
