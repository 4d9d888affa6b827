#include "kommandozeile.h"

#include <QCommandLineParser>
#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "dravel_version.h"
#include "logik/maskiert.h"
#include "logik/mitschnitt.h"
#include "logik/sprache.h"
#include "port/granted_port.h"
#include "port/io_grants.h"
#include "port/legacy_bases.h"
#include "port/port.h"
#include "port/port_meldungen.h"
#include "port/port_report.h"
#include "port/ppdev_port.h"
#include "port/raw_port.h"
#include "port/simulated_port.h"
#include "port/simulated_printer.h"
#include "port/start_error.h"
#include "port/system_calls.h"

namespace dravel::app {
namespace {

void meldeFehler(const std::string& zeile) {
    std::fprintf(stderr, "dravel: %s\n", zeile.c_str());
}

// Reads every --allow-io range; nullopt (after a message) if one is wrong.
std::optional<port::IoGrants> freigaben(const QStringList& bereiche) {
    std::vector<port::IoRange> gelesen;
    for (const QString& text : bereiche) {
        const auto bereich = port::parseIoRange(text.toStdString());
        if (!bereich) {
            meldeFehler("--allow-io „" + text.toStdString() +
                        "“ ist kein Adressbereich. Beispiel: --allow-io 0xE800-0xE807");
            return std::nullopt;
        }
        gelesen.push_back(*bereich);
    }
    port::IoGrants grants;
    grants.add(gelesen);
    return grants;
}

// The factory for the backend named by --port (not given: the simulated
// port; an empty name is as unknown as any other).
// A factory that cannot start its backend throws port::StartError. Observers
// that record every access wrap the factory returned here.
std::optional<port::BackendFactory> backendFabrik(bool gewählt, const QString& wahl,
                                                  const port::IoGrants& zusätzlich) {
    // "sim" names the default, for scripts that want no word about it;
    // "schleife" is the same port with a loopback plug.
    if (!gewählt || wahl == QLatin1String("sim") || wahl == QLatin1String("schleife")) {
        const auto stecker = wahl == QLatin1String("schleife") ? port::SimulatedPort::Plug::Loopback
                                                               : port::SimulatedPort::Plug::None;
        return [stecker] {
            return port::sharedSimulatedPort(port::SimulatedPort::kStandardBase, stecker,
                                             meldungenNachStderr());
        };
    }
    if (wahl == QLatin1String("drucker")) {
        return [] {
            return port::sharedSimulatedPrinter(port::SimulatedPort::kStandardBase,
                                                meldungenNachStderr());
        };
    }
    if (wahl == QLatin1String("raw")) {
        return [zusätzlich]() -> std::unique_ptr<port::Backend> {
            auto& system = port::realSystem();
            port::IoGrants grants = port::kernelGrants(system);
            grants.add(zusätzlich.ranges());
            return port::openRawPort(system, grants, meldungenNachStderr());
        };
    }
    if (wahl.startsWith(QLatin1String("/dev/parport"))) {
        const std::string gerät = wahl.toStdString();
        return [gerät]() -> std::unique_ptr<port::Backend> {
            return port::openPpdevPort(port::realSystem(), gerät, meldungenNachStderr());
        };
    }
    meldeFehler(startMeldung(port::unknownPort(wahl.toStdString())));
    return std::nullopt;
}

// Register blocks the trace names data/status/control besides the usual
// 0x378, 0x278 and 0x3BC: on a real port every port the kernel lists (a PCI
// Express card included) and the start of every --allow-io range.
std::vector<std::uint16_t> zusätzlicheBasen(bool echterPort, const port::IoGrants& grants) {
    std::vector<std::uint16_t> basen;
    if (echterPort) {
        for (const auto& kernelport : port::kernelPorts(port::realSystem())) {
            basen.push_back(kernelport.base);
        }
    }
    for (const auto& bereich : grants.ranges()) basen.push_back(bereich.first);
    return basen;
}

std::vector<std::uint16_t> ecrGesetztAn;

// Sets the ECR of every real port whose ECR the grants reach; status 2
// after one line when none has one.
std::optional<int> setzeEcr(port::Backend& backend, const std::vector<std::uint16_t>& basen,
                            int modus) {
    const auto* granted = dynamic_cast<const port::GrantedPort*>(&backend);
    std::string versucht;
    for (const std::uint16_t basis : basen) {
        if (basis > 0xFFFF - port::kEcrOffset) continue;
        const auto ecr = static_cast<std::uint16_t>(basis + port::kEcrOffset);
        if (granted && !granted->grants().covers(ecr)) continue;
        if (std::find(ecrGesetztAn.begin(), ecrGesetztAn.end(), basis) != ecrGesetztAn.end()) {
            continue;
        }
        char adresse[16];
        std::snprintf(adresse, sizeof adresse, "0x%X", unsigned(ecr));
        const auto vorher = port::setEcrMode(backend, basis, modus);
        if (!vorher) {
            versucht += std::string(versucht.empty() ? " " : ", ") + adresse;
            continue;
        }
        ecrGesetztAn.push_back(basis);
        std::fprintf(stderr, "dravel: ECR an %s: %s (vorher %s)\n", adresse, ecrModus(modus),
                     ecrModus(*vorher));
    }
    if (!ecrGesetztAn.empty()) return std::nullopt;
    meldeFehler(versucht.empty()
                    ? "--ecr: kein ECR erreichbar; Abhilfe: --allow-io mit Basis+0x402 freigeben."
                    : "--ecr: kein ECR an" + versucht +
                          ", der Port hat keine ECP-Betriebsarten; nichts gesetzt.");
    return 2;
}

}  // namespace

port::PortReport untersuchePorts(port::SystemCalls& system) {
    port::PortReport bericht = port::examinePorts(system);
    for (auto& eintrag : bericht.ports) {
        eintrag.ecrSet = std::find(ecrGesetztAn.begin(), ecrGesetztAn.end(), eintrag.port.base) !=
                         ecrGesetztAn.end();
    }
    return bericht;
}

EcrWahl ecrWahlAus(const QString& name, const QString& backend) {
    static const char* const kNamen[] = {"spp", "ps2", "fifo", "ecp", "epp"};
    for (int modus = 0; modus < 5; ++modus) {
        if (name.compare(QLatin1String(kNamen[modus]), Qt::CaseInsensitive) != 0) continue;
        if (backend != QLatin1String("raw")) {
            return {-1, "--ecr gilt nur mit --port raw: nur Raw-I/O erreicht das ECR."};
        }
        return {modus, {}};
    }
    return {-1, "--ecr „" + maskiert(name).toStdString() +
                    "“ ist kein Modus; bekannt sind spp, ps2, fifo, ecp und epp."};
}

std::optional<int> werteKommandozeileAus(const QStringList& argumente,
                                         const QString& befehlsübersicht,
                                         QString (*vorschlag)(QStringView),
                                         const Vorprüfung& vorDemMitschnitt) {
    sprichQtDeutsch();  // the parser's "Aufruf:" and error texts
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Dravel – Parallelport von Hand steuern."));
    const QCommandLineOption hilfe({QStringLiteral("h"), QStringLiteral("help")},
                                   QStringLiteral("Zeigt diese Hilfe."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Zeigt die Versionsnummer."));
    const QCommandLineOption portsZeigen(
        QStringLiteral("list-ports"),
        QStringLiteral("Zeigt die Parallelports des Kernels und was ihrer Nutzung im Weg steht."));
    parser.addOptions({hilfe, version, portsZeigen});
    parser.addOptions(portOptionen());
    parser.addPositionalArgument(QStringLiteral("BEFEHL"),
                                 QStringLiteral("Ohne Befehl öffnen sich die Fenster."),
                                 QStringLiteral("[BEFEHL …]"));
    if (!parser.parse(argumente)) {
        meldeFehler(maskiert(parser.errorText()).toStdString() + " Abhilfe: dravel --help");
        return 2;
    }
    if (parser.isSet(hilfe)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        std::fputs(qPrintable(befehlsübersicht), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("dravel %s\n", DRAVEL_VERSION);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        const QString befehl = parser.positionalArguments().first();
        meldeFehler("Unbekannter Befehl „" + maskiert(befehl).toStdString() + "“." +
                    (vorschlag ? vorschlag(befehl).toStdString() : std::string()) +
                    " Abhilfe: dravel --help");
        return 2;
    }
    if (parser.isSet(portsZeigen)) {
        if (!freigaben(parser.values(QStringLiteral("allow-io")))) return 2;
        std::fputs(portBericht(untersuchePorts(port::realSystem())).c_str(), stdout);
        return 0;
    }
    return bindePort(parser, true, vorDemMitschnitt);
}

QList<QCommandLineOption> portOptionen() {
    return {
        {QStringLiteral("port"),
         QStringLiteral("Echter Port: „raw“ (Raw-I/O, braucht root oder CAP_SYS_RAWIO) oder "
                        "/dev/parportN (ppdev, Gruppe lp). Simuliert: „sim“ (ein Port, den "
                        "alle Dravel-Programme des Benutzers teilen; auch ohne --port), "
                        "„schleife“ (derselbe mit Schleifenstecker: D0–D4 treiben die "
                        "Statuseingänge) oder „drucker“ (derselbe mit einem Drucker, der jeden "
                        "Strobe mit Busy und nAck beantwortet; Zustand mit dem Befehl drucker)."),
         QStringLiteral("BACKEND")},
        {QStringLiteral("allow-io"),
         QStringLiteral("Gibt mit --port raw einen weiteren Adressbereich frei, z. B. "
                        "0xE800-0xE807 (PCI-Express-Karten); Zahlen dezimal, 0x…, &H… oder 0b…. "
                        "Mehrfach möglich."),
         QStringLiteral("BEREICH")},
        {QStringLiteral("ecr"),
         QStringLiteral("Stellt mit --port raw das erweiterte Steuerregister (ECR, Basis+0x402) "
                        "jedes Ports mit ECR auf MODUS: spp, ps2 (Datenleitungen auch als "
                        "Eingänge), fifo, ecp oder epp. Ohne die Option wird das ECR nie "
                        "geschrieben."),
         QStringLiteral("MODUS")},
        {QStringLiteral("trace"),
         QStringLiteral("Zeichnet jeden Portzugriff der Sitzung als VCD-Datei auf "
                        "(für GTKWave oder PulseView)."),
         QStringLiteral("DATEI.vcd")},
        {QStringLiteral("echtzeit"),
         QStringLiteral("Gibt dem Generator während eines Laufs und der Abtastung von aufnehmen "
                        "Echtzeit-Vorrang (SCHED_FIFO; die Abtastung bleibt auf einer CPU) und "
                        "sperrt den Speicher gegen Auslagern. Braucht root, CAP_SYS_NICE oder "
                        "ein rtprio-Limit.")},
    };
}

std::optional<int> bindePort(const QCommandLineParser& parser, bool meldePort,
                             const Vorprüfung& vorDemMitschnitt) {
    const auto zusätzlich = freigaben(parser.values(QStringLiteral("allow-io")));
    if (!zusätzlich) return 2;
    const QString wahl = parser.value(QStringLiteral("port"));
    if (!zusätzlich->ranges().empty() && wahl != QLatin1String("raw")) {
        meldeFehler("--allow-io wirkt nur mit --port raw und bleibt hier ohne Wirkung.");
    }
    std::optional<int> ecrWahl;
    if (parser.isSet(QStringLiteral("ecr"))) {
        const EcrWahl gewählt = ecrWahlAus(parser.value(QStringLiteral("ecr")), wahl);
        if (!gewählt.ablehnung.empty()) {
            meldeFehler(gewählt.ablehnung);
            return 2;
        }
        ecrWahl = gewählt.modus;
    }
    const bool simuliert = !parser.isSet(QStringLiteral("port")) || wahl == QLatin1String("sim");
    const auto fabrik = backendFabrik(parser.isSet(QStringLiteral("port")), wahl, *zusätzlich);
    if (!fabrik) return 2;

    // Built now, not on the first port call, so that a port that cannot be
    // had ends the program before any window opens.
    std::unique_ptr<port::Backend> backend;
    try {
        backend = (*fabrik)();
    } catch (const port::StartError& fehler) {
        meldeFehler(startMeldung(fehler));
        return 2;
    }
    // The command's own checks (its output file) before anything is written
    // to the port: a refusal never reaches it.
    if (vorDemMitschnitt) {
        if (const auto status = vorDemMitschnitt()) return status;
    }
    // Before the trace, which would record the write as the session's own.
    // The classic bases count even where the kernel lists no port.
    if (ecrWahl) {
        std::vector<std::uint16_t> basen = zusätzlicheBasen(true, *zusätzlich);
        basen.insert(basen.end(), std::begin(port::kLegacyBases), std::end(port::kLegacyBases));
        if (const auto status = setzeEcr(*backend, basen, *ecrWahl)) return status;
    }
    // The trace file after the port and every other refusal: a port that
    // cannot be had leaves no file behind, and a file that cannot be
    // created releases the port again.
    if (parser.isSet(QStringLiteral("trace"))) {
        if (!starteMitschnitt(parser.value(QStringLiteral("trace")),
                              zusätzlicheBasen(!simuliert && wahl != QLatin1String("schleife") &&
                                                   wahl != QLatin1String("drucker"),
                                               *zusätzlich))) {
            return 2;
        }
        backend = mitMitschnitt(std::move(backend));
    }
    if (meldePort && simuliert) {
        std::fprintf(stderr, "%s.\n", kSimulierterPort);
    } else if (meldePort) {
        std::fprintf(stderr, "dravel: %s\n", backend->name().c_str());
    }
    port::installBackend(std::move(backend));
    if (parser.isSet(QStringLiteral("echtzeit"))) {
        // Without the permission the program runs on as without the option.
        const generator::echtzeit::Prüfung prüfung = generator::echtzeit::prüfe();
        if (prüfung.hindernis != generator::echtzeit::Hindernis::Keines) {
            meldeFehler(echtzeitHinweis(prüfung.hindernis));
        }
        generator::echtzeit::wünschen(prüfung.möglich);
    }
    return std::nullopt;
}

namespace {
// The reason and its fix, after the words that say what it keeps from working.
std::string keinEchtzeitrecht(std::string_view anfang) {
    constexpr std::string_view kGrund =
        "eine Berechtigung für Echtzeit-Scheduling. Abhilfe: als root starten, „setcap "
        "cap_sys_nice,cap_ipc_lock+ep“ auf das Programm setzen oder „rtprio 40“ und "
        "„memlock unlimited“ in /etc/security/limits.conf eintragen.";
    std::string t;
    t.reserve(anfang.size() + kGrund.size());
    t.append(anfang).append(kGrund);
    return t;
}
}  // namespace

std::string echtzeitHindernis() {
    if (generator::echtzeit::prüfe().möglich) return {};
    return keinEchtzeitrecht("K");
}

std::string echtzeitHinweis(generator::echtzeit::Hindernis hindernis) {
    using generator::echtzeit::Hindernis;
    switch (hindernis) {
        case Hindernis::KeinEchtzeitrecht:
            return keinEchtzeitrecht("--echtzeit bleibt ohne Wirkung: k");
        case Hindernis::KeinSpeichersperren:
            return "--echtzeit: Echtzeit-Scheduling ja, aber der Speicher kann nicht gesperrt "
                   "werden. Abhilfe: „memlock unlimited“ in /etc/security/limits.conf oder "
                   "„setcap cap_ipc_lock+ep“ auf das Programm.";
        case Hindernis::Keines:
            break;
    }
    return {};
}

void räumeAuf() {
    // The trace first: it completes its file while the port is still bound.
    beendeMitschnitt();
    port::releaseBackend();
}

}  // namespace dravel::app
