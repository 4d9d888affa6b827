#include "logik/dekoder.h"

#include <glib.h>
#include <libsigrokdecode/libsigrokdecode.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace dravel::dekoder {

struct Dekodierung::Instanz {
    Beschreibung art;
    std::string name;  // the id, numbered where the session has it twice: "uart-2"
    std::vector<std::pair<std::string, int>> kanäle;  // channel id, sample bit
    std::vector<std::pair<std::string, std::string>> optionen;
};

namespace {

// --- the library: started once, every call under one lock --------------------

std::mutex& bibliothek() {
    static std::mutex sperre;
    return sperre;
}

// The library's last complaint (a decoder's Python error above all), kept
// for the one line the user gets instead of printed in between. Decoders
// complain from threads of their own.
struct Meldung {
    std::mutex sperre;
    std::string text;
};
Meldung& letzteMeldung() {
    static Meldung meldung;
    return meldung;
}

int merkeMeldung(void*, int stufe, const char* format, va_list argumente) {
    if (stufe > SRD_LOG_ERR) return SRD_OK;
    char text[512];
    std::vsnprintf(text, sizeof text, format, argumente);
    std::string zeile = text;
    while (!zeile.empty() && (zeile.back() == '.' || zeile.back() == '\n')) zeile.pop_back();
    Meldung& m = letzteMeldung();
    const std::lock_guard sperre(m.sperre);
    m.text = std::move(zeile);
    return SRD_OK;
}

std::string nimmMeldung() {
    Meldung& m = letzteMeldung();
    const std::lock_guard sperre(m.sperre);
    return std::exchange(m.text, {});
}

void beendeBibliothek() {
    const std::lock_guard sperre(bibliothek());
    srd_exit();
}

// Under the lock: starts the library on first use.
bool gestartet(std::string& fehler) {
    static int status = [] {
        // Made before the handler at exit is registered, so destroyed after it.
        nimmMeldung();
        srd_log_callback_set(merkeMeldung, nullptr);
        const std::string ordner = eigenerOrdner();
        std::error_code fc;
        const bool da = !ordner.empty() && std::filesystem::is_directory(ordner, fc);
        const int s = srd_init(da ? ordner.c_str() : nullptr);
        if (s == SRD_OK) std::atexit(beendeBibliothek);
        return s;
    }();
    if (status != SRD_OK) {
        fehler = std::string("Die Dekoderbibliothek startet nicht: ") + srd_strerror(status) + ".";
        return false;
    }
    return true;
}

std::string textVon(const char* s) {
    return s ? s : "";
}

std::string alsText(GVariant* wert, Option::Typ& typ) {
    if (g_variant_is_of_type(wert, G_VARIANT_TYPE_INT64)) {
        typ = Option::Typ::Ganzzahl;
        return std::to_string(g_variant_get_int64(wert));
    }
    if (g_variant_is_of_type(wert, G_VARIANT_TYPE_DOUBLE)) {
        typ = Option::Typ::Kommazahl;
        char text[64];
        const auto ende = std::to_chars(text, text + sizeof text, g_variant_get_double(wert)).ptr;
        return std::string(text, ende);
    }
    typ = Option::Typ::Text;
    if (g_variant_is_of_type(wert, G_VARIANT_TYPE_STRING)) {
        return g_variant_get_string(wert, nullptr);
    }
    return {};
}

Beschreibung beschreibe(const srd_decoder* d) {
    Beschreibung b;
    b.id = textVon(d->id);
    b.name = textVon(d->name);
    b.langname = textVon(d->longname);
    b.beschreibung = textVon(d->desc);
    for (const GSList* l = d->inputs; l; l = l->next)
        b.eingaben.emplace_back(textVon(static_cast<const char*>(l->data)));
    for (const GSList* l = d->outputs; l; l = l->next)
        b.ausgaben.emplace_back(textVon(static_cast<const char*>(l->data)));
    for (int pflicht = 1; pflicht >= 0; --pflicht) {
        for (const GSList* l = pflicht ? d->channels : d->opt_channels; l; l = l->next) {
            const auto* k = static_cast<const srd_channel*>(l->data);
            b.kanäle.push_back({textVon(k->id), textVon(k->name), textVon(k->desc), pflicht == 1});
        }
    }
    for (const GSList* l = d->options; l; l = l->next) {
        const auto* o = static_cast<const srd_decoder_option*>(l->data);
        Option option{textVon(o->id), textVon(o->desc), Option::Typ::Text, {}, {}};
        option.vorgabe = alsText(o->def, option.typ);
        for (const GSList* w = o->values; w; w = w->next) {
            Option::Typ typ{};
            option.werte.push_back(alsText(static_cast<GVariant*>(w->data), typ));
        }
        b.optionen.push_back(std::move(option));
    }
    for (const GSList* l = d->annotations; l; l = l->next) {
        const auto* paar = static_cast<char* const*>(l->data);
        b.klassen.emplace_back(textVon(paar[0]), textVon(paar[1]));
    }
    for (const GSList* l = d->annotation_rows; l; l = l->next) {
        const auto* z = static_cast<const srd_decoder_annotation_row*>(l->data);
        Zeile zeile{textVon(z->id), textVon(z->desc), {}};
        for (const GSList* k = z->ann_classes; k; k = k->next) {
            zeile.klassen.push_back(GPOINTER_TO_INT(k->data));
        }
        b.zeilen.push_back(std::move(zeile));
    }
    return b;
}

std::string liste(const std::vector<std::string>& namen) {
    std::string text;
    for (const std::string& name : namen) text += (text.empty() ? "" : ", ") + name;
    return text.empty() ? "keine" : text;
}

// Under the lock: whether a folder the library searches has decoder `id`.
bool gibtOrdner(const std::string& id) {
    GSList* ordner = srd_searchpaths_get();
    bool da = false;
    std::error_code fc;
    for (const GSList* l = ordner; l && !da; l = l->next) {
        da = std::filesystem::is_directory(
            std::filesystem::path(static_cast<const char*>(l->data)) / id, fc);
    }
    g_slist_free_full(ordner, g_free);
    return da;
}

std::optional<Beschreibung> lade(const std::string& id, std::string& fehler) {
    const std::lock_guard sperre(bibliothek());
    if (!gestartet(fehler)) return std::nullopt;
    // Only names a decoder folder could have: the library imports the name.
    const bool gültig = !id.empty() && std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
    if (!gültig) return std::nullopt;
    nimmMeldung();
    if (srd_decoder_load(id.c_str()) == SRD_OK) {
        if (const srd_decoder* d = srd_decoder_get_by_id(id.c_str())) return beschreibe(d);
    } else if (gibtOrdner(id)) {
        // There, but broken (a Python error): not "there is none".
        const std::string meldung = nimmMeldung();
        fehler = "Dekoder „" + id + "“ lässt sich nicht laden" +
                 (meldung.empty() ? std::string(".") : ": " + meldung);
    }
    return std::nullopt;
}

// --- the sample stream ---------------------------------------------------------

long double nsJeProbe(std::uint64_t rateHz) {
    return 1e9L / static_cast<long double>(rateHz);
}

// Numbers as the user types them, whatever the locale says.
template <typename Zahl>
Zahl zahlAus(const std::string& text) {
    Zahl zahl{};
    std::from_chars(text.data(), text.data() + text.size(), zahl);
    return zahl;
}

// The first sample at or after `ns` after the start.
std::uint64_t probeAb(std::uint64_t ns, std::uint64_t rateHz) {
    return static_cast<std::uint64_t>(std::ceil(static_cast<long double>(ns) / nsJeProbe(rateHz)));
}

GVariant* wertFür(const Option& option, const std::string& text) {
    switch (option.typ) {
        case Option::Typ::Ganzzahl:
            return g_variant_new_int64(zahlAus<std::int64_t>(text));
        case Option::Typ::Kommazahl:
            return g_variant_new_double(zahlAus<double>(text));
        case Option::Typ::Text:
            break;
    }
    return g_variant_new_string(text.c_str());
}

bool passt(const Option& option, const std::string& text) {
    const char* ende = text.data() + text.size();
    switch (option.typ) {
        case Option::Typ::Ganzzahl: {
            std::int64_t zahl = 0;
            const auto [p, ec] = std::from_chars(text.data(), ende, zahl);
            return ec == std::errc{} && p == ende;
        }
        case Option::Typ::Kommazahl: {
            double zahl = 0;
            const auto [p, ec] = std::from_chars(text.data(), ende, zahl);
            return ec == std::errc{} && p == ende;
        }
        case Option::Typ::Text:
            return true;
    }
    return false;
}

const char* typText(Option::Typ typ) {
    switch (typ) {
        case Option::Typ::Ganzzahl:
            return "eine ganze Zahl";
        case Option::Typ::Kommazahl:
            return "eine Zahl";
        case Option::Typ::Text:
            return "einen Text";
    }
    return "";
}

bool gleicheZahl(const Option& option, const std::string& a, const std::string& b) {
    if (option.typ == Option::Typ::Text) return a == b;
    return zahlAus<double>(a) == zahlAus<double>(b);
}

}  // namespace

