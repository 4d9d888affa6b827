#include "vcd_laden.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "logik/aufnahme_vcd.h"
#include "logik/aufnahmemaschine.h"
#include "port/pin_map.h"
#include "port/system_calls.h"

namespace dravel::analysator {
namespace {

constexpr std::size_t kHöchstensLeitungen = 64;
// Names and quoted text are cut to this many bytes: a file may hold a name
// of megabytes, which would take the drawing or a message box minutes.
constexpr std::size_t kHöchstensZeichen = 60;

// The first `höchstens` bytes of `text`, not splitting a UTF-8 character,
// "…" where something was cut.
std::string gekürzt(std::string_view text, std::size_t höchstens = kHöchstensZeichen) {
    if (text.size() <= höchstens) return std::string(text);
    std::size_t ende = höchstens;
    while (ende > 0 && (static_cast<unsigned char>(text[ende]) & 0xC0) == 0x80) --ende;
    return std::string(text.substr(0, ende)) + "…";
}

// File text quoted in a message: cut, and control characters written as
// escapes so that a newline or tab of the file does not break the message.
std::string zitat(std::string_view text) {
    std::string t;
    for (const char c : gekürzt(text)) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\n') {
            t += "\\n";
        } else if (c == '\t') {
            t += "\\t";
        } else if (b < 0x20 || b == 0x7f) {
            char puffer[8];
            std::snprintf(puffer, sizeof puffer, "\\x%02X", unsigned(b));
            t += puffer;
        } else {
            t += c;
        }
    }
    return "„" + t + "“";
}

