#include "vcd_laden.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>
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

// The words of a dump, separated by any white space, from text in memory or
// from a file read in pieces of kStück bytes.
class Wörter {
public:
    // Longer words (a name of megabytes) keep their start; what a dump needs
    // is far shorter. Text up to "$end" is cut likewise.
    static constexpr std::size_t kHöchstensWort = 4096;
    static constexpr std::size_t kHöchstensInhalt = 64 * 1024;
    static constexpr std::size_t kStück = 1 << 20;

    explicit Wörter(std::string_view text)
        : pos_(text.data()), ende_(text.data() + text.size()), amEnde_(true) {}
    Wörter(int fd, std::uint64_t gesamt, const Ladefortschritt* fortschritt)
        : fd_(fd), gesamt_(gesamt), fortschritt_(fortschritt), puffer_(kStück + kHöchstensWort) {
        pos_ = ende_ = puffer_.data();
    }

    bool nächstes(std::string_view& wort) {
        for (;;) {
            while (pos_ < ende_ && leer(*pos_)) zeile_ += *pos_++ == '\n';
            if (pos_ < ende_) break;
            const char* nichts = pos_;
            if (!lies(nichts)) return false;
        }
        wortZeile_ = zeile_;
        const char* anfang = pos_;
        for (;;) {
            while (pos_ < ende_ && !leer(*pos_)) ++pos_;
            if (pos_ < ende_ || amEnde_) break;
            if (std::size_t(pos_ - anfang) >= kHöchstensWort) {
                lang_.assign(anfang, kHöchstensWort);
                while (pos_ == ende_) {
                    const char* nichts = pos_;
                    if (!lies(nichts)) break;
                    while (pos_ < ende_ && !leer(*pos_)) ++pos_;
                }
                wort = lang_;
                return !abgebrochen_;
            }
            if (!lies(anfang)) break;
        }
        wort = std::string_view(anfang, std::size_t(pos_ - anfang));
        return !abgebrochen_;
    }

    // The text up to the next "$end", which is consumed.
    bool bisEnde(std::string& inhalt) {
        inhalt.clear();
        for (;;) {
            const std::string_view rest(pos_, std::size_t(ende_ - pos_));
            const std::size_t fund = rest.find("$end");
            // Without a find, the last three bytes may start the "$end" of the next piece.
            const std::size_t bis = fund != std::string_view::npos ? fund
                                    : rest.size() > 3              ? rest.size() - 3
                                                                   : 0;
            if (inhalt.size() < kHöchstensInhalt)
                inhalt.append(pos_, std::min(bis, kHöchstensInhalt - inhalt.size()));
            zeile_ += std::size_t(std::count(pos_, pos_ + bis, '\n'));
            pos_ += bis;
            if (fund != std::string_view::npos) {
                pos_ += 4;
                return true;
            }
            const char* behalte = pos_;
            if (!lies(behalte)) return false;
        }
    }

    // The line (from 1) of the last word read, for a message.
    [[nodiscard]] std::size_t zeile() const { return wortZeile_; }
    [[nodiscard]] bool abgebrochen() const { return abgebrochen_; }
    [[nodiscard]] int lesefehler() const { return lesefehler_; }

private:
    static bool leer(char c) { return kLeer[static_cast<unsigned char>(c)]; }
    static constexpr auto kLeer = [] {
        std::array<bool, 256> t{};
        for (const char c : {' ', '\n', '\t', '\r', '\v', '\f'})
            t[static_cast<unsigned char>(c)] = true;
        return t;
    }();

    // Moves [behalte, end of the piece) to the buffer's start and reads the
    // next piece behind it; `behalte` then points to the buffer's start.
    // False at the end of the file, on a read error or when cancelled.
    bool lies(const char*& behalte) {
        if (amEnde_) return false;
        if (fortschritt_ && fortschritt_->abbrechen &&
            fortschritt_->abbrechen->load(std::memory_order_relaxed)) {
            abgebrochen_ = amEnde_ = true;
            return false;
        }
        const std::size_t behalten = std::size_t(ende_ - behalte);
        const std::size_t woPos = std::size_t(pos_ - behalte);
        std::memmove(puffer_.data(), behalte, behalten);
        // Whole pieces behind the word carried over, up to the size the file
        // had when opened: one that grows meanwhile ends there.
        const std::size_t platz = std::size_t(std::min<std::uint64_t>(kStück, gesamt_ - gelesen_));
        ssize_t n = 0;
        do {
            if (platz > 0) n = ::read(fd_, puffer_.data() + behalten, platz);
        } while (n < 0 && errno == EINTR);
        if (n < 0) lesefehler_ = errno;
        behalte = puffer_.data();
        pos_ = behalte + woPos;
        ende_ = behalte + behalten + (n > 0 ? n : 0);
        if (n <= 0) {
            amEnde_ = true;
            return false;
        }
        gelesen_ += std::uint64_t(n);
        if (fortschritt_ && fortschritt_->melde) fortschritt_->melde(gelesen_, gesamt_);
        return true;
    }

