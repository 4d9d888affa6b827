#include "generator_trace.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fenster/generator/generator_fenster.h"
#include "port/port.h"
#include "port/trace_port.h"
#include "stempel.h"

namespace dravel::bench {
namespace {

// Does nothing: what is left of an access is the call and the recording.
class LeererPort final : public port::Backend {
public:
    std::uint8_t read(std::uint16_t p) override { return static_cast<std::uint8_t>(p); }
    void write(std::uint16_t, std::uint8_t wert) override { letzter_ = wert; }
    [[nodiscard]] std::string name() const override { return "leer"; }
    volatile std::uint8_t letzter_ = 0;
};

// A new file for every round: replacing one would be announced each time.
std::shared_ptr<port::TraceRecorder> öffneTrace(const QTemporaryDir& ordner, const char* name) {
    static int nummer = 0;
    port::TraceRecorder::Einstellungen e;
    e.pfad = ordner.filePath(QStringLiteral("%1-%2.vcd").arg(QLatin1String(name)).arg(++nummer))
                 .toStdString();
    std::string fehler;
    std::shared_ptr<port::TraceRecorder> r = port::TraceRecorder::öffne(e, fehler);
    if (!r) std::fprintf(stderr, "%s\n", fehler.c_str());
    return r;
}

double median(std::vector<double> werte) {
    if (werte.empty()) return 0;
    std::sort(werte.begin(), werte.end());
    return werte[werte.size() / 2];
}

// Median step period in microseconds of one engine run at time base 0
// (channel 1, "10" in a loop: one read and one write per step), the first
// tenth left out as warm-up.
double messeLauf(std::size_t schritte, std::shared_ptr<port::TraceRecorder> trace) {
    auto* fenster = new GeneratorFenster();
    auto stempelEigen = stempelPort(schritte, [fenster] { fenster->StartStop->click(); });
    StempelPort* stempel = stempelEigen.get();
    if (trace) {
        port::installBackend(std::make_unique<port::TracePort>(std::move(stempelEigen), trace));
    } else {
        port::installBackend(std::move(stempelEigen));
    }
    fenster->show();
    QCoreApplication::processEvents();
    fenster->Zeitbasis->setText(QStringLiteral("0"));
    fenster->Übernehmen->click();
    fenster->OptLoop->setChecked(true);
    fenster->Binärstring->setText(QStringLiteral("10"));
    fenster->StartStop->click();  // returns when the run has stopped

    const auto& z = stempel->zeiten();
    std::vector<double> perioden;
    const std::size_t n = std::min(z.size(), schritte);
    for (std::size_t i = n / 10 + 1; i < n; ++i) {
        perioden.push_back(std::chrono::duration<double, std::micro>(z[i] - z[i - 1]).count());
    }
    delete fenster;
    port::releaseBackend();
    return median(perioden);
}

// Nanoseconds per access (a write and a read alternately) through
// `backend`, in bursts that fit the trace's ring, with pauses in which its
// writer catches up as it does between the generator's steps.
double messeZugriffe(port::Backend& backend, std::size_t stöße, std::size_t jeStoß) {
    double ns = 0;
    std::uint8_t summe = 0;
    for (std::size_t stoß = 0; stoß < stöße; ++stoß) {
        const auto start = Uhr::now();
        for (std::size_t i = 0; i < jeStoß; i += 2) {
            backend.write(0x378, static_cast<std::uint8_t>(i >> 1));
            summe = static_cast<std::uint8_t>(summe + backend.read(0x379));
        }
        ns += std::chrono::duration<double, std::nano>(Uhr::now() - start).count();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    if (summe == 1) std::fputs("", stdout);  // keeps the reads
    return ns / static_cast<double>(stöße * jeStoß);
}

}  // namespace

void druckeTraceMehraufwand(std::size_t schritte) {
    QTemporaryDir ordner;
    std::printf("Mitschnitt (--trace), Zeitbasis 0 ms, %zu Schritte je Lauf, Median je Lauf:\n",
                schritte);
    // Alternating runs, so that a slow phase of the machine hits both sides.
    constexpr int kRunden = 9;
    std::vector<double> ohne, mit, unterschied;
    for (int runde = 0; runde < kRunden; ++runde) {
        const double o = messeLauf(schritte, nullptr);
        auto trace = öffneTrace(ordner, "lauf");
        if (!trace) return;
        const double m = messeLauf(schritte, trace);
        trace->beende();
        ohne.push_back(o);
        mit.push_back(m);
        unterschied.push_back(m - o);
    }
    std::printf("  ohne Mitschnitt  Schritt %8.3f us\n", median(ohne));
    std::printf("  mit Mitschnitt   Schritt %8.3f us\n", median(mit));
    std::printf(
        "  Mehraufwand je Schritt (2 Zugriffe): %+8.1f ns (Median der Rundenunterschiede; "
        "Streuung %+.1f .. %+.1f ns)\n",
        median(unterschied) * 1000.0,
        *std::min_element(unterschied.begin(), unterschied.end()) * 1000.0,
        *std::max_element(unterschied.begin(), unterschied.end()) * 1000.0);

    constexpr std::size_t kStöße = 20;
    constexpr std::size_t kJeStoß = 100'000;
    LeererPort leer;
    std::vector<double> roh, aufgezeichnet;
    bool zähler = false;
    for (int runde = 0; runde < kRunden; ++runde) {
        roh.push_back(messeZugriffe(leer, kStöße, kJeStoß));
        auto trace = öffneTrace(ordner, "zugriffe");
        if (!trace) return;
        zähler = trace->nutztZähler();
        port::TracePort mitTrace(std::make_unique<LeererPort>(), trace);
        aufgezeichnet.push_back(messeZugriffe(mitTrace, kStöße, kJeStoß));
        trace->beende();
    }
    std::printf(
        "Ein Zugriff in enger Schleife (%zu Stöße zu %zu Zugriffen, Median von %d Runden, "
        "Zeitstempel: %s):\n",
        kStöße, kJeStoß, kRunden, zähler ? "Zeitstempelzähler des Prozessors" : "monotone Uhr");
    std::printf("  ohne Mitschnitt %6.1f ns, mit Mitschnitt %6.1f ns: %+6.1f ns je Zugriff\n",
                median(roh), median(aufgezeichnet), median(aufgezeichnet) - median(roh));
}

}  // namespace dravel::bench
