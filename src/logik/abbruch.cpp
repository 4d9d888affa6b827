#include "abbruch.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>

namespace dravel::app {
namespace {

std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);  // safe in a handler
// Woken by every signal, so that a sleep cannot miss one that arrives just
// before it begins.
int g_rohr[2] = {-1, -1};

extern "C" void merkeAbbruch(int nummer) {
    const int gesichert = errno;
    int keines = 0;
    g_signal.compare_exchange_strong(keines, nummer);
    const char byte = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t n = ::write(g_rohr[1], &byte, 1);
    errno = gesichert;
}

void fange(int nummer, int zusatz) {
    // A signal ignored from the start (nohup) stays ignored.
    struct sigaction bisher {};
    if (::sigaction(nummer, nullptr, &bisher) == 0 && bisher.sa_handler == SIG_IGN) return;
    struct sigaction aktion {};
    aktion.sa_handler = merkeAbbruch;
    sigemptyset(&aktion.sa_mask);
    aktion.sa_flags = SA_RESTART | zusatz;
    ::sigaction(nummer, &aktion, nullptr);
}

}  // namespace

void fangeAbbruchAb() {
    if (g_rohr[0] < 0 && ::pipe2(g_rohr, O_CLOEXEC | O_NONBLOCK) != 0) return;
    for (const int nummer : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) fange(nummer, SA_RESETHAND);
    // Every later write to the closed pipe raises it again; none of them may
    // end the program before the trace is complete.
    fange(SIGPIPE, 0);
}

int abbruchsignal() {
    return g_signal.load(std::memory_order_relaxed);
}

bool warteBis(std::chrono::steady_clock::time_point zeitpunkt) {
    for (;;) {
        if (abbruchsignal() != 0) return false;
        const auto rest = zeitpunkt - std::chrono::steady_clock::now();
        if (rest <= rest.zero()) return true;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(rest).count();
        const timespec dauer{static_cast<time_t>(ns / 1'000'000'000),
                             static_cast<long>(ns % 1'000'000'000)};
        pollfd wecker{g_rohr[0], POLLIN, 0};
        ::ppoll(&wecker, g_rohr[0] < 0 ? 0 : 1, &dauer, nullptr);
    }
}

}  // namespace dravel::app
