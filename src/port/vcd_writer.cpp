#include "vcd_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <utility>

#include "legacy_bases.h"
#include "system_calls.h"

namespace dravel::port {
namespace {

// Identifier codes are the printable ASCII characters '!' to '~'.
constexpr int kErstesZeichen = 33;
constexpr int kZeichenzahl = 94;

// Appends the identifier code of signal `nummer`: its digits in base 94,
// least significant first. In place, so that the writer's hot path does not
// allocate.
void kennzeichenAnhängen(std::string& ziel, std::size_t nummer) {
    do {
        ziel += static_cast<char>(kErstesZeichen + nummer % kZeichenzahl);
        nummer /= kZeichenzahl;
    } while (nummer != 0);
}
// Formatted text is written once it reaches this size, so even the longest
// session writes in large blocks and holds little in memory.
constexpr std::size_t kBlockgröße = 1 << 20;

std::string hex(std::uint16_t wert, int stellen) {
    char puffer[8];
    std::snprintf(puffer, sizeof puffer, "%0*X", stellen, static_cast<unsigned>(wert));
    return puffer;
}

// GTKWave's loader takes a byte above 127 anywhere in the header for the
// start of an identifier and refuses the whole file, so every header text
// goes in as ASCII: German letters spelled out, anything else as '_'.
std::string nurAscii(const std::string& text) {
    static const std::pair<const char*, const char*> kUmschrift[] = {
        {"ä", "ae"}, {"ö", "oe"}, {"ü", "ue"}, {"Ä", "Ae"}, {"Ö", "Oe"},
        {"Ü", "Ue"}, {"ß", "ss"}, {"µ", "u"},  {"„", "\""}, {"“", "\""},
    };
    std::string t;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            t += (c < 0x20 && c != '\t') || c == 0x7f ? ' ' : char(c);
            ++i;
            continue;
        }
        bool umschrieben = false;
        for (const auto& [utf8, ascii] : kUmschrift) {
            if (text.compare(i, std::strlen(utf8), utf8) == 0) {
                t += ascii;
                i += std::strlen(utf8);
                umschrieben = true;
                break;
            }
        }
        if (umschrieben) continue;
        t += '_';
        // The rest of a UTF-8 sequence is one character.
        for (++i; i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;) ++i;
    }
    return t;
}

}  // namespace

std::vector<std::uint16_t> standardbasen() {
    return {kLegacyBases.begin(), kLegacyBases.end()};
}

Registername registername(std::uint16_t port, const std::vector<std::uint16_t>& basen) {
    for (const std::uint16_t basis : basen) {
        const auto abstand = static_cast<std::uint16_t>(port - basis);
        if (abstand == 0) return {"daten_0x" + hex(port, 3), 'D', "Daten 0x" + hex(port, 3)};
        if (abstand == 1) return {"status_0x" + hex(port, 3), 'S', "Status 0x" + hex(port, 3)};
        if (abstand == 2) return {"steuer_0x" + hex(port, 3), 'C', "Control 0x" + hex(port, 3)};
    }
    return {"port_0x" + hex(port, 4), 'P', "Port 0x" + hex(port, 4)};
}

std::unique_ptr<VcdWriter> VcdWriter::erzeuge(const std::string& pfad, Kopf kopf,
                                              std::vector<std::uint16_t> basen, std::string& fehler,
                                              std::size_t kopfbereich) {
    auto datei = SorgfältigeDatei::öffne(pfad, fehler);
    if (!datei) return nullptr;
    return erzeuge(std::move(datei), std::move(kopf), std::move(basen), fehler, kopfbereich);
}

std::unique_ptr<VcdWriter> VcdWriter::erzeuge(std::unique_ptr<SorgfältigeDatei> datei, Kopf kopf,
                                              std::vector<std::uint16_t> basen, std::string& fehler,
                                              std::size_t kopfbereich) {
    if (datei->ersetzt() && !datei->leere()) {
        fehler = errnoText(errno);
        datei->verwirf();
        return nullptr;
    }
    std::unique_ptr<VcdWriter> schreiber(
        new VcdWriter(std::move(datei), std::move(kopf), std::move(basen), kopfbereich));
    if (!schreiber->schreibeAus()) {
        fehler = schreiber->fehler();
        schreiber->räumeAngefangenesWeg();
        return nullptr;
    }
    return schreiber;
}