    int fd_ = -1;
    std::uint64_t gesamt_ = 0, gelesen_ = 0;
    const Ladefortschritt* fortschritt_ = nullptr;
    std::vector<char> puffer_;
    std::string lang_;  // a word cut to kHöchstensWort
    const char* pos_ = nullptr;
    const char* ende_ = nullptr;
    bool amEnde_ = false, abgebrochen_ = false;
    int lesefehler_ = 0;
    std::size_t zeile_ = 1, wortZeile_ = 1;
};

// Signals by their identifier: the short ones VCD writers give (one or two
// printable characters) in a table, for the value lines' speed.
class Kennungen {
public:
    Kennungen() : kurz_(kKurz, -1) {}
    [[nodiscard]] int finde(std::string_view k) const {
        const int i = index(k);
        if (i >= 0) return kurz_[std::size_t(i)];
        if (k.size() > Wörter::kHöchstensWort) return -1;
        const auto it = lang_.find(std::string(k));
        return it == lang_.end() ? -1 : it->second;
    }
    void füge(std::string_view k, int signal) {
        const int i = index(k);
        if (i >= 0) {
            kurz_[std::size_t(i)] = signal;
        } else {
            lang_.emplace(std::string(k), signal);
        }
    }

private:
    static constexpr int kZeichen = 94;  // '!' .. '~'
    static constexpr std::size_t kKurz = kZeichen + kZeichen * kZeichen;
    static int zeichen(char c) { return c >= '!' && c <= '~' ? c - '!' : -1; }
    static int index(std::string_view k) {
        if (k.size() == 1) return zeichen(k[0]);
        if (k.size() == 2 && zeichen(k[0]) >= 0 && zeichen(k[1]) >= 0)
            return kZeichen + zeichen(k[0]) * kZeichen + zeichen(k[1]);
        return -1;
    }
    std::vector<int> kurz_;
    std::unordered_map<std::string, int> lang_;
};

// What a declared signal becomes.
struct Signal {
    enum class Art : std::uint8_t { Leitungen, Lücke, Aus };
    Art art = Art::Aus;
    int breite = 1;
    int bit = 0;  // Pegel bit of its first (most significant) line
};

// A digit of a value: 0 low, 1 high, 2 unknown (x, z), -1 none. VHDL's
// std_logic adds weak L and H, and U, W and - for no level known.
inline int ziffer(char c) {
    static constexpr auto kZiffern = [] {
        std::array<signed char, 256> t{};
        t.fill(-1);
        for (const char u : {'0', 'l', 'L'}) t[static_cast<unsigned char>(u)] = 0;
        for (const char u : {'1', 'h', 'H'}) t[static_cast<unsigned char>(u)] = 1;
        for (const char u : {'x', 'X', 'z', 'Z', 'u', 'U', 'w', 'W', '-'}) {
            t[static_cast<unsigned char>(u)] = 2;
        }
        return t;
    }();
    return kZiffern[static_cast<unsigned char>(c)];
}

// Digits only, as a number; false for anything else or one too large.
// (Here rather than std::from_chars, which takes a fifth of a load.)
bool dezimal(std::string_view text, std::uint64_t& zahl) {
    if (text.empty()) return false;
    zahl = 0;
    // Up to 19 digits fit whatever they are.
    for (const char c : text.substr(0, 19)) {
        const unsigned d = unsigned(c) - '0';
        if (d > 9) return false;
        zahl = zahl * 10 + d;
    }
    for (const char c : text.substr(std::min<std::size_t>(19, text.size()))) {
        const unsigned d = unsigned(c) - '0';
        if (d > 9 || __builtin_mul_overflow(zahl, 10u, &zahl) ||
            __builtin_add_overflow(zahl, d, &zahl))
            return false;
    }
    return true;
}

