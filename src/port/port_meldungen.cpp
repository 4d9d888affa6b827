#include "port_meldungen.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

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
            zeile +=
                ". Abhilfe: --port sim, schleife, drucker, raw oder /dev/parportN (siehe "
                "--list-ports)";
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

namespace {

using Bericht = port::PortReport;

void befund(std::vector<Befund>& liste, int ebene, std::string text, std::string fix = {}) {
    liste.push_back({ebene, std::move(text), std::move(fix)});
}

std::string modusname(const std::string& modus) {
    if (modus == "PCSPP") return "SPP";
    if (modus == "TRISTATE") return "PS/2 (bidirektional)";
    return modus;
}

std::string nummerOderKeiner(int wert) {
    return wert < 0 ? std::string("keiner") : std::to_string(wert);
}

std::string bereichText(const port::IoRange& bereich) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%X-0x%X", unsigned(bereich.first), unsigned(bereich.last));
    return text;
}

std::string hex(unsigned wert) {
    char text[12];
    std::snprintf(text, sizeof text, "0x%X", wert);
    return text;
}

// The IRQ the legacy bases are wired to on every PC board; others let the
// driver probe.
std::string irqFür(std::uint16_t basis) {
    if (basis == 0x378 || basis == 0x3BC) return "7";
    if (basis == 0x278) return "5";
    return "auto";
}

void gerätBefund(std::vector<Befund>& liste, const Bericht::Port& eintrag) {
    const std::string gerät = eintrag.port.device();
    switch (eintrag.device) {
        case Bericht::Device::Missing:
            befund(liste, 1, gerät + " fehlt", kModprobePpdev);
            return;
        case Bericht::Device::Allowed:
            befund(liste, 1, gerät + ": Zugriff erlaubt (--port " + gerät + ")");
            return;
        case Bericht::Device::Denied:
            break;
    }
    const std::string gruppe = eintrag.group.empty() ? "lp" : eintrag.group;
    switch (eintrag.denial) {
        case Bericht::Denial::None:
        case Bericht::Denial::NotInGroup:
            befund(liste, 1, gerät + ": kein Zugriff",
                   gruppe == "lp" ? kGruppeLp
                                  : "sudo usermod -aG " + gruppe + " $USER, dann neu anmelden");
            return;
        case Bericht::Denial::GroupNotActive:
            befund(liste, 1,
                   gerät + ": kein Zugriff, Mitglied der Gruppe " + gruppe +
                       " erst nach neuer Anmeldung",
                   "abmelden und neu anmelden (oder newgrp " + gruppe + ")");
            return;
        case Bericht::Denial::NoGroupAccess:
            befund(liste, 1, gerät + ": kein Zugriff, nur root darf hinein",
                   "echo 'SUBSYSTEM==\"ppdev\", GROUP=\"lp\", MODE=\"0660\"' | sudo tee "
                   "/etc/udev/rules.d/60-parport.rules && sudo udevadm trigger, dann " +
                       std::string(kGruppeLp));
            return;
    }
}

void ecrBefund(std::vector<Befund>& liste, const Bericht::Port& eintrag) {
    const std::string ecr = "ECR (" + hex(eintrag.port.base + 0x402u) + ")";
    switch (eintrag.ecr) {
        case Bericht::Ecr::NotRead:
            return;
        case Bericht::Ecr::Absent:
            befund(liste, 1, ecr + ": keins, der Port hat keine ECP-Betriebsarten");
            return;
        case Bericht::Ecr::Present:
            break;
    }
    std::string zeile = ecr + ": Modus " + ecrModus(eintrag.ecrMode);
    if (eintrag.ecrSet) zeile += ", gesetzt mit --ecr";
    if (eintrag.ecrMode == 0) {
        befund(liste, 1, zeile + ", die Datenleitungen bleiben Ausgänge",
               "im BIOS-Setup den Parallelport auf ECP oder PS/2 stellen");
    } else {
        befund(liste, 1, zeile);
    }
}

}  // namespace

const char* ecrModus(int modus) {
    static const char* const kModi[] = {"SPP", "PS/2",       "SPP mit FIFO", "ECP",
                                        "EPP", "reserviert", "Test",         "Konfiguration"};
    return modus >= 0 && modus < 8 ? kModi[modus] : "?";
}

