// The third engine: speech-dispatcher, the desktop's speech service, which a
// screen reader shares.
#include <libspeechd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "sound/engines.h"
#include "sound/soundsettings.h"
#include "sound/voice.h"

namespace ozn {

void* openWithin(std::function<void*()> open, std::function<void(void*)> close, int timeoutMs) {
    struct Attempt {
        std::mutex m;
        std::condition_variable cv;
        bool done = false, abandoned = false;
        void* made = nullptr;
    };
    auto attempt = std::make_shared<Attempt>();
    std::thread([attempt, open = std::move(open), close = std::move(close)] {
        void* made = open();
        std::lock_guard lock(attempt->m);
        // Made after the caller gave up: nobody else will ever close it.
        if (attempt->abandoned) {
            if (made) close(made);
            return;
        }
        attempt->made = made;
        attempt->done = true;
        attempt->cv.notify_all();
    }).detach();
    std::unique_lock lock(attempt->m);
    if (!attempt->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return attempt->done; })) {
        attempt->abandoned = true;
        return nullptr;
    }
    return attempt->made;
}

void MessageIds::said(int id, bool commentary) {
    std::lock_guard lock(m_);
    lastSaid_ = std::max(lastSaid_, id);
    if (commentary) lastCommentary_ = std::max(lastCommentary_, id);
}

bool MessageIds::commentaryOn() const {
    std::lock_guard lock(m_);
    return lastDone_ < lastCommentary_;
}

void MessageIds::stopCommentary() {
    std::lock_guard lock(m_);
    lastCommentary_ = -1;
}

void MessageIds::ended(int id) {
    std::lock_guard lock(m_);
    lastDone_ = std::max(lastDone_, id);
}

bool MessageIds::speaking() const {
    std::lock_guard lock(m_);
    return lastDone_ < lastSaid_;
}

struct SpeechdEngine::State {
    SPDConnection* conn = nullptr;
    MessageIds ids;
};

namespace {
std::weak_ptr<SpeechdEngine::State> g_speechdState;

void speechdEnded(size_t msgId, size_t, SPDNotificationType) {
    if (auto s = g_speechdState.lock()) s->ids.ended(static_cast<int>(msgId));
}
}  // namespace

std::shared_ptr<SpeechdEngine> SpeechdEngine::connect(int timeoutMs) {
    // The connection (and the daemon's autospawn) can hang without a session;
    // it runs aside and is given up after the timeout.
    SPDConnection* conn = static_cast<SPDConnection*>(openWithin(
        [] {
            char* error = nullptr;
            SPDConnection* c = spd_open2("ozn", "main", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
            std::free(error);
            return static_cast<void*>(c);
        },
        [](void* c) { spd_close(static_cast<SPDConnection*>(c)); }, timeoutMs));
    if (!conn) return nullptr;
    auto state = std::make_shared<State>();
    state->conn = conn;
    g_speechdState = state;
    conn->callback_end = speechdEnded;
    conn->callback_cancel = speechdEnded;
    spd_set_notification_on(conn, SPD_END);
    spd_set_notification_on(conn, SPD_CANCEL);
    spd_set_language(conn, "ja");
    return std::shared_ptr<SpeechdEngine>(new SpeechdEngine(state));
}

SpeechdEngine::~SpeechdEngine() {
    if (state_->conn) spd_close(state_->conn);
}

bool SpeechdEngine::speak(const std::string& text, SpeakMode mode, Topic topic) {
    const bool commentaryOn = state_->ids.commentaryOn();
    const bool queued = mode == SpeakMode::Queue || mode == SpeakMode::Commentary;
    // The race's calls are not cut off by the game's own texts.
    if (!queued && !commentaryOn) spd_cancel(state_->conn);
    std::string t = speakableText(text);
    if (t.empty()) return true;
    // The race's texts are "important": a screen reader's own messages wait
    // for them. The game's news is a "message", queued beside the screen
    // reader's; entries and dialogs are "text", which a newer message cuts off.
    const bool important = mode == SpeakMode::Wait || mode == SpeakMode::Commentary;
    SPDPriority priority = important ? SPD_IMPORTANT : (topic == Topic::Info ? SPD_MESSAGE : SPD_TEXT);
    int id = spd_say(state_->conn, priority, t.c_str());
    if (id < 0) return false;
    state_->ids.said(id, mode == SpeakMode::Commentary);
    return true;
}

void SpeechdEngine::stop() {
    spd_cancel(state_->conn);
    state_->ids.stopCommentary();
}

bool SpeechdEngine::speaking() const {
    return state_->ids.speaking();
}

void SpeechdEngine::setParams(const SpeechParams& params) {
    const SpeechdParams p = speechdParams(params);
    spd_set_voice_rate(state_->conn, p.rate);
    spd_set_voice_pitch(state_->conn, p.pitch);
    spd_set_volume(state_->conn, p.volume);
}

}  // namespace ozn
