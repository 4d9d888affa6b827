#pragma once

#include <atomic>
#include <cstdint>

#include "backend.h"
#include "legacy_bases.h"

namespace dravel::port {

// A standard parallel port with nothing plugged in, at one base address
// (0x378 unless told otherwise). Every address outside its three registers
// behaves as an empty bus: reads 0xFF, writes vanish.
class SimulatedPort final : public Backend {
public:
    static constexpr std::uint16_t kStandardBase = kLegacyBases[0];

    // Idle status: the four input lines nERROR, SELECT, PAPER-OUT and nACK
    // float high (bits 3..6 read 1), BUSY floats high too and reads inverted
    // (bit 7 = 0); the reserved bits 0..2 read 0.
    static constexpr std::uint8_t kIdleStatus = 0x78;
    // Power-on control as a BIOS leaves it: nINIT and SELECT-IN high
    // (bits 2 and 3), strobe, autofeed, interrupt and direction off.
    static constexpr std::uint8_t kPowerOnControl = 0x0C;

    explicit SimulatedPort(std::uint16_t base = kStandardBase) : base_(base) {}

    std::uint8_t read(std::uint16_t port) override;
    void write(std::uint16_t port, std::uint8_t value) override;
    [[nodiscard]] std::string name() const override;

    [[nodiscard]] std::uint16_t base() const { return base_; }

private:
    std::uint16_t base_;
    // Atomic: the logic analyzer reads from its own thread while the
    // windows write.
    std::atomic<std::uint8_t> dataLatch_{0x00};
    std::atomic<std::uint8_t> control_{kPowerOnControl};  // bits 0..5 as last written
};

}  // namespace dravel::port
