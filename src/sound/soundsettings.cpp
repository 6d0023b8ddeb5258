#include "sound/soundsettings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ozn {

SoundSettings SoundSettings::clamped() const {
    SoundSettings s = *this;
    s.speed = std::clamp(speed, 50, 300);
    s.pitch = std::clamp(pitch, -10, 10);
    s.speechVolume = std::clamp(speechVolume, 10, 100);
    s.musicVolume = std::clamp(musicVolume, 0, 100);
    s.effectVolume = std::clamp(effectVolume, 0, 100);
    return s;
}

const std::vector<std::string>& SoundSettings::keys() {
    static const std::vector<std::string> k = {"sound/speed", "sound/pitch", "sound/speechVolume",
                                               "sound/musicVolume", "sound/effectVolume", "sound/commentary"};
    return k;
}

std::map<std::string, int> SoundSettings::values() const {
    const int v[] = {speed, pitch, speechVolume, musicVolume, effectVolume, commentary ? 1 : 0};
    std::map<std::string, int> out;
    for (std::size_t i = 0; i < keys().size(); ++i) out[keys()[i]] = v[i];
    return out;
}

SoundSettings SoundSettings::fromValues(const std::map<std::string, int>& values) {
    SoundSettings s;
    int* fields[] = {&s.speed, &s.pitch, &s.speechVolume, &s.musicVolume, &s.effectVolume};
    for (std::size_t i = 0; i < std::size(fields); ++i)
        if (auto it = values.find(keys()[i]); it != values.end()) *fields[i] = it->second;
    if (auto it = values.find(keys()[5]); it != values.end()) s.commentary = it->second != 0;
    return s.clamped();
}

namespace {
// To the next multiple of 10 in that direction, so that odd values fall in step.
int step10(int value, int direction) {
    int down = value - ((value % 10) + 10) % 10;
    return direction > 0 ? down + 10 : (down == value ? value - 10 : down);
}
}  // namespace

std::string stepSpeed(SoundSettings& s, int direction) {
    s.speed = std::clamp(step10(s.speed, direction), 50, 300);
    return speedText(s.speed);
}

std::string stepVolume(SoundSettings& s, int direction) {
    s.speechVolume = std::clamp(step10(s.speechVolume, direction), 10, 100);
    return volumeText(s.speechVolume);
}

std::string speedText(int percent) { return "速さ " + std::to_string(percent) + "%"; }
std::string pitchText(int steps) { return "高さ " + std::string(steps > 0 ? "プラス" : steps < 0 ? "マイナス" : "") + std::to_string(std::abs(steps)); }
std::string volumeText(int percent) { return "音量 " + std::to_string(percent) + "%"; }

std::vector<std::string> jtalkOptions(const SpeechParams& p) {
    return {"-fm", std::to_string(p.pitch)};
}

EspeakParams espeakParams(const SpeechParams& p) {
    // espeak-ng takes 80..450 words a minute.
    const int wanted = 175 * p.speed / 100, rate = std::clamp(wanted, 80, 450);
    return {rate, std::clamp(50 + p.pitch * 5, 0, 100), rate < wanted ? static_cast<double>(wanted) / rate : 1.0};
}

SpeechdParams speechdParams(const SpeechParams& p) {
    // Its rate doubles the pace at +100 and, below, halves it at -100: 300 %
    // is as fast as it goes.
    int rate = p.speed >= 100 ? (p.speed - 100) / 2 : (p.speed - 100) * 2;
    return {std::clamp(rate, -100, 100), std::clamp(p.pitch * 10, -100, 100), std::clamp(p.volume * 2 - 100, -100, 100)};
}

double jtalkTempo(const SpeechParams& p) { return std::clamp(p.speed, 50, 300) / 100.0; }

int channelVolume(const SpeechParams& p) { return std::clamp((p.volume * 128 + 50) / 100, 0, 128); }

}  // namespace ozn
