#include "simulated_port.h"

#include <cassert>
#include <cstdio>
#include <utility>

#include "pin_map.h"

namespace dravel::port {
namespace {
constexpr std::uint8_t kWritableControl = 0x3F;
constexpr std::uint8_t kFixedControlBits = 0xC0;  // bits 6 and 7 read 1 on real ports
constexpr std::uint8_t kOpenLines = 0xFF;         // nothing attached pulls every line high

// Release and acquire: what one process wrote before a register is seen by
// another that reads that register, as the port's accesses are ordered on
// real hardware; on x86 both are plain moves.
constexpr auto kStore = std::memory_order_release;
constexpr auto kLoad = std::memory_order_acquire;
}  // namespace

SimulatedPort::SimulatedPort(std::uint16_t base, Plug plug)
    : SimulatedPort(base, plug, std::make_shared<SimulatedRegisters>()) {}

SimulatedPort::SimulatedPort(std::uint16_t base, Plug plug,
                             std::shared_ptr<SimulatedRegisters> registers)
    : base_(base), plug_(plug), registers_(std::move(registers)) {
    if (plug_ != Plug::Loopback) return;
    // Worked out once from the pin table, so that a read is one look-up.
    for (const Wire& wire : kLoopbackPlug) {
        assert(pin(wire.to).reg == PinRegister::Status);
        pluggedStatus_ |= static_cast<std::uint8_t>(1u << pin(wire.to).bit);
    }
    for (unsigned lines = 0; lines < loopback_.size(); ++lines) {
        RegisterValues values;
        values.data = static_cast<std::uint8_t>(lines);
        std::uint8_t status = 0;
        for (const Wire& wire : kLoopbackPlug) {
            const PinInfo& to = pin(wire.to);
            if (level(pin(wire.from), values) != to.inverted) status |= 1u << to.bit;
        }
        loopback_[lines] = status;
    }
}

std::uint8_t SimulatedPort::dataLines() const {
    return (registers_->control.load(kLoad) & kDataInputBit) ? kOpenLines
                                                             : registers_->data.load(kLoad);
}

std::uint8_t SimulatedPort::read(std::uint16_t port) {
    switch (static_cast<std::uint16_t>(port - base_)) {
        case 0:
            return dataLines();
        case 1: {
            const std::uint8_t status = registers_->status.load(kLoad);
            if (plug_ == Plug::None) return status;
            return static_cast<std::uint8_t>((status & ~pluggedStatus_) | loopback_[dataLines()]);
        }
        case 2:
            return kFixedControlBits | registers_->control.load(kLoad);
        default:
            return 0xFF;
    }
}

void SimulatedPort::write(std::uint16_t port, std::uint8_t value) {
    // The latch keeps what is written even while the lines are inputs; it
    // shows again once bit 5 is cleared, as on real hardware. Each write is
    // one store: the port has no read-modify-write that could lose bits.
    switch (static_cast<std::uint16_t>(port - base_)) {
        case 0:
            registers_->data.store(value, kStore);
            break;
        case 2:
            registers_->control.store(value & kWritableControl, kStore);
            break;
        default:
            break;  // status is read-only; elsewhere the bus is empty
    }
}

std::string SimulatedPort::name() const {
    char text[64];
    std::snprintf(text, sizeof text, "simulierter Port%s (0x%X)",
                  plug_ == Plug::Loopback ? " mit Schleifenstecker" : "",
                  static_cast<unsigned>(base_));
    return text;
}

std::unique_ptr<Backend> sharedSimulatedPort(std::uint16_t base, SimulatedPort::Plug plug,
                                             const MessageSink& messages) {
    return std::make_unique<SimulatedPort>(base, plug, sharedRegisters(base, messages));
}

}  // namespace dravel::port
