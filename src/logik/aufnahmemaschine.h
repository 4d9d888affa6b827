#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "logik/aufnahme.h"
#include "logik/ausloeser.h"

namespace dravel::port {
class Backend;
class ChangeLogReader;
}  // namespace dravel::port

namespace dravel::analysator {

// The engine's only way to the port: one register read. Tests script it.
class Portleser {
public:
    virtual ~Portleser() = default;
    virtual std::uint8_t lies(std::uint16_t adresse) = 0;
    // Where the port at `basis` logs every write (the simulated one): a
    // reader that follows the log from now on; nullptr where the port has
    // to be polled.
    virtual std::shared_ptr<port::ChangeLogReader> protokoll(std::uint16_t /*basis*/) {
        return nullptr;
    }
};

// The trace's clock: nanoseconds since the program started. Tests pass one
// of their own.
class Aufnahmeuhr {
public:
    virtual ~Aufnahmeuhr() = default;
    virtual std::uint64_t jetztNs() = 0;
};

class Programmuhr final : public Aufnahmeuhr {
public:
    std::uint64_t jetztNs() override;
};

// Reads through the bound backend beneath the session trace: the address
// grants apply, the trace never sees these reads. Made on the thread that
// makes the port calls (it binds the port if none is bound yet); it keeps
// the backend it reads alive, so replacing or releasing the bound backend
// never frees it under a running capture.
class PortOhneMitschnitt final : public Portleser {
public:
    PortOhneMitschnitt();
    std::uint8_t lies(std::uint16_t adresse) override;
    std::shared_ptr<port::ChangeLogReader> protokoll(std::uint16_t basis) override;

private:
    std::shared_ptr<port::Backend> backend_;
};

constexpr std::size_t kMiB = std::size_t{1} << 20;

// The largest memory limit a capture may be given here, in MiB: what the
// machine has and the process may take (physical memory, ulimit -v and
// ulimit -d), whichever is least. A larger limit could only end in memory
// that runs out; the command and the window refuse it. `grund` says which
// of the three it is.
struct Speicherhöchstmaß {
    std::size_t mib = 0;
    const char* grund = "";
};
Speicherhöchstmaß größteGrenze();

// Every pin with a signal: 1..17.
constexpr Pegel kAllePins = ((Pegel{1} << 18) - 1) & ~Pegel{1};

// Stretches without a sample longer than this are gaps: a few times the
// longest regular distance between two clock reads (kZielAbstandNs on the
// simulated port, one sample of up to three reads of about 1 µs each on a
// real one), and short enough for an interrupt or a page fault to stay
// below it while every scheduler hole (a time slice, 1 ms and more) is one.
constexpr std::uint64_t kLückeAbNs = 20'000;

// Regular pauses of the sampling thread under real-time scheduling, each a
// gap like any other. A thread that never sleeps is held back by the
// kernel for 50 ms of every second (sched_rt_runtime_us), in one hole;
// pausing by itself for a little more than that share spreads it over the
// second in holes of one pause, but costs more in all: each wake-up comes
// late, and the pauses need a margin over the kernel's share (fewer,
// longer ones miss its budget in some periods). Measured side by side
// (bench/luecken_bench): spinning 5.6-6.7 % unseen, longest hole 54-60 ms;
// 1 ms every 18 ms 6.4-7.9 %, longest 2-17 ms; 0.1 ms every 1 ms 12-14 %.
// The smallest total is not to pause, so a capture does not by default,
// except on a machine with one CPU: there the rest of the machine (the
// window, the program that drives the lines) would get the kernel's share
// only in one piece per second, so it pauses 1 ms every 18 ms, a little
// more than that share. Both 0: no pauses.
struct Pausenplan {
    std::uint64_t abstandNs = 0;  // from the start of one pause to the next
    std::uint64_t dauerNs = 0;
};
constexpr Pausenplan kPausenAufEinerCpu{18'000'000, 1'000'000};

struct Aufnahmeeinstellungen {
    std::uint16_t basis = 0x378;
    Pegel pins = kAllePins;                 // bit n: pin n is captured
    std::uint64_t dauerNs = 1'000'000'000;  // 0: until stopped or the limit
    double vorlaufAnteil = 0.1;             // share of the duration before the trigger, 0..1
    std::size_t grenzeBytes = 256 * kMiB;
    Auslöser auslöser;
    bool wiederholen = false;  // a new capture after each one that ran its duration
    // Armed this long without a trigger, a capture starts anyway, as if the
    // trigger had come then (0: it waits for the trigger).
    std::uint64_t autoNachNs = 0;
    // The sampling thread under SCHED_FIFO on one CPU, memory locked, with
    // `pausen`; where the permission is missing it samples as without.
    bool echtzeit = false;
    Pausenplan pausen;
    bool abtasten = false;  // the simulated port polled instead of its change log
};

// Which registers a choice of pins needs, and for each a table from the
// byte read to the pins' levels (bit n = pin n, inversions applied; the
// pins not chosen stay 0). A sample is one read per register and one table
// look-up each.
struct Abtastplan {
    int anzahl = 0;
    std::array<std::uint16_t, 3> adressen{};
    std::array<std::array<Pegel, 256>, 3> tabellen{};
};
Abtastplan plane(std::uint16_t basis, Pegel pins);

// The lines of a capture of these pins, in pin order, named "10 /Ack".
std::vector<Leitung> leitungenFür(Pegel pins);

// Said when data lines are chosen while control bit 5 makes them outputs:
// the capture then shows what the port drives, not what comes in. Empty
// otherwise. The engine itself never changes the direction.
std::string richtungsHinweis(Pegel pins, std::uint8_t steuerregister);

// Why a capture ended, as the command and the window say it.
const char* endeText(Ende ende);

// Samples the chosen lines in a thread of its own, as fast as the reads
// allow, and stores only changes, each stamped when the sample that saw
// it was taken (at most one sample's time late). The clock is read at a
// change and once every few samples, as many as take about kZielAbstandNs
// (measured as it goes: one on a real port, hundreds on the simulated
// one), so a quiet line costs the reads, a table look-up per sample and a
// small share of clock reads. Two clock reads more than kLückeAbNs apart
// make the stretch between them a gap of the capture (Aufnahme::lücken):
// the thread was off the CPU or the reads stalled. A change first seen
// after a gap is stamped at its end. The longest distance between two
// clock reads outside gaps is the capture's time resolution.
//
// Before the trigger, changes go into a ring bounded by the pre-trigger's
// share of the limit; at the trigger those within the pre-trigger time
// start a new Aufnahme (its first change gives the levels at the window's
// start), whose nullpunktNs is the trigger. Without a trigger the first
// sample starts it; with autoNachNs, so does the first block of samples
// that ends that long after arming. A repeating run arms again after each
// capture that ran its duration. Memory that runs out below the limit ends the capture as
// the limit does, with what it holds.
//
// Where the port logs its writes (Portleser::protokoll) and polling is not
// asked for, the thread follows the log instead of sampling: every change
// at the time it was written, however busy the machine; entries lost to a
// reader that fell a whole log behind become gaps.
class Aufnahmemaschine {
public:
    static constexpr std::size_t kBlock = 1024;
    static constexpr std::uint64_t kZielAbstandNs = 2'000;

