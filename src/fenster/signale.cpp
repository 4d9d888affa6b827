#include "signale.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include "fenster/module1.h"
#include "logik/abbruch.h"

namespace dravel::app {
namespace {

QPointer<QSocketNotifier> g_melder;

void beendeWegenSignal() {
    leereWeckrohr();
    const int signal = abbruchsignal();
    if (signal == 0) return;
    Module1::Beenden();
    QCoreApplication::exit(128 + signal);
}

}  // namespace

void fangeSignaleAb() {
    // A window has no standard output to lose: SIGPIPE keeps its default.
    fangeAbbruchAb(Rohrbruch::Beendet);
    if (weckrohr() < 0 || g_melder) return;
    g_melder = new QSocketNotifier(weckrohr(), QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(g_melder, &QSocketNotifier::activated, g_melder, [] { beendeWegenSignal(); });
}

}  // namespace dravel::app
