#pragma once

#include <cstdint>
#include <string>

namespace dravel::port {

// Whether the data lines of the port at `base` really turn to inputs when
// control bit 5 is set, through Inp32 and Out32: two values are written and
// read back with the lines as inputs; reading the latch both times means the
// port ignores the bit (SPP mode). Drives the data lines; the data and
// control registers are left as they were found.
struct DirectionResult {
    enum class Verdict { Works, Ignored, NoPort };
    Verdict verdict = Verdict::NoPort;
    std::string line;  // German, one line
};

DirectionResult testDataDirection(std::uint16_t base);

}  // namespace dravel::port
