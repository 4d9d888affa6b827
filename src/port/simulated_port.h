#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "backend.h"
#include "legacy_bases.h"
#include "simulated_registers.h"
#include "start_error.h"

namespace dravel::port {

// A standard parallel port at one base address (0x378 unless told
// otherwise). Every address outside its three registers behaves as an empty
// bus: reads 0xFF, writes vanish. Its registers are either its own or shared
// with every other process of the user (sharedSimulatedPort); its inputs
// are open, or wired to its data lines by a loopback plug.
class SimulatedPort final : public Backend {
public:
    static constexpr std::uint16_t kStandardBase = kLegacyBases[0];
    static constexpr std::uint8_t kIdleStatus = SimulatedRegisters::kIdleStatus;
    static constexpr std::uint8_t kPowerOnControl = SimulatedRegisters::kPowerOnControl;

    // What is plugged into the socket: nothing (the inputs float high), or
    // the loopback plug of pin_map.h, whose status inputs follow the data
    // lines.
    enum class Plug { None, Loopback };

    // A port of this object alone, at power-on.
    explicit SimulatedPort(std::uint16_t base = kStandardBase, Plug plug = Plug::None);
    SimulatedPort(std::uint16_t base, Plug plug, std::shared_ptr<SimulatedRegisters> registers);

    std::uint8_t read(std::uint16_t port) override;
    void write(std::uint16_t port, std::uint8_t value) override;
    [[nodiscard]] std::string name() const override;

    [[nodiscard]] std::uint16_t base() const { return base_; }

private:
    // The levels on the data pins: the latch, or all high while the lines
    // are inputs with nothing driving them.
    [[nodiscard]] std::uint8_t dataLines() const;

    std::uint16_t base_;
    Plug plug_;
    std::shared_ptr<SimulatedRegisters> registers_;
    // With the loopback plug: the status bits it drives, and their value for
    // every level of the data lines.
    std::uint8_t pluggedStatus_ = 0;
    std::array<std::uint8_t, 256> loopback_{};
};

// The simulated port the user's processes share, as with a real port on the
// machine (see sharedRegisters). Never fails: a port that cannot be shared is
// one of this process alone, and `messages` say why.
std::unique_ptr<Backend> sharedSimulatedPort(std::uint16_t base, SimulatedPort::Plug plug,
                                             const MessageSink& messages);

}  // namespace dravel::port
