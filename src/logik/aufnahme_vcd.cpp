#include "aufnahme_vcd.h"

#include <cstdio>

#include "dravel_version.h"
#include "logik/aufnahmemaschine.h"
#include "port/pin_map.h"
#include "port/port.h"
#include "port/vcd_writer.h"

namespace dravel::analysator {
namespace {

// A name fit for a VCD file: no blanks, "/" as "n" (low active).
std::string alsBezeichner(const std::string& name) {
    std::string t;
    for (const char c : name) {
        if (c == '/') {
            t += 'n';
        } else if (c == ' ' || c == '\t') {
            t += '_';
        } else {
            t += c;
        }
    }
    return t.empty() ? "Leitung" : t;
}

// The sigrok import's step: a power of ten that keeps a viewer at some
// 50 million samples for the whole capture.
std::uint64_t abtastschritt(std::uint64_t spanneNs) {
    std::uint64_t schritt = 1;
    while (spanneNs / schritt > 50'000'000) schritt *= 10;
    return schritt;
}

}  // namespace

std::string vcdName(int pin) {
    return "Pin" + std::to_string(pin) + "_" + alsBezeichner(port::pin(pin).signal);
}

namespace {

port::VcdWriter::Kopf kopfOhneAufnahme() {
    port::VcdWriter::Kopf kopf;
    kopf.version = "Dravel " DRAVEL_VERSION;
    const port::Backend* backend = port::boundBackend();
    kopf.backend = backend ? backend->name() : "unbekannt";
    kopf.datum = port::ortszeitText();
    kopf.kommentar = {"Logikanalysator-Aufnahme, noch nicht beendet"};
    return kopf;
}

std::string anlegefehler(const std::string& pfad, const std::string& grund) {
    return "Aufnahmedatei „" + pfad + "“ kann nicht angelegt werden: " + grund + ".";
}

}  // namespace

std::unique_ptr<port::VcdWriter> beginneVcd(std::unique_ptr<port::SorgfältigeDatei> datei,
                                            std::string& fehler) {
    const std::string pfad = datei->pfad();
    std::string grund;
    auto schreiber = port::VcdWriter::erzeuge(std::move(datei), kopfOhneAufnahme(),
                                              port::standardbasen(), grund);
    if (!schreiber) fehler = anlegefehler(pfad, grund);
    return schreiber;
}

bool speichereVcd(const Aufnahme& aufnahme, const std::string& pfad, std::string& fehler,
                  std::string* hinweis) {
    std::string grund;
    auto schreiber =
        port::VcdWriter::erzeuge(pfad, kopfOhneAufnahme(), port::standardbasen(), grund);
    if (!schreiber) {
        fehler = anlegefehler(pfad, grund);
        return false;
    }
    const bool gespeichert = speichereVcd(aufnahme, *schreiber, fehler);
    if (hinweis) *hinweis = schreiber->sicherungsmeldung();
    return gespeichert;
}

bool speichereVcd(const Aufnahme& aufnahme, port::VcdWriter& schreiber, std::string& fehler) {
    const std::size_t n = aufnahme.anzahl();
    const std::uint64_t anfang = n > 0 ? aufnahme[0].zeitNs : aufnahme.nullpunktNs;
    const std::uint64_t ende = std::max(aufnahme.bisNs(), n > 0 ? aufnahme[n - 1].zeitNs : anfang);
    const bool portAufnahme = aufnahme.basis >= 0;
    char basis[16] = "";
    if (portAufnahme) std::snprintf(basis, sizeof basis, "0x%X", unsigned(aufnahme.basis));

    schreiber.setzeKommentar({
        std::string("Logikanalysator-Aufnahme") +
            (portAufnahme ? " an " + std::string(basis) : "") +
            ", elektrische Pegel (Invertierungen des Ports berücksichtigt)",
        "Zeit 0 = " + std::to_string(anfang) +
            " ns seit Programmstart (monotone Uhr, wie der Mitschnitt)",
        "Auslöser (Nullpunkt) bei " +
            std::to_string(aufnahme.nullpunktNs - std::min(aufnahme.nullpunktNs, anfang)) +
            " ns; Ende: " + endeText(aufnahme.ende()) +
            "; Abtastwerte: " + std::to_string(aufnahme.proben()),
        "sigrok/PulseView: Import mit downsample=" + std::to_string(abtastschritt(ende - anfang)) +
            " (ein Abtastwert je so vielen ns)",
    });
    std::vector<std::string> namen;
    std::vector<int> bits;
    for (const Leitung& leitung : aufnahme.leitungen()) {
        const bool pin = portAufnahme && leitung.bit >= 1 && leitung.bit <= port::kPinCount &&
                         port::pin(leitung.bit).bit >= 0;
        namen.push_back(pin ? vcdName(leitung.bit) : alsBezeichner(leitung.name));
        bits.push_back(leitung.bit);
        if (namen.size() == 64) break;
    }
    schreiber.deklariereLeitungen(
        portAufnahme ? "aufnahme_" + std::string(basis) : std::string("aufnahme"),
        std::move(namen));
    for (std::size_t i = 0; i < n; ++i) {
        const Änderung ä = aufnahme[i];
        std::uint64_t wert = 0;
        for (std::size_t k = 0; k < bits.size(); ++k) {
            if (ä.pegel & bitVon(bits[k])) wert |= std::uint64_t{1} << k;
        }
        schreiber.formatiereLeitungen(ä.zeitNs - anfang, wert);
    }
    if (!schreiber.schließe(ende - anfang)) {
        fehler = "Aufnahmedatei „" + schreiber.pfad() +
                 "“ ist unvollständig: " + schreiber.fehler() + ".";
        return false;
    }
    return true;
}

}  // namespace dravel::analysator
