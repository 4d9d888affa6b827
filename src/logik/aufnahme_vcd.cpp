#include "aufnahme_vcd.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <string_view>
#include <utility>

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

constexpr const char* kVcdKennzeile = "dravel_aufnahme=1";

// How a capture ended, as its file says it (stable; not the shown text).
constexpr std::pair<Ende, const char*> kEndeSchlüssel[] = {
    {Ende::Läuft, "laeuft"},  {Ende::Dauer, "dauer"},         {Ende::Halt, "halt"},
    {Ende::Grenze, "grenze"}, {Ende::Leer, "ohne_ausloeser"},
};

const char* endeSchlüssel(Ende ende) {
    for (const auto& [e, schlüssel] : kEndeSchlüssel) {
        if (e == ende) return schlüssel;
    }
    return "laeuft";
}

std::optional<std::uint64_t> zahlAus(std::string_view text) {
    std::uint64_t zahl = 0;
    const auto [rest, f] = std::from_chars(text.data(), text.data() + text.size(), zahl);
    if (f != std::errc() || rest == text.data()) return std::nullopt;
    return zahl;
}

}  // namespace

void leseAngaben(const std::string& kommentar, Aufnahmeangaben& angaben) {
    std::string_view rest(kommentar);
    while (!rest.empty()) {
        const std::size_t umbruch = rest.find('\n');
        std::string_view zeile = rest.substr(0, umbruch);
        rest = umbruch == std::string_view::npos ? std::string_view() : rest.substr(umbruch + 1);
        while (!zeile.empty() && std::isspace(static_cast<unsigned char>(zeile.front())))
            zeile.remove_prefix(1);
        while (!zeile.empty() && std::isspace(static_cast<unsigned char>(zeile.back())))
            zeile.remove_suffix(1);

        // Files written before the key lines: one sentence.
        constexpr std::string_view kAlt = "Auslöser (Nullpunkt) bei ";
        if (const std::size_t alt = zeile.find(kAlt); alt != std::string_view::npos) {
            angaben.aufnahme = true;
            if (!angaben.auslöserNs) angaben.auslöserNs = zahlAus(zeile.substr(alt + kAlt.size()));
            continue;
        }
        if (zeile == kVcdKennzeile) {
            angaben.aufnahme = true;
            continue;
        }
        const std::size_t gleich = zeile.find('=');
        if (gleich == std::string_view::npos) continue;
        const std::string_view schlüssel = zeile.substr(0, gleich), wert = zeile.substr(gleich + 1);
        if (schlüssel == "ausloeser_ns") {
            angaben.auslöserNs = zahlAus(wert);
        } else if (schlüssel == "aufloesung_ns") {
            angaben.auflösungNs = zahlAus(wert);
        } else if (schlüssel == "dekoder") {
            angaben.dekoder.emplace_back(wert);
        } else if (schlüssel == "ende") {
            for (const auto& [e, s] : kEndeSchlüssel) {
                if (wert == s) angaben.ende = e;
            }
        }
    }
}

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
                  std::string* hinweis, const std::vector<std::string>& dekoder) {
    std::string grund;
    auto schreiber =
        port::VcdWriter::erzeuge(pfad, kopfOhneAufnahme(), port::standardbasen(), grund);
    if (!schreiber) {
        fehler = anlegefehler(pfad, grund);
        return false;
    }
    std::string ausgelassen;
    const bool gespeichert = speichereVcd(aufnahme, *schreiber, fehler, dekoder, &ausgelassen);
    if (hinweis) {
        *hinweis = schreiber->sicherungsmeldung();
        if (!ausgelassen.empty()) *hinweis += (hinweis->empty() ? "" : " ") + ausgelassen;
    }
    return gespeichert;
}

