#pragma once
#include <cstdint>
#include <optional>
#include <random>

#include "core/interfaces.h"

namespace ozn {

// The game's generator. Re-seeding mixes the clock into the state, or, when
// a fixed seed was given (OZN_SEED), a counter, so a seeded run repeats.
class GameRandom : public Random {
public:
    explicit GameRandom(std::optional<std::uint64_t> fixedSeed);
    double next() override;
    void reseed() override;

private:
    std::mt19937_64 engine_;
    bool fixed_;
    std::uint64_t counter_ = 0;
};

// Reads OZN_SEED; nullopt when unset or not a number.
std::optional<std::uint64_t> seedFromEnvironment();

class SystemClock : public Clock {
public:
    double monotonicSeconds() override;
    double secondsOfDay() override;
    void sleepMs(int ms) override;
};

}  // namespace ozn
