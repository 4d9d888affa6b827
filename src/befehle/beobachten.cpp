// dravel beobachten ADRESSE: prints every change of a register until Ctrl+C.
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
    Uhr::duration intervall = std::chrono::milliseconds(1);
    std::optional<Uhr::duration> dauer;
};

Beobachten leseBeobachten(const QCommandLineParser& parser, const QStringList& argumente) {
    prüfeAnzahl(argumente, 1, 1, QStringLiteral("beobachten braucht eine ADRESSE."));
    Beobachten b;
    b.adresse = adresseAus(argumente.at(0), QStringLiteral("ADRESSE"));
    if (const auto ms =
            dauerOption(parser, QStringLiteral("intervall"), QStringLiteral("Millisekunden"))) {
        b.intervall = alsDauer(*ms, 1e-3);
    }
    if (const auto s = dauerOption(parser, QStringLiteral("dauer"), QStringLiteral("Sekunden"))) {
        b.dauer = alsDauer(*s, 1.0);
    }
    return b;
}

// "12.345 200 C8 1100 1000"
void schreibeÄnderung(Ausgabe& ausgabe, Uhr::duration seitStart, std::uint8_t wert) {
    char* p = schreibeMillisekunden(
        ausgabe.zeile(),
        static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(seitStart).count()));
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
    const auto start = Uhr::now();
    const auto ende = b.dauer ? start + *b.dauer : Uhr::time_point::max();
    auto letzter = static_cast<std::uint8_t>(Inp32(adresse));
    schreibeÄnderung(ausgabe, Uhr::now() - start, letzter);
    auto frist = start;
    while (abbruchsignal() == 0 && !ausgabe.fehler()) {
        frist = nächsteFrist(frist, b.intervall);
        if (frist > ende) {
            warteBis(ende);
            break;
        }
        if (b.intervall > Uhr::duration::zero() && !warteBis(frist)) break;
        const auto wert = static_cast<std::uint8_t>(Inp32(adresse));
        if (wert == letzter) continue;
        letzter = wert;
        schreibeÄnderung(ausgabe, Uhr::now() - start, wert);
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
