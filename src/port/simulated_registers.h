#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "start_error.h"

namespace dravel::port {

// The three registers of a simulated port. They may live in memory that
// several processes map, so each is a lock-free atomic byte: a write is one
// store, a read one load, and no access is ever seen half done.
struct SimulatedRegisters {
    // Idle status: the four input lines nERROR, SELECT, PAPER-OUT and nACK
    // float high (bits 3..6 read 1), BUSY floats high too and reads inverted
    // (bit 7 = 0); the reserved bits 0..2 read 0.
    static constexpr std::uint8_t kIdleStatus = 0x78;
    // Power-on control as a BIOS leaves it: nINIT and SELECT-IN high
    // (bits 2 and 3), strobe, autofeed, interrupt and direction off.
    static constexpr std::uint8_t kPowerOnControl = 0x0C;

    std::atomic<std::uint8_t> data{0x00};  // the output latch
    std::atomic<std::uint8_t> status{kIdleStatus};
    std::atomic<std::uint8_t> control{kPowerOnControl};  // bits 0..5 as last written
};

static_assert(std::atomic<std::uint8_t>::is_always_lock_free,
              "the registers are shared between processes only if no lock is hidden in them");
static_assert(sizeof(SimulatedRegisters) == 3);

// The registers of the simulated port at `base` that every process of this
// user sees: a small file "sim-0x378" (for base 0x378) in the folder
// $XDG_RUNTIME_DIR/dravel (mode 0700; the file 0600), mapped into memory and
// set to the power-on values when it is first created. Without a usable
// $XDG_RUNTIME_DIR the folder is /tmp/dravel-<uid>, and the messages say so.
// Where the folder or the file cannot be trusted (another owner, a symbolic
// link, access for others) the port is one of this process alone, at
// power-on, and the messages say why. A file of the user's own of another
// size or content is replaced by a new one at power-on, with a message.
// Should another process shorten the file while it is mapped, this process
// goes on with a port of its own at power-on and says so once on standard
// error; no access to the registers ever faults.
std::shared_ptr<SimulatedRegisters> sharedRegisters(std::uint16_t base,
                                                    const MessageSink& messages);

// The folder that holds those files (it need not exist yet).
std::string sharedRegisterFolder();

}  // namespace dravel::port