std::vector<Befund> befunde(const port::PortReport& bericht) {
    using RawIo = Bericht::RawIo;
    std::vector<Befund> liste;
    if (bericht.ports.empty()) {
        befund(liste, 0, "Der Kernel kennt keinen Parallelport", kModprobeParport);
    }
    for (const auto& eintrag : bericht.ports) {
        const port::KernelPort& kernelport = eintrag.port;
        std::string kopf = kernelport.name + ": Basis " + port::hexAndDecimal(kernelport.base);
        if (kernelport.highBase != 0) {
            kopf += ", hohe Basis " + port::hexAndDecimal(kernelport.highBase);
        }
        befund(liste, 0, kopf);
        std::string modi;
        for (const auto& modus : eintrag.modes) {
            if (modus == "COMPAT" || modus == "DMA") continue;  // no mode of the lines
            modi += (modi.empty() ? "" : ", ") + modusname(modus);
        }
        befund(liste, 1,
               "Modi: " + (modi.empty() ? std::string("unbekannt") : modi) + "; IRQ " +
                   nummerOderKeiner(eintrag.irq) + "; DMA " + nummerOderKeiner(eintrag.dma));
        const bool bekannt = !eintrag.modes.empty();
        if (bekannt && std::find(eintrag.modes.begin(), eintrag.modes.end(), "TRISTATE") ==
                           eintrag.modes.end()) {
            befund(liste, 1,
                   "Kein PS/2-Modus: die Datenleitungen lassen sich nicht auf Eingang schalten",
                   "im BIOS-Setup den Parallelport auf PS/2, EPP oder ECP stellen");
        }
        ecrBefund(liste, eintrag);
        gerätBefund(liste, eintrag);
        if (eintrag.printerDriverHolds) {
            befund(liste, 1, "Druckertreiber lp hält den Port", kRmmodLp);
        } else {
            befund(liste, 1, "Druckertreiber lp: hält den Port nicht");
        }
    }
    if (!bericht.ports.empty() || bericht.parportPcLoaded) {
        befund(liste, 0,
               std::string("Treiber: parport_pc ") +
                   (bericht.parportPcLoaded ? "geladen" : "nicht geladen") + ", ppdev " +
                   (bericht.ppdevLoaded ? "geladen" : "nicht geladen") + ", lp " +
                   (bericht.lpLoaded ? "geladen" : "nicht geladen"),
               bericht.ppdevLoaded ? "" : kModprobePpdev);
    }
    for (const auto& karte : bericht.cards) {
        std::string bereiche;
        for (const auto& bereich : karte.ranges) {
            bereiche += (bereiche.empty() ? "" : ", ") + bereichText(bereich);
        }
        const std::string kopf = "PCI-Parallelportkarte " + karte.slot + ": E/A-Bereiche " +
                                 (bereiche.empty() ? std::string("keine") : bereiche);
        if (karte.ranges.empty()) {
            befund(liste, 0, kopf);
        } else if (karte.kernelPort) {
            befund(liste, 0, kopf + " (vom Kernel als Parallelport geführt)");
        } else {
            const port::IoRange& erster = karte.ranges.front();
            befund(liste, 0, kopf,
                   "dravel --port raw --allow-io " + bereichText(erster) + " (Befehle: --adresse " +
                       hex(erster.first) + ")");
        }
    }
    for (const auto& gerät : bericht.usbPrinters) {
        befund(liste, 0,
               port::masked(gerät) +
                   ": USB-Druckeradapter, sendet nur ganze Bytes mit dem Drucker-Handshake und "
                   "kann keine einzelne Leitung schalten; für Dravel ungeeignet",
               "eine Parallelportkarte (PCI/PCIe) oder ein Port auf der Hauptplatine");
    }
    befund(liste, 0,
           bericht.root ? "Benutzer: root" : "Benutzer: nicht root (ppdev über die Gruppe)");
    switch (bericht.rawIo) {
        case RawIo::ForbiddenByLockdown:
            befund(liste, 0, "Raw-I/O (--port raw): verboten durch Kernel-Lockdown", kOhneLockdown);
            break;
        case RawIo::Allowed:
            befund(liste, 0, "Raw-I/O (--port raw): erlaubt");
            break;
        case RawIo::Unavailable:
            befund(liste, 0,
                   "Raw-I/O (--port raw): nicht möglich, der Kernel verweigert ioperm und "
                   "/dev/port fehlt",
                   kPpdevStattRaw);
            break;
        case RawIo::NoCapability:
            befund(liste, 0, "Raw-I/O (--port raw): nicht erlaubt, CAP_SYS_RAWIO fehlt",
                   kRawIoRecht);
            break;
    }
    befund(liste, 0,
           "Kernel-Lockdown: " +
               (bericht.lockdown.empty() ? std::string("unbekannt") : bericht.lockdown));
    for (const auto& eintrag : bericht.ports) {
        const std::string name = eintrag.port.name;
        if (eintrag.irq >= 0) {
            befund(liste, 0,
                   "Interrupts von " + name + " (/Ack): IRQ " + std::to_string(eintrag.irq) +
                       (bericht.ppdevLoaded ? ", über ppdev nutzbar" : ", ppdev fehlt"),
                   bericht.ppdevLoaded ? "" : kModprobePpdev);
        } else {
            befund(liste, 0,
                   "Interrupts von " + name +
                       " (/Ack): keine, parport_pc nutzt ohne Angabe "
                       "kein IRQ",
                   "sudo modprobe -r ppdev lp parport_pc && sudo modprobe parport_pc io=" +
                       hex(eintrag.port.base) + " irq=" + irqFür(eintrag.port.base) +
                       " && sudo modprobe ppdev");
        }
    }
    std::string simuliert =
        "Simuliert, ohne Hardware und Rechte: --port sim (alle Dravel-Programme des Benutzers "
        "teilen ihn), --port schleife (mit Schleifenstecker";
    const char* trenner = ": ";
    for (const port::Wire& draht : port::kLoopbackPlug) {
        const port::PinInfo& von = port::pin(draht.from);
        const port::PinInfo& nach = port::pin(draht.to);
        simuliert += trenner + std::string(von.signal) + "→" + std::to_string(nach.number) + " " +
                     nach.signal;
        trenner = ", ";
    }
    befund(liste, 0, simuliert + "), --port drucker (mit einem simulierten Drucker)");
    return liste;
}