// --- what the user names ---------------------------------------------------------

std::optional<Stapel> leseStapel(const std::string& text, std::string& fehler) {
    Stapel stapel;
    std::size_t anfang = 0;
    while (anfang <= text.size()) {
        const std::size_t komma = std::min(text.find(',', anfang), text.size());
        const std::string teil = text.substr(anfang, komma - anfang);
        Angabe angabe;
        std::size_t a = 0;
        bool erstes = true;
        while (a <= teil.size()) {
            const std::size_t doppelpunkt = std::min(teil.find(':', a), teil.size());
            const std::string stück = teil.substr(a, doppelpunkt - a);
            if (erstes) {
                if (stück.empty()) {
                    fehler = "„" + text +
                             "“: ein Dekoder ohne Namen (so: uart:rx=10:baudrate=9600,midi)";
                    return std::nullopt;
                }
                angabe.id = stück;
            } else {
                const std::size_t gleich = stück.find('=');
                if (gleich == std::string::npos || gleich == 0) {
                    fehler = angabe.id + ": „" + stück +
                             "“ ist nicht SCHLÜSSEL=WERT (so: rx=10, baudrate=9600)";
                    return std::nullopt;
                }
                // A saved capture keeps the stacks in its $comment: a $end would end it.
                if (stück.find('$') != std::string::npos) {
                    fehler = angabe.id + ": „" + stück + "“: ein $ ist hier nicht erlaubt";
                    return std::nullopt;
                }
                angabe.werte.emplace_back(stück.substr(0, gleich), stück.substr(gleich + 1));
            }
            erstes = false;
            a = doppelpunkt + 1;
        }
        stapel.push_back(std::move(angabe));
        anfang = komma + 1;
    }
    return stapel;
}

