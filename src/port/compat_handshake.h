#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "backend.h"

namespace dravel::port {

// How sending bytes to a printer ended.
struct SendResult {
    enum class End {
        Done,
        Timeout,   // Busy stayed high, or no nAck came, for the whole timeout
        PaperOut,  // PError high
        Offline,   // Select low
        Error,     // nError low, Select high and paper in
        Stopped,   // `stop` said so
        Refused,   // the driver took no bytes: `systemError` says why
    };
    End end = End::Done;
    int systemError = 0;
    std::size_t sent = 0;  // bytes the printer acknowledged
};

// The fault the printer's status lines report (status register as read,
// Busy inverted); Done where they report none.
SendResult::End printerFault(std::uint8_t status);

// Sends `count` bytes to the printer on the port at `base` with the
// compatibility-mode handshake, driving the lines itself: for each byte it
// waits until Busy is low, puts the byte on D0-D7, pulls nStrobe low for
// 1 µs after 1 µs of setup, and waits for nAck low or Busy low before the
// next. Each wait ends after `timeoutNs`; the wait for Busy low ends at
// once when the status lines report a fault, the wait for the answer not
// (a printer acknowledges the byte it took before it reports the fault). `stop` is asked now and
// then.
SendResult sendCompatible(Backend& port, std::uint16_t base, const std::uint8_t* bytes,
                          std::size_t count, std::uint64_t timeoutNs,
                          const std::function<bool()>& stop);

}  // namespace dravel::port
