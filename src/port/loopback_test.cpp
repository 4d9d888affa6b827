#include "loopback_test.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "pin_map.h"
#include "port.h"

namespace dravel::port {
namespace {

constexpr std::size_t kWires = kLoopbackPlug.size();

// The data register bit of wire k's driving line.
std::uint8_t lineBit(std::size_t k) {
    return static_cast<std::uint8_t>(1u << pin(kLoopbackPlug[k].from).bit);
}

// D0..D4: the bits the walk switches.
std::uint8_t walkedLines() {
    std::uint8_t bits = 0;
    for (std::size_t k = 0; k < kWires; ++k) bits |= lineBit(k);
    return bits;
}

// The levels one pin had over the walk, one per sample.
using Column = std::vector<bool>;

Column column(const std::vector<LoopbackSample>& samples, int pinNumber) {
    Column levels;
    for (const LoopbackSample& sample : samples) {
        RegisterValues values;
        values.data = sample.data;
        values.status = sample.status;
        levels.push_back(level(pin(pinNumber), values));
    }
    return levels;
}

Column inverse(Column levels) {
    levels.flip();
    return levels;
}

bool constant(const Column& levels, bool value) {
    return std::all_of(levels.begin(), levels.end(), [value](bool l) { return l == value; });
}

// "D3 (Pin 5)"
std::string end(int pinNumber) {
    return std::string(pin(pinNumber).signal) + " (Pin " + std::to_string(pinNumber) + ")";
}

// The data lines whose switching alone moved the input: each is compared
// with the sample before and after it where every other line holds.
std::vector<std::size_t> influences(const std::vector<LoopbackSample>& samples, const Column& in) {
    std::vector<std::size_t> lines;
    for (std::size_t k = 0; k < kWires; ++k) {
        bool moves = false;
        for (std::size_t a = 0; a < samples.size() && !moves; ++a)
            for (std::size_t b = 0; b < samples.size() && !moves; ++b)
                moves = ((samples[a].data ^ samples[b].data) & walkedLines()) == lineBit(k) &&
                        in[a] != in[b];
        if (moves) lines.push_back(k);
    }
    return lines;
}

// What is wrong with wire `j`, or "" while its input follows its line.
std::string finding(const std::vector<LoopbackSample>& samples, std::size_t j,
                    const std::array<Column, kWires>& lines) {
    const Wire& wire = kLoopbackPlug[j];
    const Column in = column(samples, wire.to);
    if (in == lines[j]) return {};
    if (in == inverse(lines[j])) return "invertiert – der Eingang folgt umgekehrt.";
    // TTL inputs float high: a constant high is an open wire (or one held
    // high, which the walk cannot tell apart), a constant low a wire held
    // low, usually against ground.
    if (constant(in, true)) return "offen – der Eingang folgt nicht.";
    if (constant(in, false)) return "fest auf Low – der Eingang bleibt Low.";
    for (std::size_t k = 0; k < kWires; ++k) {
        if (in == lines[k]) {
            // Two inputs on one line are bridged; one on another's line is
            // crossed over, as by a reversed cable.
            const std::string source = end(kLoopbackPlug[k].from) + " statt " + end(wire.from);
            if (column(samples, kLoopbackPlug[k].to) == lines[k])
                return "Schluss mit " + end(kLoopbackPlug[k].to) + " – der Eingang folgt " +
                       source + ".";
            return "vertauscht – der Eingang folgt " + source + ".";
        }
        if (in == inverse(lines[k]))
            return "Schluss – der Eingang folgt " + end(kLoopbackPlug[k].from) + " invertiert.";
    }
    std::string names;
    for (std::size_t k : influences(samples, in))
        names += (names.empty() ? "" : " und ") + end(kLoopbackPlug[k].from);
    if (names.empty()) return "unstet – der Eingang folgt keiner Datenleitung.";
    return "Schluss – der Eingang folgt " + names + " zugleich.";
}

// A ribbon cable reversed end to end takes conductor c to 26 - c; as the
// conductors alternate between the rows (1, 14, 2, 15, ...), that mirrors
// each row: pin n meets pin 14 - n above and 39 - n below.
int mirrored(int pinNumber) {
    return pinNumber <= 13 ? 14 - pinNumber : 39 - pinNumber;
}

// The pin the plug wires to `pinNumber`, or 0.
int plugPartner(int pinNumber) {
    for (const Wire& wire : kLoopbackPlug) {
        if (wire.from == pinNumber) return wire.to;
        if (wire.to == pinNumber) return wire.from;
    }
    return 0;
}

// Whether every input behaves as through a reversed cable: following the
// walked line or ground it then meets, constant where it meets anything
// else (an unwired pin, a control line, D5..D7).
bool looksReversed(const std::vector<LoopbackSample>& samples,
                   const std::array<Column, kWires>& lines) {
    for (const Wire& wire : kLoopbackPlug) {
        const Column in = column(samples, wire.to);
        const int partner = plugPartner(mirrored(wire.to));
        const int meets = partner == 0 ? 0 : mirrored(partner);
        const PinInfo* met = meets == 0 ? nullptr : &pin(meets);
        bool expected = constant(in, true) || constant(in, false);
        if (met && met->reg == PinRegister::Ground) expected = constant(in, false);
        for (std::size_t k = 0; k < kWires; ++k)
            if (meets == kLoopbackPlug[k].from) expected = in == lines[k];
        if (!expected) return false;
    }
    return true;
}

}  // namespace

std::vector<std::uint8_t> loopbackPatterns() {
    const std::uint8_t all = walkedLines();
    std::vector<std::uint8_t> patterns{0, all};
    for (std::size_t k = 0; k < kWires; ++k) patterns.push_back(lineBit(k));
    for (std::size_t k = 0; k < kWires; ++k)
        patterns.push_back(static_cast<std::uint8_t>(all ^ lineBit(k)));
    return patterns;
}

LoopbackResult judgeLoopback(const std::vector<LoopbackSample>& samples) {
    std::array<Column, kWires> lines;
    for (std::size_t k = 0; k < kWires; ++k) lines[k] = column(samples, kLoopbackPlug[k].from);
    LoopbackResult result;
    for (std::size_t j = 0; j < kWires; ++j) {
        const std::string what = finding(samples, j, lines);
        if (!what.empty())
            result.lines.push_back(end(kLoopbackPlug[j].from) + " → " + end(kLoopbackPlug[j].to) +
                                   ": " + what);
    }
    result.good = result.lines.empty();
    const bool allOpen = std::all_of(kLoopbackPlug.begin(), kLoopbackPlug.end(),
                                     [&](Wire w) { return constant(column(samples, w.to), true); });
    if (allOpen)
        result.lines.push_back("Kein Eingang folgt: steckt der Prüfstecker an diesem Port?");
    else if (!result.good && looksReversed(samples, lines))
        result.lines.push_back(
            "Alles zusammen passt zu einem verdreht angeschlossenen Flachbandkabel (Pin n an Pin "
            "14 − n, Pin 14 bis 25 an 39 − n).");
    if (result.good)
        result.lines.push_back("Prüfstecker in Ordnung: alle " + std::to_string(kWires) +
                               " Leitungen folgen.");
    return result;
}

LoopbackResult testLoopbackPlug(std::uint16_t base) {
    const auto at = [base](int offset) { return static_cast<std::int16_t>(base + offset); };
    // The data lines must drive the plug. The latch is read once they do:
    // while they are inputs the data register reads the lines instead.
    const auto foundControl = static_cast<std::uint8_t>(Inp32(at(2)));
    const bool wereInputs = foundControl & kDataInputBit;
    if (wereInputs) Out32(at(2), foundControl & ~kDataInputBit);
    const auto foundData = static_cast<std::uint8_t>(Inp32(at(0)));
    std::vector<LoopbackSample> samples;
    for (std::uint8_t pattern : loopbackPatterns()) {
        // D5..D7 keep their levels.
        const auto data = static_cast<std::uint8_t>((foundData & ~walkedLines()) | pattern);
        Out32(at(0), data);
        Inp32(at(1));  // one bus cycle for the lines to settle through the plug
        samples.push_back({data, static_cast<std::uint8_t>(Inp32(at(1)))});
    }
    Out32(at(0), foundData);
    if (wereInputs) Out32(at(2), foundControl);
    return judgeLoopback(samples);
}

}  // namespace dravel::port
