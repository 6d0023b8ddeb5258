// Start-up: from starting the program to the window shown with the first
// card, taken as the moment the focused list is first handed to speech
// (OZN_SPEECH_LOG), offscreen. Once with speech-dispatcher missing, once with
// one that accepts the connection and never answers, and once as the machine
// has it.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "tempdir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A speech-dispatcher that takes connections and never says a word.
class SilentServer {
public:
    explicit SilentServer(const std::string& path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        path.copy(a.sun_path, sizeof a.sun_path - 1);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 16);
        thread_ = std::thread([this] {
            for (;;) {
                int c = ::accept(fd_, nullptr, nullptr);
                if (c < 0) return;
                held_.push_back(c);
            }
        });
    }
    ~SilentServer() {
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
        for (int c : held_) ::close(c);
    }

private:
    int fd_;
    std::vector<int> held_;
    std::thread thread_;
};

double secondsToFirstCard(const ozn::test::TempDir& dir, const std::vector<std::string>& extraEnv) {
    const std::string log = dir.file("speech.log");
    fs::remove(log);
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy", "OZN_SPEECH_LOG=" + log,
                                    "XDG_CONFIG_HOME=" + dir.file("config"), "XDG_RUNTIME_DIR=" + dir.path()};
    if (const char* home = std::getenv("HOME")) env.push_back(std::string("HOME=") + home);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = dir.file("ozn"), money = "20000";  // money given: nothing is saved
    char* argv[] = {program.data(), money.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
    auto start = Clock::now();
    pid_t pid = 0;
    posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    std::error_code ec;
    while (fs::file_size(log, ec) == 0 || ec) {
        if (Clock::now() - start > std::chrono::seconds(10)) break;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    double took = std::chrono::duration<double>(Clock::now() - start).count();
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return took;
}

void runStart(benchmark::State& state, int speechd) {
    ozn::test::TempDir dir;
    for (const char* f : {"ozn", "race.txt", "horsename.txt", "odds.txt"})
        fs::copy_file(std::string(OZN_BUILD_DIR) + "/" + f, dir.file(f));
    std::unique_ptr<SilentServer> silent;
    std::vector<std::string> env;
    if (speechd == 0) env = {"SPEECHD_ADDRESS=unix_socket:/nonexistent", "SPEECHD_CMD=/bin/false"};
    if (speechd == 1) {
        silent = std::make_unique<SilentServer>(dir.file("speechd.sock"));
        env = {"SPEECHD_ADDRESS=unix_socket:" + dir.file("speechd.sock")};
    }
    secondsToFirstCard(dir, env);  // warm caches
    for (auto _ : state) state.SetIterationTime(secondsToFirstCard(dir, env));
}

void BM_StartSpeechdMissing(benchmark::State& state) { runStart(state, 0); }
void BM_StartSpeechdSilent(benchmark::State& state) { runStart(state, 1); }
void BM_StartSpeechdAsInstalled(benchmark::State& state) { runStart(state, 2); }
BENCHMARK(BM_StartSpeechdMissing)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_StartSpeechdSilent)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_StartSpeechdAsInstalled)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

}  // namespace