std::vector<Beschreibung> alleDekoder(std::string& fehler) {
    const std::lock_guard sperre(bibliothek());
    std::vector<Beschreibung> alle;
    if (!gestartet(fehler)) return alle;
    srd_decoder_load_all();
    for (const GSList* l = srd_decoder_list(); l; l = l->next) {
        alle.push_back(beschreibe(static_cast<const srd_decoder*>(l->data)));
    }
    std::sort(alle.begin(), alle.end(),
              [](const Beschreibung& a, const Beschreibung& b) { return a.id < b.id; });
    return alle;
}

std::optional<Beschreibung> dekoder(const std::string& id, std::string& fehler) {
    if (auto b = lade(id, fehler)) return b;
    if (!fehler.empty()) return std::nullopt;
    std::vector<std::string> namen;
    for (const Beschreibung& b : alleDekoder(fehler)) namen.push_back(b.id);
    if (fehler.empty()) fehler = "Dekoder „" + id + "“ gibt es nicht; es gibt: " + liste(namen);
    return std::nullopt;
}

std::optional<Filter> leseFilter(const std::string& text, const std::vector<Stapel>& stapel,
                                 std::string& fehler) {
    Filter filter;
    std::size_t anfang = 0;
    while (anfang <= text.size()) {
        const std::size_t komma = std::min(text.find(',', anfang), text.size());
        const std::string teil = text.substr(anfang, komma - anfang);
        anfang = komma + 1;
        const std::size_t gleich = std::min(teil.find('='), teil.size());
        const std::string id = teil.substr(0, gleich);
        const bool gewählt = std::any_of(stapel.begin(), stapel.end(), [&](const Stapel& s) {
            return std::any_of(s.begin(), s.end(), [&](const Angabe& a) { return a.id == id; });
        });
        if (!gewählt) {
            fehler = "„" + id + "“ ist nicht mit --dekoder gewählt (so: uart=rx-data:tx-data)";
            return std::nullopt;
        }
        const auto art = dekoder(id, fehler);
        if (!art) return std::nullopt;
        std::vector<std::string> klassen;
        std::size_t a = gleich + 1;
        while (a <= teil.size()) {
            const std::size_t doppelpunkt = std::min(teil.find(':', a), teil.size());
            const std::string name = teil.substr(a, doppelpunkt - a);
            a = doppelpunkt + 1;
            if (name.empty()) continue;
            if (std::any_of(art->klassen.begin(), art->klassen.end(),
                            [&](const auto& k) { return k.first == name; })) {
                klassen.push_back(name);
                continue;
            }
            const auto zeile = std::find_if(art->zeilen.begin(), art->zeilen.end(),
                                            [&](const Zeile& z) { return z.id == name; });
            if (zeile == art->zeilen.end()) {
                std::vector<std::string> namen;
                for (const Zeile& z : art->zeilen) namen.push_back(z.id);
                for (const auto& k : art->klassen) {
                    if (std::find(namen.begin(), namen.end(), k.first) == namen.end()) {
                        namen.push_back(k.first);
                    }
                }
                fehler =
                    id + "=" + name + ": diese Annotation gibt es nicht; es gibt: " + liste(namen);
                return std::nullopt;
            }
            for (const int k : zeile->klassen) {
                klassen.push_back(art->klassen.at(static_cast<std::size_t>(k)).first);
            }
        }
        filter.klassen.emplace_back(id, std::move(klassen));
    }
    return filter;
}