VcdWriter::VcdWriter(std::unique_ptr<SorgfältigeDatei> datei, Kopf kopf,
                     std::vector<std::uint16_t> basen, std::size_t kopfbereich)
    : datei_(std::move(datei)),
      fd_(datei_->fd()),
      pfad_(datei_->pfad()),
      kopf_(std::move(kopf)),
      basen_(std::move(basen)),
      kopfbereich_(std::max<std::size_t>(kopfbereich, 1024)),
      ende_(static_cast<long long>(kopfbereich_)),
      index_(2 * 65536, -1),
      kopfGeändert_(true),
      ersetzt_(datei_->ersetzt()),
      sicherungspfad_(gtkwaveSicherungspfad(pfad_)) {
    // The time line starts with the program, not with the first access.
    text_ = "#0\n";
    zeitzeileImText_ = 0;
    zeitGeschrieben_ = true;
}

void VcdWriter::räumeAngefangenesWeg() {
    // A trace that could not even start is of no use, and its file holds
    // what the failed writes left (blanks, zero bytes). A file of this
    // program goes; one that was here before is left empty, its name is
    // someone else's. A save file made for it goes with it.
    datei_->verwirf();
    if (sicherungAngelegt_) ::unlink(sicherungspfad_.c_str());
    fd_ = -1;
}

VcdWriter::~VcdWriter() = default;

void VcdWriter::setzeKommentar(std::vector<std::string> zeilen) {
    kopf_.kommentar = std::move(zeilen);
    kopfGeändert_ = true;
}

std::string VcdWriter::sicherungsmeldung() const {
    if (sicherungsfehler_.empty()) return {};
    return "GTKWave-Datei „" + sicherungspfad_ + "“ wird nicht geschrieben: " + sicherungsfehler_ +
           ".";
}

void VcdWriter::nenneBackend(const std::string& backend) {
    // Bounded so that the header always fits its area.
    const std::string name = backend.substr(0, 200);
    if (name == kopf_.backend) return;
    kopf_.backend = name;
    kopfGeändert_ = true;
}

std::string signalname(const Registername& name, bool gelesen, int bit) {
    // Unique across registers and directions: sigrok ignores scopes.
    const std::string adresse = name.bereich.substr(name.bereich.rfind('_') + 1);
    return name.buchstabe + std::to_string(bit) + (gelesen ? "_gelesen_" : "_geschrieben_") +
           adresse;
}

std::string gtkwaveSicherungspfad(const std::string& vcdPfad) {
    const std::string endung = ".vcd";
    if (vcdPfad.size() > endung.size() &&
        vcdPfad.compare(vcdPfad.size() - endung.size(), endung.size(), endung) == 0) {
        return vcdPfad.substr(0, vcdPfad.size() - endung.size()) + ".gtkw";
    }
    return vcdPfad + ".gtkw";
}

std::string VcdWriter::kennzeichen(std::size_t nummer) {
    std::string k;
    kennzeichenAnhängen(k, nummer);
    return k;
}

std::vector<const VcdWriter::Signal*> VcdWriter::geordnet(const std::vector<Signal>& signale,
                                                          bool gelesen) {
    std::vector<const Signal*> gruppe;
    for (const Signal& s : signale) {
        if (s.gelesen == gelesen) gruppe.push_back(&s);
    }
    std::sort(gruppe.begin(), gruppe.end(),
              [](const Signal* a, const Signal* b) { return a->port < b->port; });
    return gruppe;
}

