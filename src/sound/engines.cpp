#include "sound/engines.h"

#include <espeak-ng/speak_lib.h>
#include <libspeechd.h>
#include <fcntl.h>
#include <spawn.h>

#include <cerrno>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <thread>

#include "core/stopsignal.h"
#include "sound/soundsettings.h"
#include "sound/voice.h"

extern char** environ;

namespace ozn {
namespace {

bool exists(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

std::string findProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return exists(name) ? name : "";
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t at = 0;
    while (at <= dirs.size()) {
        std::size_t end = dirs.find(':', at);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(at, end - at) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        at = end + 1;
    }
    return "";
}

struct TempDir {
    std::string path;
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/ozn-speech-XXXXXX";
        if (::mkdtemp(tmpl.data())) path = tmpl;
    }
    ~TempDir() {
        if (path.empty()) return;
        ::unlink((path + "/in.txt").c_str());
        ::unlink((path + "/out.wav").c_str());
        ::rmdir(path.c_str());
    }
};

}  // namespace

// ---- Open JTalk -----------------------------------------------------------

OpenJTalkEngine::OpenJTalkEngine(SpeechChannel& channel, Paths paths) : ChannelEngine(channel), paths_(std::move(paths)) {}

bool OpenJTalkEngine::available() const {
    return !findProgram(paths_.program).empty() && exists(paths_.dictionary) && exists(paths_.voice);
}

std::optional<Pcm> OpenJTalkEngine::synthesize(const std::string& text, const SpeechParams& params) const {
    std::string program = findProgram(paths_.program);
    if (program.empty() || !exists(paths_.dictionary) || !exists(paths_.voice)) return std::nullopt;
    TempDir dir;
    if (dir.path.empty()) return std::nullopt;
    std::string in = dir.path + "/in.txt", out = dir.path + "/out.wav";
    {
        std::ofstream f(in, std::ios::binary);
        f << text << "\n";
        if (!f) return std::nullopt;
    }
    std::vector<std::string> args = {program, "-x", paths_.dictionary, "-m", paths_.voice, "-ow", out};
    for (std::string& o : jtalkOptions(params)) args.push_back(std::move(o));
    args.push_back(in);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return std::nullopt;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    auto pcm = loadWav(out);
    if (!pcm || pcm->samples.empty()) return std::nullopt;
    changeTempo(*pcm, jtalkTempo(params));
    return pcm;
}

std::string OpenJTalkEngine::voiceOf(const SpeechParams& p) const {
    return "open_jtalk " + std::to_string(jtalkTempo(p)) + " " + jtalkOptions(p)[1];
}

SpeechChannel::Synth OpenJTalkEngine::synth() {
    // The settings go with the phrase, so that a sound is kept under the
    // settings it was made with.
    return [this, p = params_](const std::string& phrase) { return synthesize(phrase, p); };
}

// ---- both engines that play on the speech channel ---------------------------

void ChannelEngine::setParams(const SpeechParams& params) {
    channel_.setVolume(channelVolume(params));
    const std::string old = voice();
    params_ = params;
    if (voice() != old) channel_.forget(old);
}

bool ChannelEngine::speak(const std::string& text, SpeakMode mode, Topic) {
    std::string t = speakableText(text);
    if (t.empty()) {
        // Silence is "said" only where it would be heard; otherwise the empty
        // text goes on down the chain and clears the clipboard.
        if (mode != SpeakMode::Queue && mode != SpeakMode::Commentary) channel_.stop();
        return ready() && audible();
    }
    return channel_.say(t, voice(), synth(), mode);
}

namespace {
std::vector<std::string> speakable(const std::vector<std::string>& texts) {
    std::vector<std::string> out;
    for (const std::string& t : texts) out.push_back(speakableText(t));
    return out;
}
}  // namespace

void ChannelEngine::prefetch(const std::vector<std::string>& texts) {
    channel_.prefetch(speakable(texts), voice(), synth());
}

void ChannelEngine::prefetchIdle(const std::vector<std::string>& texts) {
    channel_.prefetchIdle(speakable(texts), voice(), synth());
}

// ---- espeak-ng ------------------------------------------------------------

namespace {
std::vector<std::int16_t>* g_espeakSink = nullptr;

int espeakCallback(short* wav, int count, espeak_EVENT*) {
    if (wav && count > 0 && g_espeakSink) g_espeakSink->insert(g_espeakSink->end(), wav, wav + count);
    return 0;
}
}  // namespace

std::shared_ptr<EspeakEngine> EspeakEngine::create(SpeechChannel& channel) {
    int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0);
    if (rate <= 0) return nullptr;
    espeak_SetSynthCallback(espeakCallback);
    if (espeak_SetVoiceByName("ja") != EE_OK) return nullptr;
    return std::shared_ptr<EspeakEngine>(new EspeakEngine(channel, rate));
}

