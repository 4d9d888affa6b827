#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backend.h"
#include "io_grants.h"
#include "start_error.h"

namespace dravel::port {

class SystemCalls;

// An exclusive claim on one /dev/parportN, held from construction to
// destruction: while it is held, no other driver (the printer driver lp in
// particular) drives the port's lines.
class PpdevClaim {
public:
    // Throws StartError (cause and fix) when the device cannot be opened or
    // claimed.
    PpdevClaim(SystemCalls& system, const KernelPort& port);
    ~PpdevClaim();
    PpdevClaim(const PpdevClaim&) = delete;
    PpdevClaim& operator=(const PpdevClaim&) = delete;

    [[nodiscard]] int fd() const { return fd_; }
    [[nodiscard]] const KernelPort& port() const { return port_; }

private:
    SystemCalls& system_;
    KernelPort port_;
    int fd_ = -1;
};

// The kernel's ppdev driver. The port's registers appear at its own base
// address: base is the data register, base + 1 status, base + 2 control.
// ppdev reaches control bits 0..3 in both directions and bit 5 only through
// its data-direction call; bit 4 (interrupt enable) and bits 6 and 7 are out
// of reach. Bit 4 is the driver's: its claim switches interrupts on when the
// port has an IRQ and off when it has none, whatever is written, so it reads
// as the driver set it (as written only if the kernel does not say). Bit 5
// and bits 6 and 7 read back from a shadow of what was last written. The
// start says so once.
class PpdevPort final : public Backend {
public:
    // Control bits ppdev reads back from the driver's copy.
    static constexpr std::uint8_t kReachableControl = 0x0F;
    static constexpr std::uint8_t kInterruptBit = 0x10;
    static constexpr std::uint8_t kDirectionBit = 0x20;

    PpdevPort(SystemCalls& system, std::unique_ptr<PpdevClaim> claim, MessageSink messages);

    std::uint8_t read(std::uint16_t port) override;
    void write(std::uint16_t port, std::uint8_t value) override;
    [[nodiscard]] std::string name() const override;
    [[nodiscard]] std::uint8_t controlBitsNotReadBack() const override {
        return static_cast<std::uint8_t>(~kReachableControl);
    }

    [[nodiscard]] std::uint16_t base() const { return claim_->port().base; }

    // Sends bytes with the driver's own compatibility-mode handshake (the
    // device's write), each wait for the printer ending after `timeoutNs`:
    // the number of bytes the driver took, or -errno where it took none.
    long writeCompatible(const std::uint8_t* bytes, std::size_t count, std::uint64_t timeoutNs);

private:
    std::uint8_t readRegister(unsigned long request);
    void outside(std::uint16_t port);

    SystemCalls& system_;
    std::unique_ptr<PpdevClaim> claim_;
    MessageSink messages_;
    // Control bits 4..7 as last written; atomic, as the logic analyzer
    // reads control from its own thread. The ioctls themselves are
    // serialised by the driver.
    std::atomic<std::uint8_t> shadow_{0};
    // The driver's interrupt-enable bit, when the kernel tells the port's IRQ.
    std::optional<bool> driverInterrupt_;
    std::atomic<bool> warnedOutside_{false};  // the analyzer's thread may be the first
};

// Opens "/dev/parportN" through ppdev. Throws StartError (no such port, no
// permission, busy with the printer driver).
std::unique_ptr<Backend> openPpdevPort(SystemCalls& system, const std::string& device,
                                       MessageSink messages);

// The start error for a port name that names no backend.
StartError unknownPort(const std::string& name);

// Whether the printer driver lp has registered itself on the port.
bool printerDriverHolds(SystemCalls& system, const KernelPort& port);

}  // namespace dravel::port
