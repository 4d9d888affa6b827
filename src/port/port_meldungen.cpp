#include "port_meldungen.h"

#include <cstdio>

#include "port/masking.h"
#include "port/pin_map.h"

namespace dravel::app {

using Ursache = port::StartError::Cause;

namespace {
// The fixes that both a refused start and the port report name.
constexpr const char* kRmmodLp = "sudo rmmod lp";
constexpr const char* kModprobePpdev = "sudo modprobe ppdev";
constexpr const char* kModprobeParport = "sudo modprobe parport_pc ppdev";
constexpr const char* kGruppeLp = "sudo usermod -aG lp $USER, dann neu anmelden";
constexpr const char* kPpdevStattRaw = "--port /dev/parportN";
constexpr const char* kOhneLockdown = "--port /dev/parportN (ppdev) oder Secure Boot abschalten";
constexpr const char* kRawIoRecht =
    "als root starten oder sudo setcap cap_sys_rawio+ep $(command -v dravel)";

std::string abhilfe(const char* fix) {
    return std::string(". Abhilfe: ") + fix;
}
}  // namespace

std::string startMeldung(const port::StartError& fehler) {
    std::string zeile = port::masked(fehler.what());
    switch (fehler.cause()) {
        case Ursache::Described:
            break;
        case Ursache::KernelLockdown:
            zeile += abhilfe(kOhneLockdown);
            break;
        case Ursache::NoRawIoCapability:
            zeile += abhilfe(kRawIoRecht) + "; ohne root: " + kPpdevStattRaw;
            break;
        case Ursache::RawIoFailed:
            zeile += abhilfe(kPpdevStattRaw);
            break;
        case Ursache::UnknownPort:
            zeile += ". Abhilfe: --port sim, schleife, raw oder /dev/parportN (siehe --list-ports)";
            break;
        case Ursache::NoSuchKernelPort:
            zeile += abhilfe(kModprobeParport) + ", dann --list-ports";
            break;
        case Ursache::PrinterDriverHolds:
            zeile += abhilfe(kRmmodLp);
            break;
        case Ursache::NoPpdevDriver:
            zeile += abhilfe(kModprobePpdev);
            break;
        case Ursache::NoPpdevPermission:
            zeile += abhilfe(kGruppeLp);
            break;
    }
    return zeile;
}

std::string meldungsZeile(const port::Message& meldung) {
    const std::string text = port::masked(meldung.text);
    switch (meldung.cause) {
        case port::Message::Cause::Described:
            break;
        case port::Message::Cause::AddressNotGranted: {
            char bereich[40];
            std::snprintf(bereich, sizeof bereich, "0x%X-0x%X", unsigned(meldung.range.first),
                          unsigned(meldung.range.last));
            return text + "; freigeben mit --allow-io " + bereich + ".";
        }
        case port::Message::Cause::GrantsLimitReach:
            return text + "; weitere mit --allow-io.";
    }
    return text;
}

port::MessageSink meldungenNachStderr() {
    return [](const port::Message& meldung) {
        std::fprintf(stderr, "dravel: %s\n", meldungsZeile(meldung).c_str());
    };
}

std::string portBericht(const port::PortReport& bericht) {
    using Gerät = port::PortReport::Device;
    using RawIo = port::PortReport::RawIo;
    std::string text;
    if (bericht.ports.empty()) {
        text += "Der Kernel kennt keinen Parallelport" + abhilfe(kModprobeParport) +
                " (PCI-Express-Karten: Basisadresse mit lspci -v finden, dann --port raw "
                "--allow-io)\n";
    }
    for (const auto& eintrag : bericht.ports) {
        const port::KernelPort& kernelport = eintrag.port;
        text += kernelport.name + ": Basis " + port::hexAndDecimal(kernelport.base);
        if (kernelport.highBase != 0) {
            text += ", hohe Basis " + port::hexAndDecimal(kernelport.highBase);
        }
        text += "\n";
        const std::string gerät = kernelport.device();
        switch (eintrag.device) {
            case Gerät::Missing:
                text += "  " + gerät + " fehlt" + abhilfe(kModprobePpdev) + "\n";
                break;
            case Gerät::Allowed:
                text += "  " + gerät + ": Zugriff erlaubt (--port " + gerät + ")\n";
                break;
            case Gerät::Denied:
                text += "  " + gerät + ": kein Zugriff" + abhilfe(kGruppeLp) + "\n";
                break;
        }
        text += eintrag.printerDriverHolds
                    ? "  Druckertreiber lp hält den Port" + abhilfe(kRmmodLp) + "\n"
                    : "  Druckertreiber lp: hält den Port nicht\n";
    }
    switch (bericht.rawIo) {
        case RawIo::ForbiddenByLockdown:
            text += std::string("Raw-I/O (--port raw): verboten durch Kernel-Lockdown") +
                    abhilfe(kOhneLockdown) + "\n";
            break;
        case RawIo::Allowed:
            text += "Raw-I/O (--port raw): erlaubt\n";
            break;
        case RawIo::Unavailable:
            text += std::string(
                        "Raw-I/O (--port raw): nicht möglich, der Kernel verweigert ioperm und "
                        "/dev/port fehlt") +
                    abhilfe(kPpdevStattRaw) + "\n";
            break;
        case RawIo::NoCapability:
            text += std::string("Raw-I/O (--port raw): nicht erlaubt, CAP_SYS_RAWIO fehlt") +
                    abhilfe(kRawIoRecht) + "\n";
            break;
    }
    text += "Kernel-Lockdown: " +
            (bericht.lockdown.empty() ? std::string("unbekannt") : bericht.lockdown) + "\n";
    text +=
        "Simuliert, ohne Hardware und Rechte: --port sim (alle Dravel-Programme des Benutzers "
        "teilen ihn), --port schleife (mit Schleifenstecker";
    const char* trenner = ": ";
    for (const port::Wire& draht : port::kLoopbackPlug) {
        const port::PinInfo& von = port::pin(draht.from);
        const port::PinInfo& nach = port::pin(draht.to);
        text += trenner + std::string(von.signal) + "→" + std::to_string(nach.number) + " " +
                nach.signal;
        trenner = ", ";
    }
    return text + ")\n";
}

}  // namespace dravel::app
