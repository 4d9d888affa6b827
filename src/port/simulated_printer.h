#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "backend.h"
#include "simulated_port.h"

namespace dravel::port {

// The status lines of the printer as the status register reads them
// (Busy inverted in bit 7).
namespace printer_status {
// Not busy, nAck high, no paper fault, selected, no error.
inline constexpr std::uint8_t kReady = 0xD8;
// Busy, paper out (PError high), not selected, nError low.
inline constexpr std::uint8_t kPaperOut = 0x60;
// Busy, not selected, nError low.
inline constexpr std::uint8_t kOffline = 0x40;
// Busy and nothing else: a printer that never takes the next byte.
inline constexpr std::uint8_t kBusy = 0x58;
inline constexpr std::uint8_t kNotBusyBit = 0x80;
inline constexpr std::uint8_t kAckBit = 0x40;
inline constexpr std::uint8_t kPaperOutBit = 0x20;
inline constexpr std::uint8_t kSelectBit = 0x10;
inline constexpr std::uint8_t kNotErrorBit = 0x08;
}  // namespace printer_status

// The shared simulated port with a printer plugged in. The printer's status
// lines are the shared status register, so every process sees them and a
// capture's change log holds each of their changes. It answers a strobe
// only while it reads ready: at the strobe's active edge it latches the
// data lines and raises Busy; 20 µs later it pulls nAck low for 5 µs and
// drops Busy as nAck rises (unless another state was set meanwhile, which
// then stays), and only then appends the byte to its output file, so that
// the file's writing moves no edge. The answer is worked out in the
// process that strobes: each access first performs the changes that are
// due, and the port's end performs the rest (at most 25 µs), so Busy is
// never left high.
class SimulatedPrinter final : public Backend {
public:
    static constexpr std::uint64_t kAckAfterNs = 20'000;
    static constexpr std::uint64_t kAckWidthNs = 5'000;

    // A printer with no power on its lines (the status the floating
    // inputs read) is switched on ready.
    SimulatedPrinter(std::unique_ptr<SimulatedPort> port, std::string outputPath);
    ~SimulatedPrinter() override;
    SimulatedPrinter(const SimulatedPrinter&) = delete;
    SimulatedPrinter& operator=(const SimulatedPrinter&) = delete;

    std::uint8_t read(std::uint16_t port) override;
    void write(std::uint16_t port, std::uint8_t value) override;
    [[nodiscard]] std::string name() const override;
    std::shared_ptr<ChangeLogReader> changeLog(std::uint16_t base) override {
        return port_->changeLog(base);
    }
    // The time of the write itself, not of an answer made since.
    const std::uint64_t* lastWriteNs() override {
        return port_->lastWriteNs() ? &written_ : nullptr;
    }
    // Under the lock: the analyzer's thread may be making the answer, which
    // stamps the port's log on the same clock.
    std::uint64_t stampNs() override {
        const std::lock_guard<std::mutex> lock(mutex_);
        return port_->stampNs();
    }

    // Sets the printer's lines to one of the printer_status states (for
    // the user who wants it out of paper, offline or ready again).
    void setState(std::uint8_t status);

    [[nodiscard]] const std::string& outputPath() const { return outputPath_; }

private:
    enum class Phase { Idle, Busy, Ack };
    void advance();
    void print(std::uint8_t byte);

    std::mutex mutex_;  // the answer, for a reader in another thread
    std::atomic<bool> answering_{false};
    std::unique_ptr<SimulatedPort> port_;
    std::string outputPath_;
    int output_ = -1;
    bool outputFailed_ = false;
    Phase phase_ = Phase::Idle;
    std::uint64_t dueNs_ = 0;    // when the next change of the answer is due
    std::uint8_t set_ = 0;       // the status the answer set last
    bool disturbed_ = false;     // another state was set during the answer
    std::uint8_t latched_ = 0;   // the byte taken, written to the file as Busy drops
    std::uint64_t written_ = 0;  // the last write's time, for the writing thread
};

// The printer on the simulated port at `base` that every process of the
// user shares; its output file is "drucker-0x378.out" (for base 0x378) in
// sharedRegisterFolder().
std::unique_ptr<Backend> sharedSimulatedPrinter(std::uint16_t base, const MessageSink& messages);

}  // namespace dravel::port
