#include "ausloeser.h"

#include "logik/dauerangabe.h"
#include "port/digits.h"
#include "port/pin_map.h"

namespace dravel::analysator {
namespace {

std::string_view ohneRänder(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    return t;
}

// A pin with a signal (1..17), or nullopt.
std::optional<int> signalpin(std::string_view t) {
    const auto zahl = port::parseNumber(t, port::kSignalPinCount);
    if (!zahl || *zahl < 1) return std::nullopt;
    return int(*zahl);
}

std::string keinPin(std::string_view t) {
    return "„" + std::string(ohneRänder(t)) + "“ ist kein Pin mit Signal (1.." +
           std::to_string(port::kSignalPinCount) + ")";
}

}  // namespace

const char* wort(Auslöser::Richtung richtung) {
    switch (richtung) {
        case Auslöser::Richtung::Steigend:
            return "steigend";
        case Auslöser::Richtung::Fallend:
            return "fallend";
        case Auslöser::Richtung::Beide:
            break;
    }
    return "beide";
}

Pegel Auslöser::pins() const {
    switch (art) {
        case Art::Flanke:
        case Art::Pulsbreite:
            return bitVon(pin);
        case Art::Muster:
            return maske;
        case Art::Keiner:
            break;
    }
    return 0;
}

bool löstAus(const Auslöser& a, Auslösergedächtnis& g, Pegel vorher, Pegel jetzt,
             std::uint64_t zeitNs, bool erste) {
    switch (a.art) {
        case Auslöser::Art::Keiner:
            return true;
        case Auslöser::Art::Flanke: {
            if (erste) return false;
            const Pegel bit = bitVon(a.pin);
            if (((vorher ^ jetzt) & bit) == 0) return false;
            const bool hoch = (jetzt & bit) != 0;
            return a.richtung == Auslöser::Richtung::Beide ||
                   hoch == (a.richtung == Auslöser::Richtung::Steigend);
        }
        case Auslöser::Art::Muster: {
            const bool jetztWahr = (jetzt & a.maske) == a.wert;
            return jetztWahr && (erste || (vorher & a.maske) != a.wert);
        }
        case Auslöser::Art::Pulsbreite: {
            const Pegel bit = bitVon(a.pin);
            if (erste || ((vorher ^ jetzt) & bit) == 0) return false;
            if (((jetzt & bit) != 0) == a.pulsHoch) {
                g = {true, zeitNs};
                return false;
            }
            if (!g.pulsOffen) return false;
            g.pulsOffen = false;
            const std::uint64_t breite = zeitNs - g.pulsAnfangNs;
            return (a.kürzerAlsNs == 0 || breite < a.kürzerAlsNs) &&
                   (a.längerAlsNs == 0 || breite > a.längerAlsNs);
        }
    }
    return false;
}

std::optional<Auslöser> leseFlanke(std::string_view text, std::string& fehler) {
    const auto doppelpunkt = text.find(':');
    if (doppelpunkt == std::string_view::npos) {
        fehler = "„" + std::string(text) + "“ ist keine Flanke PIN:steigend|fallend|beide";
        return std::nullopt;
    }
    const auto pin = signalpin(text.substr(0, doppelpunkt));
    if (!pin) {
        fehler = keinPin(text.substr(0, doppelpunkt));
        return std::nullopt;
    }
    const std::string_view art = ohneRänder(text.substr(doppelpunkt + 1));
    Auslöser a;
    a.art = Auslöser::Art::Flanke;
    a.pin = *pin;
    for (const Auslöser::Richtung richtung : kRichtungen) {
        if (art != wort(richtung)) continue;
        a.richtung = richtung;
        return a;
    }
    fehler = "„" + std::string(art) + "“ ist keine Flanke (steigend, fallend oder beide)";
    return std::nullopt;
}

std::optional<Auslöser> leseMuster(std::string_view text, std::string& fehler) {
    Auslöser a;
    a.art = Auslöser::Art::Muster;
    std::string_view rest = text;
    while (true) {
        const auto komma = rest.find(',');
        const std::string_view teil = rest.substr(0, komma);
        const auto gleich = teil.find('=');
        const std::string_view stufe = gleich == std::string_view::npos
                                           ? std::string_view{}
                                           : ohneRänder(teil.substr(gleich + 1));
        if (gleich == std::string_view::npos || (stufe != "0" && stufe != "1")) {
            fehler = "„" + std::string(ohneRänder(teil)) + "“ ist keine Angabe PIN=0 oder PIN=1";
            return std::nullopt;
        }
        const auto pin = signalpin(teil.substr(0, gleich));
        if (!pin) {
            fehler = keinPin(teil.substr(0, gleich));
            return std::nullopt;
        }
        if (a.maske & bitVon(*pin)) {
            fehler = "Pin " + std::to_string(*pin) + " steht zweimal im Muster";
            return std::nullopt;
        }
        a.maske |= bitVon(*pin);
        if (stufe == "1") a.wert |= bitVon(*pin);
        if (komma == std::string_view::npos) break;
        rest.remove_prefix(komma + 1);
    }
    return a;
}

std::optional<Auslöser> lesePuls(std::string_view text, std::string& fehler) {
    const auto doppelpunkt = text.find(':');
    const auto grenze = text.find_first_of("<>");
    if (doppelpunkt == std::string_view::npos || grenze == std::string_view::npos ||
        grenze < doppelpunkt) {
        fehler = "„" + std::string(ohneRänder(text)) +
                 "“ ist kein Puls wie 10:hoch<1ms, 10:tief>500us oder 10:hoch>1ms<2ms";
        return std::nullopt;
    }
    const auto pin = signalpin(text.substr(0, doppelpunkt));
    if (!pin) {
        fehler = keinPin(text.substr(0, doppelpunkt));
        return std::nullopt;
    }
    Auslöser a;
    a.art = Auslöser::Art::Pulsbreite;
    a.pin = *pin;
    const std::string_view pegel =
        ohneRänder(text.substr(doppelpunkt + 1, grenze - doppelpunkt - 1));
    if (pegel != "hoch" && pegel != "tief") {
        fehler = "„" + std::string(pegel) + "“ ist kein Pulspegel (hoch oder tief)";
        return std::nullopt;
    }
    a.pulsHoch = pegel == "hoch";
    std::string_view rest = text.substr(grenze);
    while (!rest.empty()) {
        const char zeichen = rest.front();
        rest.remove_prefix(1);
        const auto nächste = rest.find_first_of("<>");
        const std::string_view wert = rest.substr(0, nächste);
        std::uint64_t& ziel = zeichen == '<' ? a.kürzerAlsNs : a.längerAlsNs;
        const auto ns = leseDauerNs(wert);
        if (!ns || *ns == 0 || ziel != 0) {
            fehler = "„" + std::string(ohneRänder(wert)) +
                     (ziel != 0 ? "“ ist eine zweite Grenze derselben Art"
                                : "“ ist keine Pulsbreite wie 1ms, 500us oder 2,5µs");
            return std::nullopt;
        }
        ziel = *ns;
        rest = nächste == std::string_view::npos ? std::string_view{} : rest.substr(nächste);
    }
    if (a.kürzerAlsNs != 0 && a.längerAlsNs >= a.kürzerAlsNs) {
        fehler = "kein Puls ist länger als " + dauerKurz(a.längerAlsNs) + " und kürzer als " +
                 dauerKurz(a.kürzerAlsNs);
        return std::nullopt;
    }
    return a;
}

std::optional<Pegel> lesePins(std::string_view text, std::string& fehler) {
    Pegel pins = 0;
    std::string_view rest = text;
    while (true) {
        const auto komma = rest.find(',');
        const std::string_view teil = rest.substr(0, komma);
        const auto strich = teil.find('-');
        const auto von = signalpin(teil.substr(0, strich));
        const auto bis =
            strich == std::string_view::npos ? von : signalpin(teil.substr(strich + 1));
        if (!von || !bis || *bis < *von) {
            fehler = keinPin(teil) + " und kein Bereich wie 2-9";
            return std::nullopt;
        }
        for (int pin = *von; pin <= *bis; ++pin) pins |= bitVon(pin);
        if (komma == std::string_view::npos) break;
        rest.remove_prefix(komma + 1);
    }
    return pins;
}

std::string text(const Auslöser& a) {
    switch (a.art) {
        case Auslöser::Art::Keiner:
            return {};
        case Auslöser::Art::Flanke:
            return std::to_string(a.pin) + ":" + wort(a.richtung);
        case Auslöser::Art::Muster: {
            std::string t;
            for (int pin = 1; pin <= port::kPinCount; ++pin) {
                if (!(a.maske & bitVon(pin))) continue;
                if (!t.empty()) t += ',';
                t += std::to_string(pin) + ((a.wert & bitVon(pin)) ? "=1" : "=0");
            }
            return t;
        }
        case Auslöser::Art::Pulsbreite: {
            std::string t = std::to_string(a.pin) + (a.pulsHoch ? ":hoch" : ":tief");
            if (a.längerAlsNs) t += ">" + dauerKurz(a.längerAlsNs);
            if (a.kürzerAlsNs) t += "<" + dauerKurz(a.kürzerAlsNs);
            return t;
        }
    }
    return {};
}

}  // namespace dravel::analysator
