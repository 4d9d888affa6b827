#include "annotationen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace dravel::dekoder {
namespace {

// Boxes and bands no wider than this many columns are merged with their
// neighbours: too narrow to tell apart.
constexpr int kSchmal = 1;
// A band's end is looked up among this many annotations; beyond it the
// running maximum stands in (it may reach over a long one before it).
constexpr std::size_t kBandSuche = 32;

char klein(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool enthält(std::string_view text, const std::string& muster) {
    return std::search(text.begin(), text.end(), muster.begin(), muster.end(),
                       [](char a, char b) { return klein(a) == b; }) != text.end();
}

std::string zitiert(std::string_view text) {
    std::string t = "\"";
    for (const char c : text) {
        if (c == '"') t += '"';
        t += c;
    }
    return t + '"';
}

}  // namespace

std::uint32_t Annotationsliste::reihe(int instanz, const std::string& dekoder,
                                      const std::string& id, const std::string& name) {
    for (std::size_t r = 0; r < reihen_.size(); ++r) {
        if (reihen_[r].instanz == instanz && reihen_[r].id == id) return std::uint32_t(r);
    }
    reihen_.push_back({instanz, dekoder, id, name});
    indizes_.emplace_back();
    return std::uint32_t(reihen_.size() - 1);
}

void Annotationsliste::füge(const Annotation& a) {
    Eintrag e;
    e.anfangNs = a.anfangNs;
    e.endeNs = std::max(a.endeNs, a.anfangNs);
    // No description in an annotation: a row not declared is named by its id.
    e.reihe = reihe(a.instanz, a.dekoder, a.zeile, a.zeile);
    // A decoder run twice is told apart by its name ("uart-2").
    if (!a.name.empty() && reihen_[e.reihe].dekoder != a.name) reihen_[e.reihe].dekoder = a.name;
    e.text = pool_.size();
    e.texte = std::uint16_t(std::min<std::size_t>(a.texte.size(), 0xFFFF));
    for (std::size_t k = 0; k < e.texte; ++k) {
        pool_ += a.texte[k];
        pool_ += '\0';
    }
    e.überLücke = a.überLücke;
    const auto nummer = std::uint32_t(einträge_.size());
    einträge_.push_back(e);
    indizes_[e.reihe].folge.push_back(nummer);
    zeitfolge_.push_back(nummer);
}

void Annotationsliste::ordne() {
    // Decoders give annotations as they end, nearly in order of their
    // start: the new tail is sorted and merged, mostly a no-op.
    const auto früher = [this](std::uint32_t a, std::uint32_t b) {
        return einträge_[a].anfangNs != einträge_[b].anfangNs
                   ? einträge_[a].anfangNs < einträge_[b].anfangNs
                   : a < b;
    };
    const auto sortiere = [&](std::vector<std::uint32_t>& folge, std::size_t geordnet) {
        const auto mitte = folge.begin() + std::ptrdiff_t(geordnet);
        if (std::is_sorted(mitte, folge.end(), früher) &&
            (geordnet == 0 || mitte == folge.end() || !früher(*mitte, *(mitte - 1)))) {
            return geordnet;
        }
        std::sort(mitte, folge.end(), früher);
        const auto erster = std::upper_bound(folge.begin(), mitte, *mitte, früher);
        std::inplace_merge(erster, mitte, folge.end(), früher);
        return std::size_t(erster - folge.begin());
    };
    for (Index& ix : indizes_) {
        if (ix.geordnet == ix.folge.size()) continue;
        const std::size_t ab = sortiere(ix.folge, ix.geordnet);
        ix.maxEnde.resize(ix.folge.size());
        ix.anfang.resize(ix.folge.size());
        std::uint64_t größtes = ab > 0 ? ix.maxEnde[ab - 1] : 0;
        for (std::size_t k = ab; k < ix.folge.size(); ++k) {
            const Eintrag& e = einträge_[ix.folge[k]];
            größtes = std::max(größtes, std::max(e.endeNs, e.anfangNs + 1));
            ix.maxEnde[k] = größtes;
            ix.anfang[k] = e.anfangNs;
        }
        ix.geordnet = ix.folge.size();
    }
    if (zeitGeordnet_ < zeitfolge_.size()) sortiere(zeitfolge_, zeitGeordnet_);
    zeitGeordnet_ = zeitfolge_.size();
}

std::string_view Annotationsliste::text(std::size_t i, int k) const {
    const Eintrag& e = einträge_[i];
    if (k < 0 || k >= e.texte) return {};
    std::size_t von = e.text;
    for (int j = 0; j < k; ++j) von = pool_.find('\0', von) + 1;
    return std::string_view(pool_).substr(von, pool_.find('\0', von) - von);
}

std::vector<Kasten> Annotationsliste::berechne(std::uint32_t reihe, double anfangNs,
                                               double spanneNs, int breite) const {
    std::vector<Kasten> aus;
    if (reihe >= indizes_.size() || breite <= 0 || !(spanneNs > 0)) return aus;
    const Index& ix = indizes_[reihe];
    const std::size_t n = ix.geordnet;
    const double proSpalte = spanneNs / breite, bisNs = anfangNs + spanneNs;
    const auto spalte = [&](double t) { return (t - anfangNs) / proSpalte; };
    const auto endeVon = [&](std::size_t k) {
        const Eintrag& e = einträge_[ix.folge[k]];
        return std::max(e.endeNs, e.anfangNs + 1);
    };
    // Everything before this ended before the view.
    std::size_t i = std::size_t(
        std::partition_point(ix.maxEnde.begin(), ix.maxEnde.begin() + std::ptrdiff_t(n),
                             [&](std::uint64_t ende) { return double(ende) <= anfangNs; }) -
        ix.maxEnde.begin());
    while (i < n && double(ix.anfang[i]) < bisNs) {
        const Eintrag& e = einträge_[ix.folge[i]];
        const int c = std::clamp(int(std::floor(spalte(double(e.anfangNs)))), 0, breite - 1);
        // Those starting in the same column go into one band.
        const double nächste = anfangNs + (c + 1) * proSpalte;
        const std::size_t k =
            std::size_t(std::partition_point(ix.anfang.begin() + std::ptrdiff_t(i + 1),
                                             ix.anfang.begin() + std::ptrdiff_t(n),
                                             [&](std::uint64_t t) { return double(t) < nächste; }) -
                        ix.anfang.begin());
        std::uint64_t ende = 0;
        if (k - i <= kBandSuche) {
            for (std::size_t j = i; j < k; ++j) ende = std::max(ende, endeVon(j));
        } else {
            ende = ix.maxEnde[k - 1];
        }
        Kasten neu;
        neu.von = c;
        neu.bis = std::clamp(int(std::ceil(spalte(double(ende)))), c + 1, breite);
        neu.annotation = ix.folge[i];
        neu.anzahl = std::uint32_t(k - i);
        neu.überLücke = neu.anzahl == 1 && e.überLücke;
        const bool schmal = neu.anzahl > 1 || neu.bis - neu.von <= kSchmal;
        if (!aus.empty() && schmal && aus.back().bis >= neu.von &&
            (aus.back().anzahl > 1 || aus.back().bis - aus.back().von <= kSchmal)) {
            Kasten& band = aus.back();
            band.bis = std::max(band.bis, neu.bis);
            band.anzahl += neu.anzahl;
            band.überLücke = false;
        } else {
            aus.push_back(neu);
        }
        i = k;
    }
    return aus;
}

std::vector<std::uint32_t> Annotationsliste::suche(const std::string& muster) const {
    if (muster.empty())
        return {zeitfolge_.begin(), zeitfolge_.begin() + std::ptrdiff_t(zeitGeordnet_)};
    std::string m;
    for (const char c : muster) m += klein(c);
    std::vector<bool> reiheTrifft;
    for (const Reihe& r : reihen_) {
        reiheTrifft.push_back(enthält(r.dekoder, m) || enthält(r.name, m) || enthält(r.id, m));
    }
    std::vector<std::uint32_t> treffer;
    for (std::size_t k = 0; k < zeitGeordnet_; ++k) {
        const std::uint32_t i = zeitfolge_[k];
        const Eintrag& e = einträge_[i];
        bool trifft = reiheTrifft[e.reihe];
        for (int t = 0; !trifft && t < e.texte; ++t) trifft = enthält(text(i, t), m);
        if (trifft) treffer.push_back(i);
    }
    return treffer;
}

std::string alsCsv(const Annotationsliste& liste, const std::vector<std::uint32_t>& auswahl,
                   std::uint64_t nullpunktNs) {
    std::string csv = "Anfang_ns;Ende_ns;Dekoder;Zeile;Text\n";
    const auto relativ = [&](std::uint64_t t) {
        return std::to_string(std::int64_t(t) - std::int64_t(nullpunktNs));
    };
    for (const std::uint32_t i : auswahl) {
        const auto& e = liste[i];
        const auto& r = liste.reihen()[e.reihe];
        csv += relativ(e.anfangNs) + ';' + relativ(e.endeNs) + ';' + zitiert(r.dekoder) + ';' +
               zitiert(r.name) + ';' + zitiert(liste.text(i)) + '\n';
    }
    return csv;
}

}  // namespace dravel::dekoder
