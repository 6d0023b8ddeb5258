// Ctrl+C, kill and logout end the game like a confirmed close: a child
// process runs the real window and is sent the signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "core/datafiles.h"
#include "core/stopsignal.h"
#include "tempdir.h"

using namespace ozn::test;

namespace {

// Waits until the child has written the file `name` in its folder.
bool await(const TempDir& d, const char* name, int ms) {
    for (int waited = 0; d.read(name).empty(); waited += 10) {
        if (waited >= ms) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace

TEST(Signals, EndTheGameAsAConfirmedCloseInAndOutOfARace) {
    struct Case { const char* mode; std::vector<int> signals; int raceno; } cases[] = {
        {"idle", {SIGTERM}, 1},
        {"idle", {SIGINT}, 1},  // SDL's own handler would swallow this one
        {"idle", {SIGHUP}, 1},
        {"race", {SIGTERM, SIGTERM}, 2},  // the second one while ending is ignored
        {"race", {SIGINT}, 2},
        {"startup", {}, 1},  // sent by the game itself, while the first card is drawn
        {"early", {}, 1},    // sent before the window exists
        {"held", {SIGTERM}, 1},  // tickets bought, no race run: their 6000 come back
        {"held", {SIGKILL}, 0},  // killed there: the save as it was
    };
    for (const auto& c : cases) {
        TempDir d;
        d.copyBundledData();
        for (const char* f : {"kanto.mp3", "kansai.mp3", "hasso.mp3"})
            std::filesystem::copy_file(std::string(OZN_BUILD_DIR) + "/" + f, d.file(f));
        std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy",
                                        "XDG_CONFIG_HOME=" + d.file("config"), "XDG_RUNTIME_DIR=" + d.path()};
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string program = OZN_SIGNAL_CHILD, folder = d.path(), mode = c.mode;
        char* argv[] = {program.data(), folder.data(), mode.data(), nullptr};
        pid_t pid = -1;
        ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);
        if (!c.signals.empty()) {
            ASSERT_TRUE(await(d, "ready", 20000));
        }
        auto sent = std::chrono::steady_clock::now();
        for (int sig : c.signals) ::kill(pid, sig);
        if (c.raceno == 0) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFSIGNALED(status));
            EXPECT_EQ(d.read("baken.txt"), " 15000 \r\n");
            continue;
        }
        // A race left to run would take half a minute: the waits must be cut.
        bool ended = await(d, "ended", 10000);
        int status = 0;
        if (!ended) ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent);
        ASSERT_TRUE(ended) << c.mode << ": still running after 10 s";
        std::printf("%s: ended after %lld ms\n", c.mode, static_cast<long long>(took.count()));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.mode << " status " << status;
        int raceno = 0;
        long long money = 0;
        ASSERT_EQ(std::sscanf(d.read("ended").c_str(), "raceno=%d mochikin=%lld", &raceno, &money), 2);
        EXPECT_EQ(raceno, c.raceno) << c.mode;  // a race under way was settled first
        if (c.raceno == 1) {
            EXPECT_EQ(money, 15000) << c.mode;
        }
        EXPECT_EQ(d.read("baken.txt"), " " + std::to_string(money) + " \r\n") << c.mode;
        EXPECT_TRUE(d.exists("ozn.cfg"));
        EXPECT_FALSE(d.exists("baken.txt.tmp"));
    }
}

// Past a file-size limit a write fails like any other, and the game lives on.
TEST(Signals, AFileSizeLimitFailsTheWriteInsteadOfEndingTheGame) {
    TempDir d;
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ozn::installStopSignals();
        rlimit limit{4, 4};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        _exit(ozn::writeSaveFile(d.file("baken.txt"), 15000) ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