bool Filter::zeigt(const std::string& dekoder, const std::string& klasse) const {
    if (klassen.empty()) return true;
    return std::any_of(klassen.begin(), klassen.end(), [&](const auto& eintrag) {
        return eintrag.first == dekoder &&
               (eintrag.second.empty() || std::find(eintrag.second.begin(), eintrag.second.end(),
                                                    klasse) != eintrag.second.end());
    });
}

std::uint64_t abtastrateFür(const Aufnahme& aufnahme, Pegel leitungen) {
    std::uint64_t kürzeste = 0;
    const std::size_t n = aufnahme.anzahl();
    std::optional<std::uint64_t> letzte;  // the last change of these lines
    Pegel vorher = n > 0 ? aufnahme[0].pegel : 0;
    for (std::size_t i = 1; i < n; ++i) {
        const analysator::Änderung ä = aufnahme[i];
        if (!((ä.pegel ^ vorher) & leitungen)) continue;
        vorher = ä.pegel;
        const std::uint64_t d = letzte ? ä.zeitNs - *letzte : 0;
        if (d > 0 && (kürzeste == 0 || d < kürzeste)) kürzeste = d;
        letzte = ä.zeitNs;
    }
    constexpr std::uint64_t kGrößte = 1'000'000'000;
    constexpr std::uint64_t kKleinste = 1'000;
    std::uint64_t ns = aufnahme.auflösungNs();
    if (ns == 0) {
        // Eight samples a pulse, so that a decoder finds the middle of a bit.
        ns = kürzeste / 8;
        if (kürzeste == 0) return kKleinste;  // nothing changes: nothing to find
    } else {
        // A fast port's resolution would cost the decoders far more samples
        // than its pulses need: 32 in the shortest are plenty.
        ns = std::max(ns, kürzeste / 32);
    }
    if (ns == 0) return kGrößte;
    return std::clamp<std::uint64_t>(kGrößte / ns, kKleinste, kGrößte);
}

int pinVon(std::string_view name) {
    if (name.starts_with("Pin")) name.remove_prefix(3);
    int pin = 0;
    const auto [p, ec] = std::from_chars(name.data(), name.data() + name.size(), pin);
    const bool folgt = p != name.data() + name.size() && (*p == ' ' || *p == '_');
    return ec == std::errc{} && folgt && pin >= 1 && pin <= 25 ? pin : 0;
}

int leitungFür(const Aufnahme& aufnahme, const std::string& wert) {
    const std::vector<Leitung>& leitungen = aufnahme.leitungen();
    for (const Leitung& l : leitungen) {
        if (l.name == wert) return l.bit;
    }
    int zahl = -1;
    const auto [p, ec] = std::from_chars(wert.data(), wert.data() + wert.size(), zahl);
    if (ec != std::errc{} || p != wert.data() + wert.size() || zahl < 0) return -1;
    bool pins = false;
    for (const Leitung& l : leitungen) {
        const int pin = pinVon(l.name);
        if (pin == zahl) return l.bit;
        pins = pins || pin > 0;
    }
    // Where the lines are pins, a number is a pin, never a line's index.
    if (pins) return -1;
    for (const Leitung& l : leitungen) {
        if (l.bit == zahl) return l.bit;
    }
    return -1;
}

std::string eigenerOrdner() {
    if (const char* ordner = std::getenv("DRAVEL_DEKODER_ORDNER"); ordner && *ordner) {
        return ordner;
    }
    std::error_code fc;
    const std::filesystem::path programm = std::filesystem::read_symlink("/proc/self/exe", fc);
    if (!fc) {
        const auto neben = programm.parent_path().parent_path() / "share/dravel/decoders";
        if (std::filesystem::is_directory(neben, fc)) return neben.string();
    }
    return DRAVEL_DEKODER_INSTALLIERT;
}

// --- checking a request ---------------------------------------------------------

