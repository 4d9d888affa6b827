// dravel beobachten ADRESSE: prints every change of a register until Ctrl+C.
#include <unistd.h>

#include <cstdint>
#include <optional>

#include "befehle/befehle_logik.h"
#include "befehle/gemeinsam.h"
#include "logik/abbruch.h"
#include "port/port.h"

namespace dravel::app::befehl {
namespace {

struct Beobachten {
    std::uint16_t adresse = 0;
    std::int64_t intervallNs = 1'000'000;
    std::optional<std::int64_t> dauerNs;
};

Beobachten leseBeobachten(const QCommandLineParser& parser, const QStringList& argumente) {
    prüfeAnzahl(argumente, 1, 1, QStringLiteral("beobachten braucht eine ADRESSE."));
    Beobachten b;
    b.adresse = adresseAus(argumente.at(0), QStringLiteral("ADRESSE"));
    if (const auto ms = dauerOption(parser, QStringLiteral("intervall"), kMillisekunden)) {
        b.intervallNs = alsNs(*ms, kMillisekunden.sekunden);
    }
    if (const auto s = dauerOption(parser, QStringLiteral("dauer"), kSekunden)) {
        b.dauerNs = alsNs(*s, kSekunden.sekunden);
    }
    return b;
}

// "12.345 200 C8 1100 1000"
void schreibeÄnderung(Ausgabe& ausgabe, std::int64_t seitStartNs, std::uint8_t wert) {
    char* p = schreibeMillisekunden(ausgabe.zeile(), static_cast<std::uint64_t>(seitStartNs));
    *p++ = ' ';
    p = schreibeDezimal(p, wert);
    *p++ = ' ';
    p = schreibeHex(p, wert);
    *p++ = ' ';
    p = schreibeBinär(p, wert);
    *p++ = '\n';
    ausgabe.fertig(p);
    ausgabe.leere();  // a script reacts to the change now, not a block later
}

int beobachte(const Beobachten& b) {
    Ausgabe ausgabe;
    const auto adresse = static_cast<std::int16_t>(b.adresse);
    generator::Systemuhr uhr;
    const std::int64_t start = uhr.jetztNs();
    const std::int64_t ende = b.dauerNs ? start + *b.dauerNs : INT64_MAX;
    // A reader that went away ends the run, also while nothing changes.
    beobachteLeser(STDOUT_FILENO);
    auto letzter = static_cast<std::uint8_t>(Inp32(adresse));
    schreibeÄnderung(ausgabe, uhr.jetztNs() - start, letzter);
    Takt takt(uhr, b.intervallNs);
    while (abbruchsignal() == 0 && !ausgabe.fehler()) {
        if (!takt.warte(ende) || takt.fristNs() > ende) break;
        const auto wert = static_cast<std::uint8_t>(Inp32(adresse));
        if (wert == letzter) continue;
        letzter = wert;
        schreibeÄnderung(ausgabe, uhr.jetztNs() - start, wert);
    }
    return endstatus(ausgabe);
}

}  // namespace

Befehl beobachten() {
    return {"beobachten",
            "Meldet jede Änderung eines Registers bis Strg+C.",
            "Fragt das Register an ADRESSE regelmäßig ab, bis Strg+C oder bis S Sekunden "
            "vergangen sind, und gibt jede Änderung auf einer Zeile aus: Millisekunden seit dem "
            "Start, den Wert dezimal, hexadezimal und binär. Die erste Zeile ist der Wert beim "
            "Start.",
            {{"ADRESSE", "Portadresse 0..65535 (dezimal, 0x…, &H… oder 0b…).", "ADRESSE"}},
            {option("intervall",
                    "Millisekunden zwischen zwei Abfragen (Vorgabe 1, 0: so oft wie "
                    "möglich).",
                    "MS"),
             option("dauer", "Nach so vielen Sekunden enden (Vorgabe: bis Strg+C).", "S")},
            [](const QCommandLineParser& p, const QStringList& a) {
                return mitPort(p, leseBeobachten(p, a), beobachte);
            }};
}

}  // namespace dravel::app::befehl
