#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dravel::port {

// The self-test of a loopback plug (kLoopbackPlug's wiring) on the port at
// `base`, through Inp32 and Out32: ones and zeros are walked through D0..D4
// and each wire whose status input does not follow is named with the pins
// of both ends. The data register is left as it was found.
struct LoopbackResult {
    bool good = false;
    std::vector<std::string> lines;  // German, one finding a line
};

LoopbackResult testLoopbackPlug(std::uint16_t base);

}  // namespace dravel::port
