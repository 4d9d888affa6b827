// dravel schreiben ADRESSE WERT…: writes values into a register in turn.
#include <cstdint>
#include <vector>

#include "befehle/gemeinsam.h"
#include "logik/abbruch.h"
#include "port/port.h"

namespace dravel::app::befehl {
namespace {

struct Schreiben {
    std::uint16_t adresse = 0;
    std::vector<std::uint8_t> werte;
    std::int64_t intervallNs = 0;
};

Schreiben leseSchreiben(const QCommandLineParser& parser, const QStringList& argumente) {
    prüfeAnzahl(argumente, 2, argumente.size(),
                QStringLiteral("schreiben braucht eine ADRESSE und mindestens einen WERT."));
    Schreiben s;
    s.adresse = adresseAus(argumente.at(0), QStringLiteral("ADRESSE"));
    for (qsizetype i = 1; i < argumente.size(); ++i) s.werte.push_back(byteAus(argumente.at(i)));
    s.intervallNs =
        alsNs(dauerOption(parser, QStringLiteral("intervall"), kMillisekunden).value_or(0),
              kMillisekunden.sekunden);
    return s;
}

int schreibe(const Schreiben& s) {
    Ausgabe ausgabe;
    const auto adresse = static_cast<std::int16_t>(s.adresse);
    generator::Systemuhr uhr;
    Takt takt(uhr, s.intervallNs);
    for (std::size_t i = 0; i < s.werte.size(); ++i) {
        if (i > 0 && s.intervallNs > 0 && !takt.warte()) break;
        if (abbruchsignal() != 0) break;
        Out32(adresse, s.werte[i]);
    }
    return endstatus(ausgabe);
}

}  // namespace

Befehl schreiben() {
    return {"schreiben",
            "Schreibt einen oder mehrere Werte in ein Register.",
            "Schreibt die Werte nacheinander in das Register an ADRESSE, MS Millisekunden "
            "auseinander. Gibt nichts aus.",
            {{"ADRESSE", "Portadresse 0..65535 (dezimal, 0x…, &H… oder 0b…).", "ADRESSE"},
             {"WERT", "Byte 0..255 in denselben Schreibweisen; mehrere nacheinander.",
              "WERT [WERT …]"}},
            {option("intervall", "Millisekunden zwischen zwei Werten (Vorgabe 0).", "MS")},
            [](const QCommandLineParser& p, const QStringList& a) {
                return mitPort(p, leseSchreiben(p, a), schreibe);
            }};
}

}  // namespace dravel::app::befehl
