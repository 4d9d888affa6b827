// dravel drucken DATEI: sends a file to the printer with the compatibility
// handshake; dravel drucker ZUSTAND: sets the simulated printer's lines.
#include <QFile>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "befehle/gemeinsam.h"
#include "logik/abbruch.h"
#include "port/compat_handshake.h"
#include "port/port.h"
#include "port/ppdev_port.h"
#include "port/simulated_printer.h"

namespace dravel::app::befehl {
namespace {

struct Drucken {
    QByteArray inhalt;
    std::uint16_t adresse = 0x378;
    std::uint64_t zeitlimitNs = 0;
};

Drucken leseDrucken(const QCommandLineParser& parser, const QStringList& argumente) {
    prüfeAnzahl(argumente, 1, 1, QStringLiteral("drucken braucht eine DATEI."));
    Drucken d;
    QFile datei(argumente.at(0));
    if (!datei.open(QIODevice::ReadOnly)) {
        throw Ablehnung(QStringLiteral("%1 lässt sich nicht lesen: %2")
                            .arg(argumente.at(0), datei.errorString()));
    }
    d.inhalt = datei.readAll();
    if (parser.isSet(QStringLiteral("adresse"))) {
        d.adresse =
            adresseAus(parser.value(QStringLiteral("adresse")), QStringLiteral("--adresse"));
    }
    d.zeitlimitNs = static_cast<std::uint64_t>(
        alsNs(dauerOption(parser, QStringLiteral("zeitlimit"), kSekunden).value_or(10),
              kSekunden.sekunden));
    if (d.zeitlimitNs == 0) throw Ablehnung(QStringLiteral("--zeitlimit muss größer als 0 sein."));
    return d;
}

// The end through the kernel's handshake: the status lines say why the
// driver took no more.
port::SendResult druckeMitPpdev(port::PpdevPort& ppdev, const Drucken& d) {
    port::SendResult r;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(d.inhalt.constData());
    const auto anzahl = static_cast<std::size_t>(d.inhalt.size());
    while (r.sent < anzahl) {
        const long n = ppdev.writeCompatible(bytes + r.sent, anzahl - r.sent, d.zeitlimitNs);
        if (n == -EINTR && abbruchsignal() != 0) {
            r.end = port::SendResult::End::Stopped;
            return r;
        }
        if (n < 0 && n != -EAGAIN && n != -EINTR) {
            r.end = port::SendResult::End::Refused;
            r.systemError = int(-n);
            return r;
        }
        if (n <= 0) {
            const auto status = ppdev.read(static_cast<std::uint16_t>(ppdev.base() + 1));
            r.end = port::printerFault(status);
            if (r.end == port::SendResult::End::Done) r.end = port::SendResult::End::Timeout;
            return r;
        }
        r.sent += static_cast<std::size_t>(n);
    }
    return r;
}

int drucke(const Drucken& d) {
    port::Backend* backend = port::boundBackend();
    port::SendResult r;
    if (auto* ppdev = dynamic_cast<port::PpdevPort*>(&backend->unrecorded())) {
        r = druckeMitPpdev(*ppdev, d);
    } else {
        r = port::sendCompatible(*backend, d.adresse,
                                 reinterpret_cast<const std::uint8_t*>(d.inhalt.constData()),
                                 static_cast<std::size_t>(d.inhalt.size()), d.zeitlimitNs,
                                 [] { return abbruchsignal() != 0; });
    }
    const auto* drucker = dynamic_cast<port::SimulatedPrinter*>(&backend->unrecorded());
    const QString von = QStringLiteral("%1 von %2 Bytes gesendet").arg(r.sent).arg(d.inhalt.size());
    QString zeile;
    using End = port::SendResult::End;
    switch (r.end) {
        case End::Done:
            zeile = von;
            if (drucker) {
                zeile += QStringLiteral("; der simulierte Drucker hängt sie an %1 an")
                             .arg(QString::fromStdString(drucker->outputPath()));
            }
            break;
        case End::Timeout:
            zeile = QStringLiteral("Zeitüberschreitung: der Drucker blieb %1 s beschäftigt; %2")
                        .arg(QString::number(double(d.zeitlimitNs) / 1e9).replace('.', ','))
                        .arg(von);
            break;
        case End::PaperOut:
            zeile = QStringLiteral("Papier leer (PError hoch); %1").arg(von);
            break;
        case End::Offline:
            zeile = QStringLiteral("Drucker offline (Select tief); %1").arg(von);
            break;
        case End::Error:
            zeile = QStringLiteral("Drucker meldet einen Fehler (nError tief); %1").arg(von);
            break;
        case End::Refused:
            zeile = QStringLiteral("Der Treiber nimmt keine Daten an (%1); %2")
                        .arg(QString::fromLocal8Bit(std::strerror(r.systemError)), von);
            break;
        case End::Stopped:
            zeile = QStringLiteral("Abgebrochen; %1").arg(von);
            break;
    }
    std::fprintf(stderr, "dravel: %s.\n", qPrintable(zeile));
    if (r.end == End::Stopped) return 128 + abbruchsignal();
    return r.end == End::Done ? 0 : 1;
}

struct Zustand {
    std::uint8_t status = 0;
};

Zustand leseZustand(const QCommandLineParser&, const QStringList& argumente) {
    prüfeAnzahl(argumente, 1, 1,
                QStringLiteral("drucker braucht einen ZUSTAND: bereit, papier-leer, offline "
                               "oder beschaeftigt."));
    using namespace port::printer_status;
    const QString& wort = argumente.at(0);
    if (wort == QLatin1String("bereit")) return {kReady};
    if (wort == QLatin1String("papier-leer")) return {kPaperOut};
    if (wort == QLatin1String("offline")) return {kOffline};
    if (wort == QLatin1String("beschaeftigt")) return {kBusy};
    throw Ablehnung(QStringLiteral("„%1“ ist kein Zustand des Druckers: bereit, papier-leer, "
                                   "offline oder beschaeftigt.")
                        .arg(wort));
}

int setzeZustand(const Zustand& z) {
    auto* drucker = dynamic_cast<port::SimulatedPrinter*>(&port::boundBackend()->unrecorded());
    if (!drucker) {
        std::fprintf(stderr, "dravel: Der Befehl drucker gilt nur mit --port drucker.\n");
        return 2;
    }
    drucker->setState(z.status);
    return 0;
}

}  // namespace

Befehl drucken() {
    return {"drucken",
            "Sendet eine Datei mit dem Druckerhandshake an den Port.",
            "Sendet DATEI Byte für Byte im Kompatibilitätsmodus (Centronics): über /dev/parportN "
            "mit dem Handshake des Kernels, sonst (raw, sim, drucker) selbst: warten, bis Busy "
            "tief ist, Byte auf D0–D7, nStrobe 1 µs tief, warten auf nAck oder Busy tief. "
            "Zeitüberschreitung, Papier leer, offline und Druckerfehler beenden den Befehl mit "
            "einer Zeile samt der Zahl gesendeter Bytes und Rückgabewert 1. Mit --port drucker "
            "hängt der simulierte Drucker die Bytes an $XDG_RUNTIME_DIR/dravel/"
            "drucker-0x378.out an.",
            {{"DATEI", "Die zu sendende Datei.", "DATEI"}},
            {option("zeitlimit", "Sekunden, die auf den Drucker gewartet wird (Vorgabe 10).", "S"),
             option("adresse", "Basisadresse des Ports bei raw (Vorgabe 0x378).", "ADRESSE")},
            [](const QCommandLineParser& p, const QStringList& a) {
                return mitPort(p, leseDrucken(p, a), drucke);
            }};
}

Befehl drucker() {
    return {"drucker",
            "Stellt den simulierten Drucker (--port drucker) bereit, ohne Papier oder offline.",
            "Setzt die Statusleitungen des simulierten Druckers, den alle Dravel-Programme des "
            "Benutzers teilen: bereit (Busy tief, Select hoch), papier-leer (Busy und PError "
            "hoch, Select und nError tief), offline (Busy hoch, Select und nError tief) oder "
            "beschaeftigt (Busy bleibt hoch). Nur mit --port drucker.",
            {{"ZUSTAND", "bereit, papier-leer, offline oder beschaeftigt.", "ZUSTAND"}},
            {},
            [](const QCommandLineParser& p, const QStringList& a) {
                return mitPort(p, leseZustand(p, a), setzeZustand);
            }};
}

}  // namespace dravel::app::befehl
