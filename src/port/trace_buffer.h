#pragma once

#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

namespace dravel::port {

// One port access as the trace keeps it until it reaches the file.
struct TraceEvent {
    std::uint64_t zeit;  // nanoseconds since the trace's epoch
    std::uint16_t port;
    std::uint8_t wert;
    bool gelesen;  // true for a read, false for a write
    // The time is already ns since the epoch (not a counter reading).
    bool inNs = false;
};

// A fixed ring between exactly one producer (the thread making port calls)
// and exactly one consumer (the thread writing the file). The producer's
// side is a few plain stores and one release store: no lock and no system
// call, so recording costs next to nothing on the generator's path. Memory
// stays at the size chosen at construction however long the session runs.
// A second producer would corrupt the ring without a trace: debug builds
// stop at the first event another thread tries to store.
class TraceBuffer {
public:
    // Capacity is rounded up to a power of two (at least 2 events).
    explicit TraceBuffer(std::size_t kapazität) : slots_(aufZweierpotenz(kapazität)) {
        maske_ = slots_.size() - 1;
    }

    TraceBuffer(const TraceBuffer&) = delete;
    TraceBuffer& operator=(const TraceBuffer&) = delete;

    [[nodiscard]] std::size_t kapazität() const { return slots_.size(); }

    // Producer only. False when the ring is full; the event is not stored.
    bool versuche(const TraceEvent& ereignis) noexcept {
#ifndef NDEBUG
        const std::thread::id ich = std::this_thread::get_id();
        if (erzeuger_ == std::thread::id()) erzeuger_ = ich;
        assert(erzeuger_ == ich && "TraceBuffer: only one thread may produce");
#endif
        const std::uint64_t kopf = kopf_.load(std::memory_order_relaxed);
        if (kopf - bekannterSchwanz_ == slots_.size()) {
            // Only look at the consumer's cache line when the ring seems full.
            bekannterSchwanz_ = schwanz_.load(std::memory_order_acquire);
            if (kopf - bekannterSchwanz_ == slots_.size()) return false;
        }
        slots_[kopf & maske_] = ereignis;
        kopf_.store(kopf + 1, std::memory_order_release);
        return true;
    }

    // Consumer only. Hands every event stored so far, oldest first, to
    // `verwende` and frees their slots; returns how many there were.
    template <class F>
    std::size_t leere(F&& verwende) {
        const std::uint64_t schwanz = schwanz_.load(std::memory_order_relaxed);
        const std::uint64_t kopf = kopf_.load(std::memory_order_acquire);
        for (std::uint64_t i = schwanz; i != kopf; ++i) {
            verwende(slots_[i & maske_]);
        }
        schwanz_.store(kopf, std::memory_order_release);
        return static_cast<std::size_t>(kopf - schwanz);
    }

private:
    static std::size_t aufZweierpotenz(std::size_t n) {
        std::size_t p = 2;
        while (p < n) p *= 2;
        return p;
    }

    std::vector<TraceEvent> slots_;
    std::size_t maske_ = 0;
    // Producer and consumer indices on separate cache lines so that each
    // side writes only its own.
    alignas(64) std::atomic<std::uint64_t> kopf_{0};
    std::uint64_t bekannterSchwanz_ = 0;  // producer's last look at schwanz_
    std::thread::id erzeuger_;            // debug builds: the one producing thread
    alignas(64) std::atomic<std::uint64_t> schwanz_{0};
};

}  // namespace dravel::port