bool speichereVcd(const Aufnahme& aufnahme, port::VcdWriter& schreiber, std::string& fehler,
                  const std::vector<std::string>& dekoder, std::string* hinweis) {
    const std::size_t n = aufnahme.anzahl();
    const std::uint64_t anfang = n > 0 ? aufnahme[0].zeitNs : aufnahme.nullpunktNs;
    const std::uint64_t ende = std::max(aufnahme.bisNs(), n > 0 ? aufnahme[n - 1].zeitNs : anfang);
    const bool portAufnahme = aufnahme.basis >= 0;
    char basis[16] = "";
    if (portAufnahme) std::snprintf(basis, sizeof basis, "0x%X", unsigned(aufnahme.basis));

    // One sentence for people, then the facts as "key=value" lines that
    // viewers pass over and the loader reads back (vcd_laden.cpp).
    const std::uint64_t auslöser = aufnahme.nullpunktNs - std::min(aufnahme.nullpunktNs, anfang);
    std::vector<std::string> zeilen;
    zeilen.push_back(std::string("Logikanalysator-Aufnahme") +
                     (portAufnahme ? " an " + std::string(basis) : std::string()) +
                     ", elektrische Pegel (Invertierungen des Ports beruecksichtigt); Zeit 0 = "
                     "zeit0_ns seit Programmstart (monotone Uhr, wie der Mitschnitt)");
    zeilen.push_back(kVcdKennzeile);
    if (portAufnahme) zeilen.push_back(std::string("port=") + basis);
    zeilen.push_back("zeit0_ns=" + std::to_string(anfang));
    // Without a trigger nothing was recorded, and there is no place to name.
    if (n > 0) zeilen.push_back("ausloeser_ns=" + std::to_string(auslöser));
    zeilen.push_back(std::string("ende=") + endeSchlüssel(aufnahme.ende()));
    zeilen.push_back("abtastwerte=" + std::to_string(aufnahme.proben()));
    // What the capture did not see, cut to what the file holds.
    std::vector<Lücke> lücken;
    std::uint64_t lückenNs = 0;
    for (const Lücke& l : aufnahme.lücken()) {
        const Lücke geschnitten{std::max(l.anfangNs, anfang), std::min(l.endeNs, ende)};
        if (geschnitten.endeNs <= geschnitten.anfangNs) continue;
        lücken.push_back(geschnitten);
        lückenNs += geschnitten.endeNs - geschnitten.anfangNs;
    }
    if (aufnahme.auflösungNs() > 0) {
        zeilen.push_back("aufloesung_ns=" + std::to_string(aufnahme.auflösungNs()));
    }
    // A sampled capture always says what it did not see, be it nothing; a
    // recording nobody sampled (resolution unknown) only where it has gaps.
    const bool lückenleitung = aufnahme.auflösungNs() > 0 || !lücken.empty();
    if (lückenleitung) {
        zeilen.push_back("luecken=" + std::to_string(lücken.size()));
        zeilen.push_back("luecken_ns=" + std::to_string(lückenNs));
    }
    zeilen.push_back("sigrok_downsample=" + std::to_string(abtastschritt(ende - anfang)));
    for (const std::string& d : dekoder) zeilen.push_back("dekoder=" + d);
    schreiber.setzeKommentar(std::move(zeilen));
    std::vector<std::string> namen;
    std::vector<int> bits;
    const std::size_t höchstens = lückenleitung ? 63 : 64;
    for (const Leitung& leitung : aufnahme.leitungen()) {
        const bool pin = portAufnahme && leitung.bit >= 1 && leitung.bit <= port::kPinCount &&
                         port::pin(leitung.bit).bit >= 0;
        namen.push_back(pin ? vcdName(leitung.bit) : alsBezeichner(leitung.name));
        bits.push_back(leitung.bit);
        if (namen.size() == höchstens) break;
    }
    // A file loaded with 64 lines and saved beside the gap wire: said.
    if (const std::size_t mehr = aufnahme.leitungen().size() - namen.size(); mehr > 0 && hinweis) {
        *hinweis = std::to_string(mehr) + (mehr == 1 ? " Leitung" : " Leitungen") +
                   " nicht gespeichert (mehr als " + std::to_string(höchstens) + ").";
    }
    const std::uint64_t lückenbit = lückenleitung ? std::uint64_t{1} << namen.size() : 0;
    if (lückenleitung) namen.push_back(kLückenleitung);
    schreiber.deklariereLeitungen(
        portAufnahme ? "aufnahme_" + std::string(basis) : std::string("aufnahme"),
        std::move(namen));
    // Changes and gap edges in time order, one step per moment.
    std::uint64_t wert = 0;
    std::size_t i = 0, j = 0;
    bool inLücke = false;
    while (i < n || j < lücken.size()) {
        const std::uint64_t grenze =
            j < lücken.size() ? (inLücke ? lücken[j].endeNs : lücken[j].anfangNs) : UINT64_MAX;
        const std::uint64_t zeit = std::min(i < n ? aufnahme[i].zeitNs : UINT64_MAX, grenze);
        for (; i < n && aufnahme[i].zeitNs == zeit; ++i) {
            const Pegel pegel = aufnahme[i].pegel;
            wert &= lückenbit;
            for (std::size_t k = 0; k < bits.size(); ++k) {
                if (pegel & bitVon(bits[k])) wert |= std::uint64_t{1} << k;
            }
        }
        while (j < lücken.size() && grenze == zeit &&
               (inLücke ? lücken[j].endeNs : lücken[j].anfangNs) == zeit) {
            if (inLücke) ++j;
            inLücke = !inLücke;
        }
        wert = inLücke ? wert | lückenbit : wert & ~lückenbit;
        schreiber.formatiereLeitungen(zeit - anfang, wert);
    }
    if (!schreiber.schließe(ende - anfang)) {
        fehler = "Aufnahmedatei „" + schreiber.pfad() +
                 "“ ist unvollständig: " + schreiber.fehler() + ".";
        return false;
    }
    return true;
}

}  // namespace dravel::analysator