std::string VcdWriter::kopftext(const std::vector<Signal>& signale) const {
    std::string t;
    t += "$date\n\t" + nurAscii(kopf_.datum) + "\n$end\n";
    t += "$version\n\t" + nurAscii(kopf_.version) + "\n$end\n";
    t += "$comment\n\tBackend: " + nurAscii(kopf_.backend) + "\n";
    if (kopf_.kommentar.empty()) {
        t += "\tZeit: Nanosekunden seit Programmstart, monotone Uhr"
             "\n\tsigrok/PulseView: Import mit downsample=10000 (ein Abtastwert je 10 us)\n";
    }
    for (const std::string& zeile : kopf_.kommentar) t += "\t" + nurAscii(zeile) + "\n";
    t += "$end\n";
    t += "$timescale 1ns $end\n";
    for (const bool gelesen : {false, true}) {
        const auto gruppe = geordnet(signale, gelesen);
        if (gruppe.empty()) continue;
        t += gelesen ? "$scope module gelesen $end\n" : "$scope module geschrieben $end\n";
        for (const Signal* s : gruppe) {
            const Registername name = registername(s->port, basen_);
            t += "$scope module " + name.bereich + " $end\n";
            for (int bit = 0; bit < 8; ++bit) {
                t += "$var wire 1 " +
                     kennzeichen(s->erstesKennzeichen + static_cast<std::size_t>(bit)) + " " +
                     signalname(name, gelesen, bit) + " $end\n";
            }
            t += "$upscope $end\n";
        }
        t += "$upscope $end\n";
    }
    if (!leitungen_.empty()) {
        t += "$scope module " + leitungsbereich_ + " $end\n";
        for (std::size_t i = 0; i < leitungen_.size(); ++i) {
            t += "$var wire 1 " + kennzeichen(i) + " " + leitungen_[i] + " $end\n";
        }
        t += "$upscope $end\n";
    }
    t += "$enddefinitions $end\n";
    return t;
}

std::string VcdWriter::gtkwaveText() const {
    std::string t = leitungen_.empty()
                        ? "[*] Dravel: jedes Register als Byte (hexadezimal), aus seinen acht "
                          "Leitungen\n"
                        : "[*] Dravel: Aufnahme, eine Zeile je Leitung (elektrischer Pegel)\n";
    std::error_code fehler;
    const std::filesystem::path absolut = std::filesystem::absolute(pfad_, fehler);
    t += "[dumpfile] \"" + (fehler ? pfad_ : absolut.string()) + "\"\n";
    t += "[timestart] 0\n";
    t += "[size] " + std::to_string(kGtkwaveBreite) + " 600\n";
    t += "[signals_width] " + std::to_string(kGtkwaveNamenbreite) + "\n";
    t += "[sst_expanded] 0\n";
    // The zoom at which the whole trace so far fits the wave area; GTKWave
    // would open at its own default, a few nanoseconds wide.
    char zoom[64];
    std::snprintf(zoom, sizeof zoom, "*%.6f -1\n", gtkwaveZoom(letzteZeit_));
    t += zoom;
    for (const std::string& name : leitungen_) t += "@28\n" + leitungsbereich_ + "." + name + "\n";
    for (const bool gelesen : {false, true}) {
        const std::string richtung = gelesen ? "gelesen" : "geschrieben";
        for (const Signal* s : geordnet(signale_, gelesen)) {
            const Registername name = registername(s->port, basen_);
            const std::string bereich = richtung + "." + name.bereich + ".";
            // Flags 22: hexadecimal, right-justified. The bits follow most
            // significant first, which makes them one vector, named as the
            // main window names the register.
            t += "@22\n#{" + name.titel + " " + richtung + "}";
            for (int bit = 7; bit >= 0; --bit) t += " " + bereich + signalname(name, gelesen, bit);
            t += "\n";
        }
    }
    return t;
}

double gtkwaveZoom(std::uint64_t dauer) {
    // GTKWave shows 2^-zoom time units per 200 pixels, zoom from -62 to 0;
    // its wave area is the window less the names and the frame.
    const double wellenbreite = kGtkwaveBreite - kGtkwaveNamenbreite - 60;
    const double proBild = 200.0 * static_cast<double>(dauer) / wellenbreite;
    if (proBild <= 1.0) return 0.0;
    return std::max(-62.0, -std::ceil(std::log2(proBild)));
}

void VcdWriter::schreibeGtkwaveSicherung() {
    // A view for GTKWave only: the trace is complete without it, so a
    // failure here is not the recording's failure. Opened as carefully as
    // the trace; once refused, it is left alone for the rest of the session.
    if (!sicherungsfehler_.empty()) return;
    std::string grund;
    const auto datei = SorgfältigeDatei::öffne(sicherungspfad_, grund);
    if (!datei) {
        sicherungsfehler_ = grund;
        return;
    }
    if (!datei->ersetzt()) sicherungAngelegt_ = true;
    if ((datei->ersetzt() && !datei->leere()) || !datei->schreibeGanz(gtkwaveText())) {
        // Half a save file shows GTKWave a wrong view.
        sicherungsfehler_ = errnoText(errno);
        datei->verwirf();
        sicherungAngelegt_ = false;
    }
}

