#pragma once

#include <string>

namespace dravel::port {

class SystemCalls;

// What --list-ports prints: every parallel port the kernel knows with its
// addresses, device node, whether this user may open it and whether the
// printer driver holds it, then whether raw I/O is permitted and the kernel
// lockdown. Every problem comes with its fix on the same line. Looks only at
// /proc, /sys and /dev; touches no port.
std::string describePorts(SystemCalls& system);

}  // namespace dravel::port