namespace {

std::string leitungsliste(const Aufnahme& aufnahme) {
    std::vector<std::string> namen;
    for (const Leitung& l : aufnahme.leitungen()) namen.push_back(l.name);
    return liste(namen);
}

std::string kanalliste(const Beschreibung& b) {
    std::vector<std::string> namen;
    for (const Kanal& k : b.kanäle) namen.push_back(k.id + (k.pflicht ? " (Pflicht)" : ""));
    return liste(namen);
}

std::string optionsliste(const Beschreibung& b) {
    std::vector<std::string> namen;
    for (const Option& o : b.optionen) namen.push_back(o.id);
    return liste(namen);
}

// One decoder of a stack, checked; `unten` is the one below (nullptr for the
// one on the lines).
std::optional<Dekodierung::Instanz> prüfe(const Angabe& angabe, const Beschreibung* unten,
                                          const Aufnahme& aufnahme, std::vector<int>& bits,
                                          std::string& fehler) {
    auto art = dekoder(angabe.id, fehler);
    if (!art) return std::nullopt;
    Dekodierung::Instanz instanz{*art, {}, {}, {}};
    const auto liest = [&](const std::string& was) {
        return std::find(art->eingaben.begin(), art->eingaben.end(), was) != art->eingaben.end();
    };
    if (!unten && !liest("logic")) {
        fehler = angabe.id + " liest keine Leitungen, sondern " + liste(art->eingaben) +
                 "; er gehört über einen Dekoder, der das liefert (so: uart:rx=10," + angabe.id +
                 ")";
        return std::nullopt;
    }
    if (unten && std::none_of(unten->ausgaben.begin(), unten->ausgaben.end(), liest)) {
        fehler = angabe.id + " liest " + liste(art->eingaben) + ", " + unten->id + " liefert " +
                 liste(unten->ausgaben);
        return std::nullopt;
    }
    for (const auto& [schlüssel, wert] : angabe.werte) {
        const auto kanal = std::find_if(art->kanäle.begin(), art->kanäle.end(),
                                        [&](const Kanal& k) { return k.id == schlüssel; });
        if (kanal != art->kanäle.end()) {
            const int bit = leitungFür(aufnahme, wert);
            if (bit < 0) {
                fehler = angabe.id + ": " + schlüssel + "=" + wert +
                         ": diese Leitung gibt es nicht; es gibt: " + leitungsliste(aufnahme);
                return std::nullopt;
            }
            auto k = std::find(bits.begin(), bits.end(), bit);
            if (k == bits.end()) k = bits.insert(bits.end(), bit);
            instanz.kanäle.emplace_back(schlüssel, static_cast<int>(k - bits.begin()));
            continue;
        }
        const auto option = std::find_if(art->optionen.begin(), art->optionen.end(),
                                         [&](const Option& o) { return o.id == schlüssel; });
        if (option == art->optionen.end()) {
            fehler = angabe.id + ": „" + schlüssel +
                     "“ ist weder Kanal noch Option; Kanäle: " + kanalliste(*art) +
                     "; Optionen: " + optionsliste(*art);
            return std::nullopt;
        }
        if (!passt(*option, wert)) {
            fehler = angabe.id + ": " + schlüssel + "=" + wert + ": erwartet " +
                     typText(option->typ) + " (Vorgabe " + option->vorgabe + ")";
            return std::nullopt;
        }
        if (!option->werte.empty() &&
            std::none_of(option->werte.begin(), option->werte.end(),
                         [&](const std::string& w) { return gleicheZahl(*option, w, wert); })) {
            fehler = angabe.id + ": " + schlüssel + "=" + wert + ": erlaubt sind " +
                     liste(option->werte);
            return std::nullopt;
        }
        instanz.optionen.emplace_back(schlüssel, wert);
    }
    for (const Kanal& k : art->kanäle) {
        const bool gesetzt = std::any_of(instanz.kanäle.begin(), instanz.kanäle.end(),
                                         [&](const auto& paar) { return paar.first == k.id; });
        if (k.pflicht && !gesetzt) {
            fehler = angabe.id + ": der Kanal " + k.id + " fehlt (so: " + angabe.id + ":" + k.id +
                     "=10); Kanäle: " + kanalliste(*art);
            return std::nullopt;
        }
    }
    if (!unten && instanz.kanäle.empty() && !art->kanäle.empty()) {
        fehler = angabe.id + " braucht wenigstens einen Kanal (so: " + angabe.id + ":" +
                 art->kanäle.front().id + "=10); Kanäle: " + kanalliste(*art);
        return std::nullopt;
    }
    return instanz;
}

}  // namespace

