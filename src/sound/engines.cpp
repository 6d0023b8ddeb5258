#include "sound/engines.h"

#include <espeak-ng/speak_lib.h>
#include <fcntl.h>
#include <spawn.h>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <thread>

#include "core/savefile.h"
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
        const char* base = std::getenv("TMPDIR");  // a relative one would depend on the working folder
        std::string tmpl = std::string(base && *base == '/' ? base : "/tmp") + "/ozn-speech-XXXXXX";
        if (::mkdtemp(tmpl.data())) path = tmpl;
    }
    ~TempDir() {
        if (path.empty()) return;
        ::unlink((path + "/in.txt").c_str());
        ::unlink((path + "/out.wav").c_str());
        ::rmdir(path.c_str());
    }
};

// Waits for a child to end well; one that runs past the limit, or past the
// game's end, is killed. A wait that fails is a failure.
bool finishedWithin(pid_t pid, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (auto pause = std::chrono::microseconds(200);; pause = std::min(pause * 2, std::chrono::microseconds(5000))) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (r < 0 && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= until || synthesisAbandoned()) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return false;
        }
        std::this_thread::sleep_for(pause);
    }
}

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
    if (!replaceFile(in, text + "\n", false)) return std::nullopt;  // never through a link
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
    if (rc != 0 || !finishedWithin(pid, paths_.limit)) return std::nullopt;
    auto pcm = loadWav(out);
    if (!pcm || pcm->samples.empty()) return std::nullopt;
    changeTempo(*pcm, jtalkTempo(params));
    return pcm;
}

std::string OpenJTalkEngine::voiceOf(const SpeechParams& p) const {
    return "open_jtalk " + std::to_string(jtalkTempo(p)) + " " + jtalkOptions(p)[1];
}

SpeechChannel::Synth OpenJTalkEngine::synth(const SpeechParams& params) {
    // The settings go with the phrase, so that a sound is kept under the
    // settings it was made with.
    return [this, p = params](const std::string& phrase) { return synthesize(phrase, p); };
}

// ---- both engines that play on the speech channel ---------------------------

void ChannelEngine::setParams(const SpeechParams& params) {
    channel_.setVolume(channelVolume(params));
    const std::string old = voice();
    params_ = params;
    if (voice() != old) channel_.forget(old);
}

bool ChannelEngine::speak(const std::string& text, SpeakMode mode, Topic topic) {
    std::string t = speakableText(text);
    if (t.empty()) {
        // Silence is "said" only where it would be heard; otherwise the empty
        // text goes on down the chain and clears the clipboard.
        if (mode != SpeakMode::Queue && mode != SpeakMode::Commentary) channel_.stop();
        return ready() && audible();
    }
    if (!ready()) return false;
    SpeechChannel::Failed failed;
    if (fallback_) failed = [f = fallback_, mode, topic](const std::string& rest) { f(rest, mode, topic); };
    return channel_.say(t, voice(), synth(params_), mode, std::move(failed));
}

namespace {
std::vector<std::string> speakable(const std::vector<std::string>& texts) {
    std::vector<std::string> out;
    for (const std::string& t : texts) out.push_back(speakableText(t));
    return out;
}
}  // namespace

void ChannelEngine::prefetch(const std::vector<std::string>& texts) {
    channel_.prefetch(speakable(texts), voice(), synth(params_));
}

void ChannelEngine::prefetchIdle(const std::vector<std::string>& texts) {
    channel_.prefetchIdle(speakable(texts), voice(), synth(params_));
}

void ChannelEngine::prefetchIn(const SpeechParams& params, const std::vector<std::string>& texts) {
    channel_.prefetchIdle(speakable(texts), voiceOf(params), synth(params), true);
}

// ---- espeak-ng ------------------------------------------------------------

namespace {
std::vector<std::int16_t>* g_espeakSink = nullptr;
std::chrono::steady_clock::time_point g_espeakUntil;

int espeakCallback(short* wav, int count, espeak_EVENT*) {
    if (wav && count > 0 && g_espeakSink) g_espeakSink->insert(g_espeakSink->end(), wav, wav + count);
    // A phrase past its limit, or made while the game ends, is given up.
    return std::chrono::steady_clock::now() > g_espeakUntil || synthesisAbandoned() ? 1 : 0;
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
    g_espeakUntil = std::chrono::steady_clock::now() + kPhraseLimit;
    espeak_ERROR err = espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                                    nullptr);
    g_espeakSink = nullptr;
    if (err != EE_OK || pcm.samples.empty() || std::chrono::steady_clock::now() > g_espeakUntil) return std::nullopt;
    changeTempo(pcm, e.tempo);
    return pcm;
}

std::string EspeakEngine::voiceOf(const SpeechParams& p) const {
    const EspeakParams e = espeakParams(p);
    return "espeak-ng " + std::to_string(e.rate) + " " + std::to_string(e.pitch) + " " + std::to_string(e.tempo);
}

SpeechChannel::Synth EspeakEngine::synth(const SpeechParams& params) {
    // espeak-ng is not thread-safe: each phrase is made under its own lock.
    return [this, p = params](const std::string& phrase) {
        std::lock_guard lock(synthLock_);
        return synthesize(phrase, p);
    };
}

// ---- an engine still being made ------------------------------------------

std::shared_ptr<PendingEngine> PendingEngine::start(Make make, std::chrono::milliseconds bound) {
    auto promise = std::make_shared<std::promise<std::shared_ptr<SpeechEngine>>>();
    auto pending = std::make_shared<PendingEngine>(promise->get_future().share(),
                                                   std::chrono::steady_clock::now() + bound, bound);
    // Detached: a connection that hangs must not hold up the end of the game.
    std::thread([promise, make = std::move(make)] { promise->set_value(make()); }).detach();
    return pending;
}

std::shared_ptr<SpeechEngine> PendingEngine::resolve() const {
    if (made_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        // Merely slow to start is no failure: the first text that needs it
        // waits for it, once, up to the bound.
        if (givenUp_) return nullptr;
        if (made_.wait_until(std::max(deadline_, std::chrono::steady_clock::now() + bound_)) != std::future_status::ready) {
            givenUp_ = true;
            return nullptr;
        }
    }
    return ready();
}

std::shared_ptr<SpeechEngine> PendingEngine::ready() const {
    if (made_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return nullptr;
    auto engine = made_.get();
    std::lock_guard lock(m_);
    if (engine && params_ && !handedOn_) engine->setParams(*params_);
    if (engine && fallback_) engine->setFallback(fallback_);
    handedOn_ = true;
    return engine;
}

void PendingEngine::setFallback(Fallback fallback) {
    std::lock_guard lock(m_);
    fallback_ = std::move(fallback);
}

void PendingEngine::prefetchIn(const SpeechParams& params, const std::vector<std::string>& texts) {
    if (auto engine = ready()) engine->prefetchIn(params, texts);
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

}  // namespace ozn
