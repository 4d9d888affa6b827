#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "logik/aufnahme.h"
#include "logik/uebersicht.h"

namespace dravel::analysator {

// What a line did within one column of a diagram.
enum class Stand : std::uint8_t {
    Ungesehen,  // outside what the capture looked at, or wholly in a gap
    Tief,
    Hoch,
    Beide,      // at both levels: it changed in the column
    Unbekannt,  // of no known level somewhere in the column (a file's x or z)
};

// One column of a diagram, the times [anfangNs, endeNs).
struct Spalte {
    std::uint64_t anfangNs = 0, endeNs = 0;
    Pegel oder = 0;        // lines high somewhere in the column
    Pegel und = 0;         // lines high throughout
    Pegel unbekannt = 0;   // lines of unknown level somewhere in it
    bool gesehen = false;  // holds some of what the capture saw
    bool lücke = false;    // touches a stretch not seen
    [[nodiscard]] Stand stand(int bit) const;
};

// The columns a diagram draws, from a recording as it grows. A column
// answers in a few hundred steps whatever the number of changes in it (the
// summary of Übersicht), and a gap shorter than a column still marks the
// column it falls in, so no zoom hides it.
class Spalten {
public:
    // Takes in what `aufnahme` has published: its changes, how far it has
    // looked, its gaps and unknown stretches (another recording: starts over).
    void folge(const Aufnahme& aufnahme);

    // As taken in: the changes, and how far the recording looked (at least
    // to its last change; 0 before the first).
    [[nodiscard]] std::size_t anzahl() const { return anzahl_; }
    [[nodiscard]] std::uint64_t bisNs() const { return bisNs_; }
    [[nodiscard]] const std::vector<Lücke>& lücken() const { return lücken_; }
    [[nodiscard]] const Übersicht& übersicht() const { return übersicht_; }

    // `breite` columns from `anfangNs`, `spanneNs` in all, of the recording
    // last followed.
    [[nodiscard]] std::vector<Spalte> berechne(const Aufnahme& aufnahme, double anfangNs,
                                               double spanneNs, int breite) const;

private:
    const Aufnahme* quelle_ = nullptr;
    Übersicht übersicht_;
    std::size_t anzahl_ = 0;
    std::uint64_t bisNs_ = 0;
    bool fertigGelesen_ = false;  // taken in after the recording ended
    std::vector<Lücke> lücken_;
    std::vector<Änderung> unbekannt_;
};

// A bus's value from the levels of its bits (most significant first), and
// as the diagram writes it: hexadecimal, as many digits as the bus needs;
// "x" when any bit is in `unbekannt`.
[[nodiscard]] std::uint64_t busWert(const Bus& bus, Pegel pegel);
[[nodiscard]] std::string busText(const Bus& bus, Pegel pegel, Pegel unbekannt);

}  // namespace dravel::analysator