namespace {

// The stretches in which a decoder's lines were not seen: the capture's
// gaps, and where a line it reads has no known level (a file's x or z).
std::vector<Lücke> ungesehen(const Aufnahme& aufnahme, const std::vector<int>& bits,
                             std::uint64_t endeNs) {
    std::vector<Lücke> alle = aufnahme.lücken();
    Pegel gelesen = 0;
    for (const int bit : bits) gelesen |= analysator::bitVon(bit);
    const std::vector<analysator::Änderung> unbekannt = aufnahme.unbekannt();
    for (std::size_t i = 0; i < unbekannt.size(); ++i) {
        if (!(unbekannt[i].pegel & gelesen)) continue;
        const std::uint64_t bis = i + 1 < unbekannt.size() ? unbekannt[i + 1].zeitNs : endeNs;
        alle.push_back({unbekannt[i].zeitNs, std::max(bis, unbekannt[i].zeitNs + 1)});
    }
    std::sort(alle.begin(), alle.end(),
              [](const Lücke& a, const Lücke& b) { return a.anfangNs < b.anfangNs; });
    // Merged, so that the ends rise with the starts for the search.
    std::vector<Lücke> zusammen;
    for (const Lücke& l : alle) {
        if (!zusammen.empty() && l.anfangNs <= zusammen.back().endeNs) {
            zusammen.back().endeNs = std::max(zusammen.back().endeNs, l.endeNs);
        } else {
            zusammen.push_back(l);
        }
    }
    return zusammen;
}

}  // namespace

std::unique_ptr<Dekodierung> Dekodierung::bereite(std::shared_ptr<const Aufnahme> aufnahme,
                                                  std::vector<Stapel> stapel,
                                                  std::uint64_t abtastrateHz, std::string& fehler) {
    std::unique_ptr<Dekodierung> d(new Dekodierung);
    for (const Stapel& s : stapel) {
        std::vector<Instanz> instanzen;
        for (const Angabe& angabe : s) {
            auto instanz = prüfe(angabe, instanzen.empty() ? nullptr : &instanzen.back().art,
                                 *aufnahme, d->bits_, fehler);
            if (!instanz) return nullptr;
            instanzen.push_back(std::move(*instanz));
        }
        if (!instanzen.empty()) d->stapel_.push_back(std::move(instanzen));
    }
    // Named as sigrok-cli names them where one decoder runs twice.
    for (auto& s : d->stapel_) {
        for (Instanz& instanz : s) {
            int gleiche = 0, nummer = 0;
            for (const auto& t : d->stapel_) {
                for (const Instanz& andere : t) {
                    if (andere.art.id != instanz.art.id) continue;
                    ++gleiche;
                    if (&andere == &instanz) nummer = gleiche;
                }
            }
            instanz.name = instanz.art.id;
            if (gleiche > 1) instanz.name += "-" + std::to_string(nummer);
        }
    }
    if (d->stapel_.empty()) {
        fehler = "kein Dekoder genannt (so: uart:rx=10:baudrate=9600)";
        return nullptr;
    }
    d->änderungen_ = aufnahme->anzahl();
    d->anfangNs_ = d->änderungen_ > 0 ? (*aufnahme)[0].zeitNs : 0;
    d->endeNs_ = std::max(aufnahme->bisNs(),
                          d->änderungen_ > 0 ? (*aufnahme)[d->änderungen_ - 1].zeitNs : 0);
    d->endeNs_ = std::max(d->endeNs_, d->anfangNs_);
    d->lücken_ = ungesehen(*aufnahme, d->bits_, d->endeNs_);
    Pegel gelesen = 0;
    for (const int bit : d->bits_) gelesen |= analysator::bitVon(bit);
    d->rateHz_ = abtastrateHz ? abtastrateHz : abtastrateFür(*aufnahme, gelesen);
    d->aufnahme_ = std::move(aufnahme);
    return d;
}

Dekodierung::~Dekodierung() {
    brichAb();
    if (faden_.joinable()) faden_.join();
}

void Dekodierung::starte() {
    faden_ = std::thread([this] { lauf(); });
}

bool Dekodierung::warte() {
    if (faden_.joinable()) faden_.join();
    const std::lock_guard sperre(mutex_);
    return erfolg_;
}

std::vector<Annotation> Dekodierung::abholen() {
    const std::lock_guard sperre(mutex_);
    return std::exchange(neu_, {});
}

std::string Dekodierung::fehler() const {
    const std::lock_guard sperre(mutex_);
    return fehler_;
}

