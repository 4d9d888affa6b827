// The summary a diagram draws from: for any run of changes, the same levels
// as visiting each change, while the recording grows.
#include <QTest>
#include <random>

#include "logik/uebersicht.h"

using namespace dravel::analysator;

class TestUebersicht : public QObject {
    Q_OBJECT
private slots:
    void runsGiveTheLevelsOfEveryChangeInThem();
};

void TestUebersicht::runsGiveTheLevelsOfEveryChangeInThem() {
    Aufnahme aufnahme({{0, "a"}}, 200'000 * Aufnahme::kBytesJeÄnderung);
    Übersicht übersicht;
    std::mt19937_64 zufall(7);
    // Rare lines too: bit k changes with probability 2^-k.
    Pegel pegel = 0;
    std::uint64_t zeit = 0;
    for (const std::size_t bis : {std::size_t(1000), std::size_t(33'333), std::size_t(200'000)}) {
        while (aufnahme.anzahl() < bis) {
            const Pegel z = zufall();
            for (int k = 0; k < 20; ++k) {
                if ((z & ((Pegel{1} << k) - 1)) == 0) pegel ^= bitVon(k);
            }
            aufnahme.hänge(zeit += 10, pegel);
        }
        QCOMPARE(übersicht.folge(aufnahme), bis);
        for (int versuch = 0; versuch < 300; ++versuch) {
            std::size_t von = zufall() % bis, länge = zufall() % (versuch % 3 ? 5000 : bis);
            const std::size_t ende = std::min(bis, von + länge);
            Übersicht::Spanne erwartet;
            for (std::size_t i = von; i < ende; ++i) {
                erwartet.oder |= aufnahme[i].pegel;
                erwartet.und &= aufnahme[i].pegel;
            }
            const Übersicht::Spanne s = übersicht.über(aufnahme, von, ende);
            QCOMPARE(s.oder, erwartet.oder);
            QCOMPARE(s.und, erwartet.und);
        }
    }
}

QTEST_GUILESS_MAIN(TestUebersicht)
#include "tst_uebersicht.moc"
