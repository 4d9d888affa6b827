// The analyzer's table over a large capture: every line measured in one
// pass (messeAlle) beside one pass a line (messe per line, as the table
// did), over the same changes, best of three each, taken in turns.
//
//   messung_bench [--millionen N]   (N default 68: a 1 GB --trace session)
//   messung_bench --datei PFAD      (a capture file, e.g. the one that
//                                    vcd_laden_bench --datei keeps)
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "logik/aufnahme.h"
#include "logik/aufnahmemaschine.h"
#include "logik/messung.h"
#include "logik/vcd_laden.h"

using namespace dravel::analysator;

int main(int argc, char** argv) {
    std::size_t millionen = 68;
    std::string datei;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--millionen") == 0) millionen = std::stoul(argv[++i]);
        if (std::strcmp(argv[i], "--datei") == 0) datei = argv[++i];
    }
    std::unique_ptr<Aufnahme> geladen;
    if (!datei.empty()) {
        std::string fehler;
        geladen = ladeVcd(datei, fehler);
        if (!geladen) {
            std::fprintf(stderr, "%s\n", fehler.c_str());
            return 2;
        }
    } else {
        const std::size_t n = millionen * 1'000'000;
        // The port's 17 pins, each change moving one of them, a gap now and then.
        Pegel maske = 0;
        for (int pin = 1; pin <= 17; ++pin) maske |= bitVon(pin);
        geladen = std::make_unique<Aufnahme>(leitungenFür(maske),
                                             (n + 1) * Aufnahme::kBytesJeÄnderung + (64 << 20));
        std::mt19937_64 zufall(24);
        Pegel pegel = 0;
        std::uint64_t t = 1'000;
        for (std::size_t i = 0; i < n; ++i) {
            t += 50 + zufall() % 200;
            pegel ^= bitVon(1 + int(zufall() % 17));
            if (!geladen->hänge(t, pegel)) break;
            if (i % 100'000 == 99'999) geladen->hängeLücke({t + 10, t + 5'000});
        }
        geladen->setzeBisNs(t + 1'000);
    }
    const Aufnahme& a = *geladen;
    std::vector<int> bits;
    for (const Leitung& l : a.leitungen()) bits.push_back(l.bit);

    using Uhr = std::chrono::steady_clock;
    double jeZeile = 1e30, einGang = 1e30;
    std::size_t prüfsumme = 0;
    for (int runde = 0; runde < 3; ++runde) {
        auto start = Uhr::now();
        for (const int bit : bits) prüfsumme += messe(a, bit, 0, a.bisNs()).flanken;
        jeZeile = std::min(jeZeile, std::chrono::duration<double>(Uhr::now() - start).count());
        start = Uhr::now();
        for (const Messwerte& m : messeAlle(a, bits, 0, a.bisNs())) prüfsumme -= m.flanken;
        einGang = std::min(einGang, std::chrono::duration<double>(Uhr::now() - start).count());
    }
    std::printf("%zu Änderungen, %zu Leitungen, %zu Lücken\n", a.anzahl(), bits.size(),
                a.lückenAnzahl());
    std::printf("messe je Leitung: %.3f s\nmesseAlle:        %.3f s (%.1f×)\n", jeZeile, einGang,
                jeZeile / einGang);
    return prüfsumme == 0 ? 0 : 1;  // both count the same edges
}
