// dravel pruefen: what stands between the user and a working port, each
// finding with its fix; with --schleife the loopback plug's self-test.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "befehle/gemeinsam.h"
#include "port/direction_test.h"
#include "port/loopback_test.h"
#include "port/port_meldungen.h"
#include "port/port_report.h"
#include "port/system_calls.h"

namespace dravel::app::befehl {
namespace {

struct Prüfen {
    bool json = false;
    bool schleife = false;
    bool richtung = false;
    std::uint16_t basis = 0x378;
    std::string wurzel;  // empty: this machine
};

Prüfen lesePrüfen(const QCommandLineParser& parser, const QStringList& argumente) {
    prüfeAnzahl(argumente, 0, 0, {});
    Prüfen p;
    p.json = parser.isSet(QStringLiteral("json"));
    p.schleife = parser.isSet(QStringLiteral("schleife"));
    p.richtung = parser.isSet(QStringLiteral("richtung"));
    if (p.json && (p.schleife || p.richtung)) {
        throw Ablehnung(QStringLiteral("--json und --%1 schließen einander aus.")
                            .arg(p.schleife ? "schleife" : "richtung"));
    }
    if (parser.isSet(QStringLiteral("adresse"))) {
        if (!p.schleife && !p.richtung) {
            throw Ablehnung(QStringLiteral("--adresse gilt nur mit --schleife oder --richtung."));
        }
        p.basis = adresseAus(parser.value(QStringLiteral("adresse")), QStringLiteral("--adresse"));
    }
    p.wurzel = parser.value(QStringLiteral("wurzel")).toStdString();
    return p;
}

// Exit status 0 when the output reached its reader, else 1.
int gibAus(const std::string& text, bool gut) {
    const bool geschrieben = std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
    return geschrieben && gut ? 0 : 1;
}

int prüfe(const QCommandLineParser& parser, const Prüfen& p) {
    if (p.schleife || p.richtung) {
        if (const auto status = bindePortFürBefehl(parser)) return *status;
        std::string text;
        bool gut = true;
        if (p.richtung) {
            const port::DirectionResult richtung = port::testDataDirection(p.basis);
            text += richtung.line + "\n";
            gut = richtung.verdict == port::DirectionResult::Verdict::Works;
        }
        if (p.schleife) {
            const port::LoopbackResult ergebnis = port::testLoopbackPlug(p.basis);
            for (const std::string& zeile : ergebnis.lines) text += zeile + "\n";
            gut = gut && ergebnis.good;
        }
        return gibAus(text, gut);
    }
    std::unique_ptr<port::SystemCalls> baum;
    if (!p.wurzel.empty()) baum = port::systemBelow(p.wurzel);
    // --ecr sets the mode through the raw port first; the report then reads
    // what was set.
    if (!baum && parser.isSet(QStringLiteral("ecr"))) {
        if (const auto status = bindePortFürBefehl(parser)) return *status;
    }
    const port::PortReport bericht = untersuchePorts(baum ? *baum : port::realSystem());
    return gibAus(p.json ? portBerichtJson(bericht) : portBericht(bericht),
                  bericht.realPortUsable());
}

QCommandLineOption wurzelOption() {
    QCommandLineOption o =
        option("wurzel", "Liest /proc, /sys, /dev und /etc unter ORDNER.", "ORDNER");
    // For the tests' trees and for a copy from a user's machine.
    o.setFlags(QCommandLineOption::HiddenFromHelp);
    return o;
}

}  // namespace

Befehl prüfen() {
    return {"pruefen",
            "Sagt, was einem echten Port im Weg steht, und wie man es behebt.",
            "Prüft Kernel-Ports (Basis, Modi, IRQ, DMA), Treiber, Druckertreiber lp, "
            "PCI/PCIe-Karten, USB-Druckeradapter, Rechte und Interrupts, und nennt zu jedem "
            "Hindernis einen Befehl zum Kopieren. Rückgabewert 0, wenn ein echter Port jetzt "
            "nutzbar ist, 1, wenn keiner es ist. Mit --schleife stattdessen der Selbsttest eines "
            "Schleifensteckers am gewählten Port (--port), mit --richtung die Prüfung der "
            "Datenrichtung: 0, wenn alles stimmt, sonst 1.",
            {},
            {option("json", "Der Bericht als ein JSON-Objekt (für Skripte)."),
             option("schleife",
                    "Selbsttest des Schleifensteckers (D0→15, D1→13, D2→12, D3→10, D4→11): "
                    "nennt jede Leitung, die hängt, offen, vertauscht oder mit einer anderen "
                    "verbunden ist. Treibt die Datenleitungen."),
             option("richtung",
                    "Prüft, ob die Datenleitungen mit Steuerbit 5 wirklich Eingänge werden "
                    "(PS/2-Modus). Treibt die Datenleitungen."),
             option("adresse", "Basisadresse für --schleife und --richtung (Vorgabe 888 = 0x378).",
                    "A"),
             wurzelOption()},
            [](const QCommandLineParser& p, const QStringList& a) {
                return prüfe(p, lesePrüfen(p, a));
            }};
}

}  // namespace dravel::app::befehl