namespace {

struct Rückruf {
    Dekodierung* dekodierung;
    const std::vector<std::vector<Dekodierung::Instanz>>* stapel;
    std::vector<const srd_decoder_inst*> instanzen;  // in the order of the stacks
    std::uint64_t anfangNs;
    long double nsJeProbe;
    const std::vector<Lücke>* lücken;
};

}  // namespace

void annotationAngekommen(void* pdata, void* selbst) {
    const auto* daten = static_cast<const srd_proto_data*>(pdata);
    const auto* r = static_cast<const Rückruf*>(selbst);
    const auto* inhalt = static_cast<const srd_proto_data_annotation*>(daten->data);
    const auto wo = std::find(r->instanzen.begin(), r->instanzen.end(), daten->pdo->di);
    const int nummer = static_cast<int>(wo - r->instanzen.begin());
    const Dekodierung::Instanz* instanz = nullptr;
    int i = 0;
    for (const auto& s : *r->stapel) {
        for (const auto& x : s) {
            if (i++ == nummer) instanz = &x;
        }
    }
    const Beschreibung* art = instanz ? &instanz->art : nullptr;
    if (!art || inhalt->ann_class < 0 ||
        static_cast<std::size_t>(inhalt->ann_class) >= art->klassen.size()) {
        return;
    }
    Annotation a;
    a.instanz = nummer;
    a.anfangNs = r->anfangNs + static_cast<std::uint64_t>(std::llround(
                                   static_cast<long double>(daten->start_sample) * r->nsJeProbe));
    a.endeNs = r->anfangNs + static_cast<std::uint64_t>(std::llround(
                                 static_cast<long double>(daten->end_sample) * r->nsJeProbe));
    a.dekoder = art->id;
    a.name = instanz->name;
    a.klasse = art->klassen[static_cast<std::size_t>(inhalt->ann_class)].first;
    a.zeile = a.klasse;
    for (const Zeile& z : art->zeilen) {
        if (std::find(z.klassen.begin(), z.klassen.end(), inhalt->ann_class) != z.klassen.end()) {
            a.zeile = z.id;
            break;
        }
    }
    for (char* const* t = inhalt->ann_text; t && *t; ++t) a.texte.emplace_back(*t);
    // The first gap that ends after the annotation starts.
    const auto lücke =
        std::upper_bound(r->lücken->begin(), r->lücken->end(), a.anfangNs,
                         [](std::uint64_t ns, const Lücke& l) { return ns < l.endeNs; });
    a.überLücke = lücke != r->lücken->end() && lücke->anfangNs < std::max(a.endeNs, a.anfangNs + 1);
    r->dekodierung->nimm(std::move(a));
}

namespace {

void rufeAn(srd_proto_data* daten, void* selbst) {
    annotationAngekommen(daten, selbst);
}

GHashTable* neueTabelle() {
    return g_hash_table_new_full(g_str_hash, g_str_equal, g_free,
                                 reinterpret_cast<GDestroyNotify>(g_variant_unref));
}

}  // namespace

void Dekodierung::nimm(Annotation annotation) {
    const std::lock_guard sperre(mutex_);
    neu_.push_back(std::move(annotation));
}

