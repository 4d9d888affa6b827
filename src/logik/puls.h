#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "logik/aufnahme.h"
#include "logik/spalten.h"

namespace dravel::analysator {

// The pulse of one line around a moment: what the diagram says where the
// mouse points. Times are nanoseconds on the capture's clock.
struct Puls {
    bool gesehen = false;    // the moment lies within what the capture holds
    bool unbekannt = false;  // the line has no known level there
    bool hoch = false;
    // Its edges; none where the pulse runs past the recording's ends.
    std::optional<std::uint64_t> anfangNs, endeNs;
    // With the neighbouring pulse of the other level (the next, else the
    // previous): both edges of the same kind known and no gap between.
    std::optional<std::uint64_t> periodeNs;
    std::optional<double> tastgradProzent;
    bool lücke = false;  // the pulse touches a gap: its edges' times are unknown
};

// Finds the edges with the summary of `spalten` (as last followed), so a
// line that is quiet among millions of other changes costs no scan.
Puls pulsBei(const Aufnahme& aufnahme, const Spalten& spalten, int bit, std::uint64_t zeitNs);

// "10 /Ack: hoch 500,0 µs · Periode 1,000 ms · 1,000 kHz · Tastgrad 50,0 %".
QString pulsText(const Leitung& leitung, const Puls& puls);

}  // namespace dravel::analysator
