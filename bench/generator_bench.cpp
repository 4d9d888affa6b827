// Step timing of the generator's output engine.
//
// The engine runs for real: the window exists (offscreen unless a platform
// is chosen), a port backend stamps every write with the monotonic clock, and
// a click queued after the last measured write stops the run. Beside it runs
// the delay scheme the engine used before its schedule: write, pump events,
// then a busy wait of one time base from its own start that pumps on every
// poll, so every step lasts the time base plus its own overhead.
//
// Prints side by side, for time bases 0, 0.1 ms and 50 ms: mean period and
// its error, step error (median, p99, largest), steps per second and the
// share of a core the process used; at 50 ms also the command `muster` on
// the simulated port (its own statistics line, its process time without
// start and end); at 0.1 ms also with two busy processes competing for the
// cores, with and without real-time scheduling.
//
//   generator_bench [--schritte N] [--schritte50 N] [--ohne-mitschnitt]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "fenster/anwendung.h"
#include "fenster/generator/generator_fenster.h"
#include "generator_trace.h"
#include "last.h"
#include "logik/echtzeit.h"
#include "logik/generator_logik.h"
#include "logik/kommandozeile.h"
#include "port/backend.h"
#include "port/port.h"
#include "stempel.h"

namespace {

using dravel::bench::StempelPort;
using dravel::bench::Uhr;

double prozessCpuSekunden() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Auswertung {
    double mittel = 0;                        // mean period, µs
    double median = 0, p99 = 0, größter = 0;  // step error, µs
    double schritteProSekunde = 0;
    double cpuAnteil = 0;  // of one core, during the run
    std::uint64_t verspätet = 0;
};

// Mean period over all steps from the write stamps.
double mittlerePeriode(const std::vector<Uhr::time_point>& zeiten, std::size_t schritte) {
    const std::size_t n = std::min(zeiten.size(), schritte);
    if (n < 2) return 0;
    return std::chrono::duration<double, std::micro>(zeiten[n - 1] - zeiten[0]).count() /
           double(n - 1);
}

// The delay scheme's step error: how much longer than the time base each
// step lasted (each step is due one time base after the previous one).
void verzögerungsfehler(Auswertung& a, const std::vector<Uhr::time_point>& zeiten,
                        std::size_t schritte, double zeitbasisUs) {
    std::vector<double> fehler;
    const std::size_t n = std::min(zeiten.size(), schritte);
    for (std::size_t i = 1; i < n; ++i) {
        fehler.push_back(
            std::chrono::duration<double, std::micro>(zeiten[i] - zeiten[i - 1]).count() -
            zeitbasisUs);
    }
    if (fehler.empty()) return;
    std::sort(fehler.begin(), fehler.end());
    a.median = fehler[fehler.size() / 2];
    a.p99 = fehler[std::min(fehler.size() - 1, fehler.size() * 99 / 100)];
    a.größter = fehler.back();
    for (double f : fehler) a.verspätet += f > zeitbasisUs && zeitbasisUs > 0;
}

// The engine through the window: channel 1 only, "10" in a loop.
Auswertung messeMaschine(const char* zeitbasis, std::size_t schritte, bool echtzeit) {
    auto port = dravel::bench::stempelPort(schritte);
    StempelPort* stempel = port.get();
    dravel::port::installBackend(std::move(port));
    dravel::generator::echtzeit::wünschen(echtzeit);

    auto* fenster = new dravel::GeneratorFenster();
    fenster->show();
    QCoreApplication::processEvents();
    fenster->Zeitbasis->setText(QString::fromLatin1(zeitbasis));
    fenster->Übernehmen->click();
    fenster->OptLoop->setChecked(true);
    fenster->Binärstring->setText(QStringLiteral("10"));
    stempel->beiZiel(schritte, [fenster] {
        QMetaObject::invokeMethod(
            fenster, [fenster] { fenster->StartStop->click(); }, Qt::QueuedConnection);
    });

    const double cpu0 = prozessCpuSekunden();
    const auto wand0 = Uhr::now();
    // Clicked from a running event loop, as in the program.
    QEventLoop schleife;
    QTimer::singleShot(0, &schleife, [&] {
        fenster->StartStop->click();  // returns when the run has stopped
        schleife.quit();
    });
    schleife.exec();
    const double wand = std::chrono::duration<double>(Uhr::now() - wand0).count();

    Auswertung a;
    a.cpuAnteil = (prozessCpuSekunden() - cpu0) / wand;
    const auto& s = fenster->laufstatistik();
    a.mittel = mittlerePeriode(stempel->zeiten(), schritte);
    a.median = s.medianFehlerUs;
    a.p99 = s.p99FehlerUs;
    a.größter = s.größterFehlerUs;
    a.verspätet = s.verspätet;
    a.schritteProSekunde = a.mittel > 0 ? 1e6 / a.mittel : 0;
    delete fenster;
    dravel::generator::echtzeit::wünschen(false);
    dravel::port::releaseBackend();
    return a;
}

// The delay scheme, as the engine ran before: read, change one line,
// write; pump; busy wait from its own start, pumping on every poll.
Auswertung messeVerzögerung(double zeitbasisMs, std::size_t schritte) {
    auto port = dravel::bench::stempelPort(schritte);
    StempelPort* stempel = port.get();
    dravel::port::installBackend(std::move(port));

    const auto dauer = std::chrono::duration_cast<Uhr::duration>(
        std::chrono::duration<double, std::milli>(zeitbasisMs));
    const double cpu0 = prozessCpuSekunden();
    const auto wand0 = Uhr::now();
    std::int16_t pegel = -1;
    for (std::size_t i = 0; i < schritte; ++i) {
        Out32(888, dravel::generator::setzeBitWert(Inp32(888), 0, pegel));
        pegel = pegel ? 0 : -1;
        QCoreApplication::processEvents();
        const auto start = Uhr::now();
        for (;;) {
            QCoreApplication::processEvents();
            if (Uhr::now() - start >= dauer) break;
        }
    }
    const double wand = std::chrono::duration<double>(Uhr::now() - wand0).count();
    Auswertung a;
    a.cpuAnteil = (prozessCpuSekunden() - cpu0) / wand;
    a.mittel = mittlerePeriode(stempel->zeiten(), schritte);
    verzögerungsfehler(a, stempel->zeiten(), schritte, zeitbasisMs * 1000.0);
    a.schritteProSekunde = a.mittel > 0 ? 1e6 / a.mittel : 0;
    dravel::port::releaseBackend();
    return a;
}

// `dravel muster 10 --leitung 0 …` as a process: its statistics line from
// standard error, its process time from the kernel.
struct Befehlslauf {
    QString statistik;
    double cpuSekunden = 0;
    double wandSekunden = 0;
};

Befehlslauf starteMuster(const QString& zeitbasis, std::size_t schritte) {
    Befehlslauf lauf;
    int rohr[2];
    if (pipe(rohr) != 0) return lauf;
    const QByteArray basis = zeitbasis.toUtf8();
    const QByteArray durchläufe =
        QByteArray::number(qulonglong(std::max<std::size_t>(1, schritte / 2)));
    const auto wand0 = Uhr::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(rohr[1], STDERR_FILENO);
        close(rohr[0]);
        execl(DRAVEL_PROGRAMM, DRAVEL_PROGRAMM, "muster", "10", "--leitung", "0", "--zeitbasis",
              basis.constData(), "--durchlaeufe", durchläufe.constData(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(rohr[1]);
    QByteArray text;
    char puffer[4096];
    for (ssize_t n; (n = read(rohr[0], puffer, sizeof puffer)) > 0;) text.append(puffer, n);
    close(rohr[0]);
    rusage verbrauch{};
    int status = 0;
    wait4(pid, &status, 0, &verbrauch);
    lauf.wandSekunden = std::chrono::duration<double>(Uhr::now() - wand0).count();
    lauf.cpuSekunden = double(verbrauch.ru_utime.tv_sec + verbrauch.ru_stime.tv_sec) +
                       double(verbrauch.ru_utime.tv_usec + verbrauch.ru_stime.tv_usec) * 1e-6;
    lauf.statistik = QString::fromUtf8(text);
    return lauf;
}

Auswertung messeBefehl(const char* zeitbasis, std::size_t schritte) {
    // The simulated port keeps its state in the runtime folder: a private one.
    QTemporaryDir laufzeit;
    qputenv("XDG_RUNTIME_DIR", laufzeit.path().toLocal8Bit());
    const Befehlslauf leer = starteMuster(QStringLiteral("0"), 2);
    const Befehlslauf lauf = starteMuster(QString::fromLatin1(zeitbasis), schritte);
    Auswertung a;
    a.cpuAnteil = (lauf.cpuSekunden - leer.cpuSekunden) / (lauf.wandSekunden - leer.wandSekunden);
    const QRegularExpression muster(QStringLiteral(
        "verspätet (\\d+), mittlere Periode ([\\d,]+) µs, Schrittfehler Median ([\\d,]+) µs, "
        "p99 ([\\d,]+) µs, größter ([\\d,]+) µs"));
    const auto treffer = muster.match(lauf.statistik);
    if (!treffer.hasMatch()) {
        std::printf("  muster: %s\n", qPrintable(lauf.statistik.trimmed()));
        return a;
    }
    const auto zahl = [&](int i) { return treffer.captured(i).replace(u',', u'.').toDouble(); };
    a.verspätet = treffer.captured(1).toULongLong();
    a.mittel = zahl(2);
    a.median = zahl(3);
    a.p99 = zahl(4);
    a.größter = zahl(5);
    a.schritteProSekunde = a.mittel > 0 ? 1e6 / a.mittel : 0;
    return a;
}

void druckeKopf() {
    std::printf("  %-34s %12s %10s %10s %10s %10s %9s %11s %6s\n", "", "Periode", "Abw.", "Median",
                "p99", "größter", "verspätet", "Schritte/s", "CPU");
}

void druckeZeile(const char* name, double zeitbasisUs, const Auswertung& a) {
    char abweichung[32] = "-";
    if (zeitbasisUs > 0) {
        std::snprintf(abweichung, sizeof abweichung, "%+.3f %%",
                      (a.mittel - zeitbasisUs) / zeitbasisUs * 100.0);
    }
    std::printf("  %-34s %9.3f us %10s %7.2f us %7.2f us %7.1f us %9llu %11.0f %5.1f%%\n", name,
                a.mittel, abweichung, a.median, a.p99, a.größter,
                static_cast<unsigned long long>(a.verspätet), a.schritteProSekunde,
                a.cpuAnteil * 100.0);
}

using dravel::bench::last;
using dravel::bench::Lastprozesse;

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::size_t schritte = 10000;
    std::size_t schritte50 = 200;
    bool mitschnitt = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ohne-mitschnitt") == 0) mitschnitt = false;
        if (i + 1 >= argc) continue;
        if (std::strcmp(argv[i], "--schritte") == 0)
            schritte = std::max(100, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--schritte50") == 0)
            schritte50 = std::max(10, std::atoi(argv[i + 1]));
    }
    dravel::app::wähleEreignisschleife();  // the event loop the program runs on
    QApplication app(argc, argv);
    dravel::app::richteAnwendungEin();

    std::printf(
        "Generator-Schrittzeiten, Plattform %s, Last %s\n"
        "Schrittfehler: Fristverfahren gegen den Zeitplan (Start + Summe der Zeitbasen), "
        "Verzögerungsverfahren gegen den vorigen Schritt + Zeitbasis.\n",
        qPrintable(QGuiApplication::platformName()), last().c_str());

    struct Konfiguration {
        const char* text;
        double ms;
        std::size_t schritte;
    };
    const std::array konfigurationen{Konfiguration{"0", 0.0, schritte},
                                     Konfiguration{"0.1", 0.1, schritte},
                                     Konfiguration{"50", 50.0, schritte50}};
    for (const auto& k : konfigurationen) {
        std::printf("Zeitbasis %s ms, %zu Schritte, ruhig:\n", k.text, k.schritte);
        druckeKopf();
        druckeZeile("bisher: Verzögerung", k.ms * 1000.0, messeVerzögerung(k.ms, k.schritte));
        druckeZeile("neu: Fristen", k.ms * 1000.0, messeMaschine(k.text, k.schritte, false));
        if (k.ms >= 50.0) {
            druckeZeile("Befehl muster (ohne Start)", k.ms * 1000.0,
                        messeBefehl(k.text, k.schritte));
        }
    }

    const auto prüfung = dravel::generator::echtzeit::prüfe();
    {
        const Lastprozesse last2;
        std::printf(
            "Zeitbasis 0.1 ms, %zu Schritte, zwei Lastprozesse (yes > /dev/null), Last %s:\n",
            schritte, last().c_str());
        druckeKopf();
        druckeZeile("bisher: Verzögerung", 100.0, messeVerzögerung(0.1, schritte));
        druckeZeile("neu: Fristen", 100.0, messeMaschine("0.1", schritte, false));
        if (prüfung.möglich) {
            druckeZeile("neu: Fristen, --echtzeit", 100.0, messeMaschine("0.1", schritte, true));
        } else {
            std::printf("  neu: Fristen, --echtzeit: %s\n",
                        dravel::app::echtzeitHinweis(prüfung.hindernis).c_str());
        }
    }

    if (mitschnitt) dravel::bench::druckeTraceMehraufwand(20000);
    return 0;
}
