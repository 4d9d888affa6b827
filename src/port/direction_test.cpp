#include "direction_test.h"

#include <cstdio>

#include "pin_map.h"
#include "port.h"

namespace dravel::port {
namespace {

constexpr std::uint8_t kPatterns[] = {0x55, 0xAA};

std::uint8_t in(std::uint16_t address) {
    return static_cast<std::uint8_t>(Inp32(static_cast<std::int16_t>(address)));
}
void out(std::uint16_t address, std::uint8_t value) {
    Out32(static_cast<std::int16_t>(address), value);
}

}  // namespace

DirectionResult testDataDirection(std::uint16_t base) {
    const auto control = static_cast<std::uint16_t>(base + 2);
    const std::uint8_t controlBefore = in(control);
    const auto outputs = static_cast<std::uint8_t>(controlBefore & ~kDataInputBit);
    // While the lines are inputs the data register reads the lines, not the
    // latch: the latch is read only once they drive again.
    out(control, outputs);
    const std::uint8_t data = in(base);
    bool latchRead = true;
    bool readsBack = true;
    std::uint8_t asInput[2] = {};
    for (int i = 0; i < 2; ++i) {
        out(control, outputs);
        out(base, kPatterns[i]);
        readsBack = readsBack && in(base) == kPatterns[i];
        out(control, outputs | kDataInputBit);
        asInput[i] = in(base);
        latchRead = latchRead && asInput[i] == kPatterns[i];
    }
    out(control, outputs);
    out(base, data);
    out(control, controlBefore);

    char text[200];
    if (!readsBack) {
        std::snprintf(text, sizeof text,
                      "Richtung: das Datenregister an 0x%X liest den geschriebenen Wert nicht "
                      "zurück, dort ist kein Port",
                      unsigned(base));
        return {DirectionResult::Verdict::NoPort, text};
    }
    if (latchRead) {
        return {DirectionResult::Verdict::Ignored,
                "Richtung: der Port übergeht Steuerbit 5, die Datenleitungen bleiben Ausgänge "
                "(SPP-Modus). Abhilfe: im BIOS-Setup den Parallelport auf PS/2, EPP oder ECP "
                "stellen"};
    }
    std::snprintf(text, sizeof text,
                  "Richtung: mit Steuerbit 5 werden die Datenleitungen Eingänge (gelesen 0x%02X "
                  "und 0x%02X statt 0x55 und 0xAA)",
                  unsigned(asInput[0]), unsigned(asInput[1]));
    return {DirectionResult::Verdict::Works, text};
}

}  // namespace dravel::port
