#include "messung.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <utility>
#include <vector>

#include "logik/einheiten.h"

namespace dravel::analysator {
namespace {

// Whether a stretch that ends now touches a gap: a time stamped at a gap's
// end is known only to lie within it. "Now" only moves forward, so the
// check is one comparison: the gaps are sorted and apart, and the last to
// start by now ends latest of those.
class Lückenprüfung {
public:
    explicit Lückenprüfung(std::vector<Lücke> lücken) : lücken_(std::move(lücken)) {}
    void rückeVor(std::uint64_t jetztNs) {
        while (nächste_ < lücken_.size() && lücken_[nächste_].anfangNs <= jetztNs) ++nächste_;
    }
    [[nodiscard]] bool berührtSeit(std::uint64_t anfangNs) const {
        return nächste_ > 0 && lücken_[nächste_ - 1].endeNs >= anfangNs;
    }

private:
    std::vector<Lücke> lücken_;
    std::size_t nächste_ = 0;  // the gaps before it start by now
};

// The edges of one kind, and the whole periods between two of them that
// touch no gap: their total span and the time high within them.
struct Flankenreihe {
    std::size_t anzahl = 0;
    std::size_t perioden = 0;
    std::uint64_t letzteNs = 0, hochBisLetzte = 0;
    std::uint64_t spanneNs = 0, hochNs = 0;

    void zähle(std::uint64_t zeitNs, std::uint64_t hochBisher, const Lückenprüfung& lücken) {
        if (anzahl++ > 0 && !lücken.berührtSeit(letzteNs)) {
            ++perioden;
            spanneNs += zeitNs - letzteNs;
            hochNs += hochBisher - hochBisLetzte;
        }
        letzteNs = zeitNs;
        hochBisLetzte = hochBisher;
    }
};

}  // namespace

namespace {

// One line's walk through the stretch.
struct Zeilengang {
    Messwerte m;
    bool hoch = false;
    std::uint64_t seit = 0;  // when the line took its present level
    bool flankeGesehen = false;
    Flankenreihe steigend, fallend;
    int nächste = -1;  // the next line on the same bit

    void flanke(std::uint64_t zeitNs, bool neu, const Lückenprüfung& lücken) {
        if (hoch) m.hochNs += zeitNs - seit;
        if (flankeGesehen && lücken.berührtSeit(seit)) {
            ++m.ausgelassenePulse;
        } else if (flankeGesehen) {
            const std::uint64_t puls = zeitNs - seit;
            m.kürzesterPulsNs = std::min(m.kürzesterPulsNs.value_or(puls), puls);
            m.längsterPulsNs = std::max(m.längsterPulsNs.value_or(puls), puls);
        }
        (neu ? steigend : fallend).zähle(zeitNs, m.hochNs, lücken);
        flankeGesehen = true;
        hoch = neu;
        seit = zeitNs;
    }

    void schließe(std::uint64_t bisNs) {
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
            m.tastgradProzent =
                100.0 * static_cast<double>(m.hochNs) / static_cast<double>(m.dauerNs);
        }
    }
};

}  // namespace

Messwerte messe(const Aufnahme& aufnahme, int bit, std::uint64_t vonNs, std::uint64_t bisNs) {
    return messeAlle(aufnahme, {bit}, vonNs, bisNs).front();
}

std::vector<Messwerte> messeAlle(const Aufnahme& aufnahme, const std::vector<int>& bits,
                                 std::uint64_t vonNs, std::uint64_t bisNs) {
    std::vector<Zeilengang> gänge(bits.size());
    const auto ergebnis = [&] {
        std::vector<Messwerte> werte;
        werte.reserve(gänge.size());
        for (const Zeilengang& g : gänge) werte.push_back(g.m);
        return werte;
    };
    const std::size_t n = aufnahme.anzahl();
    if (n == 0) return ergebnis();
    // While a capture runs, its end mark may lag behind its last change.
    vonNs = std::max(vonNs, aufnahme[0].zeitNs);
    bisNs = std::min(bisNs, std::max(aufnahme.bisNs(), aufnahme[n - 1].zeitNs));
    if (bisNs <= vonNs) return ergebnis();

    // The lines by bit, so that a change costs only the bits it moves.
    std::array<int, 64> ersteAufBit{};
    ersteAufBit.fill(-1);
    Pegel beobachtet = 0;
    Pegel davor = aufnahme.pegelBei(vonNs, n);
    for (std::size_t z = bits.size(); z-- > 0;) {
        Zeilengang& g = gänge[z];
        g.m.dauerNs = bisNs - vonNs;
        g.seit = vonNs;
        if (bits[z] < 0 || bits[z] >= 64) continue;  // no such line: never moves
        g.hoch = (davor & bitVon(bits[z])) != 0;
        g.nächste = ersteAufBit[std::size_t(bits[z])];
        ersteAufBit[std::size_t(bits[z])] = int(z);
        beobachtet |= bitVon(bits[z]);
    }

    Lückenprüfung lücken(aufnahme.lücken());
    for (std::size_t i = aufnahme.ersteAb(vonNs + 1, n); i < n; ++i) {
        const Änderung ä = aufnahme[i];
        if (ä.zeitNs >= bisNs) break;
        lücken.rückeVor(ä.zeitNs);
        for (Pegel bewegt = (ä.pegel ^ davor) & beobachtet; bewegt != 0; bewegt &= bewegt - 1) {
            const int b = std::countr_zero(bewegt);
            for (int z = ersteAufBit[std::size_t(b)]; z >= 0; z = gänge[std::size_t(z)].nächste) {
                gänge[std::size_t(z)].flanke(ä.zeitNs, (ä.pegel & bitVon(b)) != 0, lücken);
            }
        }
        davor = ä.pegel;
    }
    for (Zeilengang& g : gänge) g.schließe(bisNs);
    return ergebnis();
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
    if (m.ausgelassenePulse > 0) t += ", " + ausgelassenText(m.ausgelassenePulse);
    return t;
}

std::string ausgelassenText(std::size_t pulse) {
    return std::to_string(pulse) + (pulse == 1 ? " Puls" : " Pulse") + " an Lücken ausgelassen";
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

std::string lückentext(const Lückenbilanz& bilanz, std::uint64_t auflösungNs, const QLocale& ort) {
    const auto dauer = [&](std::uint64_t ns) {
        return dauerText(static_cast<double>(ns), 4, ort).toStdString();
    };
    std::string t = "keine Lücken";
    if (bilanz.anzahl == 1) {
        t = "1 Lücke, " + dauer(bilanz.summeNs);
    } else if (bilanz.anzahl > 1) {
        t = std::to_string(bilanz.anzahl) + " Lücken, zusammen " + dauer(bilanz.summeNs) +
            ", längste " + dauer(bilanz.längsteNs);
    }
    if (bilanz.anzahl > 0) {
        t += ", " + prozentText(bilanz.anteilProzent, ort).toStdString() + " der Aufnahme";
    }
    if (auflösungNs > 0) t += "; Zeitauflösung " + dauer(auflösungNs);
    return t;
}

}  // namespace dravel::analysator
