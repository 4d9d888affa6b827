#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace dravel::analysator {

// The levels of up to 64 one-bit lines at one moment, bit i for line i. In
// a capture of the port, bit n is pin n (1..17) at its electrical level,
// the port's inversions applied; a VCD file loaded for viewing numbers its
// one-bit signals from 0 in the order of the file.
using Pegel = std::uint64_t;

constexpr Pegel bitVon(int leitung) {
    return Pegel{1} << leitung;
}

// One line of a recording: which bit of Pegel it is and what the user sees.
struct Leitung {
    int bit = 0;
    std::string name;  // "10 /Ack" for a pin, the signal's name from a file
    int bus = -1;      // a bit of Aufnahme::busse[bus] (a file's vector), -1 for a line of its own
};

// A vector of a file, shown as one row with its value: its bits are lines
// of their own, most significant first.
struct Bus {
    std::string name;
    std::vector<int> bits;  // Pegel bits, most significant first
};

// A stretch in which the capture did not look at the lines, [anfangNs,
// endeNs) on the capture's clock: what they did there is unknown. A change
// first seen after it is stamped at its end.
struct Lücke {
    std::uint64_t anfangNs = 0;
    std::uint64_t endeNs = 0;
};

// Whether the stretch [von, bis] touches one of `lücken` (in order, apart,
// as a capture holds them): a time stamped at a gap's end is known only to
// lie within it, so it touches.
bool berührtLücke(const std::vector<Lücke>& lücken, std::uint64_t von, std::uint64_t bis);

// A change: from this time on, the lines stand at these levels.
struct Änderung {
    std::uint64_t zeitNs = 0;  // the session trace's clock: ns since the program started
    Pegel pegel = 0;
};

// Why a capture ended.
enum class Ende : std::uint8_t {
    Läuft,   // still running
    Dauer,   // the set duration has passed
    Halt,    // the user stopped it
    Grenze,  // the memory limit was reached
    Leer,    // stopped before the trigger came: no levels at all
};

// The changes of one capture, appended by exactly one thread (the capture
// engine's) while any number of others read what is published so far: the
// window draws a running capture from here. Storage grows in fixed blocks
// that never move, so readers need no lock; the limit is fixed up front.
class Aufnahme {
public:
    static constexpr std::size_t kBytesJeÄnderung = sizeof(std::uint64_t) + sizeof(Pegel);

    // `grenzeBytes`: the most memory the changes may take.
    Aufnahme(std::vector<Leitung> leitungen, std::size_t grenzeBytes);
    Aufnahme(const Aufnahme&) = delete;
    Aufnahme& operator=(const Aufnahme&) = delete;
    ~Aufnahme();

    // Producer only. Appends a change (times never decrease); false, and
    // nothing stored, once the limit is reached or memory runs out.
    bool hänge(std::uint64_t zeitNs, Pegel pegel);
    // Producer only: how far the capture has looked (a line that does not
    // change still has a level up to here), and how it ended.
    void setzeBisNs(std::uint64_t zeitNs) { bisNs_.store(zeitNs, std::memory_order_release); }
    void beende(Ende grund) { ende_.store(grund, std::memory_order_release); }
    void zähleProben(std::uint64_t anzahl) { proben_.fetch_add(anzahl, std::memory_order_relaxed); }
    // Producer only: a stretch not seen, appended in time order (one that
    // starts where the last ended extends it).
    void hängeLücke(Lücke lücke);
    // Producer only: from `zeitNs` on, the lines in `maske` have no known
    // level (a file's x or z) until the next call; times never decrease.
    void hängeUnbekannt(std::uint64_t zeitNs, Pegel maske);
    // Producer only: the longest time between two samples outside the gaps.
    void setzeAuflösungNs(std::uint64_t ns) { auflösungNs_.store(ns, std::memory_order_release); }

    // Any thread. Only the first anzahl() changes may be read.
    [[nodiscard]] std::size_t anzahl() const { return anzahl_.load(std::memory_order_acquire); }
    // Inline: a measurement over a large file reads every change.
    [[nodiscard]] Änderung operator[](std::size_t i) const {
        const Block& block = *blöcke_[i / kBlock];
        return {block.zeiten[i % kBlock], block.pegel[i % kBlock]};
    }
    // Index of the first change at or after `zeitNs` among the first `n`
    // (n when there is none).
    [[nodiscard]] std::size_t ersteAb(std::uint64_t zeitNs, std::size_t n) const;
    // The levels in force at `zeitNs` (the first change's levels before it).
    [[nodiscard]] Pegel pegelBei(std::uint64_t zeitNs, std::size_t n) const;
    [[nodiscard]] std::uint64_t bisNs() const { return bisNs_.load(std::memory_order_acquire); }
    [[nodiscard]] Ende ende() const { return ende_.load(std::memory_order_acquire); }
    [[nodiscard]] std::uint64_t proben() const { return proben_.load(std::memory_order_relaxed); }
    [[nodiscard]] std::size_t grenze() const { return höchstens_; }
    // Any thread: the gaps so far, in time order (a copy).
    [[nodiscard]] std::vector<Lücke> lücken() const;
    [[nodiscard]] std::size_t lückenAnzahl() const;
    // Any thread: the changes of the unknown lines' mask so far (a copy),
    // and the mask in force at `zeitNs` (0 before the first).
    [[nodiscard]] std::vector<Änderung> unbekannt() const;
    [[nodiscard]] Pegel unbekanntBei(std::uint64_t zeitNs) const;
    // 0 where nobody sampled (a file without the fact).
    [[nodiscard]] std::uint64_t auflösungNs() const {
        return auflösungNs_.load(std::memory_order_acquire);
    }

    [[nodiscard]] const std::vector<Leitung>& leitungen() const { return leitungen_; }
    // The moment shown as time 0: the trigger, or the capture's start.
    std::uint64_t nullpunktNs = 0;
    // The base address captured; -1 for a file that names none.
    int basis = -1;
    // A file's vectors; set before the recording is shown.
    std::vector<Bus> busse;
    // The decoders a saved capture names, as --dekoder spells them.
    std::vector<std::string> dekoder;

private:
    static constexpr std::size_t kBlock = 1 << 16;
    struct Block {
        std::array<std::uint64_t, kBlock> zeiten;
        std::array<Pegel, kBlock> pegel;
    };
    static bool neuerBlock(std::unique_ptr<Block>& block);

    std::vector<Leitung> leitungen_;
    std::size_t höchstens_;
    std::vector<std::unique_ptr<Block>> blöcke_;  // sized once; filled by the producer
    std::atomic<std::size_t> anzahl_{0};
    std::atomic<std::uint64_t> bisNs_{0};
    std::atomic<Ende> ende_{Ende::Läuft};
    std::atomic<std::uint64_t> proben_{0};
    std::atomic<std::uint64_t> auflösungNs_{0};
    // Rare next to the changes: guarded by a lock, copied out to readers.
    mutable std::mutex nebenMutex_;
    std::vector<Lücke> lücken_;
    std::vector<Änderung> unbekannt_;
};

}  // namespace dravel::analysator
