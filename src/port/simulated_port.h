#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "backend.h"
#include "counter_clock.h"
#include "legacy_bases.h"
#include "pin_map.h"
#include "simulated_registers.h"
#include "start_error.h"

namespace dravel::port {

// What a plug in the socket does to the inputs: nothing (they float high),
// or the loopback plug of pin_map.h, whose status inputs follow the data
// lines. Worked out once from the pin table, so that a read is one look-up;
// the port's reads and the change log's reader both go through here.
class PlugWiring {
public:
    explicit PlugWiring(bool loopback);

    // The three registers as the port reads them while its data latch,
    // control bits and status register hold these bytes.
    [[nodiscard]] RegisterValues reads(std::uint8_t data, std::uint8_t control,
                                       std::uint8_t status) const {
        const std::uint8_t lines = dataLines(data, control);
        return {lines, statusRead(status, lines), controlRead(control)};
    }
    // The levels on the data pins: the latch, or all high while the lines
    // are inputs with nothing driving them.
    static std::uint8_t dataLines(std::uint8_t data, std::uint8_t control) {
        return (control & kDataInputBit) ? 0xFF : data;
    }
    [[nodiscard]] std::uint8_t statusRead(std::uint8_t status, std::uint8_t lines) const {
        return static_cast<std::uint8_t>((status & ~pluggedStatus_) | table_[lines]);
    }
    static std::uint8_t controlRead(std::uint8_t control) {
        return static_cast<std::uint8_t>(0xC0 | control);  // bits 6 and 7 read 1 on real ports
    }

private:
    // The status bits the plug drives, and their value for every level of
    // the data lines.
    std::uint8_t pluggedStatus_ = 0;
    std::array<std::uint8_t, 256> table_{};
};

// What a reader of a change log gets next.
struct LoggedChange {
    enum class Kind : std::uint8_t {
        None,    // nothing new: every write up to timeNs has been handed out
        Change,  // a write at timeNs, after which the port reads `values`
        Gap,     // writes lost between timeNs (the last one read) and gapEndNs (the next)
    };
    Kind kind = Kind::None;
    std::uint64_t timeNs = 0;  // monotonic clock, ns
    std::uint64_t gapEndNs = 0;
    RegisterValues values;
};

// Follows a simulated port's change log from the moment it is made: the
// first change is the registers as they are then (at that time), every
// later one a write, in the order the registers changed, each at the time
// it was written (never earlier than the one before). A reader that falls a
// whole log behind, or finds an entry overwritten, reports a gap and goes
// on; it never hands out a wrong value. One thread reads.
class ChangeLogReader {
public:
    ChangeLogReader(std::shared_ptr<SimulatedRegisters> registers, std::shared_ptr<ChangeLog> log,
                    const PlugWiring& wiring);

    LoggedChange next();

    // An entry whose writer has taken its number but not finished it (a
    // process stopped or killed in the middle) is given up as lost after
    // this long.
    static constexpr std::uint64_t kGiveUpNs = 100'000'000;

private:
    [[nodiscard]] LoggedChange change(std::uint64_t timeNs, std::uint64_t word) const;

    std::shared_ptr<SimulatedRegisters> registers_;
    std::shared_ptr<ChangeLog> log_;
    PlugWiring wiring_;
    bool started_ = false;
    std::uint64_t next_ = 0;            // number of the next entry to read
    std::uint64_t lastNs_ = 0;          // time of the last entry handed out
    bool lost_ = false;                 // entries lost since the last one handed out
    std::uint64_t waitingSinceNs_ = 0;  // when the next entry was first found unfinished
    LoggedChange pending_;              // the change after a gap, handed out next
};

// A standard parallel port at one base address (0x378 unless told
// otherwise). Every address outside its three registers behaves as an empty
// bus: reads 0xFF, writes vanish. Its registers are either its own or shared
// with every other process of the user (sharedSimulatedPort); its inputs
// are open, or wired to its data lines by a loopback plug. With a change
// log every write is also appended there with its time.
class SimulatedPort final : public Backend {
public:
    static constexpr std::uint16_t kStandardBase = kLegacyBases[0];
    static constexpr std::uint8_t kIdleStatus = SimulatedRegisters::kIdleStatus;
    static constexpr std::uint8_t kPowerOnControl = SimulatedRegisters::kPowerOnControl;

    // What is plugged into the socket (see PlugWiring).
    enum class Plug { None, Loopback };

    // A port of this object alone, at power-on, without a log.
    explicit SimulatedPort(std::uint16_t base = kStandardBase, Plug plug = Plug::None);
    SimulatedPort(std::uint16_t base, Plug plug, std::shared_ptr<SimulatedRegisters> registers,
                  std::shared_ptr<ChangeLog> log = nullptr);

    std::uint8_t read(std::uint16_t port) override;
    void write(std::uint16_t port, std::uint8_t value) override;
    [[nodiscard]] std::string name() const override;
    std::shared_ptr<ChangeLogReader> changeLog(std::uint16_t base) override;
    const std::uint64_t* lastWriteNs() override { return log_ ? &lastWriteNs_ : nullptr; }
    std::uint64_t stampNs() override { return clock_.nowNs(); }

    [[nodiscard]] std::uint16_t base() const { return base_; }

    // What a device plugged into the socket does: drives the status lines
    // to `status` (read as the status register reads them, Busy inverted).
    // Logged like a write.
    void setStatus(std::uint8_t status);

private:
    void store(int shift, std::uint8_t value);

    std::uint16_t base_;
    Plug plug_;
    std::shared_ptr<SimulatedRegisters> registers_;
    std::shared_ptr<ChangeLog> log_;
    PlugWiring wiring_;
    // The clock for the log's times, and the last write's. One thread at a
    // time writes or stamps a port object (the simulated printer answers and
    // stamps under its lock); the clock is not made for more.
    CounterClock clock_;
    std::uint64_t lastWriteNs_ = 0;
};

// The simulated port the user's processes share, as with a real port on the
// machine (see sharedRegisters), with the shared change log. Never fails: a
// port that cannot be shared is one of this process alone, and `messages`
// say why.
std::unique_ptr<Backend> sharedSimulatedPort(std::uint16_t base, SimulatedPort::Plug plug,
                                             const MessageSink& messages);

}  // namespace dravel::port
