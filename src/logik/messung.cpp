#include "messung.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

#include "logik/einheiten.h"

namespace dravel::analysator {
namespace {

// The edges of one kind: the first and the last, and the time high up to each.
struct Flankenreihe {
    std::size_t anzahl = 0;
    std::uint64_t ersteNs = 0, letzteNs = 0;
    std::uint64_t hochBisErste = 0, hochBisLetzte = 0;

    void zähle(std::uint64_t zeitNs, std::uint64_t hochBisher) {
        if (anzahl++ == 0) {
            ersteNs = zeitNs;
            hochBisErste = hochBisher;
        }
        letzteNs = zeitNs;
        hochBisLetzte = hochBisher;
    }
};

}  // namespace

Messwerte messe(const Aufnahme& aufnahme, int bit, std::uint64_t vonNs, std::uint64_t bisNs) {
    Messwerte m;
    const std::size_t n = aufnahme.anzahl();
    if (n == 0) return m;
    // While a capture runs, its end mark may lag behind its last change.
    vonNs = std::max(vonNs, aufnahme[0].zeitNs);
    bisNs = std::min(bisNs, std::max(aufnahme.bisNs(), aufnahme[n - 1].zeitNs));
    if (bisNs <= vonNs) return m;
    m.dauerNs = bisNs - vonNs;

    const Pegel maske = bitVon(bit);
    bool hoch = (aufnahme.pegelBei(vonNs, n) & maske) != 0;
    std::uint64_t seit = vonNs;  // when the line took its present level
    bool flankeGesehen = false;
    Flankenreihe steigend, fallend;
    for (std::size_t i = aufnahme.ersteAb(vonNs + 1, n); i < n; ++i) {
        const Änderung ä = aufnahme[i];
        if (ä.zeitNs >= bisNs) break;
        const bool neu = (ä.pegel & maske) != 0;
        if (neu == hoch) continue;
        if (hoch) m.hochNs += ä.zeitNs - seit;
        if (flankeGesehen) {
            const std::uint64_t puls = ä.zeitNs - seit;
            m.kürzesterPulsNs = std::min(m.kürzesterPulsNs.value_or(puls), puls);
            m.längsterPulsNs = std::max(m.längsterPulsNs.value_or(puls), puls);
        }
        (neu ? steigend : fallend).zähle(ä.zeitNs, m.hochNs);
        flankeGesehen = true;
        hoch = neu;
        seit = ä.zeitNs;
    }
    if (hoch) m.hochNs += bisNs - seit;
    m.steigend = steigend.anzahl;
    m.fallend = fallend.anzahl;
    m.flanken = m.steigend + m.fallend;

    const Flankenreihe& reihe = fallend.anzahl > steigend.anzahl ? fallend : steigend;
    if (reihe.anzahl >= 2 && reihe.letzteNs > reihe.ersteNs) {
        const double spanne = static_cast<double>(reihe.letzteNs - reihe.ersteNs);
        m.periodeNs = spanne / static_cast<double>(reihe.anzahl - 1);
        m.frequenzHz = 1e9 / *m.periodeNs;
        m.tastgradProzent =
            100.0 * static_cast<double>(reihe.hochBisLetzte - reihe.hochBisErste) / spanne;
    } else {
        m.tastgradProzent = 100.0 * static_cast<double>(m.hochNs) / static_cast<double>(m.dauerNs);
    }
    return m;
}

std::string messtext(const Leitung& leitung, const Messwerte& m) {
    const QLocale deutsch(QLocale::German, QLocale::Germany);
    std::string t =
        leitung.name + ": " + std::to_string(m.flanken) + (m.flanken == 1 ? " Flanke" : " Flanken");
    if (m.frequenzHz) {
        t += ", " + frequenzText(*m.frequenzHz, 4, deutsch).toStdString() + ", Periode " +
             dauerText(*m.periodeNs, 4, deutsch).toStdString();
    }
    if (m.tastgradProzent)
        t += ", Tastgrad " + prozentText(*m.tastgradProzent, deutsch).toStdString();
    if (m.kürzesterPulsNs) {
        t += ", Pulse " +
             dauerText(static_cast<double>(*m.kürzesterPulsNs), 4, deutsch).toStdString() + " … " +
             dauerText(static_cast<double>(*m.längsterPulsNs), 4, deutsch).toStdString();
    }
    return t;
}

}  // namespace dravel::analysator
