// Step timing of the generator's output engine against a bare loop.
//
// The engine runs for real: the window exists (offscreen unless a platform
// is chosen), a port backend stamps every write with the monotonic clock, and
// a click queued after the last measured write stops the run. The baseline
// does only what any such loop must: one port write, the event pump, and a
// busy wait on the clock that pumps events on every poll.
//
// Prints, per configuration, the step period (mean, median, p99), the
// overhead over the time base, steps per second, and engine/baseline ratio.
//
//   generator_bench [--schritte N]
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "app/anwendung.h"
#include "generator/generator_fenster.h"
#include "generator_trace.h"
#include "port/backend.h"
#include "port/port.h"

namespace {

using Uhr = std::chrono::steady_clock;

// Remembers the time of every write; queues a stop click after the last one
// that is measured.
class StempelPort final : public dravel::port::Backend {
public:
    explicit StempelPort(std::size_t anzahl) : ziel_(anzahl) { zeiten_.reserve(anzahl + 16); }

    std::uint8_t read(std::uint16_t p) override { return register_[p]; }
    void write(std::uint16_t p, std::uint8_t wert) override {
        zeiten_.push_back(Uhr::now());
        register_[p] = wert;
        if (zeiten_.size() == ziel_ && beiZiel_) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), beiZiel_, Qt::QueuedConnection);
        }
    }
    [[nodiscard]] std::string name() const override { return "Zeitstempel"; }

    void beiZiel(std::function<void()> aktion) { beiZiel_ = std::move(aktion); }
    [[nodiscard]] const std::vector<Uhr::time_point>& zeiten() const { return zeiten_; }

private:
    std::array<std::uint8_t, 65536> register_{};
    std::vector<Uhr::time_point> zeiten_;
    std::size_t ziel_;
    std::function<void()> beiZiel_;
};

struct Auswertung {
    double mittel = 0, median = 0, p99 = 0, schritteProSekunde = 0;
};

// Step periods in microseconds from consecutive writes, the first tenth
// left out as warm-up.
Auswertung werteAus(const std::vector<Uhr::time_point>& zeiten, std::size_t schritte) {
    std::vector<double> perioden;
    const std::size_t n = std::min(zeiten.size(), schritte);
    for (std::size_t i = n / 10 + 1; i < n; ++i) {
        perioden.push_back(
            std::chrono::duration<double, std::micro>(zeiten[i] - zeiten[i - 1]).count());
    }
    Auswertung a;
    if (perioden.empty()) return a;
    a.mittel = std::accumulate(perioden.begin(), perioden.end(), 0.0) / double(perioden.size());
    std::sort(perioden.begin(), perioden.end());
    a.median = perioden[perioden.size() / 2];
    a.p99 = perioden[std::min(perioden.size() - 1, perioden.size() * 99 / 100)];
    a.schritteProSekunde = 1e6 / a.mittel;
    return a;
}

// The real engine: channel 1 only, "10" in a loop, one write per step.
Auswertung messeMaschine(const char* zeitbasis, std::size_t schritte) {
    auto port = std::make_unique<StempelPort>(schritte);
    StempelPort* stempel = port.get();
    dravel::port::installBackend(std::move(port));

    auto* fenster = new dravel::GeneratorFenster();
    fenster->show();
    QCoreApplication::processEvents();
    fenster->Zeitbasis->setText(QString::fromLatin1(zeitbasis));
    fenster->Übernehmen->click();
    fenster->OptLoop->setChecked(true);
    fenster->Binärstring->setText(QStringLiteral("10"));
    stempel->beiZiel([fenster] { fenster->StartStop->click(); });

    fenster->StartStop->click();  // returns when the run has stopped

    const Auswertung a = werteAus(stempel->zeiten(), schritte);
    delete fenster;
    dravel::port::releaseBackend();
    return a;
}

// The least any such loop does per step.
Auswertung messeGrundlinie(double zeitbasisMs, std::size_t schritte) {
    auto port = std::make_unique<StempelPort>(schritte);
    StempelPort* stempel = port.get();
    dravel::port::installBackend(std::move(port));

    const auto dauer = std::chrono::duration_cast<Uhr::duration>(
        std::chrono::duration<double, std::milli>(zeitbasisMs));
    std::int16_t wert = 0;
    for (std::size_t i = 0; i < schritte; ++i) {
        Out32(888, wert);
        wert ^= 1;
        QCoreApplication::processEvents();
        const auto start = Uhr::now();
        for (;;) {
            QCoreApplication::processEvents();
            if (Uhr::now() - start >= dauer) break;
        }
    }
    const Auswertung a = werteAus(stempel->zeiten(), schritte);
    dravel::port::releaseBackend();
    return a;
}

void druckeZeile(const char* name, double zeitbasisUs, const Auswertung& a) {
    std::printf(
        "  %-22s  Mittel %8.2f us  Median %8.2f us  p99 %8.2f us  "
        "Mehraufwand Median %6.2f us, p99 %6.2f us  %9.0f Schritte/s\n",
        name, a.mittel, a.median, a.p99, a.median - zeitbasisUs, a.p99 - zeitbasisUs,
        a.schritteProSekunde);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::size_t schritte = 20000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--schritte") == 0)
            schritte = std::max(100, std::atoi(argv[i + 1]));
    }
    dravel::app::wähleEreignisschleife();  // the event loop the program runs on
    QApplication app(argc, argv);
    dravel::app::richteAnwendungEin();

    struct Konfiguration {
        const char* text;
        double ms;
    };
    const std::array konfigurationen{Konfiguration{"0.1", 0.1}, Konfiguration{"0", 0.0}};

    // Other load on the machine shows in the p99 figures; say how much.
    QFile last(QStringLiteral("/proc/loadavg"));
    const QByteArray lastText = last.open(QIODevice::ReadOnly) ? last.readLine().trimmed() : "?";
    std::printf(
        "Generator-Schrittzeiten, %zu Schritte je Messung (erstes Zehntel als Anlauf verworfen), "
        "Plattform %s, Last %s\n",
        schritte, qPrintable(QGuiApplication::platformName()), lastText.constData());
    for (const auto& k : konfigurationen) {
        const Auswertung maschine = messeMaschine(k.text, schritte);
        const Auswertung basis = messeGrundlinie(k.ms, schritte);
        std::printf("Zeitbasis %s ms:\n", k.text);
        druckeZeile("Ausgabemaschine", k.ms * 1000.0, maschine);
        druckeZeile("Grundlinie", k.ms * 1000.0, basis);
        std::printf("  Maschine/Grundlinie: %.2f der Schritte pro Sekunde\n",
                    basis.schritteProSekunde > 0
                        ? maschine.schritteProSekunde / basis.schritteProSekunde
                        : 0.0);
    }
    dravel::bench::druckeTraceMehraufwand(schritte);
    return 0;
}