    Aufnahmemaschine(Portleser& leser, Aufnahmeuhr& uhr);
    ~Aufnahmemaschine();
    Aufnahmemaschine(const Aufnahmemaschine&) = delete;
    Aufnahmemaschine& operator=(const Aufnahmemaschine&) = delete;

    // Called from the engine's thread: a capture has begun (its trigger
    // came) / the run has ended (from starte() when no thread could be
    // started). Set before starte().
    std::function<void(std::shared_ptr<Aufnahme>)> beiNeuerAufnahme;
    std::function<void()> beiEnde;

    // Starts a run in the engine's thread; a running one is stopped first.
    void starte(const Aufnahmeeinstellungen& einstellungen);
    // The user's stop: a running capture ends with Ende::Halt, a trigger
    // still awaited starts none. Returns once the thread has ended.
    void halte();
    // Returns once the run has ended by itself or by halte().
    void warte();

    [[nodiscard]] bool läuft() const { return läuft_.load(std::memory_order_acquire); }
    // The run waits for its trigger (before the first capture or between
    // two of a repeating run).
    [[nodiscard]] bool wartetAufAuslöser() const { return wartet_.load(std::memory_order_acquire); }
    // The newest capture (running or ended); nullptr before the first.
    [[nodiscard]] std::shared_ptr<Aufnahme> aktuelle() const;
    // Samples taken in the run and the time they took, for the rate.
    [[nodiscard]] std::uint64_t proben() const { return proben_.load(std::memory_order_relaxed); }
    [[nodiscard]] double probenJeSekunde() const;
    // The run follows the port's change log instead of polling: it has no
    // sample rate, it holds each write at its time.
    [[nodiscard]] bool folgtProtokoll() const {
        return folgtProtokoll_.load(std::memory_order_relaxed);
    }

private:
    void starteFaden();
    template <int N>
    void schleife(const Abtastplan& plan);
    void schleifeAusProtokoll(const Abtastplan& plan, port::ChangeLogReader& protokoll);
    bool verarbeite(std::uint64_t zeitNs, Pegel pegel, bool erste);
    // Every clock read in the loop: the stretch since the last one is a
    // gap or counts for the time resolution.
    void uhrGelesen(std::uint64_t zeitNs);
    void lücke(Lücke l);
    void löseAus(std::uint64_t zeitNs, Pegel pegel);
    void schließe(std::uint64_t zeitNs, Ende grund);
    void schärfe(std::uint64_t zeitNs, Pegel pegel);
    // After each block of samples: armed too long, the capture starts.
    void löseAusNachWartezeit(std::uint64_t jetztNs);

