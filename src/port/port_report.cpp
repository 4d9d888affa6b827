#include "port_report.h"

#include "ppdev_port.h"
#include "raw_port.h"
#include "system_calls.h"

namespace dravel::port {

PortReport examinePorts(SystemCalls& system) {
    PortReport report;
    for (const auto& port : kernelPorts(system)) {
        const std::string device = port.device();
        PortReport::Device access = PortReport::Device::Missing;
        if (system.exists(device)) {
            access = system.mayReadWrite(device) ? PortReport::Device::Allowed
                                                 : PortReport::Device::Denied;
        }
        report.ports.push_back({port, access, printerDriverHolds(system, port)});
    }
    report.lockdown = kernelLockdown(system);
    if (lockdownForbidsRawIo(report.lockdown)) {
        report.rawIo = PortReport::RawIo::ForbiddenByLockdown;
    } else if (hasRawIoCapability(system)) {
        // The verdict follows what --port raw does: ioperm, else /dev/port.
        const bool ioperm = system.ioperm(0x378, 3, true) == 0;
        if (ioperm) system.ioperm(0x378, 3, false);
        report.rawIo = ioperm || system.exists("/dev/port") ? PortReport::RawIo::Allowed
                                                            : PortReport::RawIo::Unavailable;
    }
    return report;
}

}  // namespace dravel::port
