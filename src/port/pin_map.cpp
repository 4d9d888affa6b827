#include "pin_map.h"

#include <cassert>

#include "port.h"

namespace dravel::port {
namespace {

constexpr PinInfo data(int number, const char* signal, int bit) {
    return {number, signal, PinRegister::Data, bit, false};
}
constexpr PinInfo status(int number, const char* signal, int bit, bool inverted = false) {
    return {number, signal, PinRegister::Status, bit, inverted};
}
constexpr PinInfo control(int number, const char* signal, int bit, bool inverted) {
    return {number, signal, PinRegister::Control, bit, inverted};
}
constexpr PinInfo ground(int number) {
    return {number, "GND", PinRegister::Ground, -1, false};
}

// The standard (SPP) assignment. Busy and the control lines /Strobe,
// /AutoFeed and /SelectIn are inverted by the port; /Init is not.
constexpr std::array<PinInfo, kPinCount> kPins{
    control(1, "/Strobe", 0, true),
    data(2, "D0", 0),
    data(3, "D1", 1),
    data(4, "D2", 2),
    data(5, "D3", 3),
    data(6, "D4", 4),
    data(7, "D5", 5),
    data(8, "D6", 6),
    data(9, "D7", 7),
    status(10, "/Ack", 6),
    status(11, "Busy", 7, true),
    status(12, "PaperOut", 5),
    status(13, "Select", 4),
    control(14, "/AutoFeed", 1, true),
    status(15, "/Error", 3),
    control(16, "/Init", 2, false),
    control(17, "/SelectIn", 3, true),
    ground(18),
    ground(19),
    ground(20),
    ground(21),
    ground(22),
    ground(23),
    ground(24),
    ground(25),
};

std::int16_t address(std::int16_t base, PinRegister reg) {
    // 16-bit pattern arithmetic, as Inp32/Out32 read their addresses.
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(base) +
                                     static_cast<std::uint16_t>(reg));
}

}  // namespace

const std::array<PinInfo, kPinCount>& pinMap() {
    return kPins;
}

const PinInfo& pin(int number) {
    assert(number >= 1 && number <= kPinCount);
    return kPins[static_cast<std::size_t>(number - 1)];
}

std::string label(const PinInfo& pin) {
    return std::to_string(pin.number) + " " + pin.signal;
}

PinDirection direction(const PinInfo& pin, std::uint8_t control) {
    switch (pin.reg) {
        case PinRegister::Data:
            return (control & kDataInputBit) ? PinDirection::Input : PinDirection::Output;
        case PinRegister::Status:
            return PinDirection::Input;
        case PinRegister::Control:
            return PinDirection::Output;
        case PinRegister::Ground:
            break;
    }
    return PinDirection::Ground;
}

bool level(const PinInfo& pin, const RegisterValues& values) {
    std::uint8_t value = 0;
    switch (pin.reg) {
        case PinRegister::Data:
            value = values.data;
            break;
        case PinRegister::Status:
            value = values.status;
            break;
        case PinRegister::Control:
            value = values.control;
            break;
        case PinRegister::Ground:
            return false;
    }
    const bool bit = (value >> pin.bit) & 1;
    return bit != pin.inverted;
}

std::uint8_t switched(const PinInfo& pin, std::uint8_t registerValue) {
    if (pin.bit < 0) return registerValue;
    return static_cast<std::uint8_t>(registerValue ^ (1u << pin.bit));
}

RegisterValues readRegisters(std::int16_t base) {
    RegisterValues values;
    values.data = static_cast<std::uint8_t>(Inp32(address(base, PinRegister::Data)));
    values.status = static_cast<std::uint8_t>(Inp32(address(base, PinRegister::Status)));
    values.control = static_cast<std::uint8_t>(Inp32(address(base, PinRegister::Control)));
    return values;
}

bool switchPin(std::int16_t base, const PinInfo& pin, std::uint8_t control) {
    if (direction(pin, control) != PinDirection::Output) return false;
    const std::int16_t at = address(base, pin.reg);
    const auto value = static_cast<std::uint8_t>(Inp32(at));
    Out32(at, switched(pin, value));
    return true;
}

}  // namespace dravel::port
