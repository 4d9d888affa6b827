#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "logik/dekoder.h"

namespace dravel::dekoder {

// What a view draws of one annotation row in `breite` columns: a box per
// annotation where it has columns of its own, a band where several fall
// into the same columns (anzahl > 1).
struct Kasten {
    int von = 0, bis = 0;          // columns [von, bis)
    std::uint32_t annotation = 0;  // the first in it, an index into the list
    std::uint32_t anzahl = 1;
    bool überLücke = false;  // a box whose annotation rests on levels not seen
};

// The annotations of a decoding as the window keeps them: a long capture
// decoded gives millions, so they are stored compactly (their texts in one
// pool) and each row keeps an index sorted by start, with the running
// maximum of the ends, so a view finds what it shows by binary search.
class Annotationsliste {
public:
    struct Reihe {
        int instanz = 0;
        std::string dekoder;  // "uart"
        std::string id;       // "rx-data"
        // "RX data", as the decoder describes it; its id for a row that
        // `füge` added, not declared before with `reihe`.
        std::string name;
    };
    struct Eintrag {
        std::uint64_t anfangNs = 0, endeNs = 0;
        std::uint64_t text = 0;  // into the pool: its texts, each ended by '\0'
        std::uint32_t reihe = 0;
        std::uint16_t texte = 0;
        bool überLücke = false;
    };

    // The row of a decoder's annotation row, added when new.
    std::uint32_t reihe(int instanz, const std::string& dekoder, const std::string& id,
                        const std::string& name);
    // Adds one; its row is found by decoder instance and row id, else added
    // under its id.
    void füge(const Annotation& annotation);
    // Sorts the indices after adding; drawing and searching want it.
    void ordne();

    [[nodiscard]] std::size_t anzahl() const { return einträge_.size(); }
    [[nodiscard]] const Eintrag& operator[](std::size_t i) const { return einträge_[i]; }
    [[nodiscard]] const std::vector<Reihe>& reihen() const { return reihen_; }
    [[nodiscard]] std::size_t anzahlIn(std::uint32_t reihe) const {
        return indizes_[reihe].folge.size();
    }
    // Text k of annotation i (0 is the longest).
    [[nodiscard]] std::string_view text(std::size_t i, int k = 0) const;

    // What row `reihe` shows in `breite` columns from `anfangNs`, in the
    // order of the columns. Each box or band costs a binary search, so this
    // takes about `breite` steps whatever the number of annotations.
    [[nodiscard]] std::vector<Kasten> berechne(std::uint32_t reihe, double anfangNs,
                                               double spanneNs, int breite) const;

    // The annotations whose text, decoder or row holds `muster` (any case
    // of ASCII letters), in the order of their start; all for an empty one.
    [[nodiscard]] std::vector<std::uint32_t> suche(const std::string& muster) const;

private:
    struct Index {
        std::vector<std::uint32_t> folge;    // by start
        std::vector<std::uint64_t> anfang;   // their starts, searched without a detour
        std::vector<std::uint64_t> maxEnde;  // the latest end up to here
        std::size_t geordnet = 0;            // how much of folge is sorted
    };
    std::vector<Reihe> reihen_;
    std::vector<Index> indizes_;
    std::vector<Eintrag> einträge_;
    std::string pool_;
    std::vector<std::uint32_t> zeitfolge_;  // all, by start
    std::size_t zeitGeordnet_ = 0;
};

// The annotations `auswahl` as CSV for a spreadsheet: a header line, then
// one line each of start and end in ns from the trigger `nullpunktNs`,
// decoder, row and text; fields apart by ';', texts quoted.
std::string alsCsv(const Annotationsliste& liste, const std::vector<std::uint32_t>& auswahl,
                   std::uint64_t nullpunktNs);

}  // namespace dravel::dekoder
