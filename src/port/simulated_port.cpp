#include "simulated_port.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstdio>
#include <utility>

namespace dravel::port {
namespace {
constexpr std::uint8_t kWritableControl = 0x3F;

// Release and acquire: what one process wrote before a register is seen by
// another that reads that register, as the port's accesses are ordered on
// real hardware; on x86 both are plain moves.
constexpr auto kStore = std::memory_order_release;
constexpr auto kLoad = std::memory_order_acquire;

using Registers = SimulatedRegisters;
// Write numbers count modulo 2^48, the room the word has for them.
constexpr std::uint64_t kNumberMask = (std::uint64_t{1} << (64 - Registers::kNumberShift)) - 1;

// How far before the clock's reading a reader says it has everything: a
// writer's counter clock may stamp a little before the clock itself.
constexpr std::uint64_t kStampSlackNs = 1000;
}  // namespace

PlugWiring::PlugWiring(bool loopback) {
    if (!loopback) return;
    for (const Wire& wire : kLoopbackPlug) {
        assert(pin(wire.to).reg == PinRegister::Status);
        pluggedStatus_ |= static_cast<std::uint8_t>(1u << pin(wire.to).bit);
    }
    for (unsigned lines = 0; lines < table_.size(); ++lines) {
        RegisterValues values;
        values.data = static_cast<std::uint8_t>(lines);
        std::uint8_t status = 0;
        for (const Wire& wire : kLoopbackPlug) {
            const PinInfo& to = pin(wire.to);
            if (level(pin(wire.from), values) != to.inverted) status |= 1u << to.bit;
        }
        table_[lines] = status;
    }
}

ChangeLogReader::ChangeLogReader(std::shared_ptr<SimulatedRegisters> registers,
                                 std::shared_ptr<ChangeLog> log, const PlugWiring& wiring)
    : registers_(std::move(registers)), log_(std::move(log)), wiring_(wiring) {}

LoggedChange ChangeLogReader::change(std::uint64_t timeNs, std::uint64_t word) const {
    LoggedChange c;
    c.kind = LoggedChange::Kind::Change;
    c.timeNs = timeNs;
    c.values = wiring_.reads(Registers::dataOf(word), Registers::controlOf(word),
                             static_cast<std::uint8_t>(word >> 16));
    return c;
}

LoggedChange ChangeLogReader::next() {
    if (pending_.kind != LoggedChange::Kind::None) return std::exchange(pending_, {});
    if (!started_) {
        // The registers once, then every write after them.
        started_ = true;
        lastNs_ = monotonicNs();
        const std::uint64_t word = registers_->word.load(kLoad);
        next_ = Registers::numberOf(word);
        return change(lastNs_,
                      (word & 0xFFFFu) | std::uint64_t{registers_->status.load(kLoad)} << 16);
    }
    for (;;) {
        // The clock before the count: a write the count does not hold yet
        // takes its time after this one.
        const std::uint64_t now = monotonicNs();
        const std::uint64_t word = registers_->word.load(kLoad);
        const std::uint64_t taken = Registers::numberOf(word);
        const std::uint64_t ahead = (taken - next_) & kNumberMask;
        if (ahead == 0) {
            waitingSinceNs_ = 0;
            return {LoggedChange::Kind::None, std::max(now - kStampSlackNs, lastNs_), 0, {}};
        }
        if (ahead > kNumberMask / 2) {
            // The count went back: this process's mapping of the file was
            // lost and the port begins anew. What it holds now follows.
            next_ = taken;
            pending_ = change(std::max(now, lastNs_), word);
            const LoggedChange gap{LoggedChange::Kind::Gap, lastNs_, pending_.timeNs, {}};
            lastNs_ = pending_.timeNs;
            lost_ = false;
            return gap;
        }
        if (ahead > ChangeLog::kEntries) {
            // Fallen a whole log behind: the oldest entries left are next.
            next_ = (taken - ChangeLog::kEntries) & kNumberMask;
            lost_ = true;
            continue;
        }
        const ChangeLog::Entry& e = log_->entries[next_ & (ChangeLog::kEntries - 1)];
        const std::uint64_t registers = e.registers.load(kLoad);
        const std::uint64_t low = e.timeLow.load(std::memory_order_relaxed);
        const std::uint64_t high = e.timeHigh.load(std::memory_order_relaxed);
        const auto tag = static_cast<std::uint32_t>(next_);
        // How much later than the wanted entry's number each word's is
        // (negative: not written yet in this round).
        const auto later = [tag](std::uint64_t w) {
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(w >> 32) - tag);
        };
        const std::int32_t l[3] = {later(registers), later(low), later(high)};
        if (l[0] == 0 && l[1] == 0 && l[2] == 0) {
            next_ = (next_ + 1) & kNumberMask;
            waitingSinceNs_ = 0;
            // Two processes may stamp their writes in the other order than
            // they changed the registers: times never go back.
            const std::uint64_t time = std::max(lastNs_, (high << 32) | (low & 0xFFFFFFFFu));
            const LoggedChange c = change(time, registers);
            if (!lost_) {
                lastNs_ = time;
                return c;
            }
            lost_ = false;
            pending_ = c;
            const LoggedChange gap{LoggedChange::Kind::Gap, lastNs_, time, {}};
            lastNs_ = time;
            return gap;
        }
        if (l[0] > 0 || l[1] > 0 || l[2] > 0) {
            next_ = (next_ + 1) & kNumberMask;  // overwritten by a later round
            lost_ = true;
            continue;
        }
        // Its writer is still at it, or was stopped in the middle.
        if (waitingSinceNs_ == 0) waitingSinceNs_ = now;
        if (now - waitingSinceNs_ < kGiveUpNs) return {LoggedChange::Kind::None, lastNs_, 0, {}};
        next_ = (next_ + 1) & kNumberMask;
        waitingSinceNs_ = 0;
        lost_ = true;
    }
}

