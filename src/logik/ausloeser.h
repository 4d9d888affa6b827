#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "logik/aufnahme.h"

namespace dravel::analysator {

// When a capture starts: at once, at an edge of one pin, when a pattern
// over pins comes true, or at the end of a pulse on one pin whose width is
// within bounds. Levels are electrical (inversions applied), as in Pegel.
struct Auslöser {
    enum class Art { Keiner, Flanke, Muster, Pulsbreite };
    enum class Richtung { Steigend, Fallend, Beide };

    Art art = Art::Keiner;
    // Flanke: the pin and which edges count.
    int pin = 0;
    Richtung richtung = Richtung::Steigend;
    // Muster: the pins that count and the level each must have.
    Pegel maske = 0;
    Pegel wert = 0;
    // Pulsbreite (with `pin`): a high or a low pulse, shorter than and/or
    // longer than these widths (0: that bound is not asked for). A pulse
    // counts only with both its edges seen after arming.
    bool pulsHoch = true;
    std::uint64_t kürzerAlsNs = 0;
    std::uint64_t längerAlsNs = 0;

    // The pins the trigger looks at: the capture samples them as well.
    [[nodiscard]] Pegel pins() const;
};

// The word of an edge direction, as the command line reads it and the
// window offers it: "steigend", "fallend", "beide".
const char* wort(Auslöser::Richtung richtung);
inline constexpr Auslöser::Richtung kRichtungen[] = {
    Auslöser::Richtung::Steigend, Auslöser::Richtung::Fallend, Auslöser::Richtung::Beide};

// What a trigger remembers between two steps: where the pulse under way
// began. Reset on arming (a pulse already under way then has no known
// start) and forgotten at a gap.
struct Auslösergedächtnis {
    bool pulsOffen = false;
    std::uint64_t pulsAnfangNs = 0;
};

// Whether the step from `vorher` to `jetzt` at `zeitNs` fires the trigger.
// `erste`: `jetzt` is the first sample after arming, with nothing before
// it: no edge yet, but a pattern that already holds fires at once (an edge
// is asked for with Flanke). A pattern fires when it comes true, so a
// pattern that stays true fires once. A pulse fires at its ending edge.
bool löstAus(const Auslöser& auslöser, Auslösergedächtnis& gedächtnis, Pegel vorher, Pegel jetzt,
             std::uint64_t zeitNs, bool erste);

// The command line's and the window's notations; nullopt and one German
// phrase in `fehler` for anything else. Pins are those with a signal
// (1..17).
// "10:steigend", "11:fallend", "15:beide".
std::optional<Auslöser> leseFlanke(std::string_view text, std::string& fehler);
// "2=1, 15=0": pins and levels, separated by commas, blanks allowed.
std::optional<Auslöser> leseMuster(std::string_view text, std::string& fehler);
// "10:hoch<1ms", "11:tief>500us", "10:hoch>1ms<2ms": a pin, the pulse's
// level, and one or both bounds (durations as leseDauerNs reads them).
std::optional<Auslöser> lesePuls(std::string_view text, std::string& fehler);

// A choice of pins: numbers and ranges separated by commas ("10,11,15",
// "2-9,10"), each a pin with a signal (1..17).
std::optional<Pegel> lesePins(std::string_view text, std::string& fehler);

// The other way round, for messages and the window: "10:steigend",
// "2=1,15=0", "10:hoch>500µs<1ms", "".
std::string text(const Auslöser& auslöser);

}  // namespace dravel::analysator
