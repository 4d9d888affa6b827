#pragma once

#include <QLocale>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "logik/aufnahme.h"

namespace dravel::analysator {

// What one line did over a stretch of a capture. Times are nanoseconds.
struct Messwerte {
    std::size_t flanken = 0;  // rising and falling together
    std::size_t steigend = 0;
    std::size_t fallend = 0;
    // From whole periods only (from one rising edge to the next, or falling
    // edge where there are more such periods), each touching no gap (its
    // edges' times are known, no edge can hide in it): nullopt without one.
    std::optional<double> periodeNs;
    std::optional<double> frequenzHz;
    // The share of time high, in percent: over the whole periods where there
    // are any, otherwise over the stretch (a line that never moves is 0 or
    // 100).
    std::optional<double> tastgradProzent;
    // Pulses that start and end with an edge inside the stretch, high and
    // low alike, and touch no gap: nullopt without one.
    std::optional<std::uint64_t> kürzesterPulsNs;
    std::optional<std::uint64_t> längsterPulsNs;
    std::uint64_t hochNs = 0;   // time high within the stretch
    std::uint64_t dauerNs = 0;  // the stretch, cut to what the capture holds
    // Pulses left out of the figures above because they touch a gap.
    std::size_t ausgelassenePulse = 0;
};

// Measures line `bit` (a bit of Pegel: the pin number in a capture of the
// port) between `vonNs` and `bisNs` on the capture's clock (absolute times,
// as Änderung::zeitNs; the stretch is cut to the first change and
// Aufnahme::bisNs()). Reads only what is published, so it may run while
// the capture grows; costs a binary search plus one step per change in
// the stretch.
Messwerte messe(const Aufnahme& aufnahme, int bit, std::uint64_t vonNs, std::uint64_t bisNs);
// The same for several lines in one pass over the stretch (a table of many
// lines over a large file): one result per entry of `bits`, in order.
std::vector<Messwerte> messeAlle(const Aufnahme& aufnahme, const std::vector<int>& bits,
                                 std::uint64_t vonNs, std::uint64_t bisNs);

// One German line for a line's figures: "10 /Ack: 200 Flanken, 1,000 kHz,
// Periode 1,000 ms, Tastgrad 50,0 %, Pulse 499,8 µs … 500,2 µs", and how
// many pulses were left out for gaps.
std::string messtext(const Leitung& leitung, const Messwerte& m);
// "3 Pulse an Lücken ausgelassen": the pulses left out of a measurement.
std::string ausgelassenText(std::size_t pulse);

// What a capture did not see between `vonNs` and `bisNs`: its gaps cut to
// the stretch.
struct Lückenbilanz {
    std::size_t anzahl = 0;
    std::uint64_t summeNs = 0;
    std::uint64_t längsteNs = 0;
    double anteilProzent = 0;  // of the stretch
};
Lückenbilanz lückenbilanz(const Aufnahme& aufnahme, std::uint64_t vonNs, std::uint64_t bisNs);

// "3 Lücken, zusammen 12,50 ms, längste 5,000 ms, 1,3 % der Aufnahme;
// Zeitauflösung 2,100 µs", "1 Lücke, 5,000 ms, …", or "keine Lücken; …" (no
// resolution where it is unknown). The commands' lines are German; the
// window passes the user's locale.
std::string lückentext(const Lückenbilanz& bilanz, std::uint64_t auflösungNs,
                       const QLocale& ort = QLocale(QLocale::German, QLocale::Germany));

}  // namespace dravel::analysator
