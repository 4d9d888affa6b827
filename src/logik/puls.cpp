#include "puls.h"

#include <algorithm>

#include "logik/einheiten.h"

namespace dravel::analysator {
namespace {

struct Suche {
    const Aufnahme& aufnahme;
    const Übersicht& übersicht;
    std::size_t n;
    Pegel maske;

    // The line keeps one level over changes [von, bis).
    [[nodiscard]] bool ruhig(std::size_t von, std::size_t bis) const {
        return (übersicht.über(aufnahme, von, bis).wechselnd() & maske) == 0;
    }
    // The first change after `i` at another level of the line; n for none.
    [[nodiscard]] std::size_t kanteNach(std::size_t i) const {
        std::size_t unten = i + 1, oben = n;
        while (unten < oben) {
            const std::size_t mitte = unten + (oben - unten + 1) / 2;
            if (ruhig(i, mitte)) {
                unten = mitte;
            } else {
                oben = mitte - 1;
            }
        }
        return unten;
    }
    // The change at which the level of change `i` began; 0 for the first.
    [[nodiscard]] std::size_t kanteVor(std::size_t i) const {
        std::size_t unten = 0, oben = i;
        while (unten < oben) {
            const std::size_t mitte = unten + (oben - unten) / 2;
            if (ruhig(mitte, i + 1)) {
                oben = mitte;
            } else {
                unten = mitte + 1;
            }
        }
        return unten;
    }
};

}  // namespace

Puls pulsBei(const Aufnahme& aufnahme, const Spalten& spalten, int bit, std::uint64_t zeitNs) {
    Puls p;
    const std::size_t n = spalten.anzahl();
    const std::size_t nach = n == 0 ? 0 : aufnahme.ersteAb(zeitNs + 1, n);
    if (nach == 0 || zeitNs > spalten.bisNs()) return p;
    p.gesehen = true;
    if (aufnahme.unbekanntBei(zeitNs) & bitVon(bit)) {
        p.unbekannt = true;
        return p;
    }
    const Suche suche{aufnahme, spalten.übersicht(), n, bitVon(bit)};
    const auto zeit = [&](std::size_t i) { return aufnahme[i].zeitNs; };
    const std::size_t i = nach - 1;
    p.hoch = (aufnahme[i].pegel & bitVon(bit)) != 0;
    const std::size_t k = suche.kanteVor(i), j = suche.kanteNach(i);
    if (k > 0) p.anfangNs = zeit(k);
    if (j < n) p.endeNs = zeit(j);
    const auto& lücken = spalten.lücken();
    p.lücke =
        berührtLücke(lücken, p.anfangNs.value_or(zeit(0)), p.endeNs.value_or(spalten.bisNs()));
    if (p.lücke || k == 0 || j == n) return p;

    // A period: this pulse and the next of the other level, else the previous.
    const std::uint64_t breite = zeit(j) - zeit(k);
    std::uint64_t andere = 0, von = zeit(k), bis = zeit(j);
    if (const std::size_t j2 = suche.kanteNach(j); j2 < n) {
        andere = zeit(j2) - zeit(j);
        bis = zeit(j2);
    } else if (const std::size_t k2 = suche.kanteVor(k - 1); k2 > 0) {
        andere = zeit(k) - zeit(k2);
        von = zeit(k2);
    } else {
        return p;
    }
    if (berührtLücke(lücken, von, bis)) return p;
    p.periodeNs = breite + andere;
    p.tastgradProzent = 100.0 * double(p.hoch ? breite : andere) / double(*p.periodeNs);
    return p;
}

QString pulsText(const Leitung& leitung, const Puls& puls) {
    QString text = QString::fromStdString(leitung.name) + QStringLiteral(": ");
    if (!puls.gesehen) return text + QStringLiteral("nicht aufgenommen");
    if (puls.unbekannt) return text + QStringLiteral("Pegel unbekannt");
    text += puls.hoch ? QStringLiteral("hoch") : QStringLiteral("tief");
    if (puls.lücke) return text + QStringLiteral(", Zeit unbekannt (Lücke)");
    if (!puls.anfangNs || !puls.endeNs)
        return text + QStringLiteral(" bis an den Rand der Aufnahme");
    text += QLatin1Char(' ') + dauerText(double(*puls.endeNs - *puls.anfangNs));
    if (puls.periodeNs && *puls.periodeNs > 0) {
        text += QStringLiteral(" · Periode %1 · %2 · Tastgrad %3")
                    .arg(dauerText(double(*puls.periodeNs)),
                         frequenzText(1e9 / double(*puls.periodeNs)),
                         prozentText(puls.tastgradProzent.value_or(0)));
    }
    return text;
}

}  // namespace dravel::analysator
