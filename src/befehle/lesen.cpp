// dravel lesen ADRESSE: reads a register and prints each value.
#include <unistd.h>

#include <cstdint>

#include "befehle/befehle_logik.h"
#include "befehle/gemeinsam.h"
#include "logik/abbruch.h"
#include "port/port.h"

namespace dravel::app::befehl {
namespace {

struct Lesen {
    std::uint16_t adresse = 0;
    std::uint64_t anzahl = 1;
    std::int64_t intervallNs = 0;
    char* (*schreibe)(char*, std::uint8_t) = schreibeDezimal;
};

Lesen leseLesen(const QCommandLineParser& parser, const QStringList& argumente) {
    prüfeAnzahl(argumente, 1, 1, QStringLiteral("lesen braucht eine ADRESSE."));
    Lesen l;
    l.adresse = adresseAus(argumente.at(0), QStringLiteral("ADRESSE"));
    l.anzahl = ganzzahlOption(parser, QStringLiteral("anzahl"), 1, UINT64_MAX, 1);
    l.intervallNs =
        alsNs(dauerOption(parser, QStringLiteral("intervall"), kMillisekunden).value_or(0),
              kMillisekunden.sekunden);
    const bool hex = parser.isSet(QStringLiteral("hex"));
    const bool bin = parser.isSet(QStringLiteral("bin"));
    if (hex && bin) throw Ablehnung(QStringLiteral("--hex und --bin schließen einander aus."));
    if (hex) l.schreibe = schreibeHex;
    if (bin) l.schreibe = schreibeBinär;
    return l;
}

int lese(const Lesen& l) {
    Ausgabe ausgabe;
    const auto adresse = static_cast<std::int16_t>(l.adresse);
    generator::Systemuhr uhr;
    Takt takt(uhr, l.intervallNs);
    // A reader that went away ends the reads too (SIGPIPE, or a write error).
    beobachteLeser(STDOUT_FILENO);
    for (std::uint64_t i = 0; i < l.anzahl && !ausgabe.fehler(); ++i) {
        if (i > 0 && l.intervallNs > 0) {
            ausgabe.leere();  // the reader sees each value when it is read
            if (!takt.warte()) break;
        }
        if (abbruchsignal() != 0) break;
        const auto wert = static_cast<std::uint8_t>(Inp32(adresse));
        char* ende = l.schreibe(ausgabe.zeile(), wert);
        *ende++ = '\n';
        ausgabe.fertig(ende);
    }
    return endstatus(ausgabe);
}

}  // namespace

Befehl lesen() {
    return {"lesen",
            "Liest ein Register und gibt den Wert aus.",
            "Liest das Register an ADRESSE N-mal, MS Millisekunden auseinander, und gibt jeden "
            "Wert auf einer eigenen Zeile aus, dezimal (oder mit --hex, --bin wie in den "
            "Fenstern).",
            {{"ADRESSE", "Portadresse 0..65535 (dezimal, 0x…, &H… oder 0b…).", "ADRESSE"}},
            {option("anzahl", "So oft lesen (Vorgabe 1).", "N"),
             option("intervall", "Millisekunden zwischen zwei Lesevorgängen (Vorgabe 0).", "MS"),
             option("hex", "Hexadezimal ausgeben (Großbuchstaben, ohne Präfix)."),
             option("bin", "Binär ausgeben wie in den Fenstern (1100 1000).")},
            [](const QCommandLineParser& p, const QStringList& a) {
                return mitPort(p, leseLesen(p, a), lese);
            }};
}

}  // namespace dravel::app::befehl