    Portleser& leser_;
    Aufnahmeuhr& uhr_;
    Aufnahmeeinstellungen e_;
    std::thread faden_;
    std::atomic<bool> halt_{false};
    std::atomic<bool> läuft_{false};
    std::atomic<bool> wartet_{false};
    std::atomic<std::uint64_t> proben_{0};
    std::atomic<bool> folgtProtokoll_{false};
    std::atomic<std::uint64_t> startNs_{0};
    std::atomic<std::uint64_t> endeNs_{0};

    mutable std::mutex mutex_;  // guards aktuelle_
    std::shared_ptr<Aufnahme> aktuelle_;

    // The engine's thread only.
    std::shared_ptr<Aufnahme> laufend_;  // the capture being filled, null while armed
    // The next capture, made while armed: at the trigger the thread only
    // hands it over and samples on, so the lines' next changes are not
    // stamped late by an allocation.
    std::shared_ptr<Aufnahme> bereit_;
    Pegel letzter_ = 0;
    Auslösergedächtnis gedächtnis_;
    std::uint64_t scharfSeitNs_ = 0;  // armed since (the first sample's time at the start)
    std::uint64_t fensterEndeNs_ = 0;
    std::uint64_t vorlaufNs_ = 0;
    std::vector<Änderung> ring_;  // pre-trigger changes, oldest at ringAnfang_
    std::size_t ringAnfang_ = 0;
    std::size_t ringGröße_ = 0;
    bool fertig_ = false;
    std::uint64_t letzteUhrNs_ = 0;  // the last clock read of the loop
    std::uint64_t auflösungNs_ = 0;  // of the capture being filled
    // Gaps while armed that may still reach into the next capture's window.
    std::deque<Lücke> vorLücken_;
};

}  // namespace dravel::analysator
