#pragma once

#include <cstddef>
#include <vector>

#include "logik/aufnahme.h"

namespace dravel::analysator {

// Which lines stand at which levels over a run of changes, without visiting
// each change: a pyramid of blocks, each holding the OR and the AND of the
// levels of kFächer blocks below it. A diagram asks for every pixel column;
// ten million changes cost a few hundred steps per column instead of ten
// thousand. Built up by the reading thread as the capture grows.
class Übersicht {
public:
    static constexpr std::size_t kFächer = 32;

    // The levels seen in a run of changes: a line that is 1 in `oder` and 0
    // in `und` stood at both levels in it.
    struct Spanne {
        Pegel oder = 0;
        Pegel und = ~Pegel{0};
        [[nodiscard]] Pegel wechselnd() const { return oder ^ und; }
    };

    // Takes in the changes `aufnahme` has published since the last call (the
    // first call starts over when given another recording). Returns how many
    // changes the summary covers.
    std::size_t folge(const Aufnahme& aufnahme);

    // The levels over changes [von, bis) of the recording last followed;
    // `bis` at most what folge() returned.
    [[nodiscard]] Spanne über(const Aufnahme& aufnahme, std::size_t von, std::size_t bis) const;

private:
    struct Stufe {
        std::vector<Pegel> oder, und;
    };
    const Aufnahme* quelle_ = nullptr;
    std::size_t gedeckt_ = 0;
    std::vector<Stufe> stufen_;  // stufen_[k] sums kFächer^(k+1) changes per entry
};

}  // namespace dravel::analysator