void Dekodierung::lauf() {
    Rückruf rückruf{this, &stapel_, {}, anfangNs_, nsJeProbe(rateHz_), &lücken_};
    std::string fehler;
    srd_session* sitzung = nullptr;
    const auto scheitere = [&](const std::string& was) {
        fehler = was;
        if (const std::string meldung = nimmMeldung(); !meldung.empty()) fehler += ": " + meldung;
    };
    {
        const std::lock_guard sperre(bibliothek());
        nimmMeldung();
        if (gestartet(fehler) && srd_session_new(&sitzung) == SRD_OK) {
            for (const auto& s : stapel_) {
                srd_decoder_inst* unten = nullptr;
                for (const Instanz& instanz : s) {
                    GHashTable* optionen = neueTabelle();
                    for (const auto& [id, wert] : instanz.optionen) {
                        const auto o =
                            std::find_if(instanz.art.optionen.begin(), instanz.art.optionen.end(),
                                         [&](const Option& x) { return x.id == id; });
                        g_hash_table_insert(optionen, g_strdup(id.c_str()),
                                            g_variant_ref_sink(wertFür(*o, wert)));
                    }
                    srd_decoder_inst* di = srd_inst_new(sitzung, instanz.art.id.c_str(), optionen);
                    g_hash_table_destroy(optionen);
                    if (!di) {
                        scheitere(instanz.art.id + " ließ sich nicht anlegen");
                        break;
                    }
                    rückruf.instanzen.push_back(di);
                    if (unten) {
                        if (srd_inst_stack(sitzung, unten, di) != SRD_OK) {
                            scheitere(instanz.art.id + " lässt sich nicht stapeln");
                        }
                    } else {
                        GHashTable* kanäle = neueTabelle();
                        for (const auto& [id, bit] : instanz.kanäle) {
                            g_hash_table_insert(kanäle, g_strdup(id.c_str()),
                                                g_variant_ref_sink(g_variant_new_int32(bit)));
                        }
                        const int s2 = srd_inst_channel_set_all(di, kanäle);
                        g_hash_table_destroy(kanäle);
                        if (s2 != SRD_OK) scheitere(instanz.art.id + ": Kanäle abgelehnt");
                    }
                    if (!fehler.empty()) break;
                    unten = di;
                }
                // The first failure ends the building, not only its stack.
                if (!fehler.empty()) break;
            }
            // Told to the instances there are: after them.
            srd_session_metadata_set(sitzung, SRD_CONF_SAMPLERATE, g_variant_new_uint64(rateHz_));
            srd_pd_output_callback_add(sitzung, SRD_OUTPUT_ANN, rufeAn, &rückruf);
            if (fehler.empty() && srd_session_start(sitzung) != SRD_OK) {
                scheitere("Die Dekoder starten nicht");
            }
        } else if (fehler.empty()) {
            scheitere("Keine Dekodersitzung");
        }
    }

    if (fehler.empty()) {
        const std::size_t breite = (bits_.size() + 7) / 8;
        const auto packe = [&](Pegel pegel, std::uint8_t* ziel) {
            std::memset(ziel, 0, breite);
            for (std::size_t k = 0; k < bits_.size(); ++k) {
                if (pegel & analysator::bitVon(bits_[k]))
                    ziel[k / 8] |= std::uint8_t(1u << (k % 8));
            }
        };
        const Aufnahme& a = *aufnahme_;
        const std::uint64_t gesamt = probeAb(endeNs_ - anfangNs_, rateHz_) + 1;
        const auto probeVon = [&](std::size_t j) {
            return std::min(probeAb(a[j].zeitNs - anfangNs_, rateHz_), gesamt);
        };
        constexpr std::size_t kProbenJeBlock = 1 << 18;
        std::vector<std::uint8_t> block(kProbenJeBlock * breite);
        std::vector<std::uint8_t> wert(breite);
        std::size_t j = 0;
        packe(änderungen_ > 0 ? a[0].pegel : 0, wert.data());
        std::uint64_t grenze = änderungen_ > 1 ? probeVon(1) : gesamt;
        std::uint64_t probe = 0;
        while (probe < gesamt && !abbruch_.load(std::memory_order_relaxed)) {
            const std::uint64_t blockAnfang = probe;
            std::size_t belegt = 0;
            while (belegt < kProbenJeBlock && probe < gesamt) {
                // The last change at or before this sample gives its levels.
                while (grenze <= probe && j + 1 < änderungen_) {
                    ++j;
                    packe(a[j].pegel, wert.data());
                    grenze = j + 1 < änderungen_ ? probeVon(j + 1) : gesamt;
                }
                const std::size_t lauf = static_cast<std::size_t>(
                    std::min<std::uint64_t>(grenze - probe, kProbenJeBlock - belegt));
                std::uint8_t* ziel = block.data() + belegt * breite;
                if (breite == 1) {
                    std::memset(ziel, wert[0], lauf);
                } else {
                    for (std::size_t i = 0; i < lauf; ++i)
                        std::memcpy(ziel + i * breite, wert.data(), breite);
                }
                belegt += lauf;
                probe += lauf;
            }
            const std::lock_guard sperre(bibliothek());
            if (srd_session_send(sitzung, blockAnfang, probe, block.data(), belegt * breite,
                                 breite) != SRD_OK) {
                scheitere("Die Dekoder brachen ab");
                break;
            }
            fortschritt_.store(static_cast<double>(probe) / static_cast<double>(gesamt),
                               std::memory_order_relaxed);
        }
    }
    {
        const std::lock_guard sperre(bibliothek());
        if (sitzung) srd_session_destroy(sitzung);
    }
    const std::lock_guard sperre(mutex_);
    fehler_ = fehler;
    erfolg_ = fehler.empty() && !abbruch_.load(std::memory_order_relaxed);
    fertig_.store(true, std::memory_order_release);
}

}  // namespace dravel::dekoder
