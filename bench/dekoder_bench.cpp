// Decoding a 10 s capture of a 115,200 baud UART line, side by side with
// sigrok-cli decoding the same file in the same run.
//
// The capture is made in code (pin 10, random bytes back to back, a time
// resolution of 1 µs as a polling capture of a real port reaches) and saved
// as Dravel saves captures. Then, each at 1 MHz:
//   - the decoder session in this process, on the capture in memory;
//   - `dravel dekodieren` on the file (loading it and printing included);
//   - `sigrok-cli -I vcd:downsample=1000` on the same file.
// Wall and CPU times; the machine may be shared, so run it alone for figures.
//
//   dekoder_bench [--sekunden S]
#include <sys/resource.h>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "logik/aufnahme_vcd.h"
#include "logik/aufnahmemaschine.h"
#include "logik/dekoder.h"

using namespace dravel;
using Uhr = std::chrono::steady_clock;

namespace {

double sekundenSeit(Uhr::time_point anfang) {
    return std::chrono::duration<double>(Uhr::now() - anfang).count();
}

// CPU seconds (user and system) of this process or of its waited-for
// children: less at the mercy of a shared machine than the wall time.
double cpu(int wer) {
    rusage r{};
    getrusage(wer, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// Runs a program; its wall time, CPU time and how many lines it printed.
struct Lauf {
    double sekunden, cpu;
    int zeilen;
};
Lauf lauf(const QString& programm, const QStringList& argumente) {
    QProcess p;
    const auto anfang = Uhr::now();
    const double cpuVorher = cpu(RUSAGE_CHILDREN);
    p.start(programm, argumente);
    p.waitForFinished(-1);
    const double sekunden = sekundenSeit(anfang);
    if (p.exitCode() != 0) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(programm),
                     p.readAllStandardError().constData());
    }
    return {sekunden, cpu(RUSAGE_CHILDREN) - cpuVorher,
            static_cast<int>(p.readAllStandardOutput().count('\n'))};
}

}  // namespace

int main(int argc, char* argv[]) {
    double dauer = 10;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--sekunden") == 0) dauer = std::atof(argv[i + 1]);
    }
    constexpr double kBaud = 115200;
    auto aufnahme = std::make_shared<analysator::Aufnahme>(
        analysator::leitungenFür(analysator::bitVon(10)), std::size_t(1) << 30);
    aufnahme->basis = 0x378;
    std::mt19937 zufall(26);
    std::vector<std::string> gesendet;
    const double bit = 1e9 / kBaud;
    double t = 10'000;
    aufnahme->hänge(0, analysator::bitVon(10));
    analysator::Pegel vorher = analysator::bitVon(10);
    while (t + 10 * bit < dauer * 1e9) {
        const unsigned byte = zufall() & 0xff;
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", byte);
        gesendet.emplace_back(hex);
        const unsigned rahmen = 0x200 | (byte << 1);
        for (int k = 0; k < 10; ++k, t += bit) {
            const analysator::Pegel p = (rahmen >> k) & 1 ? analysator::bitVon(10) : 0;
            if (p != vorher) aufnahme->hänge(std::uint64_t(t), p);
            vorher = p;
        }
    }
    aufnahme->setzeBisNs(std::uint64_t(dauer * 1e9));
    aufnahme->setzeAuflösungNs(1000);
    aufnahme->beende(analysator::Ende::Dauer);
    QTemporaryDir ordner;
    const QString pfad = ordner.filePath("uart.vcd");
    std::string fehler;
    if (!analysator::speichereVcd(*aufnahme, pfad.toStdString(), fehler)) {
        std::fprintf(stderr, "%s\n", fehler.c_str());
        return 1;
    }
    std::printf("%.0f s UART, 115200 Baud: %zu Bytes, %zu Änderungen, 1 MHz = %.0f Mio. Proben\n",
                dauer, gesendet.size(), aufnahme->anzahl(), dauer);

    const auto anfang = Uhr::now();
    const double cpuVorher = cpu(RUSAGE_SELF);
    auto dekodierung = dekoder::Dekodierung::bereite(
        aufnahme, {{{"uart", {{"rx", "10"}, {"baudrate", "115200"}}}}}, 0, fehler);
    if (!dekodierung) {
        std::fprintf(stderr, "%s\n", fehler.c_str());
        return 1;
    }
    dekodierung->starte();
    if (!dekodierung->warte()) {
        std::fprintf(stderr, "%s\n", dekodierung->fehler().c_str());
        return 1;
    }
    const double sitzung = sekundenSeit(anfang);
    const double sitzungCpu = cpu(RUSAGE_SELF) - cpuVorher;
    std::vector<std::string> erhalten;
    for (const auto& a : dekodierung->abholen()) {
        if (a.klasse == "rx-data") erhalten.push_back(a.texte.front());
    }
    std::printf("                                 Wand      CPU\n");
    std::printf("Dekodersitzung (im Speicher):   %6.2f s %6.2f s  %zu Bytes, %s\n", sitzung,
                sitzungCpu, erhalten.size(),
                erhalten == gesendet ? "alle wie gesendet" : "ABWEICHUNG");

    const Lauf befehl =
        lauf(DRAVEL_PROGRAMM, {"dekodieren", pfad, "-P", "uart:rx=10:baudrate=115200", "-A",
                               "uart=rx-data", "--abtastrate", "1M"});
    std::printf("dravel dekodieren (Datei):      %6.2f s %6.2f s  %d Zeilen\n", befehl.sekunden,
                befehl.cpu, befehl.zeilen);
    const QString sigrok = QStandardPaths::findExecutable("sigrok-cli");
    if (sigrok.isEmpty()) {
        std::printf("sigrok-cli fehlt: kein Vergleich\n");
        return 0;
    }
    const Lauf vergleich =
        lauf(sigrok, {"-I", "vcd:downsample=1000", "-i", pfad, "-P",
                      "uart:rx=Pin10_nAck:baudrate=115200", "-A", "uart=rx-data"});
    std::printf("sigrok-cli (Datei):             %6.2f s %6.2f s  %d Zeilen\n", vergleich.sekunden,
                vergleich.cpu, vergleich.zeilen);
    return 0;
}
