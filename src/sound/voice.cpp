#include "sound/voice.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <utility>

#include "core/stopsignal.h"

namespace ozn {

std::unique_ptr<SpeechLog> SpeechLog::fromEnvironment() {
    const char* path = std::getenv("OZN_SPEECH_LOG");
    if (!path || !*path) return nullptr;
    // Never waits: a pipe that nobody reads yet is no transcript, and a
    // reader that falls behind loses lines rather than holding up the game.
    int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "a");
    if (!f) ::close(fd);
    return f ? std::make_unique<SpeechLog>(f) : nullptr;
}

SpeechLog::SpeechLog(std::FILE* file) : file_(file), start_(std::chrono::steady_clock::now()) {}

SpeechLog::~SpeechLog() {
    if (file_) std::fclose(file_);
}

void SpeechLog::write(const char* route, const std::string& text) {
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            line += "\\n";
        } else if (text[i] == '\n') {
            line += "\\n";
        } else {
            line += text[i];
        }
    }
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
    std::lock_guard lock(m_);
    std::fprintf(file_, "%lld\t%s\t%s\n", static_cast<long long>(ms.count()), route, line.c_str());
    std::fflush(file_);  // a transcript is read while the game runs
}

VoiceDispatcher::VoiceDispatcher(GameRecord& rec, Ui& ui, SpeechEngine* engine1, EngineFactory createSecond,
                                 SpeechLog* log)
    : rec_(rec), ui_(ui), engine1_(engine1), createSecond_(std::move(createSecond)), log_(log) {}

std::vector<SpeechEngine*> VoiceDispatcher::engines() const {
    std::vector<SpeechEngine*> out;
    for (SpeechEngine* e : {engine1_, rec_.pctkvoice.get(), rec_.sapivoice.get()})
        if (e && std::find(out.begin(), out.end(), e) == out.end()) out.push_back(e);
    return out;
}

std::string VoiceDispatcher::forEngine(int slot, const std::string& text) {
    if (slot == 3) return text;
    std::string said = withReadings(text);
    if (slot == 1) return said;
    if (!kana_) kana_ = std::make_unique<KanaReader>();
    return forEspeak(kana_->toKana(said));
}

std::vector<std::string> VoiceDispatcher::forEngine(int slot, const std::vector<std::string>& texts) {
    std::vector<std::string> said;
    for (const std::string& t : texts) said.push_back(forEngine(slot, t));
    return said;
}

SpeechEngine* VoiceDispatcher::engineAt(int slot) const {
    return slot == 1 ? engine1_ : (slot == 2 ? rec_.pctkvoice : rec_.sapivoice).get();
}

int VoiceDispatcher::makingSlot() const { return rec_.voicemode == 2 ? 2 : rec_.voicemode == 3 ? 0 : 1; }

bool VoiceDispatcher::speak(int slot, const std::string& text) {
    static const char* const kRoutes[] = {"jtalk", "espeak", "speechd"};
    SpeechEngine* engine = engineAt(slot);
    if (!engine) return false;
    // An engine made since the settings changed hears them before it speaks.
    if (params_ && slot != 1) engine->setParams(*params_);
    const std::string said = forEngine(slot, text);
    if (log_) log_->write(kRoutes[slot - 1], said);
    // What it takes but cannot say after all goes on down the chain, on the
    // window's thread.
    if (slot < 3)
        engine->setFallback([this, slot](const std::string& rest, SpeakMode mode, Topic topic) {
            ui_.post([this, slot, rest, mode, topic] {
                mode_ = mode, topic_ = topic;
                slot == 1 ? fromSecond(rest) : fromThird(rest);
            });
        });
    if (!engine->speak(said, mode_, topic_)) return false;
    lastSlot_ = slot;
    return true;
}

void VoiceDispatcher::fromSecond(const std::string& text, bool thirdTried) {
    if (speak(2, text)) return;
    fromThird(text, thirdTried);
}

void VoiceDispatcher::fromThird(const std::string& text, bool thirdTried) {
    if (!thirdTried && speak(3, text)) return;
    if (log_) log_->write("clipboard", text);
    ui_.setClipboard(text);
}

void VoiceDispatcher::reading(const std::string& text, SpeakMode mode, Topic topic) {
    // When the game is being ended from outside, nothing waits any more.
    if (mode == SpeakMode::Wait && stopRequested()) mode = SpeakMode::Interrupt;
    const bool race = mode == SpeakMode::Wait || mode == SpeakMode::Commentary;
    // A screen reader already reads these; saying them too doubles every key.
    if (screenReader_ && !race && topic != Topic::Info) return;
    if (holding_ && !race && (topic == Topic::Focus || topic == Topic::Entry)) {
        held_ = Held{text, mode, topic};
        return;
    }
    // The first text chooses the engine, and beside a screen reader that is
    // the one it shares: news waits too until it is known whether one runs.
    if (holding_ && !race && !engineChosen()) {
        heldNews_.push_back(Held{text, mode, topic});
        return;
    }
    // The names of controls are no news: F3 and the history pass them by.
    if (race || (topic != Topic::Focus && topic != Topic::Screen)) history_.add(text);
    mode_ = mode;
    topic_ = topic;
    dispatch(text);
}