// The words of a dump, separated by any white space.
class Wörter {
public:
    explicit Wörter(std::string_view text) : text_(text) {}
    bool nächstes(std::string_view& wort) {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        if (pos_ >= text_.size()) return false;
        const std::size_t anfang = pos_;
        wortAnfang_ = anfang;
        while (pos_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
        wort = text_.substr(anfang, pos_ - anfang);
        return true;
    }
    // The text up to the next "$end", which is consumed.
    bool bisEnde(std::string& inhalt) {
        const std::size_t ende = text_.find("$end", pos_);
        if (ende == std::string_view::npos) return false;
        inhalt = std::string(text_.substr(pos_, ende - pos_));
        pos_ = ende + 4;
        return true;
    }

    // The line (from 1) of the last word read, for a message.
    [[nodiscard]] std::size_t zeile() const {
        const std::size_t bis = std::min(wortAnfang_, text_.size());
        return 1 + std::size_t(std::count(text_.begin(), text_.begin() + long(bis), '\n'));
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t wortAnfang_ = 0;
};

// "1ns", "10 us", "1 ps", ... as femtoseconds per unit, from 1 fs to 100 s;
// 0 for anything else.
std::uint64_t zeiteinheit(std::string text) {
    std::string ohne;
    for (const char c : text) {
        if (!std::isspace(static_cast<unsigned char>(c))) ohne += c;
    }
    std::uint64_t zahl = 0;
    const auto [rest, fehler] = std::from_chars(ohne.data(), ohne.data() + ohne.size(), zahl);
    if (fehler != std::errc() || (zahl != 1 && zahl != 10 && zahl != 100)) return 0;
    const std::string einheit(rest, static_cast<const char*>(ohne.data() + ohne.size()));
    static const std::pair<const char*, std::uint64_t> kEinheiten[] = {
        {"fs", 1},
        {"ps", 1'000},
        {"ns", 1'000'000},
        {"us", 1'000'000'000},
        {"ms", 1'000'000'000'000},
        {"s", 1'000'000'000'000'000},
    };
    for (const auto& [name, fs] : kEinheiten) {
        if (einheit == name) return zahl * fs;
    }
    return 0;
}

// A time stamp in the file's units as nanoseconds, false when it does not
// fit; finer units than 1 ns are rounded down, which keeps the order.
bool inNs(std::uint64_t stempel, std::uint64_t einheitFs, std::uint64_t& ns) {
    constexpr std::uint64_t kFsJeNs = 1'000'000;
    if (einheitFs < kFsJeNs) {
        ns = stempel / (kFsJeNs / einheitFs);
        return true;
    }
    return !__builtin_mul_overflow(stempel, einheitFs / kFsJeNs, &ns);
}

// A capture names its lines "Pin10_nAck"; shown as the window names pins.
std::string anzeigename(const std::string& name) {
    for (int pin = 1; pin <= port::kSignalPinCount; ++pin) {
        if (name == vcdName(pin)) return port::label(port::pin(pin));
    }
    return name;
}

}  // namespace

std::unique_ptr<Aufnahme> ladeVcdText(const std::string& text, std::string& fehler,
                                      std::string* hinweis) {
    Wörter wörter(text);
    std::string_view wort;
    std::uint64_t einheitFs = 0;
    std::vector<Leitung> leitungen;
    std::unordered_map<std::string, int> bitVonKennung;  // one-bit signals kept
    std::unordered_map<std::string, bool> übrige;        // declared, not shown
    const auto kaputt = [&](const std::string& grund) {
        fehler = "Die Datei ist keine lesbare VCD-Datei: Zeile " + std::to_string(wörter.zeile()) +
                 ": " + grund + ".";
        return nullptr;
    };

    std::size_t vektoren = 0, unbestimmt = 0;  // left out, shown low: said in `hinweis`

    // Declarations.
    Aufnahmeangaben angaben;
    bool definiert = false;
    while (!definiert && wörter.nächstes(wort)) {
        std::string inhalt;
        if (wort == "$version") {
            if (!wörter.bisEnde(inhalt)) return kaputt("$version ohne $end");
        } else if (wort == "$timescale") {
            if (!wörter.bisEnde(inhalt)) return kaputt("$timescale ohne $end");
            einheitFs = zeiteinheit(inhalt);
            if (einheitFs == 0)
                return kaputt("Zeiteinheit " + zitat(inhalt) + " nicht unterstützt");
        } else if (wort == "$comment") {
            if (!wörter.bisEnde(inhalt)) return kaputt("$comment ohne $end");
            leseAngaben(inhalt, angaben);
        } else if (wort == "$date" || wort == "$scope" || wort == "$upscope") {
            if (!wörter.bisEnde(inhalt)) return kaputt(std::string(wort) + " ohne $end");
        } else if (wort == "$var") {
            if (!wörter.bisEnde(inhalt)) return kaputt("$var ohne $end");
            std::istringstream teile(inhalt);
            std::string art, breite, kennung, name;
            if (!(teile >> art >> breite >> kennung >> name)) return kaputt("$var unvollständig");
            if (breite == "1" && leitungen.size() < kHöchstensLeitungen &&
                !bitVonKennung.count(kennung)) {
                bitVonKennung[kennung] = int(leitungen.size());
                leitungen.push_back({int(leitungen.size()), gekürzt(anzeigename(name))});
            } else {
                if (breite != "1") ++vektoren;
                übrige[kennung] = true;
            }
        } else if (wort == "$enddefinitions") {
            if (!wörter.bisEnde(inhalt)) return kaputt("$enddefinitions ohne $end");
            definiert = true;
        } else {
            return kaputt("unbekanntes Wort " + zitat(wort) + " im Kopf");
        }
    }
    if (!definiert) return kaputt("der Kopf endet nicht ($enddefinitions fehlt)");
    // Without it the stamps have no unit.
    if (einheitFs == 0) return kaputt("$timescale fehlt");
    if (leitungen.empty()) {
        fehler = "Die Datei enthält keine einzelnen Leitungen.";
        return nullptr;
    }

    // Changes: one per time stamp at which a shown line moved.
    std::vector<Änderung> änderungen;
    Pegel pegel = 0;
    std::uint64_t zeit = 0, letzteZeit = 0;
    bool zeitGesehen = false, offen = false;  // `offen`: a time stamp awaits its change
    const auto schließeZeit = [&] {
        if (offen && (änderungen.empty() || änderungen.back().pegel != pegel)) {
            änderungen.push_back({zeit, pegel});
        }
        offen = false;
    };
    while (wörter.nächstes(wort)) {
        const char c = wort[0];
        if (c == '#') {
            std::uint64_t t = 0;
            const auto [rest, f] = std::from_chars(wort.data() + 1, wort.data() + wort.size(), t);
            if (f != std::errc() || rest != wort.data() + wort.size() || wort.size() == 1) {
                return kaputt("Zeitangabe " + zitat(wort));
            }
            if (!inNs(t, einheitFs, t)) {
                return kaputt("Zeitangabe " + zitat(wort) +
                              " zu groß (über 584 Jahre in Nanosekunden)");
            }
            if (zeitGesehen && t < zeit) return kaputt("die Zeit läuft rückwärts");
            schließeZeit();
            zeit = t;
            letzteZeit = t;
            zeitGesehen = true;
        } else if (c == '0' || c == '1' || c == 'x' || c == 'X' || c == 'z' || c == 'Z') {
            const std::string kennung(wort.substr(1));
            const auto bit = bitVonKennung.find(kennung);
            if (bit == bitVonKennung.end()) {
                if (!übrige.count(kennung)) return kaputt("unbekanntes Signal " + zitat(kennung));
                continue;
            }
            // Unknown and high impedance are shown low, and counted to say so.
            if (c != '0' && c != '1') ++unbestimmt;
            if (c == '1')
                pegel |= bitVon(bit->second);
            else
                pegel &= ~bitVon(bit->second);
            offen = true;
        } else if (c == 'b' || c == 'B' || c == 'r' || c == 'R') {
            std::string_view kennung;
            if (!wörter.nächstes(kennung)) return kaputt("Wert ohne Signal");
            if (!übrige.count(std::string(kennung)) && !bitVonKennung.count(std::string(kennung))) {
                return kaputt("unbekanntes Signal " + zitat(kennung));
            }
        } else if (wort == "$dumpvars" || wort == "$dumpall" || wort == "$dumpon" ||
                   wort == "$dumpoff" || wort == "$end") {
            // Only brackets around values.
        } else if (wort == "$comment") {
            std::string inhalt;
            if (!wörter.bisEnde(inhalt)) return kaputt("$comment ohne $end");
        } else {
            return kaputt("unbekanntes Wort " + zitat(wort));
        }
    }
    schließeZeit();
    if (hinweis) {
        // How a capture ended, where its file says so, then what is not
        // shown as the file holds it.
        std::vector<std::string> teile;
        if (angaben.ende) teile.emplace_back(endeText(*angaben.ende));
        if (unbestimmt > 0) {
            teile.push_back(std::to_string(unbestimmt) + (unbestimmt == 1
                                                              ? " Wert x/z als tief gezeigt"
                                                              : " Werte x/z als tief gezeigt"));
        }
        if (vektoren > 0) {
            teile.push_back(std::to_string(vektoren) +
                            (vektoren == 1 ? " Vektor ausgelassen" : " Vektoren ausgelassen"));
        }
        hinweis->clear();
        for (const std::string& teil : teile) *hinweis += (hinweis->empty() ? "" : "; ") + teil;
    }
    // A capture stopped before its trigger has no levels, and says why.
    if (änderungen.empty() && angaben.aufnahme) {
        auto leer = std::make_unique<Aufnahme>(std::move(leitungen), 0);
        leer->beende(angaben.ende.value_or(Ende::Leer));
        return leer;
    }
    if (änderungen.empty()) {
        fehler = "Die Datei enthält keine Pegel.";
        return nullptr;
    }
    auto aufnahme = std::make_unique<Aufnahme>(std::move(leitungen),
                                               änderungen.size() * Aufnahme::kBytesJeÄnderung);
    for (const Änderung& ä : änderungen) aufnahme->hänge(ä.zeitNs, ä.pegel);
    aufnahme->setzeBisNs(letzteZeit);
    aufnahme->beende(angaben.ende.value_or(Ende::Dauer));
    // The trigger of a capture, else the file's own time 0.
    aufnahme->nullpunktNs = angaben.auslöserNs.value_or(0);
    aufnahme->dekoder = angaben.dekoder;
    return aufnahme;
}

std::unique_ptr<Aufnahme> ladeVcd(const std::string& pfad, std::string& fehler,
                                  std::string* hinweis) {
    // O_NONBLOCK: a pipe without a writer must not hold the window.
    const int fd = ::open(pfad.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    const int art = fd < 0 || ::fstat(fd, &info) != 0 ? errno
                    : S_ISDIR(info.st_mode)           ? EISDIR
                    : !S_ISREG(info.st_mode)          ? ESPIPE
                                                      : 0;
    std::string inhalt;
    int lesefehler = art;
    if (art == 0) {
        char puffer[1 << 16];
        ssize_t n;
        while ((n = ::read(fd, puffer, sizeof puffer)) > 0 || (n < 0 && errno == EINTR)) {
            if (n > 0) inhalt.append(puffer, static_cast<std::size_t>(n));
        }
        if (n < 0) lesefehler = errno;
    }
    if (fd >= 0) ::close(fd);
    if (lesefehler != 0) {
        fehler = "„" + pfad + "“ lässt sich nicht öffnen: " + port::errnoText(lesefehler) + ".";
        return nullptr;
    }
    return ladeVcdText(inhalt, fehler, hinweis);
}

}  // namespace dravel::analysator
