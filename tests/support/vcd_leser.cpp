#include "vcd_leser.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <sstream>

namespace dravel::test {
namespace {

struct Kennung {
    std::string name;
    int breite;
};

bool istZahl(const std::string& s) {
    if (s.empty()) return false;
    for (const char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool istPegel(char c) {
    return c == '0' || c == '1' || c == 'x' || c == 'X' || c == 'z' || c == 'Z';
}

// Each register's eight lines ("bereich.D0_..." to "bereich.D7_...") as one
// byte "bereich.D", the way GTKWave's save file groups them: a value at
// every time some line changes, once all eight are known.
void ergaenzeBytes(VcdDatei& datei) {
    std::map<std::string, std::array<std::string, 8>> gruppen;
    for (const std::string& name : datei.namen) {
        const auto punkt = name.rfind('.');
        const std::size_t b = punkt == std::string::npos ? 0 : punkt + 1;
        if (datei.breite[name] != 1 || name.size() < b + 3 || name[b + 2] != '_' ||
            name[b + 1] < '0' || name[b + 1] > '7') {
            continue;
        }
        gruppen[name.substr(0, b + 1)][static_cast<std::size_t>(name[b + 1] - '0')] = name;
    }
    for (const auto& [byte, leitungen] : gruppen) {
        if (std::count(leitungen.begin(), leitungen.end(), std::string()) != 0) continue;
        std::vector<std::uint64_t> zeiten;
        for (const auto& l : leitungen) {
            for (const auto& w : datei.von(l)) zeiten.push_back(w.zeit);
        }
        std::sort(zeiten.begin(), zeiten.end());
        zeiten.erase(std::unique(zeiten.begin(), zeiten.end()), zeiten.end());
        std::vector<VcdÄnderung> werte;
        for (const std::uint64_t zeit : zeiten) {
            std::string wert;
            for (int bit = 7; bit >= 0; --bit)
                wert += datei.wertBei(leitungen[static_cast<std::size_t>(bit)], zeit);
            if (wert.size() == 8 && (werte.empty() || werte.back().wert != wert)) {
                werte.push_back({zeit, wert});
            }
        }
        datei.breite[byte] = 8;
        datei.verlauf[byte] = std::move(werte);
    }
}

}  // namespace

const std::vector<VcdÄnderung>& VcdDatei::von(const std::string& name) const {
    static const std::vector<VcdÄnderung> keine;
    const auto it = verlauf.find(name);
    return it == verlauf.end() ? keine : it->second;
}

std::string VcdDatei::wertBei(const std::string& name, std::uint64_t zeit) const {
    const auto& änderungen = von(name);
    // The last change at or before `zeit`; several at one time: the last wins.
    const auto nach =
        std::upper_bound(änderungen.begin(), änderungen.end(), zeit,
                         [](std::uint64_t z, const VcdÄnderung& ä) { return z < ä.zeit; });
    return nach == änderungen.begin() ? std::string() : std::prev(nach)->wert;
}

std::optional<VcdDatei> leseVcdText(const std::string& text, std::string& fehler) {
    std::istringstream ein(text);
    std::vector<std::string> wörter;
    for (std::string w; ein >> w;) wörter.push_back(w);

    VcdDatei datei;
    std::map<std::string, Kennung> kennungen;
    std::vector<std::string> bereiche;
    bool definiert = false;
    bool zeitGesehen = false;
    std::size_t i = 0;

    auto bisEnde = [&](std::string& inhalt) {
        inhalt.clear();
        while (i < wörter.size() && wörter[i] != "$end") {
            if (!inhalt.empty()) inhalt += ' ';
            inhalt += wörter[i++];
        }
        if (i == wörter.size()) return false;
        ++i;
        return true;
    };
    auto falsch = [&](const std::string& grund) {
        fehler = grund + " (Wort " + std::to_string(i) + ")";
        return std::nullopt;
    };
    auto ändere = [&](const std::string& wert, const std::string& kennung) -> bool {
        const auto it = kennungen.find(kennung);
        if (it == kennungen.end()) return false;
        if (static_cast<int>(wert.size()) != it->second.breite) return false;
        datei.verlauf[it->second.name].push_back({datei.letzteZeit, wert});
        datei.letzteÄnderung = datei.letzteZeit;
        return true;
    };

    while (i < wörter.size()) {
        const std::string wort = wörter[i++];
        std::string inhalt;
        if (!definiert) {
            if (wort == "$date" || wort == "$version" || wort == "$comment" ||
                wort == "$timescale") {
                if (!bisEnde(inhalt)) return falsch("$end fehlt nach " + wort);
                datei.kopf[wort.substr(1)] += inhalt;
            } else if (wort == "$scope") {
                if (!bisEnde(inhalt)) return falsch("$end fehlt nach $scope");
                const auto blank = inhalt.find(' ');
                if (blank == std::string::npos || inhalt.substr(0, blank) != "module" ||
                    inhalt.find(' ', blank + 1) != std::string::npos) {
                    return falsch("falscher $scope: " + inhalt);
                }
                bereiche.push_back(inhalt.substr(blank + 1));
            } else if (wort == "$upscope") {
                if (!bisEnde(inhalt) || !inhalt.empty() || bereiche.empty()) {
                    return falsch("falscher $upscope");
                }
                bereiche.pop_back();
            } else if (wort == "$var") {
                if (!bisEnde(inhalt)) return falsch("$end fehlt nach $var");
                std::istringstream teile(inhalt);
                std::string art, breite, kennung, name, bereich, rest;
                teile >> art >> breite >> kennung >> name;
                teile >> bereich >> rest;
                if (art != "wire" || !istZahl(breite) || kennung.empty() || name.empty() ||
                    !rest.empty()) {
                    return falsch("falsches $var: " + inhalt);
                }
                const int b = std::stoi(breite);
                if (b < 1 || (b > 1 && bereich != "[" + std::to_string(b - 1) + ":0]") ||
                    (b == 1 && !bereich.empty())) {
                    return falsch("Breite passt nicht: " + inhalt);
                }
                if (kennungen.count(kennung)) return falsch("Kennung doppelt: " + kennung);
                std::string voll;
                for (const std::string& t : bereiche) voll += t + ".";
                voll += name;
                if (datei.breite.count(voll)) return falsch("Name doppelt: " + voll);
                kennungen[kennung] = {voll, b};
                datei.namen.push_back(voll);
                datei.breite[voll] = b;
            } else if (wort == "$enddefinitions") {
                if (!bisEnde(inhalt) || !inhalt.empty()) return falsch("falsches $enddefinitions");
                if (!bereiche.empty()) return falsch("$scope nicht geschlossen");
                definiert = true;
            } else {
                return falsch("unbekanntes Wort im Kopf: " + wort);
            }
            continue;
        }
        if (wort[0] == '#') {
            const std::string zahl = wort.substr(1);
            if (!istZahl(zahl)) return falsch("falsche Zeit: " + wort);
            const std::uint64_t zeit = std::stoull(zahl);
            if (zeitGesehen && zeit < datei.letzteZeit) return falsch("Zeit geht zurück: " + wort);
            datei.letzteZeit = zeit;
            zeitGesehen = true;
        } else if (wort == "$dumpvars" || wort == "$end") {
            // Initial values are ordinary changes here.
        } else if (wort[0] == 'b' || wort[0] == 'B') {
            if (!zeitGesehen) return falsch("Änderung vor der ersten Zeit");
            const std::string wert = wort.substr(1);
            for (const char c : wert) {
                if (!istPegel(c)) return falsch("falscher Vektorwert: " + wort);
            }
            if (i == wörter.size() || !ändere(wert, wörter[i++])) {
                return falsch("Vektoränderung ohne passendes Signal: " + wort);
            }
        } else if (istPegel(wort[0])) {
            if (!zeitGesehen) return falsch("Änderung vor der ersten Zeit");
            if (!ändere(wort.substr(0, 1), wort.substr(1))) {
                return falsch("Änderung ohne passendes Signal: " + wort);
            }
        } else {
            return falsch("unbekanntes Wort: " + wort);
        }
    }
    if (!definiert) {
        fehler = "$enddefinitions fehlt";
        return std::nullopt;
    }
    ergaenzeBytes(datei);
    return datei;
}

std::optional<VcdDatei> leseVcdDatei(const std::string& pfad, std::string& fehler) {
    std::ifstream ein(pfad, std::ios::binary);
    if (!ein) {
        fehler = "nicht lesbar: " + pfad;
        return std::nullopt;
    }
    std::ostringstream text;
    text << ein.rdbuf();
    return leseVcdText(text.str(), fehler);
}

}  // namespace dravel::test
