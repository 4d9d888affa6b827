#include "port_report.h"

#include "io_grants.h"
#include "ppdev_port.h"
#include "raw_port.h"
#include "system_calls.h"

namespace dravel::port {

std::string describePorts(SystemCalls& system) {
    std::string text;
    const auto ports = kernelPorts(system);
    if (ports.empty()) {
        text +=
            "Der Kernel kennt keinen Parallelport. Abhilfe: sudo modprobe parport_pc ppdev "
            "(PCI-Express-Karten: Basisadresse mit lspci -v finden, dann --port raw --allow-io)\n";
    }
    for (const auto& port : ports) {
        text += port.name + ": Basis " + hexAndDecimal(port.base);
        if (port.highBase != 0) text += ", hohe Basis " + hexAndDecimal(port.highBase);
        text += "\n";
        const std::string device = port.device();
        if (!system.exists(device)) {
            text += "  " + device + " fehlt. Abhilfe: sudo modprobe ppdev\n";
        } else if (system.mayReadWrite(device)) {
            text += "  " + device + ": Zugriff erlaubt (--port " + device + ")\n";
        } else {
            text += "  " + device +
                    ": kein Zugriff. Abhilfe: sudo usermod -aG lp $USER, dann neu anmelden\n";
        }
        if (printerDriverHolds(system, port)) {
            text += "  Druckertreiber lp hält den Port. Abhilfe: sudo rmmod lp\n";
        } else {
            text += "  Druckertreiber lp: hält den Port nicht\n";
        }
    }
    const std::string lockdown = kernelLockdown(system);
    if (lockdownForbidsRawIo(lockdown)) {
        text +=
            "Raw-I/O (--port raw): verboten durch Kernel-Lockdown. Abhilfe: --port "
            "/dev/parportN oder Secure Boot abschalten\n";
    } else if (hasRawIoCapability(system)) {
        text += "Raw-I/O (--port raw): erlaubt\n";
    } else {
        text +=
            "Raw-I/O (--port raw): nicht erlaubt, CAP_SYS_RAWIO fehlt. Abhilfe: als root "
            "starten oder sudo setcap cap_sys_rawio+ep $(command -v dravel)\n";
    }
    text += "Kernel-Lockdown: " + (lockdown.empty() ? std::string("unbekannt") : lockdown) + "\n";
    return text;
}

}  // namespace dravel::port
