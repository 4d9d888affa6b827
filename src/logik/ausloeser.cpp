#include "ausloeser.h"

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
            return bitVon(pin);
        case Art::Muster:
            return maske;
        case Art::Keiner:
            break;
    }
    return 0;
}

bool löstAus(const Auslöser& a, Pegel vorher, Pegel jetzt, bool erste) {
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
    }
    return {};
}

}  // namespace dravel::analysator