void VcdWriter::hängeKennzeichenAn(std::size_t nummer) {
    kennzeichenAnhängen(text_, nummer);
}

int VcdWriter::signalFür(const TraceEvent& ereignis) {
    int& eintrag = index_[(ereignis.gelesen ? 65536U : 0U) + ereignis.port];
    if (eintrag != -1) return eintrag;
    std::vector<Signal> mehr = signale_;
    mehr.push_back({ereignis.gelesen, ereignis.port, signale_.size() * 8});
    if (kopftext(mehr).size() > kopfbereich_) {
        eintrag = -2;
        ++ausgelassen_;
        return eintrag;
    }
    signale_ = std::move(mehr);
    kopfGeändert_ = true;
    eintrag = static_cast<int>(signale_.size() - 1);
    return eintrag;
}

void VcdWriter::zeitzeile(std::uint64_t zeit) {
    if (!zeitGeschrieben_ || zeit != letzteZeit_) {
        zeitzeileImText_ = text_.size();
        text_ += '#';
        text_ += std::to_string(zeit);
        text_ += '\n';
        letzteZeit_ = zeit;
        zeitGeschrieben_ = true;
    }
}

void VcdWriter::formatiere(const TraceEvent& ereignis) {
    if (fd_ < 0 || !fehler_.empty() || !leitungen_.empty()) return;
    const int nummer = signalFür(ereignis);
    if (nummer < 0) return;
    Signal& s = signale_[static_cast<std::size_t>(nummer)];
    if (s.letzterWert == ereignis.wert) return;
    zeitzeile(ereignis.zeit);
    for (int bit = 0; bit < 8; ++bit) {
        const int neu = (ereignis.wert >> bit) & 1;
        if (s.letzterWert >= 0 && ((s.letzterWert >> bit) & 1) == neu) continue;
        text_ += neu ? '1' : '0';
        hängeKennzeichenAn(s.erstesKennzeichen + static_cast<std::size_t>(bit));
        text_ += '\n';
    }
    s.letzterWert = ereignis.wert;
    if (text_.size() >= kBlockgröße) schreibeAus();
}

void VcdWriter::deklariereLeitungen(const std::string& bereich, std::vector<std::string> namen) {
    if (namen.size() > 64) namen.resize(64);
    // Spelled as the header spells them, for the save file to match.
    leitungsbereich_ = nurAscii(bereich);
    for (std::string& name : namen) name = nurAscii(name);
    leitungen_ = std::move(namen);
    kopfGeändert_ = true;
}

void VcdWriter::formatiereLeitungen(std::uint64_t zeit, std::uint64_t pegel) {
    if (fd_ < 0 || !fehler_.empty() || leitungen_.empty()) return;
    const std::uint64_t geändert = leitungenImText_ ? pegel ^ leitungspegel_ : ~std::uint64_t{0};
    bool zeitDa = false;
    for (std::size_t i = 0; i < leitungen_.size(); ++i) {
        if (!((geändert >> i) & 1)) continue;
        if (!zeitDa) zeitzeile(zeit);
        zeitDa = true;
        text_ += (pegel >> i) & 1 ? '1' : '0';
        hängeKennzeichenAn(i);
        text_ += '\n';
    }
    leitungspegel_ = pegel;
    leitungenImText_ = true;
    if (text_.size() >= kBlockgröße) schreibeAus();
}

bool VcdWriter::schreibeAlles(const char* daten, std::size_t länge, long long position) {
    angekommen_ = 0;
    while (länge > 0) {
        const ssize_t n = ::pwrite(fd_, daten, länge, position);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            fehler_ = errnoText(n < 0 ? errno : ENOSPC);
            return false;
        }
        daten += n;
        länge -= static_cast<std::size_t>(n);
        position += n;
        angekommen_ += static_cast<std::size_t>(n);
    }
    return true;
}

