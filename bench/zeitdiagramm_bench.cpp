// Drawing time of the logic analyzer's timing diagram, and what its window
// costs while it waits.
//
// Ten million changes on 17 lines (a different mix of lines toggling at
// each step, 100 ns apart, one second in all) are drawn into an image the
// size of the diagram at the window's default size: the whole range, a
// zoom to 1 ms, and panning at 1 ms. Beside it the baseline a per-change
// drawing would cost: one pass over every change in the view per frame.
// Then a decoder's row of a million annotations under the lines, each view
// drawn without and with it. Then the same with 10,000 short gaps in the
// capture.
// Then the window stands open and idle for a few seconds: the share of a
// core the process used and the port accesses it made.
//
//   zeitdiagramm_bench [--aenderungen N] [--ruhe S]
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "fenster/analysator/logikanalysator.h"
#include "fenster/analysator/zeitdiagramm.h"
#include "fenster/anwendung.h"
#include "logik/annotationen.h"
#include "logik/aufnahmemaschine.h"
#include "port/port.h"
#include "recording_port.h"

using namespace dravel;
using analysator::Aufnahme;

namespace {

double prozesszeitS() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

std::shared_ptr<Aufnahme> füllen(std::size_t anzahl) {
    auto a = std::make_shared<Aufnahme>(analysator::leitungenFür(analysator::kAllePins),
                                        anzahl * Aufnahme::kBytesJeÄnderung);
    analysator::Pegel pegel = 0;
    std::uint32_t zufall = 12345;
    for (std::size_t i = 0; i < anzahl; ++i) {
        // Pin 2 toggles at every change, the others at random, rarer and rarer.
        zufall = zufall * 1664525u + 1013904223u;
        pegel ^= analysator::bitVon(2);
        for (int p = 3; p <= 17; ++p) {
            if (((zufall >> (p - 2)) & ((1u << (p - 2)) - 1)) == 0) pegel ^= analysator::bitVon(p);
        }
        a->hänge(i * 100, pegel);
    }
    a->setzeBisNs(anzahl * 100);
    a->beende(analysator::Ende::Dauer);
    return a;
}

// Milliseconds per frame, the median of `runden` frames.
double zeichne(Zeitdiagramm& d, QImage& bild, int runden, double anfang, double spanne,
               double schritt = 0) {
    std::vector<double> zeiten;
    for (int r = 0; r < runden; ++r) {
        d.setzeSicht(anfang + r * schritt, spanne);
        QElapsedTimer uhr;
        uhr.start();
        d.viewport()->render(&bild);
        zeiten.push_back(double(uhr.nsecsElapsed()) / 1e6);
    }
    std::sort(zeiten.begin(), zeiten.end());
    return zeiten[zeiten.size() / 2];
}

// The baseline: every change in the view visited once per frame.
double proÄnderung(const Aufnahme& a, double anfang, double spanne, int breite) {
    QElapsedTimer uhr;
    uhr.start();
    const std::size_t von = a.ersteAb(std::uint64_t(anfang), a.anzahl());
    const std::size_t bis = a.ersteAb(std::uint64_t(anfang + spanne), a.anzahl());
    std::vector<analysator::Pegel> oder(std::size_t(breite), 0);
    for (std::size_t i = von; i < bis; ++i) {
        const auto ä = a[i];
        const auto x = std::size_t((double(ä.zeitNs) - anfang) / spanne * (breite - 1));
        oder[std::min(x, oder.size() - 1)] |= ä.pegel;
    }
    volatile auto senke = oder[0];
    (void)senke;
    return double(uhr.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t anzahl = 10'000'000;
    double ruheS = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--aenderungen")) anzahl = std::stoul(argv[i + 1]);
        if (!std::strcmp(argv[i], "--ruhe")) ruheS = std::stod(argv[i + 1]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication anwendung(argc, argv);
    app::richteAnwendungEin();

    std::printf("Zeitdiagramm: %zu Änderungen auf 17 Leitungen, 100 ns Abstand\n", anzahl);
    const auto aufnahme = füllen(anzahl);

    // On the heap: the window deletes itself once closed.
    auto& fenster = *new Logikanalysator;
    fenster.show();
    QApplication::processEvents();
    Zeitdiagramm& d = *fenster.Diagramm;
    QImage bild(d.viewport()->size() * d.devicePixelRatio(), QImage::Format_ARGB32_Premultiplied);
    bild.setDevicePixelRatio(d.devicePixelRatio());

    QElapsedTimer uhr;
    uhr.start();
    d.zeige(aufnahme);
    d.viewport()->render(&bild);
    const double erstes = double(uhr.nsecsElapsed()) / 1e6;
    const double anfang = d.anfangNs(), gesamt = d.endeNs() - anfang;
    const int breite = d.plotfläche().width();

    std::printf("Diagramm %d x %d Pixel, Zeichenfläche %d Pixel breit\n", d.viewport()->width(),
                d.viewport()->height(), breite);
    std::printf("erstes Bild (mit Aufbau der Übersicht): %8.1f ms\n", erstes);
    std::printf("%-28s %12s %22s\n", "Ansicht", "ms/Bild", "Basis: je Änderung ms");
    std::printf("%-28s %12.2f %22.2f\n", "ganzer Bereich (1 s)",
                zeichne(d, bild, 15, anfang, gesamt),
                proÄnderung(*aufnahme, anfang, gesamt, breite));
    const double mitte = anfang + gesamt / 2;
    std::printf("%-28s %12.2f %22.2f\n", "Zoom auf 1 ms", zeichne(d, bild, 15, mitte, 1e6),
                proÄnderung(*aufnahme, mitte, 1e6, breite));
    std::printf("%-28s %12.2f %22s\n", "1 ms, verschoben je Bild",
                zeichne(d, bild, 60, anfang, 1e6, gesamt / 61), "");
    std::printf("%-28s %12.2f %22.2f\n", "Zoom auf 100 ms", zeichne(d, bild, 15, mitte, 1e8),
                proÄnderung(*aufnahme, mitte, 1e8, breite));

    // A decoding's row: a million annotations, one every microsecond.
    auto liste = std::make_shared<dekoder::Annotationsliste>();
    {
        dekoder::Annotation a;
        a.dekoder = "uart";
        a.zeile = a.klasse = "rx-data";
        a.texte = {"Zeichen 0x41", "0x41", "A"};
        for (std::size_t i = 0; i < 1'000'000; ++i) {
            a.anfangNs = std::uint64_t(anfang + gesamt * double(i) / 1e6);
            a.endeNs = a.anfangNs + std::uint64_t(gesamt / 1e6 * 0.8);
            liste->füge(a);
        }
        liste->ordne();
    }
    std::printf("%-28s %12s %22s\n", "1 Million Annotationen", "ms/Bild mit",
                "ohne die Zeile ms/Bild");
    for (const auto& [name, von, spanne] : {std::tuple("ganzer Bereich (1 s)", anfang, gesamt),
                                            std::tuple("Zoom auf 1 ms", mitte, 1e6),
                                            std::tuple("Zoom auf 20 µs (Texte)", mitte, 2e4)}) {
        d.setzeZusatzzeilen({});
        const double ohne = zeichne(d, bild, 15, von, spanne);
        d.setzeZusatzzeilen(
            {{QStringLiteral("UART: RX data"), liste, 0, QColor(0xF0, 0xC0, 0x50)}});
        std::printf("%-28s %12.2f %22.2f\n", name, zeichne(d, bild, 15, von, spanne), ohne);
    }
    d.setzeZusatzzeilen({{QStringLiteral("UART: RX data"), liste, 0, QColor(0xF0, 0xC0, 0x50)}});
    std::printf("%-28s %12.2f\n", "1 ms, verschoben je Bild",
                zeichne(d, bild, 60, anfang, 1e6, gesamt / 61));
    d.setzeZusatzzeilen({});

    // Stretches not seen, as a capture under load has them: 10,000 gaps of
    // 5 µs spread over the second, each marking at least one column.
    for (std::size_t k = 0; k < 10'000; ++k) {
        const auto t = std::uint64_t(anfang + gesamt * double(k) / 10'000);
        aufnahme->hängeLücke({t, t + 5'000});
    }
    d.rolle();
    std::printf("%-28s %12.2f\n", "ganzer Bereich, 10000 Lücken",
                zeichne(d, bild, 15, anfang, gesamt));
    std::printf("%-28s %12.2f\n", "Zoom auf 1 ms, mit Lücken", zeichne(d, bild, 15, mitte, 1e6));

    // Idle: the window open with the capture shown, nothing running.
    auto& zähler = [&]() -> port::RecordingPort& {
        auto p = std::make_unique<port::RecordingPort>();
        auto& r = *p;
        port::installBackend(std::move(p));
        return r;
    }();
    fenster.messeJetzt();  // the table's pending refresh, not part of the idle time
    QApplication::processEvents();
    const double vorher = prozesszeitS();
    const auto wand = std::chrono::steady_clock::now();
    QTimer::singleShot(int(ruheS * 1000), &anwendung, &QCoreApplication::quit);
    anwendung.exec();
    const double wandS =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wand).count();
    std::printf(
        "Ruhe: %.1f s offen ohne Aufnahme: %.3f %% eines Kerns, %zu Portzugriffe, "
        "laufende Zeitgeber im Fenster: %d\n",
        wandS, 100 * (prozesszeitS() - vorher) / wandS, zähler.calls().size(),
        int(fenster.Anzeigetakt->isActive() || fenster.Messtakt->isActive()));
    return 0;
}
