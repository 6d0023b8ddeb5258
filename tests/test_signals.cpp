// Ctrl+C, kill and logout end the game like a confirmed close: a child
// process runs the real window and is sent the signal.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "tempdir.h"

extern char** environ;

using namespace ozn::test;

namespace {

struct Child {
    pid_t pid = -1;
    int out = -1;
    std::string seen;

    // Reads the child's output until `what` shows or the time is up.
    bool await(const std::string& what, int ms) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (seen.find(what) == std::string::npos) {
            int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count());
            if (left <= 0) return false;
            pollfd p{out, POLLIN, 0};
            if (::poll(&p, 1, left) <= 0) return false;
            char buf[256];
            ssize_t n = ::read(out, buf, sizeof buf);
            if (n <= 0) return seen.find(what) != std::string::npos;
            seen.append(buf, static_cast<std::size_t>(n));
        }
        return true;
    }
};

Child spawnGame(const std::string& dir, const char* mode) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy",
                                    "XDG_CONFIG_HOME=" + dir + "/config", "XDG_RUNTIME_DIR=" + dir};
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = OZN_SIGNAL_CHILD, folder = dir, m = mode;
    char* argv[] = {program.data(), folder.data(), m.data(), nullptr};
    Child c;
    if (posix_spawn(&c.pid, program.c_str(), &actions, nullptr, argv, envp.data()) != 0) c.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    c.out = pipeFds[0];
    return c;
}

}  // namespace

TEST(Signals, EndTheGameAsAConfirmedCloseInAndOutOfARace) {
    struct Case {
        const char* mode;
        std::vector<int> signals;
        int raceno;
    } cases[] = {
        {"idle", {SIGTERM}, 1},
        {"idle", {SIGINT}, 1},  // SDL's own handler would swallow this one
        {"idle", {SIGHUP}, 1},
        {"race", {SIGTERM, SIGTERM}, 2},  // the second one while ending is ignored
        {"race", {SIGINT}, 2},
    };
    for (const auto& c : cases) {
        TempDir d;
        d.copyBundledData();
        for (const char* f : {"kanto.mp3", "kansai.mp3", "hasso.mp3"})
            std::filesystem::copy_file(std::string(OZN_BUILD_DIR) + "/" + f, d.file(f));
        Child child = spawnGame(d.path(), c.mode);
        ASSERT_GT(child.pid, 0);
        ASSERT_TRUE(child.await("ready", 20000)) << child.seen;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the fanfare is playing
        auto sent = std::chrono::steady_clock::now();
        for (int sig : c.signals) ::kill(child.pid, sig);
        // A race left to run would take half a minute: the waits must be cut.
        bool ended = child.await("mochikin=", 10000);
        int status = 0;
        if (!ended) ::kill(child.pid, SIGKILL);
        ::waitpid(child.pid, &status, 0);
        ::close(child.out);
        auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent);
        ASSERT_TRUE(ended) << c.mode << ": still running after 10 s";
        std::printf("%s, signal %d: ended after %lld ms\n", c.mode, c.signals[0], static_cast<long long>(took.count()));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.mode << " status " << status;
        int raceno = 0;
        long long money = 0;
        ASSERT_EQ(std::sscanf(child.seen.c_str() + child.seen.find("raceno="), "raceno=%d mochikin=%lld", &raceno, &money), 2);
        EXPECT_EQ(raceno, c.raceno) << c.mode;  // a race under way was settled first
        EXPECT_EQ(d.read("baken.txt"), " " + std::to_string(money) + " \r\n") << c.mode;
        EXPECT_TRUE(d.exists("ozn.cfg"));
        EXPECT_FALSE(d.exists("baken.txt.tmp"));
    }
}