std::string portBericht(const port::PortReport& bericht) {
    std::string text;
    for (const Befund& b : befunde(bericht)) {
        text += std::string(std::size_t(b.ebene) * 2, ' ') + b.text;
        if (!b.abhilfe.empty()) text += abhilfe(b.abhilfe.c_str());
        text += "\n";
    }
    return text;
}

namespace {

// Names from outside (a folder listing) may hold bytes that are no UTF-8:
// masked first, as in the text report, so the JSON stays valid.
std::string jsonText(std::string_view text) {
    std::string json = "\"";
    for (const char c : port::masked(text)) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
            json += escape;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

const char* jsonBool(bool wert) {
    return wert ? "true" : "false";
}

}  // namespace

std::string portBerichtJson(const port::PortReport& bericht) {
    using RawIo = Bericht::RawIo;
    static const char* const kZugriff[] = {"fehlt", "erlaubt", "verweigert"};
    std::string json =
        std::string("{\"nutzbar\":") + jsonBool(bericht.realPortUsable()) + ",\"ports\":[";
    for (std::size_t i = 0; i < bericht.ports.size(); ++i) {
        const auto& eintrag = bericht.ports[i];
        json += std::string(i ? "," : "") + "{\"name\":" + jsonText(eintrag.port.name) +
                ",\"basis\":" + std::to_string(eintrag.port.base) +
                ",\"hoheBasis\":" + std::to_string(eintrag.port.highBase) + ",\"modi\":[";
        for (std::size_t m = 0; m < eintrag.modes.size(); ++m) {
            json += (m ? "," : "") + jsonText(eintrag.modes[m]);
        }
        json += "],\"irq\":" + std::to_string(eintrag.irq) +
                ",\"dma\":" + std::to_string(eintrag.dma) +
                ",\"geraet\":" + jsonText(eintrag.port.device()) + ",\"zugriff\":\"" +
                kZugriff[int(eintrag.device)] +
                "\",\"lpHaelt\":" + jsonBool(eintrag.printerDriverHolds) + "}";
    }
    json += std::string("],\"module\":{\"parport_pc\":") + jsonBool(bericht.parportPcLoaded) +
            ",\"ppdev\":" + jsonBool(bericht.ppdevLoaded) +
            ",\"lp\":" + jsonBool(bericht.lpLoaded) + "},\"karten\":[";
    for (std::size_t i = 0; i < bericht.cards.size(); ++i) {
        json += std::string(i ? "," : "") + "{\"slot\":" + jsonText(bericht.cards[i].slot) +
                ",\"bereiche\":[";
        for (std::size_t r = 0; r < bericht.cards[i].ranges.size(); ++r) {
            json += (r ? "," : "") + jsonText(bereichText(bericht.cards[i].ranges[r]));
        }
        json += "]}";
    }
    json += "],\"usbDrucker\":[";
    for (std::size_t i = 0; i < bericht.usbPrinters.size(); ++i) {
        json += (i ? "," : "") + jsonText(bericht.usbPrinters[i]);
    }
    const char* rawIo = bericht.rawIo == RawIo::Allowed               ? "erlaubt"
                        : bericht.rawIo == RawIo::ForbiddenByLockdown ? "lockdown"
                        : bericht.rawIo == RawIo::Unavailable         ? "nichtMoeglich"
                                                                      : "keinRecht";
    json += std::string("],\"root\":") + jsonBool(bericht.root) + ",\"rawIo\":\"" + rawIo +
            "\",\"lockdown\":" + jsonText(bericht.lockdown) + ",\"befunde\":[";
    const auto liste = befunde(bericht);
    for (std::size_t i = 0; i < liste.size(); ++i) {
        json += std::string(i ? "," : "") + "{\"text\":" + jsonText(liste[i].text) +
                ",\"abhilfe\":" + jsonText(liste[i].abhilfe) + "}";
    }
    return json + "]}\n";
}

}  // namespace dravel::app
