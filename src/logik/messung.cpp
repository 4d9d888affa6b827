#include "messung.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "logik/einheiten.h"

namespace dravel::analysator {
namespace {

// The edges of one kind, and the whole periods between two of them that
// touch no gap: their total span and the time high within them.
struct Flankenreihe {
    std::size_t anzahl = 0;
    std::size_t perioden = 0;
    std::uint64_t letzteNs = 0, hochBisLetzte = 0;
    std::uint64_t spanneNs = 0, hochNs = 0;

    void zähle(std::uint64_t zeitNs, std::uint64_t hochBisher, const std::vector<Lücke>& lücken) {
        if (anzahl++ > 0 && !berührtLücke(lücken, letzteNs, zeitNs)) {
            ++perioden;
            spanneNs += zeitNs - letzteNs;
            hochNs += hochBisher - hochBisLetzte;
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

    const std::vector<Lücke> lücken = aufnahme.lücken();
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
        if (flankeGesehen && berührtLücke(lücken, seit, ä.zeitNs)) {
            ++m.ausgelassenePulse;
        } else if (flankeGesehen) {
            const std::uint64_t puls = ä.zeitNs - seit;
            m.kürzesterPulsNs = std::min(m.kürzesterPulsNs.value_or(puls), puls);
            m.längsterPulsNs = std::max(m.längsterPulsNs.value_or(puls), puls);
        }
        (neu ? steigend : fallend).zähle(ä.zeitNs, m.hochNs, lücken);
        flankeGesehen = true;
        hoch = neu;
        seit = ä.zeitNs;
    }
    if (hoch) m.hochNs += bisNs - seit;
    m.steigend = steigend.anzahl;
    m.fallend = fallend.anzahl;
    m.flanken = m.steigend + m.fallend;

    const Flankenreihe& reihe = fallend.perioden > steigend.perioden ? fallend : steigend;
    if (reihe.perioden > 0 && reihe.spanneNs > 0) {
        const double spanne = static_cast<double>(reihe.spanneNs);
        m.periodeNs = spanne / static_cast<double>(reihe.perioden);
        m.frequenzHz = 1e9 / *m.periodeNs;
        m.tastgradProzent = 100.0 * static_cast<double>(reihe.hochNs) / spanne;
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
    if (m.ausgelassenePulse > 0) {
        t += ", " + std::to_string(m.ausgelassenePulse) +
             (m.ausgelassenePulse == 1 ? " Puls" : " Pulse") + " an Lücken ausgelassen";
    }
    return t;
}

Lückenbilanz lückenbilanz(const Aufnahme& aufnahme, std::uint64_t vonNs, std::uint64_t bisNs) {
    Lückenbilanz b;
    if (bisNs <= vonNs) return b;
    for (const Lücke& l : aufnahme.lücken()) {
        const std::uint64_t anfang = std::max(l.anfangNs, vonNs);
        const std::uint64_t ende = std::min(l.endeNs, bisNs);
        if (ende <= anfang) continue;
        ++b.anzahl;
        b.summeNs += ende - anfang;
        b.längsteNs = std::max(b.längsteNs, ende - anfang);
    }
    b.anteilProzent = 100.0 * static_cast<double>(b.summeNs) / static_cast<double>(bisNs - vonNs);
    return b;
}

std::string lückentext(const Lückenbilanz& bilanz, std::uint64_t auflösungNs) {
    const QLocale deutsch(QLocale::German, QLocale::Germany);
    const auto dauer = [&](std::uint64_t ns) {
        return dauerText(static_cast<double>(ns), 4, deutsch).toStdString();
    };
    std::string t = "keine Lücken";
    if (bilanz.anzahl > 0) {
        t = std::to_string(bilanz.anzahl) + (bilanz.anzahl == 1 ? " Lücke" : " Lücken") +
            ", zusammen " + dauer(bilanz.summeNs) + ", längste " + dauer(bilanz.längsteNs) + ", " +
            prozentText(bilanz.anteilProzent, deutsch).toStdString() + " der Aufnahme";
    }
    if (auflösungNs > 0) t += "; Zeitauflösung " + dauer(auflösungNs);
    return t;
}

}  // namespace dravel::analysator