void VoiceDispatcher::dispatch(const std::string& text) {
    ++handed_;
    switch (rec_.voicemode) {
        case 1:
            if (!speak(1, text)) fromSecond(text);
            return;
        case 2: fromSecond(text); return;
        case 3: fromThird(text); return;
        default: break;
    }
    // First use: find an engine and remember it. With a screen reader, the
    // engine it shares comes first, so both speak in one voice and queue.
    bool thirdTried = false;
    if (screenReader_) {
        if (speak(3, text)) {
            rec_.voicemode = 3;
            return;
        }
        thirdTried = true;
    }
    if (speak(1, text)) {
        rec_.voicemode = 1;
        return;
    }
    rec_.pctkvoice = createSecond_ ? createSecond_() : nullptr;
    if (rec_.pctkvoice) {
        rec_.voicemode = 2;
        fromSecond(text, thirdTried);
    } else {
        rec_.voicemode = 3;
        fromThird(text, thirdTried);
    }
}

void VoiceDispatcher::stop() {
    for (SpeechEngine* e : engines()) e->stop();
}

bool VoiceDispatcher::speaking() const {
    // The engine that took the last text: another one used before may belong
    // to a speech server that never tells its end.
    SpeechEngine* e = lastSlot_ ? engineAt(lastSlot_) : nullptr;
    return e && e->speaking();
}

void VoiceDispatcher::setParams(const SpeechParams& params) {
    params_ = params;
    for (SpeechEngine* e : engines()) e->setParams(params);
    fixedFor_ = 0;  // the sounds made before are gone with the old settings
    makeFixedTexts();
}

void VoiceDispatcher::prefetchIdle(std::vector<std::string> texts) {
    fixed_ = std::move(texts);
    fixedFor_ = 0;
    makeFixedTexts();
}

void VoiceDispatcher::makeFixedTexts() {
    const int slot = makingSlot();
    SpeechEngine* engine = slot ? engineAt(slot) : nullptr;
    if (fixed_.empty() || !engine || screenReader_ || fixedFor_ == slot) return;
    fixedFor_ = slot;
    engine->prefetchIdle(forEngine(slot, fixed_));
}

void VoiceDispatcher::prefetch(const std::vector<std::string>& texts) {
    makeFixedTexts();  // the engine may have changed since
    if (screenReader_) return;  // entries are the screen reader's to say
    const int slot = makingSlot();
    if (SpeechEngine* engine = slot ? engineAt(slot) : nullptr) engine->prefetch(forEngine(slot, texts));
}

void VoiceDispatcher::prefetchIn(const SpeechParams& params, const std::vector<std::string>& texts) {
    const int slot = makingSlot();
    SpeechEngine* engine = slot ? engineAt(slot) : nullptr;
    if (engine && !screenReader_) engine->prefetchIn(params, forEngine(slot, texts));
}

void VoiceDispatcher::releaseHeld() {
    holding_ = false;
    for (const Held& h : std::exchange(heldNews_, {})) h.answer ? answer(h.text, h.mode) : reading(h.text, h.mode, h.topic);
    if (std::optional<Held> h = std::exchange(held_, std::nullopt)) reading(h->text, h->mode, h->topic);
}

void VoiceDispatcher::answer(const std::string& text, SpeakMode mode) {
    if (holding_ && !engineChosen()) {
        heldNews_.push_back(Held{text, mode, Topic::Info, true});
        return;
    }
    mode_ = mode;
    topic_ = Topic::Info;
    dispatch(text);
}

void VoiceDispatcher::repeat() {
    if (!history_.empty()) answer(history_.current());
}

void VoiceDispatcher::older() { answer(history_.older()); }
void VoiceDispatcher::newer() { answer(history_.newer()); }

void switchVoice(GameRecord& rec) {
    ++rec.voicemode;
    if (rec.voicemode > 3 || rec.voicemode == 0) rec.voicemode = 1;
}

std::string voiceName(int voicemode) {
    switch (voicemode) {
        case 1: return "音声1 オープンJトーク";
        case 2: return "音声2 イースピーク";
        case 3: return "音声3 スピーチディスパッチャー";
        default: return "";
    }
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

std::string dialogSpeech(const std::string& title, const std::string& prompt,
                         const std::vector<std::string>& buttons, const std::string& defaultText) {
    std::string out;
    auto add = [&out](const std::string& part) {
        if (part.empty()) return;
        if (!out.empty()) out += "\r\n";
        out += part;
    };
    bool bareNumber = !title.empty() && title.find_first_not_of("0123456789") == std::string::npos;
    if (title != "ozn" && !bareNumber) add(title);
    add(prompt);
    std::string choices;
    for (const std::string& b : buttons) choices += (choices.empty() ? "" : " ") + b;
    add(choices);
    add(defaultText);
    return out;
}

std::string menuItemSpeech(const std::string& caption, const std::string& shortcut) {
    std::string out = caption;
    // "発送(&h)" is read as 発送; a lone "&" marks the access letter in place.
    auto open = out.find("(&");
    if (open != std::string::npos) {
        auto close = out.find(')', open);
        if (close != std::string::npos) out.erase(open, close - open + 1);
    }
    std::string plain;
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i] != '&' || (i + 1 < out.size() && out[i + 1] == '&' && ++i)) plain += out[i];
    if (!shortcut.empty()) plain += " " + shortcut;
    return plain;
}

}  // namespace ozn
