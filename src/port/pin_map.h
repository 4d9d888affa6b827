#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace dravel::port {

// The 25 pins of a PC parallel port's DB-25 socket and the register bit
// behind each. Plain C++ without Qt, so that the windows and the emulated
// machine's test use the same table.

// Register of a pin, as an offset from the port's base address.
enum class PinRegister : std::uint8_t { Data = 0, Status = 1, Control = 2, Ground = 3 };

struct PinInfo {
    int number;          // 1..25
    const char* signal;  // "/Strobe", "D0".."D7", ..., "GND"
    PinRegister reg;
    int bit;        // bit of that register; -1 for ground
    bool inverted;  // the port inverts the line: the pin is high while the bit is 0
};

constexpr int kPinCount = 25;
// Pins 1..17 carry a signal; 18..25 are ground.
constexpr int kSignalPinCount = 17;
// Control bit 5: the data lines are inputs while it is set.
constexpr std::uint8_t kDataInputBit = 0x20;

const std::array<PinInfo, kPinCount>& pinMap();
// The pin of that number (1..25).
const PinInfo& pin(int number);
// "10 /Ack": how the analyzer and its files name a pin's line.
std::string label(const PinInfo& pin);

// A wire of a plug in the socket: the input pin `to` follows the output pin
// `from`, at electrical level.
struct Wire {
    int from;
    int to;
};

// The loopback plug of the simulated port (--port schleife): the data lines
// D0..D4 drive the five status inputs.
inline constexpr std::array<Wire, 5> kLoopbackPlug{{
    {2, 15},  // D0 -> /Error
    {3, 13},  // D1 -> Select
    {4, 12},  // D2 -> PaperOut
    {5, 10},  // D3 -> /Ack
    {6, 11},  // D4 -> Busy
}};

enum class PinDirection { Output, Input, Ground };

// Control pins are outputs, status pins inputs; data pins are outputs unless
// control bit 5 turns them into inputs.
PinDirection direction(const PinInfo& pin, std::uint8_t control);

// The three registers as read at one moment.
struct RegisterValues {
    std::uint8_t data = 0;
    std::uint8_t status = 0;
    std::uint8_t control = 0;
};

// The electrical level of the pin (true = high), with the port's inversion
// applied. Ground is always low.
bool level(const PinInfo& pin, const RegisterValues& values);

// The register value that switches the pin's level: its bit flipped, the
// other seven bits as they were.
std::uint8_t switched(const PinInfo& pin, std::uint8_t registerValue);

// Reads data, status and control at `base`, base + 1 and base + 2 through
// Inp32, in that order.
RegisterValues readRegisters(std::int16_t base);

// Switches one output pin's level: reads its register with Inp32, flips the
// pin's bit and writes the byte back with Out32. `control` is the control
// register as last seen, which says whether the data pins are outputs. An
// input or ground pin makes no port access and returns false.
bool switchPin(std::int16_t base, const PinInfo& pin, std::uint8_t control);

}  // namespace dravel::port
