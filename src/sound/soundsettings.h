#pragma once
// The player's sound settings, kept in the user's settings under the keys
// below, and what each speech engine makes of them.
#include <map>
#include <string>
#include <vector>

#include "core/interfaces.h"

namespace ozn {

struct SoundSettings {
    int speed = 100;          // 50..300 %: the game's own speech; 100 = each engine's own pace
    int pitch = 0;            // -10..+10 half-tones
    int speechVolume = 100;   // 10..100 %
    int musicVolume = 100;    // 0..100 %: fanfares and the start music
    int effectVolume = 100;   // 0..100 %: the race's sound effects
    bool commentary = true;   // the race is called while it runs
    bool operator==(const SoundSettings&) const = default;

    // Every value brought into its range.
    SoundSettings clamped() const;
    SpeechParams speech() const { return {speed, pitch, speechVolume}; }

    // Kept as whole numbers under these keys (the commentary as 0 or 1).
    static const std::vector<std::string>& keys();
    std::map<std::string, int> values() const;
    // Missing keys keep their defaults; everything is clamped.
    static SoundSettings fromValues(const std::map<std::string, int>& values);
};

// Ctrl+Up / Ctrl+Down and Ctrl+Right / Ctrl+Left: 10 % steps within range.
// Returns what is said at the new value: "速さ 130%", "音量 80%".
std::string stepSpeed(SoundSettings& s, int direction);
std::string stepVolume(SoundSettings& s, int direction);
// What a slider of the sound dialog says of its value.
std::string speedText(int percent);
std::string pitchText(int steps);
std::string volumeText(int percent);

// Each engine's own terms. Open JTalk and espeak-ng play through the game's
// speech channel, whose SDL volume is their volume: a volume step is heard at
// once and remakes no phrase (their own volume options stay at full, or the
// volume would be applied twice).
// Open JTalk: -fm (half-tones added). Its own speed option (-r) hardly
// shortens a short phrase (0.60 s to 0.55 s at 2.0), so its sound is
// made faster or slower afterwards by `tempo`, pitch kept.
std::vector<std::string> jtalkOptions(const SpeechParams& p);
// espeak-ng: words per minute (its own pace is 175, at most 450), pitch
// 0..100 around 50; beyond 450 the rest of the speed is `tempo`.
struct EspeakParams {
    int rate, pitch;
    double tempo = 1.0;
    bool operator==(const EspeakParams&) const = default;
};
EspeakParams espeakParams(const SpeechParams& p);
// How much faster Open JTalk's sound is played: 2.0 at 200 %.
double jtalkTempo(const SpeechParams& p);
// speech-dispatcher: rate, pitch and volume, each -100..100 around 0.
struct SpeechdParams {
    int rate, pitch, volume;
    bool operator==(const SpeechdParams&) const = default;
};
SpeechdParams speechdParams(const SpeechParams& p);
// The SDL volume (0..128) of the game's own speech channel.
int channelVolume(const SpeechParams& p);

}  // namespace ozn
