#pragma once

#include <chrono>
#include <cstdint>
#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace dravel::port {

// True where the processor's time-stamp counter may stand in for the
// monotonic clock: it runs at one rate in every power state and on every
// core (constant_tsc, nonstop_tsc), and the kernel itself keeps its clock by
// it (clocksource tsc; a kernel that found it unfit has chosen another).
// Looked up once.
bool counterRunsSteadily();

// The monotonic clock (CLOCK_MONOTONIC) in ns, the same in every process.
std::uint64_t monotonicNs();
// A moment of steady_clock (the same clock) in those ns.
std::uint64_t monotonicNs(std::chrono::steady_clock::time_point t);

// The time-stamp counter's reading; 0 where there is none.
inline std::uint64_t readCounter() noexcept {
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    return 0;
#endif
}

// A counter reading and the monotonic clock's time (ns) taken together.
struct CounterPoint {
    std::uint64_t counter;
    std::uint64_t ns;
};
CounterPoint counterPoint() noexcept;

// The monotonic clock at a fraction of its cost, for one thread that stamps
// many events (a port's writes): where the counter runs steadily, its
// reading on the line through two points where both were read together,
// the slope over up to a second and the offset renewed every couple of
// milliseconds, so the time stays within nanoseconds of the clock's own;
// never earlier than the last one it gave. Elsewhere the clock itself.
class CounterClock {
public:
    CounterClock();
    std::uint64_t nowNs() noexcept;

private:
    void renew() noexcept;

    bool counter_;
    CounterPoint slopeFrom_{};
    CounterPoint offset_{};
    std::uint64_t nsPerTick32_ = 0;  // ns per counter tick, times 2^32; 0 while unknown
    std::uint64_t last_ = 0;
};

}  // namespace dravel::port
