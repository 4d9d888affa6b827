#include "aufnahme.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <utility>

namespace dravel::analysator {

bool berührtLücke(const std::vector<Lücke>& lücken, std::uint64_t von, std::uint64_t bis) {
    const auto erste =
        std::lower_bound(lücken.begin(), lücken.end(), von,
                         [](const Lücke& l, std::uint64_t t) { return l.endeNs < t; });
    return erste != lücken.end() && erste->anfangNs <= bis;
}

Aufnahme::Aufnahme(std::vector<Leitung> leitungen, std::size_t grenzeBytes)
    : leitungen_(std::move(leitungen)), höchstens_(grenzeBytes / kBytesJeÄnderung) {
    blöcke_.resize((höchstens_ + kBlock - 1) / kBlock);
    // The first block at once, so that a capture's first changes cost no
    // allocation on the sampling thread.
    if (!blöcke_.empty()) neuerBlock(blöcke_[0]);
}

bool Aufnahme::neuerBlock(std::unique_ptr<Block>& block) {
    // Not zeroed (`new Block`, not make_unique): clearing a megabyte would
    // hold the sampling thread up; every slot is written before it is read.
    // Memory that runs out is a limit like the set one, not the end of the
    // program.
    try {
        block.reset(new Block);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

Aufnahme::~Aufnahme() = default;

bool Aufnahme::hänge(std::uint64_t zeitNs, Pegel pegel) {
    const std::size_t n = anzahl_.load(std::memory_order_relaxed);
    if (n >= höchstens_) return false;
    auto& block = blöcke_[n / kBlock];
    // A fresh block is allocated before the count that makes it readable is
    // published, so readers never see a missing one.
    if (!block && !neuerBlock(block)) return false;
    block->zeiten[n % kBlock] = zeitNs;
    block->pegel[n % kBlock] = pegel;
    anzahl_.store(n + 1, std::memory_order_release);
    return true;
}

std::size_t Aufnahme::ersteAb(std::uint64_t zeitNs, std::size_t n) const {
    std::size_t unten = 0;
    std::size_t oben = n;
    while (unten < oben) {
        const std::size_t mitte = unten + (oben - unten) / 2;
        if ((*this)[mitte].zeitNs < zeitNs) {
            unten = mitte + 1;
        } else {
            oben = mitte;
        }
    }
    return unten;
}

Pegel Aufnahme::pegelBei(std::uint64_t zeitNs, std::size_t n) const {
    if (n == 0) return 0;
    const std::size_t i = ersteAb(zeitNs + 1, n);  // first change after zeitNs
    return (*this)[i == 0 ? 0 : i - 1].pegel;
}

void Aufnahme::hängeLücke(Lücke lücke) {
    if (lücke.endeNs <= lücke.anfangNs) return;
    const std::lock_guard<std::mutex> sperre(nebenMutex_);
    if (!lücken_.empty() && lücken_.back().endeNs >= lücke.anfangNs) {
        lücken_.back().endeNs = std::max(lücken_.back().endeNs, lücke.endeNs);
        return;
    }
    lücken_.push_back(lücke);
}

void Aufnahme::hängeUnbekannt(std::uint64_t zeitNs, Pegel maske) {
    const std::lock_guard<std::mutex> sperre(nebenMutex_);
    if (!unbekannt_.empty() && unbekannt_.back().zeitNs == zeitNs) {
        unbekannt_.back().pegel = maske;
        return;
    }
    if (unbekannt_.empty() ? maske == 0 : unbekannt_.back().pegel == maske) return;
    unbekannt_.push_back({zeitNs, maske});
}

std::vector<Lücke> Aufnahme::lücken() const {
    const std::lock_guard<std::mutex> sperre(nebenMutex_);
    return lücken_;
}

std::size_t Aufnahme::lückenAnzahl() const {
    const std::lock_guard<std::mutex> sperre(nebenMutex_);
    return lücken_.size();
}

std::vector<Änderung> Aufnahme::unbekannt() const {
    const std::lock_guard<std::mutex> sperre(nebenMutex_);
    return unbekannt_;
}

Pegel Aufnahme::unbekanntBei(std::uint64_t zeitNs) const {
    const std::lock_guard<std::mutex> sperre(nebenMutex_);
    const auto nach =
        std::upper_bound(unbekannt_.begin(), unbekannt_.end(), zeitNs,
                         [](std::uint64_t t, const Änderung& ä) { return t < ä.zeitNs; });
    return nach == unbekannt_.begin() ? 0 : std::prev(nach)->pegel;
}

}  // namespace dravel::analysator