// "[7:0]" as its first and last index; false for anything else.
bool bereich(std::string_view text, long& erster, long& letzter) {
    if (text.size() < 5 || text.front() != '[' || text.back() != ']') return false;
    const char* p = text.data() + 1;
    const char* ende = text.data() + text.size() - 1;
    auto [nach, f] = std::from_chars(p, ende, erster);
    if (f != std::errc() || nach == ende || *nach != ':') return false;
    auto [rest, g] = std::from_chars(nach + 1, ende, letzter);
    return g == std::errc() && rest == ende;
}
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

std::unique_ptr<Aufnahme> lade(Wörter& wörter, std::uint64_t größe, std::string& fehler,
                               std::string* hinweis) {
    std::string_view wort;
    std::uint64_t einheitFs = 0;
    std::vector<Leitung> leitungen;
    std::vector<Bus> busse;
    std::vector<Signal> signale;
    Kennungen kennungen;
    // A file that ends early for a cancel or a read error is not at fault.
    const auto kaputt = [&](const std::string& grund) {
        if (wörter.abgebrochen()) {
            fehler = kLadenAbgebrochen;
        } else if (wörter.lesefehler() != 0) {
            fehler = "Die Datei lässt sich nicht zu Ende lesen: " +
                     port::errnoText(wörter.lesefehler()) + ".";
        } else {
            fehler = "Die Datei ist keine lesbare VCD-Datei: Zeile " +
                     std::to_string(wörter.zeile()) + ": " + grund + ".";
        }
        return nullptr;
    };

    // Left out, and said in `hinweis`.
    std::size_t ausgelassen = 0, reelle = 0;

    // Declarations.
    Aufnahmeangaben angaben;
    bool definiert = false;
    std::string inhalt;
    while (!definiert && wörter.nächstes(wort)) {
        if (wort.size() > 1 && wort[0] == '$' && wort != "$var" && wort != "$timescale" &&
            wort != "$comment" && wort != "$enddefinitions") {
            // $version, $date, $scope, $upscope and those of other writers.
            const std::string schlüsselwort = zitat(wort);  // reading on may move the word
            if (!wörter.bisEnde(inhalt)) return kaputt(schlüsselwort + " ohne $end");
        } else if (wort == "$timescale") {
            if (!wörter.bisEnde(inhalt)) return kaputt("$timescale ohne $end");
            einheitFs = zeiteinheit(inhalt);
            if (einheitFs == 0)
                return kaputt("Zeiteinheit " + zitat(inhalt) + " nicht unterstützt");
        } else if (wort == "$comment") {
            if (!wörter.bisEnde(inhalt)) return kaputt("$comment ohne $end");
            leseAngaben(inhalt, angaben);
        } else if (wort == "$var") {
            if (!wörter.bisEnde(inhalt)) return kaputt("$var ohne $end");
            std::istringstream teile(inhalt);
            std::string art, breiteText, kennung, name, zusatz;
            if (!(teile >> art >> breiteText >> kennung >> name))
                return kaputt("$var unvollständig");
            teile >> zusatz;  // "[7:0]", where not part of the name
            int breite = 0;
            const auto [nach, f] =
                std::from_chars(breiteText.data(), breiteText.data() + breiteText.size(), breite);
            if (f != std::errc() || nach != breiteText.data() + breiteText.size() || breite < 1)
                return kaputt("$var mit Breite " + zitat(breiteText));
            if (kennungen.finde(kennung) >= 0) continue;  // another name of a signal declared
            Signal signal;
            signal.breite = breite;
            long erster = breite - 1, letzter = 0;
            const std::size_t klammer = name.rfind('[');
            if (breite > 1 && bereich(zusatz, erster, letzter)) {
                // "data [7:0]"
            } else if (breite > 1 && klammer != std::string::npos &&
                       bereich(std::string_view(name).substr(klammer), erster, letzter)) {
                name.erase(klammer);  // "data[7:0]"
            } else {
                erster = breite - 1, letzter = 0;
                if (zusatz.starts_with('[')) name += zusatz;  // "a [3]": a bit of a vector
            }
            if (art == "real" || art == "realtime" || art == "string") {
                ++reelle;
            } else if (breite == 1 && name == kLückenleitung) {
                signal.art = Signal::Art::Lücke;
            } else if (ausgelassen > 0 ||
                       leitungen.size() + std::size_t(breite) > kHöchstensLeitungen) {
                // The first 64 lines are kept, a vector whole or not at all.
                ausgelassen += std::size_t(breite);
            } else {
                signal.art = Signal::Art::Leitungen;
                signal.bit = int(leitungen.size());
                if (breite == 1) {
                    leitungen.push_back({signal.bit, gekürzt(anzeigename(name)), -1});
                } else {
                    Bus bus{gekürzt(name), {}};
                    const long schritt = letzter >= erster ? 1 : -1;
                    for (int i = 0; i < breite; ++i) {
                        const int bit = signal.bit + i;
                        bus.bits.push_back(bit);
                        leitungen.push_back(
                            {bit, bus.name + "[" + std::to_string(erster + i * schritt) + "]",
                             int(busse.size())});
                    }
                    busse.push_back(std::move(bus));
                }
            }
            kennungen.füge(kennung, int(signale.size()));
            signale.push_back(signal);
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
        fehler = "Die Datei enthält keine Leitungen.";
        return nullptr;
    }

    // Changes, one per time stamp at which a shown line moved, straight
    // into the recording: a change in the file takes at least 4 bytes.
    auto aufnahme = std::make_unique<Aufnahme>(std::move(leitungen),
                                               (größe / 4 + 1) * Aufnahme::kBytesJeÄnderung);
    aufnahme->busse = std::move(busse);
    Pegel pegel = 0, unbekannt = 0, gemeldetUnbekannt = 0, gehängtPegel = 0;
    bool gehängt = false;
    std::uint64_t zeit = 0;
    std::uint64_t lückeSeit = 0;
    bool inLücke = false;                     // the gap wire is 1 since lückeSeit
    bool zeitGesehen = false, offen = false;  // `offen`: a time stamp awaits its change
    bool voll = false;                        // memory ran out: what fit is shown
    const auto schließeZeit = [&] {
        if (!offen) return;
        if (!gehängt || pegel != gehängtPegel) {
            voll = !aufnahme->hänge(zeit, pegel);
            gehängt = true;
            gehängtPegel = pegel;
        }
        if (unbekannt != gemeldetUnbekannt) {
            aufnahme->hängeUnbekannt(zeit, unbekannt);
            gemeldetUnbekannt = unbekannt;
        }
        offen = false;
    };
    // A value of a signal's lines, most significant digit first; shorter
    // than the signal, it is extended to the left with 0, or with its first
    // digit where that is x or z.
    const auto setze = [&](const Signal& s, std::string_view ziffern) {
        if (ziffern.size() > std::size_t(s.breite))
            ziffern.remove_prefix(ziffern.size() - std::size_t(s.breite));
        const int füll = ziffer(ziffern[0]) == 2 ? 2 : 0;
        const int fehlt = s.breite - int(ziffern.size());
        for (int i = 0; i < s.breite; ++i) {
            const int z = i < fehlt ? füll : ziffer(ziffern[std::size_t(i - fehlt)]);
            const Pegel b = bitVon(s.bit + i);
            // Unknown keeps the level it had: the line is drawn as unknown.
            if (z == 2) {
                unbekannt |= b;
            } else {
                unbekannt &= ~b;
                pegel = z == 1 ? pegel | b : pegel & ~b;
            }
        }
        offen = true;
    };
    const auto gültig = [](std::string_view ziffern) {
        return !ziffern.empty() &&
               std::all_of(ziffern.begin(), ziffern.end(), [](char c) { return ziffer(c) >= 0; });
    };
    std::string wert;  // of a vector
    while (!voll && wörter.nächstes(wort)) {
        const char c = wort[0];
        if (c == '#') {
            std::uint64_t t = 0;
            if (!dezimal(wort.substr(1), t)) return kaputt("Zeitangabe " + zitat(wort));
            if (!inNs(t, einheitFs, t)) {
                return kaputt("Zeitangabe " + zitat(wort) +
                              " zu groß (über 584 Jahre in Nanosekunden)");
            }
            if (zeitGesehen && t < zeit) return kaputt("die Zeit läuft rückwärts");
            schließeZeit();
            zeit = t;
            zeitGesehen = true;
        } else if (ziffer(c) >= 0 || c == 'b' || c == 'B' || c == 'r' || c == 'R') {
            const bool skalar = ziffer(c) >= 0;
            std::string_view kennung = wort.substr(1), ziffern = wort.substr(0, 1);
            if (!skalar) {
                // Kept aside: reading the identifier may read on and move the piece.
                wert.assign(wort.substr(1));
                ziffern = wert;
                if (!wörter.nächstes(kennung)) return kaputt("Wert ohne Signal");
            }
            const int i = kennungen.finde(kennung);
            if (i < 0) return kaputt("unbekanntes Signal " + zitat(kennung));
            const Signal& s = signale[std::size_t(i)];
            if (s.art == Signal::Art::Aus || c == 'r' || c == 'R') continue;
            if (!gültig(ziffern)) return kaputt("Wert " + zitat(ziffern));
            if (s.art == Signal::Art::Leitungen) {
                setze(s, ziffern);
            } else if (const int z = ziffer(ziffern.back()); z == 1 && !inLücke) {
                lückeSeit = zeit;
                inLücke = true;
            } else if (z == 0 && inLücke) {
                aufnahme->hängeLücke({lückeSeit, zeit});
                inLücke = false;
            }
        } else if (wort == "$dumpvars" || wort == "$dumpall" || wort == "$dumpon" ||
                   wort == "$dumpoff" || wort == "$end") {
            // Only brackets around values.
        } else if (wort == "$comment") {
            if (!wörter.bisEnde(inhalt)) return kaputt("$comment ohne $end");
        } else {
            return kaputt("unbekanntes Wort " + zitat(wort));
        }
    }
    if (wörter.abgebrochen() || wörter.lesefehler() != 0) return kaputt("");
    schließeZeit();
    if (inLücke) aufnahme->hängeLücke({lückeSeit, zeit});
    if (hinweis) {
        // How a capture ended, where its file says so, then what of the file is not shown.
        std::vector<std::string> teile;
        if (angaben.ende) teile.emplace_back(endeText(*angaben.ende));
        if (ausgelassen > 0) {
            teile.push_back(std::to_string(ausgelassen) +
                            (ausgelassen == 1 ? " Leitung" : " Leitungen") +
                            " ausgelassen (mehr als " + std::to_string(kHöchstensLeitungen) + ")");
        }
        if (reelle > 0) {
            teile.push_back(std::to_string(reelle) + (reelle == 1
                                                          ? " reelle Variable ausgelassen"
                                                          : " reelle Variablen ausgelassen"));
        }
        if (voll) {
            teile.push_back("Speicher voll: nur die ersten " + std::to_string(aufnahme->anzahl()) +
                            " Änderungen geladen");
        }
        hinweis->clear();
        for (const std::string& teil : teile) *hinweis += (hinweis->empty() ? "" : "; ") + teil;
    }
    // A capture stopped before its trigger has no levels, and says why.
    if (aufnahme->anzahl() == 0 && !angaben.aufnahme) {
        fehler = "Die Datei enthält keine Pegel.";
        return nullptr;
    }
    aufnahme->setzeBisNs(zeit);
    aufnahme->beende(angaben.ende.value_or(aufnahme->anzahl() == 0 ? Ende::Leer : Ende::Dauer));
    // The trigger of a capture, else the file's own time 0.
    if (aufnahme->anzahl() > 0) aufnahme->nullpunktNs = angaben.auslöserNs.value_or(0);
    if (angaben.auflösungNs) aufnahme->setzeAuflösungNs(*angaben.auflösungNs);
    aufnahme->dekoder = angaben.dekoder;
    return aufnahme;
}

}  // namespace

std::unique_ptr<Aufnahme> ladeVcdText(const std::string& text, std::string& fehler,
                                      std::string* hinweis) {
    Wörter wörter(text);
    return lade(wörter, text.size(), fehler, hinweis);
}

std::unique_ptr<Aufnahme> ladeVcd(const std::string& pfad, std::string& fehler,
                                  std::string* hinweis, const Ladefortschritt* fortschritt) {
    // O_NONBLOCK: a pipe without a writer must not hold the window.
    const int fd = ::open(pfad.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    const int art = fd < 0 || ::fstat(fd, &info) != 0 ? errno
                    : S_ISDIR(info.st_mode)           ? EISDIR
                    : !S_ISREG(info.st_mode)          ? ESPIPE
                                                      : 0;
    if (art != 0) {
        if (fd >= 0) ::close(fd);
        fehler = "„" + pfad + "“ lässt sich nicht öffnen: " + port::errnoText(art) + ".";
        return nullptr;
    }
    Wörter wörter(fd, std::uint64_t(info.st_size), fortschritt);
    auto aufnahme = lade(wörter, std::uint64_t(info.st_size), fehler, hinweis);
    ::close(fd);
    return aufnahme;
}

}  // namespace dravel::analysator