bool VcdWriter::schreibeAus() {
    if (fd_ < 0 || !fehler_.empty()) {
        text_.clear();
        return fehler_.empty();
    }
    if (kopfGeändert_) {
        // The whole area each time: blanks after the header cover whatever a
        // shorter earlier version left there (the backend name may shrink).
        std::string bereich = kopftext(signale_);
        const std::size_t textlänge = bereich.size();
        bereich.resize(kopfbereich_, ' ');
        for (std::size_t i = textlänge + 79; i < kopfbereich_; i += 80) bereich[i] = '\n';
        bereich.back() = '\n';
        if (!schreibeAlles(bereich.data(), bereich.size(), 0)) {
            angekommen_ = 0;  // of the changes, nothing
            endeNachFehler();
            return false;
        }
        kopfGeändert_ = false;
        schreibeGtkwaveSicherung();
    }
    if (!schreibeAlles(text_.data(), text_.size(), ende_)) {
        endeNachFehler();
        return false;
    }
    if (zeitzeileImText_ != std::string::npos) {
        zeitzeileEnde_ = ende_ + static_cast<long long>(text_.find('\n', zeitzeileImText_) + 1);
        zeitzeileImText_ = std::string::npos;
    }
    ende_ += static_cast<long long>(text_.size());
    text_.clear();
    return true;
}

void VcdWriter::endeNachFehler() {
    // What reached the file before this block is whole, and of the block
    // whatever lines made it. The file keeps every time step that arrived
    // complete and ends with the time of the first one it lost: up to then
    // its levels are right. A step cut in the middle would show a register
    // half changed.
    const auto schneide = [this](long long länge) {
        while (::ftruncate(fd_, länge) != 0 && errno == EINTR) {
        }
    };
    const std::size_t ganz =
        angekommen_ == 0 ? 0 : text_.rfind('\n', angekommen_ - 1) + 1;  // npos + 1 == 0
    std::size_t zeitzeile = std::string::npos;  // the last time line among them
    for (std::size_t zeile = 0; zeile < ganz; zeile = text_.find('\n', zeile) + 1) {
        if (text_[zeile] == '#') zeitzeile = zeile;
    }
    const long long zeitzeileEnde =
        zeitzeile == std::string::npos
            ? zeitzeileEnde_
            : ende_ + static_cast<long long>(text_.find('\n', zeitzeile) + 1);
    if (text_[ganz] != '#') {
        // Cut inside a step: it ends the file with its time, its changes go.
        schneide(zeitzeileEnde > 0 ? zeitzeileEnde : ende_ + static_cast<long long>(ganz));
        return;
    }
    schneide(ende_ + static_cast<long long>(ganz));
    const std::string zeile = text_.substr(ganz, text_.find('\n', ganz) + 1 - ganz);
    if (::pwrite(fd_, zeile.data(), zeile.size(), ende_ + static_cast<long long>(ganz)) ==
        static_cast<ssize_t>(zeile.size())) {
        return;
    }
    // Not even that fits: the file ends after its last time instead, without
    // the changes made at that time.
    schneide(zeitzeileEnde > 0 ? zeitzeileEnde : ende_ + static_cast<long long>(ganz));
}

bool VcdWriter::schließe(std::uint64_t zeit) {
    if (fd_ < 0) return fehler_.empty();
    if (fehler_.empty() && (!zeitGeschrieben_ || zeit > letzteZeit_)) {
        // The end of the recording, so that viewers show the last levels up
        // to the moment the program ended.
        zeitzeileImText_ = text_.size();
        text_ += '#';
        text_ += std::to_string(std::max(zeit, letzteZeit_));
        text_ += '\n';
        zeitGeschrieben_ = true;
        letzteZeit_ = std::max(zeit, letzteZeit_);
    }
    schreibeAus();
    // The view now spans the whole recording.
    if (fehler_.empty()) schreibeGtkwaveSicherung();
    if (!datei_->schließe() && fehler_.empty()) fehler_ = errnoText(errno);
    fd_ = -1;
    return fehler_.empty();
}

std::string ortszeitText() {
    const std::time_t jetzt = std::time(nullptr);
    std::tm ortszeit{};
    localtime_r(&jetzt, &ortszeit);
    char puffer[64];
    std::strftime(puffer, sizeof puffer, "%Y-%m-%d %H:%M:%S %z", &ortszeit);
    return puffer;
}

}  // namespace dravel::port
