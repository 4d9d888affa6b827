#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace dravel::port {

class ChangeLogReader;

// One way of reaching I/O ports. Inp32/Out32 forward every call to exactly one
// backend; everything behind this interface (a simulated port, raw I/O, the
// ppdev driver, observers that wrap another backend) is invisible to the
// windows.
//
// Contract shared by every implementation:
//  - read() returns the byte now present at the port, write() puts the byte
//    there before it returns;
//  - neither reports failure: a port that cannot be reached reads 0xFF and
//    ignores writes, like an empty bus;
//  - calls take effect in the order they are made;
//  - one thread may read while another writes (the logic analyzer samples
//    in a thread of its own): reads and writes are each atomic.
class Backend {
public:
    virtual ~Backend() = default;

    virtual std::uint8_t read(std::uint16_t port) = 0;
    virtual void write(std::uint16_t port, std::uint8_t value) = 0;

    // Short human-readable name ("simuliert", "ppdev /dev/parport0", ...),
    // used in start-up messages and trace headers.
    [[nodiscard]] virtual std::string name() const = 0;

    // Control register bits whose reading is not the hardware's but a copy
    // of what was last written; 0 where every bit reads the port.
    [[nodiscard]] virtual std::uint8_t controlBitsNotReadBack() const { return 0; }

    // The backend that makes the accesses without recording them: itself,
    // or for an observer that records (the trace) the one it wraps. The
    // logic analyzer reads through it so that its samples stay out of the
    // session trace; address grants sit beneath the trace and still apply.
    virtual Backend& unrecorded() { return *this; }

    // A reader of the log of every write to the port at `base` from now
    // on, for a capture that misses none; nullptr where the backend keeps
    // no log of that port.
    virtual std::shared_ptr<ChangeLogReader> changeLog(std::uint16_t /*base*/) { return nullptr; }

    // Where the backend keeps the time (monotonicNs) of its last write, as
    // its log holds it; nullptr where it keeps no log. A trace reads it
    // right after each write, in the thread that writes, so that trace and
    // log agree to the nanosecond.
    virtual const std::uint64_t* lastWriteNs() { return nullptr; }
    // Where it does: the time now on the clock of those stamps, for a read
    // just made, so that the trace's reads fall in order between the writes.
    virtual std::uint64_t stampNs() { return 0; }
};

}  // namespace dravel::port
