#include "sound/voice.h"

namespace ozn {

VoiceDispatcher::VoiceDispatcher(GameRecord& rec, Ui& ui, SpeechEngine* engine1, EngineFactory createSecond)
    : rec_(rec), ui_(ui), engine1_(engine1), createSecond_(std::move(createSecond)) {}

bool VoiceDispatcher::speak1(const std::string& text, bool wait) {
    return engine1_ && engine1_->speak(text, wait);
}

void VoiceDispatcher::fromSecond(const std::string& text, bool wait) {
    if (rec_.pctkvoice && rec_.pctkvoice->speak(text, wait)) return;
    fromThird(text, wait);
}

void VoiceDispatcher::fromThird(const std::string& text, bool wait) {
    if (rec_.sapivoice && rec_.sapivoice->speak(text, wait)) return;
    ui_.setClipboard(text);
}

void VoiceDispatcher::reading(const std::string& text, SpeakMode mode) {
    const bool wait = mode == SpeakMode::Wait;
    switch (rec_.voicemode) {
        case 1:
            if (!speak1(text, wait)) fromSecond(text, wait);
            return;
        case 2: fromSecond(text, wait); return;
        case 3: fromThird(text, wait); return;
        default:
            // First use: find an engine and remember it.
            if (speak1(text, wait)) {
                rec_.voicemode = 1;
                return;
            }
            rec_.pctkvoice = createSecond_ ? createSecond_() : nullptr;
            if (rec_.pctkvoice) {
                rec_.voicemode = 2;
                fromSecond(text, wait);
            } else {
                rec_.voicemode = 3;
                fromThird(text, wait);
            }
    }
}

void switchVoice(GameRecord& rec) {
    ++rec.voicemode;
    if (rec.voicemode > 3 || rec.voicemode == 0) rec.voicemode = 1;
}

std::string speakableText(const std::string& text) {
    std::string out;
    bool pendingPause = false;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            pendingPause = !out.empty();
            continue;
        }
        if (pendingPause) out += "、";
        pendingPause = false;
        out += c;
    }
    if (pendingPause) out += "、";
    return out;
}

}  // namespace ozn
