#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "start_error.h"

namespace dravel::port {

// The registers of a simulated port. They may live in memory that several
// processes map, so each access is one lock-free atomic operation and never
// seen half done. Data and control share one word with the number of writes
// so far: a write changes its register and takes its number in the change
// log in one step, so the log's order is the order the registers changed
// in, whichever processes race.
struct SimulatedRegisters {
    // Idle status: the four input lines nERROR, SELECT, PAPER-OUT and nACK
    // float high (bits 3..6 read 1), BUSY floats high too and reads inverted
    // (bit 7 = 0); the reserved bits 0..2 read 0.
    static constexpr std::uint8_t kIdleStatus = 0x78;
    // Power-on control as a BIOS leaves it: nINIT and SELECT-IN high
    // (bits 2 and 3), strobe, autofeed, interrupt and direction off.
    static constexpr std::uint8_t kPowerOnControl = 0x0C;

    // The word: bits 0..7 the data latch, 8..15 control (bits 0..5 as last
    // written), 16..63 the number the next write gets (counting from 1, so
    // that no entry of a log still empty looks written).
    static constexpr int kControlShift = 8;
    static constexpr int kNumberShift = 16;
    static constexpr std::uint64_t kOneWrite = std::uint64_t{1} << kNumberShift;

    static constexpr std::uint8_t dataOf(std::uint64_t word) {
        return static_cast<std::uint8_t>(word);
    }
    static constexpr std::uint8_t controlOf(std::uint64_t word) {
        return static_cast<std::uint8_t>(word >> kControlShift);
    }
    static constexpr std::uint64_t numberOf(std::uint64_t word) { return word >> kNumberShift; }

    std::atomic<std::uint64_t> word{kOneWrite | std::uint64_t{kPowerOnControl} << kControlShift};
    std::atomic<std::uint8_t> status{kIdleStatus};
};

static_assert(std::atomic<std::uint64_t>::is_always_lock_free &&
                  std::atomic<std::uint8_t>::is_always_lock_free,
              "the registers are shared between processes only if no lock is hidden in them");

// The last writes to a simulated port, each with its time on the monotonic
// clock (CLOCK_MONOTONIC, the same in every process) and the three
// registers as the write left them (a device on the port that changes the
// status lines logs each change as a write): a ring that any number of
// processes append to and read. Write number n goes to entry n mod
// kEntries. Each of an entry's three words carries the low 32 bits of the
// write's number, so a reader tells a complete entry from one half written,
// overwritten by a later round, or mixed from two writers that met on it:
// it never takes a wrong value, only misses entries.
struct ChangeLog {
    // 10,000 writes a second fill it in over six seconds.
    static constexpr std::size_t kEntries = std::size_t{1} << 16;

    struct Entry {
        std::atomic<std::uint64_t> timeLow;    // tag << 32 | low 32 bits of the time
        std::atomic<std::uint64_t> timeHigh;   // tag << 32 | high 32 bits of the time
        std::atomic<std::uint64_t> registers;  // tag << 32 | status << 16 | control << 8 | data
    };
    Entry entries[kEntries];

    // Appends write number `number` (the word's number before the write),
    // `word` and `status` being the registers after it.
    void append(std::uint64_t number, std::uint64_t timeNs, std::uint64_t word,
                std::uint8_t status) noexcept {
        Entry& e = entries[number & (kEntries - 1)];
        const std::uint64_t tag = number << 32;
        e.timeLow.store(tag | (timeNs & 0xFFFFFFFFu), std::memory_order_relaxed);
        e.timeHigh.store(tag | (timeNs >> 32), std::memory_order_relaxed);
        e.registers.store(tag | std::uint64_t{status} << 16 | (word & 0xFFFFu),
                          std::memory_order_release);
    }
};

// The registers of the simulated port at `base` that every process of this
// user sees, and their change log: a file "sim-0x378" (for base 0x378) in
// the folder $XDG_RUNTIME_DIR/dravel (mode 0700; the file 0600), mapped into
// memory and set to the power-on values when it is first created. Without a
// usable $XDG_RUNTIME_DIR the folder is /tmp/dravel-<uid>, and the messages
// say so. Where the folder or the file cannot be trusted (another owner, a
// symbolic link, access for others) the port is one of this process alone,
// at power-on, and the messages say why. A file of the user's own of
// another size or content is replaced by a new one at power-on, with a
// message. Should another process shorten the file while it is mapped, this
// process goes on with a port of its own at power-on and says so once on
// standard error; no access to the registers or the log ever faults.
struct SharedRegisters {
    std::shared_ptr<SimulatedRegisters> registers;
    std::shared_ptr<ChangeLog> log;
};
SharedRegisters sharedRegisters(std::uint16_t base, const MessageSink& messages);

// The folder that holds those files (it need not exist yet).
std::string sharedRegisterFolder();

// The size of such a file.
std::size_t sharedRegisterFileSize();

}  // namespace dravel::port
