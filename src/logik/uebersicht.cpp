#include "uebersicht.h"

namespace dravel::analysator {

std::size_t Übersicht::folge(const Aufnahme& aufnahme) {
    if (quelle_ != &aufnahme) {
        quelle_ = &aufnahme;
        gedeckt_ = 0;
        stufen_.clear();
    }
    const std::size_t n = aufnahme.anzahl();
    // Level 0 from the changes themselves, each level above from the one
    // below; only complete blocks are summed, the rest is read directly.
    std::size_t unten = n;  // entries available on the level below
    for (std::size_t k = 0;; ++k) {
        const std::size_t voll = unten / kFächer;
        if (voll == 0) break;
        if (stufen_.size() <= k) stufen_.emplace_back();
        Stufe& s = stufen_[k];
        for (std::size_t j = s.oder.size(); j < voll; ++j) {
            Pegel oder = 0, und = ~Pegel{0};
            for (std::size_t i = j * kFächer; i < (j + 1) * kFächer; ++i) {
                const Pegel o = k == 0 ? aufnahme[i].pegel : stufen_[k - 1].oder[i];
                const Pegel u = k == 0 ? o : stufen_[k - 1].und[i];
                oder |= o;
                und &= u;
            }
            s.oder.push_back(oder);
            s.und.push_back(und);
        }
        unten = voll;
    }
    gedeckt_ = n;
    return gedeckt_;
}

Übersicht::Spanne Übersicht::über(const Aufnahme& aufnahme, std::size_t von,
                                  std::size_t bis) const {
    Spanne s;
    const auto nimm = [&](std::size_t stufe, std::size_t i) {
        if (stufe == 0) {
            const Pegel p = aufnahme[i].pegel;
            s.oder |= p;
            s.und &= p;
        } else {
            s.oder |= stufen_[stufe - 1].oder[i];
            s.und &= stufen_[stufe - 1].und[i];
        }
    };
    // Level 0 are the changes; level k + 1 is stufen_[k]. Walk up, taking
    // the ragged ends of the run on each level.
    for (std::size_t stufe = 0; von < bis; ++stufe) {
        if (stufe == stufen_.size() || bis - von < 2 * kFächer) {
            for (std::size_t i = von; i < bis; ++i) nimm(stufe, i);
            break;
        }
        while (von < bis && von % kFächer != 0) nimm(stufe, von++);
        while (bis > von && bis % kFächer != 0) nimm(stufe, --bis);
        von /= kFächer;
        bis /= kFächer;
    }
    return s;
}

}  // namespace dravel::analysator
