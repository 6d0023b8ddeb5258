#include "core/stopsignal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace ozn {
namespace {
std::atomic<bool> g_stop{false};
int g_pipe[2] = {-1, -1};

extern "C" void onStopSignal(int) {
    int saved = errno;
    g_stop.store(true);
    if (g_pipe[1] >= 0) {
        char c = 's';
        [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &c, 1);
    }
    errno = saved;
}
}  // namespace

bool stopRequested() { return g_stop.load(std::memory_order_relaxed); }

int installStopSignals() {
    if (g_pipe[0] >= 0) return g_pipe[0];
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return -1;
    }
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &sa, nullptr);
    // A file-size limit makes a write fail, handled like any other failed
    // write, instead of killing the game.
    ::signal(SIGXFSZ, SIG_IGN);
    return g_pipe[0];
}

}  // namespace ozn