std::optional<Pcm> EspeakEngine::synthesize(const std::string& text, const SpeechParams& params) {
    Pcm pcm;
    pcm.rate = rate_;
    const EspeakParams e = espeakParams(params);
    espeak_SetParameter(espeakRATE, e.rate, 0);
    espeak_SetParameter(espeakPITCH, e.pitch, 0);
    g_espeakSink = &pcm.samples;
    espeak_ERROR err = espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                                    nullptr);
    g_espeakSink = nullptr;
    if (err != EE_OK || pcm.samples.empty()) return std::nullopt;
    changeTempo(pcm, e.tempo);
    return pcm;
}

std::string EspeakEngine::voiceOf(const SpeechParams& p) const {
    const EspeakParams e = espeakParams(p);
    return "espeak-ng " + std::to_string(e.rate) + " " + std::to_string(e.pitch) + " " + std::to_string(e.tempo);
}

SpeechChannel::Synth EspeakEngine::synth() {
    // espeak-ng is not thread-safe: each phrase is made under its own lock.
    return [this, p = params_](const std::string& phrase) {
        std::lock_guard lock(synthLock_);
        return synthesize(phrase, p);
    };
}

// ---- an engine still being made ------------------------------------------

std::shared_ptr<PendingEngine> PendingEngine::start(Make make, std::chrono::milliseconds bound) {
    auto promise = std::make_shared<std::promise<std::shared_ptr<SpeechEngine>>>();
    auto pending = std::make_shared<PendingEngine>(promise->get_future().share(),
                                                   std::chrono::steady_clock::now() + bound);
    // Detached: a connection that hangs must not hold up the end of the game.
    std::thread([promise, make = std::move(make)] { promise->set_value(make()); }).detach();
    return pending;
}

std::shared_ptr<SpeechEngine> PendingEngine::resolve() const {
    if (made_.wait_until(deadline_) != std::future_status::ready) return nullptr;
    return ready();
}

std::shared_ptr<SpeechEngine> PendingEngine::ready() const {
    if (made_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return nullptr;
    auto engine = made_.get();
    std::lock_guard lock(m_);
    if (engine && params_ && !handedOn_) engine->setParams(*params_);
    handedOn_ = true;
    return engine;
}

void PendingEngine::setParams(const SpeechParams& params) {
    {
        std::lock_guard lock(m_);
        params_ = params;
        handedOn_ = false;
    }
    ready();
}

void PendingEngine::prefetch(const std::vector<std::string>& texts) {
    if (auto engine = ready()) engine->prefetch(texts);
}

void PendingEngine::prefetchIdle(const std::vector<std::string>& texts) {
    if (auto engine = ready()) engine->prefetchIdle(texts);
}

void PendingEngine::stop() {
    if (auto engine = ready()) engine->stop();
}

bool PendingEngine::speaking() const {
    auto engine = ready();
    return engine && engine->speaking();
}

bool PendingEngine::speak(const std::string& text, SpeakMode mode, Topic topic) {
    auto engine = resolve();
    return engine && engine->speak(text, mode, topic);
}

// ---- speech-dispatcher ----------------------------------------------------

struct SpeechdEngine::State {
    SPDConnection* conn = nullptr;
    std::mutex m;
    std::condition_variable cv;
    int lastDone = -1;  // message id that last ended or was cancelled
    int lastSaid = -1, lastCommentary = -1;
};

namespace {
std::weak_ptr<SpeechdEngine::State> g_speechdState;

void speechdEnded(size_t msgId, size_t, SPDNotificationType) {
    if (auto s = g_speechdState.lock()) {
        std::lock_guard lock(s->m);
        s->lastDone = static_cast<int>(msgId);
        s->cv.notify_all();
    }
}
}  // namespace

std::shared_ptr<SpeechdEngine> SpeechdEngine::connect(int timeoutMs) {
    // The connection (and the daemon's autospawn) can hang without a session;
    // it runs aside and is given up after the timeout.
    auto task = std::make_shared<std::packaged_task<SPDConnection*()>>([] {
        char* error = nullptr;
        SPDConnection* c = spd_open2("ozn", "main", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
        std::free(error);
        return c;
    });
    auto result = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (result.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready) return nullptr;
    SPDConnection* conn = result.get();
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
    bool commentaryOn;
    {
        std::lock_guard lock(state_->m);
        commentaryOn = state_->lastDone < state_->lastCommentary;
    }
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
    {
        std::lock_guard lock(state_->m);
        state_->lastSaid = id;
        if (mode == SpeakMode::Commentary) state_->lastCommentary = id;
    }
    return true;
}

void SpeechdEngine::stop() {
    spd_cancel(state_->conn);
    std::lock_guard lock(state_->m);
    state_->lastCommentary = -1;
}

bool SpeechdEngine::speaking() const {
    std::lock_guard lock(state_->m);
    return state_->lastDone < state_->lastSaid;
}

void SpeechdEngine::setParams(const SpeechParams& params) {
    const SpeechdParams p = speechdParams(params);
    spd_set_voice_rate(state_->conn, p.rate);
    spd_set_voice_pitch(state_->conn, p.pitch);
    spd_set_volume(state_->conn, p.volume);
}

}  // namespace ozn
