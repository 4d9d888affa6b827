#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dravel::port {

// The self-test of a loopback plug (kLoopbackPlug's wiring) on the port at
// `base`, through Inp32 and Out32: ones and zeros are walked through D0..D4
// and each wire whose status input does not follow is named with the pins
// of both ends. The data register is left as it was found, and so is the
// control register, whose bit 5 is cleared for the walk if it was set.
struct LoopbackResult {
    bool good = false;
    std::vector<std::string> lines;  // German, one finding a line
};

LoopbackResult testLoopbackPlug(std::uint16_t base);

// One step of the walk: the data register written and the status then read.
struct LoopbackSample {
    std::uint8_t data;
    std::uint8_t status;
};

// The D0..D4 values walked: all low, all high, then a single one and a
// single zero on each line in turn. Every line's column of levels is unique
// and no column is another's inverse, so each input's column names its
// source.
std::vector<std::uint8_t> loopbackPatterns();

// The verdict on the samples of a walk, without touching a port.
LoopbackResult judgeLoopback(const std::vector<LoopbackSample>& samples);

}  // namespace dravel::port