SimulatedPort::SimulatedPort(std::uint16_t base, Plug plug)
    : SimulatedPort(base, plug, std::make_shared<SimulatedRegisters>()) {}

SimulatedPort::SimulatedPort(std::uint16_t base, Plug plug,
                             std::shared_ptr<SimulatedRegisters> registers,
                             std::shared_ptr<ChangeLog> log)
    : base_(base),
      plug_(plug),
      registers_(std::move(registers)),
      log_(std::move(log)),
      wiring_(plug == Plug::Loopback) {}

std::uint8_t SimulatedPort::read(std::uint16_t port) {
    switch (static_cast<std::uint16_t>(port - base_)) {
        case 0: {
            const std::uint64_t word = registers_->word.load(kLoad);
            return PlugWiring::dataLines(Registers::dataOf(word), Registers::controlOf(word));
        }
        case 1: {
            const std::uint8_t status = registers_->status.load(kLoad);
            if (plug_ == Plug::None) return status;
            const std::uint64_t word = registers_->word.load(kLoad);
            return wiring_.statusRead(
                status, PlugWiring::dataLines(Registers::dataOf(word), Registers::controlOf(word)));
        }
        case 2:
            return PlugWiring::controlRead(Registers::controlOf(registers_->word.load(kLoad)));
        default:
            return 0xFF;
    }
}

void SimulatedPort::store(int shift, std::uint8_t value) {
    // The register and the write's number change in one step; a write of
    // another process in between makes this one try again.
    std::atomic<std::uint64_t>& word = registers_->word;
    const std::uint64_t keep = ~(std::uint64_t{0xFF} << shift);
    std::uint64_t before = word.load(std::memory_order_relaxed);
    std::uint64_t after = 0;
    do {
        after = ((before & keep) | std::uint64_t{value} << shift) + Registers::kOneWrite;
    } while (!word.compare_exchange_weak(before, after, kStore, std::memory_order_relaxed));
    if (!log_) return;
    lastWriteNs_ = clock_.nowNs();
    log_->append(Registers::numberOf(before), lastWriteNs_, after, registers_->status.load(kLoad));
}

void SimulatedPort::setStatus(std::uint8_t status) {
    // The status first, then a write number for the change (the data and
    // control registers unchanged), so that the log holds it in order.
    registers_->status.store(status, kStore);
    const std::uint64_t before =
        registers_->word.fetch_add(Registers::kOneWrite, std::memory_order_acq_rel);
    if (!log_) return;
    lastWriteNs_ = clock_.nowNs();
    log_->append(Registers::numberOf(before), lastWriteNs_, before + Registers::kOneWrite, status);
}

void SimulatedPort::write(std::uint16_t port, std::uint8_t value) {
    // The latch keeps what is written even while the lines are inputs; it
    // shows again once bit 5 is cleared, as on real hardware. Each write is
    // one atomic step: the port has no read-modify-write that could lose
    // bits.
    switch (static_cast<std::uint16_t>(port - base_)) {
        case 0:
            store(0, value);
            break;
        case 2:
            store(Registers::kControlShift, value & kWritableControl);
            break;
        default:
            // Status is read-only; elsewhere the bus is empty. Still a
            // write, and a trace stamps it with this time.
            if (log_) lastWriteNs_ = clock_.nowNs();
            break;
    }
}

std::shared_ptr<ChangeLogReader> SimulatedPort::changeLog(std::uint16_t base) {
    if (!log_ || base != base_) return nullptr;  // elsewhere the bus is empty
    return std::make_shared<ChangeLogReader>(registers_, log_, wiring_);
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
    SharedRegisters shared = sharedRegisters(base, messages);
    return std::make_unique<SimulatedPort>(base, plug, std::move(shared.registers),
                                           std::move(shared.log));
}

}  // namespace dravel::port
