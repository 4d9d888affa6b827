#include "signale.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

#include "fenster/module1.h"

namespace dravel::app {
namespace {

int g_rohr[2] = {-1, -1};
QPointer<QSocketNotifier> g_melder;

extern "C" void merkeSignal(int nummer) {
    const int gesichert = errno;
    const auto byte = static_cast<unsigned char>(nummer);
    // Nothing else is safe here; a full pipe already holds a signal.
    [[maybe_unused]] const ssize_t n = ::write(g_rohr[1], &byte, 1);
    errno = gesichert;
}

void beendeWegenSignal() {
    unsigned char puffer[16];
    int erstes = 0;
    ssize_t n;
    while ((n = ::read(g_rohr[0], puffer, sizeof puffer)) > 0) {
        if (erstes == 0) erstes = puffer[0];
    }
    if (erstes == 0) return;
    Module1::Beenden();
    QCoreApplication::exit(128 + erstes);
}

}  // namespace

void fangeSignaleAb() {
    if (g_rohr[0] < 0 && ::pipe2(g_rohr, O_CLOEXEC | O_NONBLOCK) != 0) return;
    if (!g_melder) {
        g_melder =
            new QSocketNotifier(g_rohr[0], QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(g_melder, &QSocketNotifier::activated, g_melder,
                         [] { beendeWegenSignal(); });
    }
    struct sigaction aktion {};
    aktion.sa_handler = merkeSignal;
    sigemptyset(&aktion.sa_mask);
    aktion.sa_flags = SA_RESTART | SA_RESETHAND;
    // SIGHUP comes when the terminal closes, SIGQUIT from Ctrl+\ in it. A
    // signal ignored from the start (nohup) stays ignored.
    for (const int nummer : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        struct sigaction bisher {};
        if (::sigaction(nummer, nullptr, &bisher) == 0 && bisher.sa_handler == SIG_IGN) continue;
        ::sigaction(nummer, &aktion, nullptr);
    }
}

}  // namespace dravel::app
