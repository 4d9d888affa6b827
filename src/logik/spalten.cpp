#include "spalten.h"

#include <algorithm>
#include <cmath>

namespace dravel::analysator {

Stand Spalte::stand(int bit) const {
    const Pegel maske = bitVon(bit);
    if (!gesehen) return Stand::Ungesehen;
    if (unbekannt & maske) return Stand::Unbekannt;
    if ((oder ^ und) & maske) return Stand::Beide;
    return (und & maske) ? Stand::Hoch : Stand::Tief;
}

void Spalten::folge(const Aufnahme& aufnahme) {
    const bool neu = quelle_ != &aufnahme;
    quelle_ = &aufnahme;
    // How far it looked before its changes: every change up to there is
    // published by then.
    const std::uint64_t bis = aufnahme.bisNs();
    anzahl_ = übersicht_.folge(aufnahme);
    bisNs_ = anzahl_ > 0 ? std::max(bis, aufnahme[anzahl_ - 1].zeitNs) : bis;
    // Gaps grow (a gap touching the last extends it) until the recording
    // has ended: copied until then, and once more after it said so.
    const bool fertig = aufnahme.ende() != Ende::Läuft;
    if (neu || !fertigGelesen_) {
        lücken_ = aufnahme.lücken();
        unbekannt_ = aufnahme.unbekannt();
    }
    fertigGelesen_ = fertig;
}

std::vector<Spalte> Spalten::berechne(const Aufnahme& aufnahme, double anfangNs, double spanneNs,
                                      int breite) const {
    std::vector<Spalte> spalten(std::size_t(std::max(0, breite)));
    const std::size_t n = anzahl_;
    if (n == 0 || breite <= 0 || quelle_ != &aufnahme) return spalten;
    const std::uint64_t erste = aufnahme[0].zeitNs;
    // Column c holds the times [grenze(c), grenze(c + 1)).
    const auto grenze = [&](int c) {
        return std::uint64_t(std::max(0.0, std::ceil(anfangNs + c * spanneNs / breite)));
    };
    std::size_t i = aufnahme.ersteAb(grenze(0), n);
    auto lücke = lücken_.begin();
    auto unbekannt =
        std::upper_bound(unbekannt_.begin(), unbekannt_.end(), grenze(0),
                         [](std::uint64_t t, const Änderung& ä) { return t < ä.zeitNs; });
    Pegel unbekanntJetzt = unbekannt == unbekannt_.begin() ? 0 : std::prev(unbekannt)->pegel;
    for (int c = 0; c < breite; ++c) {
        Spalte& s = spalten[std::size_t(c)];
        s.anfangNs = grenze(c);
        s.endeNs = grenze(c + 1);
        const std::size_t j = aufnahme.ersteAb(s.endeNs, n);
        // The level at the column's start and every change in it.
        const Übersicht::Spanne spanne = übersicht_.über(aufnahme, i == 0 ? 0 : i - 1, j);
        s.oder = spanne.oder;
        s.und = spanne.und;
        i = j;
        s.gesehen = s.endeNs > erste && s.anfangNs <= bisNs_;

        // Zoomed in below a nanosecond a column still stands for its own.
        const std::uint64_t ende = std::max(s.endeNs, s.anfangNs + 1);
        while (lücke != lücken_.end() && lücke->endeNs <= s.anfangNs) ++lücke;
        for (auto l = lücke; l != lücken_.end() && l->anfangNs < ende; ++l) {
            s.lücke = true;
            if (l->anfangNs <= s.anfangNs && l->endeNs >= ende) s.gesehen = false;
        }

        // The mask in force at the column's start, and every one in it.
        for (; unbekannt != unbekannt_.end() && unbekannt->zeitNs <= s.anfangNs; ++unbekannt) {
            unbekanntJetzt = unbekannt->pegel;
        }
        s.unbekannt = unbekanntJetzt;
        for (; unbekannt != unbekannt_.end() && unbekannt->zeitNs < s.endeNs; ++unbekannt) {
            unbekanntJetzt = unbekannt->pegel;
            s.unbekannt |= unbekanntJetzt;
        }
    }
    return spalten;
}

std::uint64_t busWert(const Bus& bus, Pegel pegel) {
    std::uint64_t wert = 0;
    for (const int bit : bus.bits) wert = (wert << 1) | ((pegel >> bit) & 1);
    return wert;
}

std::string busText(const Bus& bus, Pegel pegel, Pegel unbekannt) {
    for (const int bit : bus.bits) {
        if (unbekannt & bitVon(bit)) return "x";
    }
    static constexpr char kZiffern[] = "0123456789ABCDEF";
    const std::size_t stellen = std::max<std::size_t>(1, (bus.bits.size() + 3) / 4);
    std::string text(stellen, '0');
    std::uint64_t wert = busWert(bus, pegel);
    for (std::size_t k = stellen; k-- > 0; wert >>= 4) text[k] = kZiffern[wert & 15];
    return text;
}

}  // namespace dravel::analysator
