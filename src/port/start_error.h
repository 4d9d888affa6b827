#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "io_grants.h"

namespace dravel::port {

// Thrown by a backend factory that cannot start. The text is one German line
// naming the cause; the fix for each cause is added where the messages are
// worded (port_meldungen), so that every fix is written once. The command line prints it and ends
// the program before any window opens; there is no silent fallback.
class StartError : public std::runtime_error {
public:
    enum class Cause {
        Described,           // the text names the fix itself
        KernelLockdown,      // raw I/O: the locked kernel refuses it
        NoRawIoCapability,   // raw I/O: neither root nor CAP_SYS_RAWIO
        RawIoFailed,         // raw I/O: refused for another reason
        UnknownPort,         // a port name that is neither raw nor ppdev
        NoSuchKernelPort,    // a ppdev device the kernel does not list
        PrinterDriverHolds,  // the printer driver lp has the port
        NoPpdevDriver,       // the ppdev device node is missing
        NoPpdevPermission,   // the user may not open the ppdev device
    };

    explicit StartError(const std::string& text, Cause cause = Cause::Described)
        : std::runtime_error(text), cause_(cause) {}

    [[nodiscard]] Cause cause() const { return cause_; }

private:
    Cause cause_;
};

// What a backend says while the program runs (a shadowed register bit, an
// address refused): one line without the line end, with a cause for the lines
// whose fix is to grant more addresses.
struct Message {
    enum class Cause {
        Described,          // the text is the whole line
        AddressNotGranted,  // `range` would let the refused address through
        GrantsLimitReach,   // raw I/O reaches only the granted addresses
    };

    std::string text;
    Cause cause = Cause::Described;
    IoRange range{};
};

using MessageSink = std::function<void(const Message&)>;

}  // namespace dravel::port
