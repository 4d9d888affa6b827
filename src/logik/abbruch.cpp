#include "abbruch.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>

namespace dravel::app {
namespace {

std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);  // safe in a handler
// Woken by every signal, so that a wait cannot miss one that arrives just
// before it begins.
int g_rohr[2] = {-1, -1};
int g_leser = -1;

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
    struct sigaction bisher {};
    if (::sigaction(nummer, nullptr, &bisher) == 0 && bisher.sa_handler == SIG_IGN) return;
    struct sigaction aktion {};
    aktion.sa_handler = merkeAbbruch;
    sigemptyset(&aktion.sa_mask);
    aktion.sa_flags = SA_RESTART | zusatz;
    ::sigaction(nummer, &aktion, nullptr);
}

void leserWeg() {
    int keines = 0;
    g_signal.compare_exchange_strong(keines, SIGPIPE);
}

// Polls the wake-up pipe, the watched reader and `fd` (for `ereignis`) up to
// `dauer` (nullptr: no limit). False when the program must stop.
bool warte(int fd, short ereignis, const timespec* dauer) {
    pollfd fds[3] = {{g_rohr[0], POLLIN, 0}, {g_leser, 0, 0}, {fd, ereignis, 0}};
    const int n = ::ppoll(fds, fd < 0 ? 2 : 3, dauer, nullptr);
    if (n > 0 && (fds[1].revents & POLLERR)) leserWeg();
    // A descriptor that is not open tells nothing; watch it no more.
    if (fds[1].revents & POLLNVAL) g_leser = -1;
    return abbruchsignal() == 0;
}

}  // namespace

void fangeAbbruchAb(Rohrbruch rohrbruch) {
    if (g_rohr[0] < 0 && ::pipe2(g_rohr, O_CLOEXEC | O_NONBLOCK) != 0) return;
    leereWeckrohr();
    g_signal.store(0);
    for (const int nummer : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) fange(nummer, SA_RESETHAND);
    if (rohrbruch == Rohrbruch::Abgefangen) fange(SIGPIPE, 0);
}

int abbruchsignal() {
    return g_signal.load(std::memory_order_relaxed);
}

int weckrohr() {
    return g_rohr[0];
}

void leereWeckrohr() {
    char puffer[64];
    while (g_rohr[0] >= 0 && ::read(g_rohr[0], puffer, sizeof puffer) > 0) {
    }
}

void beobachteLeser(int fd) {
    g_leser = fd;
}

bool warteBis(std::int64_t zeitNs) {
    for (;;) {
        if (abbruchsignal() != 0) return false;
        const std::int64_t jetzt = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                       std::chrono::steady_clock::now().time_since_epoch())
                                       .count();
        const std::int64_t rest = zeitNs - jetzt;
        if (rest <= 0) return true;
        const timespec dauer{static_cast<time_t>(rest / 1'000'000'000),
                             static_cast<long>(rest % 1'000'000'000)};
        if (!warte(-1, 0, &dauer)) return false;
    }
}

bool warteAufAusgabe(int fd) {
    for (;;) {
        if (abbruchsignal() != 0) return false;
        pollfd probe{fd, POLLOUT, 0};
        if (::poll(&probe, 1, 0) > 0 && (probe.revents & POLLERR)) {
            leserWeg();
            return false;
        }
        // Not open: the write that follows says so.
        if (probe.revents & (POLLOUT | POLLNVAL)) return true;
        if (!warte(fd, POLLOUT, nullptr)) return false;
    }
}

}  // namespace dravel::app
