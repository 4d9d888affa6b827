#include "simulated_port.h"

#include <cstdio>

namespace dravel::port {
namespace {
constexpr std::uint8_t kDirectionBit = 0x20;  // control bit 5: data lines are inputs
constexpr std::uint8_t kWritableControl = 0x3F;
constexpr std::uint8_t kFixedControlBits = 0xC0;  // bits 6 and 7 read 1 on real ports
constexpr std::uint8_t kOpenLines = 0xFF;         // nothing attached pulls every line high
}  // namespace

std::uint8_t SimulatedPort::read(std::uint16_t port) {
    constexpr auto lose = std::memory_order_relaxed;
    if (port == base_) {
        return (control_.load(lose) & kDirectionBit) ? kOpenLines : dataLatch_.load(lose);
    }
    if (port == static_cast<std::uint16_t>(base_ + 1)) return kIdleStatus;
    if (port == static_cast<std::uint16_t>(base_ + 2)) {
        return kFixedControlBits | control_.load(lose);
    }
    return 0xFF;
}

void SimulatedPort::write(std::uint16_t port, std::uint8_t value) {
    // The latch keeps what is written even while the lines are inputs; it
    // shows again once bit 5 is cleared, as on real hardware.
    if (port == base_) {
        dataLatch_.store(value, std::memory_order_relaxed);
    } else if (port == static_cast<std::uint16_t>(base_ + 2)) {
        control_.store(value & kWritableControl, std::memory_order_relaxed);
    }
}

std::string SimulatedPort::name() const {
    char text[48];
    std::snprintf(text, sizeof text, "simulierter Port (0x%X)", static_cast<unsigned>(base_));
    return text;
}

}  // namespace dravel::port
