#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "backend.h"
#include "counter_clock.h"
#include "dravel_version.h"
#include "port.h"
#include "trace_buffer.h"
#include "vcd_writer.h"

namespace dravel::port {

// The moment the program started, as near as the port code can tell (taken
// while static objects are set up, before main runs). Trace times count
// from here.
std::chrono::steady_clock::time_point programmstart();
// The same in monotonicNs(): what the port's logs stamp is turned into
// times since the start by taking this off.
std::uint64_t programmstartNs();

// Records port accesses into a VCD file without slowing the thread that
// makes them: each access is a timestamp and a few stores into a fixed ring
// (TraceBuffer); a writer thread of its own empties the ring every few
// milliseconds, formats the changes and writes them in large blocks. No
// system call happens per access, and memory stays at the ring's size.
//
// Nothing is dropped: should the writer ever fall a whole ring behind, the
// recording thread waits for it. A write error is reported once through
// `melde` and recording goes on without a file; the program is not stopped.
// No two accesses share a time in the file, whichever clock stamps them.
class TraceRecorder {
public:
    struct Einstellungen {
        std::string pfad;
        std::string version = "Dravel " DRAVEL_VERSION;
        std::vector<std::uint16_t> basen = standardbasen();
        std::size_t ringgröße = 1 << 18;  // events (16 bytes each)
        std::chrono::milliseconds takt{20};
        std::size_t kopfbereich = VcdWriter::kStandardKopfbereich;
        std::chrono::steady_clock::time_point epoche = programmstart();
        // The processor's time-stamp counter where it runs at a constant
        // rate (a fraction of the cost of reading the clock); otherwise, or
        // when switched off, the monotonic clock at every access.
        bool zählerErlaubt = true;
        // Receives each message for standard error, one German line.
        std::function<void(const std::string&)> melde;
    };

    // Creates the file; replacing an existing one is said through `melde`.
    // On failure returns nullptr and one German line naming the file and
    // the reason in `fehler`.
    static std::unique_ptr<TraceRecorder> öffne(Einstellungen einstellungen, std::string& fehler);
    ~TraceRecorder();

    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;

    // One access, from the one thread that makes port calls. The time is
    // taken here, after the backend has done the access.
    void zeichneAuf(bool gelesen, std::uint16_t port, std::uint8_t wert) noexcept {
        if (!aktiv_) return;
        const TraceEvent ereignis{zähler_ ? readCounter() : nanosekunden(), port, wert, gelesen};
        if (!ring_.versuche(ereignis)) warteAufPlatz(ereignis);
    }

    // One access at a time the backend took on the monotonic clock (ns):
    // the trace then holds the very time the backend's own log holds.
    void zeichneAufBei(bool gelesen, std::uint16_t port, std::uint8_t wert,
                       std::uint64_t monotonNs) noexcept {
        if (!aktiv_) return;
        const TraceEvent ereignis{monotonNs > epocheNs_ ? monotonNs - epocheNs_ : 0, port, wert,
                                  gelesen, true};
        if (!ring_.versuche(ereignis)) warteAufPlatz(ereignis);
    }

    // True when accesses are stamped with the time-stamp counter.
    [[nodiscard]] bool nutztZähler() const { return zähler_; }

    // The backend named in the file's header.
    void nenneBackend(const std::string& name);

    // Writes everything recorded so far, marks the end time and closes the
    // file; later accesses are not recorded. Called from the thread that
    // records; safe to call again. False if the file is incomplete because
    // of a write error.
    bool beende();

    [[nodiscard]] bool aktiv() const { return aktiv_; }
    // True from the first failed write on: the file will not be complete.
    // Any thread may ask.
    [[nodiscard]] bool unvollständig() const {
        return unvollständig_.load(std::memory_order_acquire);
    }
    // The line that reported the failure; empty while there is none.
    [[nodiscard]] std::string fehlermeldung() const;
    [[nodiscard]] const std::string& pfad() const { return pfad_; }

private:
    TraceRecorder(Einstellungen einstellungen, std::unique_ptr<VcdWriter> schreiber);
    std::uint64_t nanosekunden() const noexcept {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                              std::chrono::steady_clock::now() - epoche_)
                                              .count());
    }
    // A counter reading and the time since the epoch taken together; the
    // writer turns counter stamps into times between two such points.
    CounterPoint stützpunkt() const;
    void warteAufPlatz(const TraceEvent& ereignis) noexcept;
    void schreibfadenSchleife();
    void meldeFehlerEinmal();
    void meldeSicherungsfehlerEinmal();
    std::uint64_t einmalig(std::uint64_t zeit);

    TraceBuffer ring_;
    std::unique_ptr<VcdWriter> schreiber_;  // owned by the writer thread while it runs
    std::string pfad_;
    std::chrono::steady_clock::time_point epoche_;
    std::uint64_t epocheNs_;  // the same on the monotonic clock
    std::chrono::milliseconds takt_;
    std::function<void(const std::string&)> melde_;
    bool zähler_;
    bool aktiv_ = true;  // read and written by the recording thread only
    bool gutBeendet_ = true;

    mutable std::mutex mutex_;  // guards the fields below
    std::condition_variable wecker_;
    bool halt_ = false;
    bool geweckt_ = false;
    std::string neuerBackendname_;
    std::string fehlermeldung_;
    std::atomic<bool> unvollständig_{false};

    // Writer thread only (and beende after it): the two last points, the
    // last time written, whether the skipped save file was reported.
    CounterPoint vorher_{};
    std::uint64_t letzteZeit_ = 0;
    bool sicherungGemeldet_ = false;

    std::thread schreibfaden_;
};

// A backend in front of another one that hands every access to a recorder.
// It answers and behaves exactly like the backend it wraps, name included,
// so windows and start-up messages cannot tell it is there.
class TracePort final : public Backend {
public:
    TracePort(std::unique_ptr<Backend> dahinter, std::shared_ptr<TraceRecorder> recorder);

    std::uint8_t read(std::uint16_t port) override {
        const std::uint8_t wert = dahinter_->read(port);
        if (geschrieben_) {
            recorder_->zeichneAufBei(true, port, wert, dahinter_->stampNs());
        } else {
            recorder_->zeichneAuf(true, port, wert);
        }
        return wert;
    }
    void write(std::uint16_t port, std::uint8_t value) override {
        dahinter_->write(port, value);
        if (geschrieben_) {
            recorder_->zeichneAufBei(false, port, value, *geschrieben_);
        } else {
            recorder_->zeichneAuf(false, port, value);
        }
    }
    [[nodiscard]] std::string name() const override { return dahinter_->name(); }
    [[nodiscard]] std::uint8_t controlBitsNotReadBack() const override {
        return dahinter_->controlBitsNotReadBack();
    }

    Backend& unrecorded() override { return dahinter_->unrecorded(); }

private:
    std::unique_ptr<Backend> dahinter_;
    std::shared_ptr<TraceRecorder> recorder_;
    // The backend's last write time, where it keeps a log; reads are then
    // stamped by its clock too.
    const std::uint64_t* geschrieben_;
};

}  // namespace dravel::port
