#pragma once

#include <string>
#include <vector>

#include "io_grants.h"

namespace dravel::port {

class SystemCalls;

// What stands between this user and the parallel ports: every port the
// kernel knows with its device node and whether the printer driver holds it,
// then whether raw I/O is permitted and the kernel lockdown.
struct PortReport {
    enum class Device { Missing, Allowed, Denied };
    enum class RawIo {
        Allowed,
        ForbiddenByLockdown,
        NoCapability,
        Unavailable,  // permitted, but ioperm is refused and /dev/port is missing
    };

    struct Port {
        KernelPort port;
        Device device = Device::Missing;
        bool printerDriverHolds = false;
    };

    std::vector<Port> ports;
    RawIo rawIo = RawIo::NoCapability;
    std::string lockdown;  // empty when the kernel does not tell
};

// Looks only at /proc, /sys and /dev, and with the right to raw I/O asks for
// (and gives back) the access ioperm grants, as --port raw would first;
// touches no port.
PortReport examinePorts(SystemCalls& system);

}  // namespace dravel::port
