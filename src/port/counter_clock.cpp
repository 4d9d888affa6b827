#include "counter_clock.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace dravel::port {
namespace {

constexpr std::uint64_t kRenewTicks = std::uint64_t{1} << 22;  // about 1 to 2 ms
constexpr std::uint64_t kSlopeMinNs = 1'000'000;
constexpr std::uint64_t kSlopeMaxNs = 1'000'000'000;

bool lookUp() {
#if defined(__x86_64__) || defined(__i386__)
    bool constant = false, nonstop = false;
    if (std::FILE* cpuinfo = std::fopen("/proc/cpuinfo", "r")) {
        char line[4096];
        while (std::fgets(line, sizeof line, cpuinfo)) {
            if (std::strncmp(line, "flags", 5) != 0) continue;
            constant = std::strstr(line, " constant_tsc") != nullptr;
            nonstop = std::strstr(line, " nonstop_tsc") != nullptr;
            break;
        }
        std::fclose(cpuinfo);
    }
    // A kernel that found the counter unfit keeps its clock by another.
    char source[64] = "";
    if (std::FILE* file =
            std::fopen("/sys/devices/system/clocksource/clocksource0/current_clocksource", "r")) {
        if (!std::fgets(source, sizeof source, file)) source[0] = 0;
        std::fclose(file);
    }
    return constant && nonstop && std::strncmp(source, "tsc", 3) == 0;
#else
    return false;
#endif
}

}  // namespace

bool counterRunsSteadily() {
    static const bool steady = lookUp();
    return steady;
}

std::uint64_t monotonicNs(std::chrono::steady_clock::time_point t) {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count());
}

std::uint64_t monotonicNs() {
    return monotonicNs(std::chrono::steady_clock::now());
}

CounterClock::CounterClock() : counter_(counterRunsSteadily()) {
    if (counter_) slopeFrom_ = offset_ = counterPoint();
}

CounterPoint counterPoint() noexcept {
    // The clock read between two counter readings: their middle belongs to
    // it. Of a few tries the tightest counts; an interrupted one is useless.
    CounterPoint best{};
    std::uint64_t narrowest = ~std::uint64_t{0};
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::uint64_t before = readCounter();
        const std::uint64_t ns = monotonicNs();
        const std::uint64_t after = readCounter();
        if (after - before < narrowest) {
            narrowest = after - before;
            best = {before + (after - before) / 2, ns};
        }
    }
    return best;
}

void CounterClock::renew() noexcept {
    offset_ = counterPoint();
    const std::uint64_t span = offset_.ns - slopeFrom_.ns;
    if (span > 2 * kSlopeMaxNs) {
        slopeFrom_ = offset_;  // idle for long: the slope so far serves meanwhile
        return;
    }
    if (span >= kSlopeMinNs && offset_.counter > slopeFrom_.counter) {
        nsPerTick32_ = (span << 32) / (offset_.counter - slopeFrom_.counter);
        // The slope follows the clock's own corrections second by second.
        if (span >= kSlopeMaxNs) slopeFrom_ = offset_;
    }
}

std::uint64_t CounterClock::nowNs() noexcept {
    std::uint64_t ns = 0;
    if (!counter_) {
        ns = monotonicNs();
    } else {
        std::uint64_t now = readCounter();
        if (now - offset_.counter >= kRenewTicks) {
            renew();
            now = readCounter();
        }
        if (nsPerTick32_ == 0) {
            ns = monotonicNs();  // the first millisecond: no slope yet
        } else {
            ns = offset_.ns + (((now - offset_.counter) * nsPerTick32_) >> 32);
        }
    }
    // A renewed offset may lie a few ns before the line it replaces.
    if (ns <= last_) ns = last_ + 1;
    last_ = ns;
    return ns;
}

}  // namespace dravel::port
