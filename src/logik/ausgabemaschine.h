#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The generator's output run, free of any window: the step loop over two
// level arrays, the waits against a fixed schedule, and the timing
// statistics. Whoever drives it (the generator window, a command line)
// answers a few questions each step through `Ausgabesteuerung` and pumps its
// own events there. All port access goes through Inp32/Out32.
namespace dravel::generator {

// Levels of one channel: 0 low, -1 high; the last element is never output.
using Pegelfolge = std::vector<std::int16_t>;

// Monotonic time in nanoseconds. Tests pass a clock of their own.
class Uhr {
public:
    virtual ~Uhr() = default;
    virtual std::int64_t jetztNs() = 0;
    // Sleeps the thread until the clock reaches `zeitNs` (short naps under
    // real-time scheduling).
    virtual void schlafeBis(std::int64_t zeitNs) = 0;
};

// A step that comes more than one time base after its deadline restarts the
// schedule from then instead of catching up in a burst of steps.
constexpr bool beginntPlanNeu(std::int64_t verspätungNs, std::int64_t basisNs) {
    return verspätungNs > basisNs;
}

// The system's monotonic clock (steady_clock).
class Systemuhr final : public Uhr {
public:
    std::int64_t jetztNs() override;
    void schlafeBis(std::int64_t zeitNs) override;
};

// What the run asks its driver, each step anew, so that settings changed
// during a run apply from the next step.
class Ausgabesteuerung {
public:
    virtual ~Ausgabesteuerung() = default;
    // Data register address.
    virtual std::int16_t adresse() = 0;
    // Line of each channel; nullopt skips the channel in this step (channel
    // 2 off, or no line number that can be read).
    virtual std::optional<std::int16_t> leitung1() = 0;
    virtual std::optional<std::int16_t> leitung2() = 0;
    // Milliseconds until the next step; read once per step, after its pump.
    virtual float zeitbasisMs() = 0;
    // The last character of a pass went out; a driver that runs a fixed
    // number of passes stops here (weiter() then answers false).
    virtual void durchlaufEnde() = 0;
    // Asked after each step's wait: false ends the run.
    virtual bool weiter() = 0;
    // The run must return at once (window closed, program ends); asked
    // after every pump.
    virtual bool abbrechen() = 0;
    // Handles whatever events are pending and returns.
    virtual void pumpe() = 0;
    // Handles events as they arrive, for at most `höchstensNs`; may return
    // sooner (after an event). Used for waits of more than a couple of ms.
    virtual void schlafe(std::int64_t höchstensNs) = 0;
};

// Timing of one run. The step error is how late a step's levels went out
// against its place in the schedule; a step late by more than one time base
// restarts the schedule from then.
struct Laufstatistik {
    std::uint64_t schritte = 0;
    std::uint64_t verspätet = 0;
    double mittlerePeriodeUs = 0;  // first to last step, over the steps between
    double medianFehlerUs = 0;
    double p99FehlerUs = 0;
    double größterFehlerUs = 0;
};

// One line, German: steps, late steps, mean period, step error.
std::string statistikText(const Laufstatistik& statistik);

struct Ausgabeeinstellungen {
    // Real-time scheduling and locked memory during the run.
    bool echtzeit = false;
};

class Ausgabemaschine {
public:
    // Waits with more than this left block in the event loop; the last
    // stretch spins on the clock.
    static constexpr std::int64_t kSchlafGrenzeNs = 2'000'000;
    // How early a blocking wait wakes before the deadline, for the wake-up
    // delay of the event loop's timer.
    static constexpr std::int64_t kVorlaufNs = 1'000'000;
    // Under real-time scheduling the short stretch naps too, waking this
    // much before the deadline (adapted to how late the kernel wakes the
    // thread): a thread that never sleeps would be throttled by the kernel
    // for tens of ms each second.
    static constexpr std::int64_t kKürzesteReserveNs = 20'000;
    static constexpr std::int64_t kLängsteReserveNs = 80'000;
    static constexpr std::int64_t kKürzestesNickerchenNs = 10'000;

    explicit Ausgabemaschine(Uhr& uhr, Ausgabeeinstellungen einstellungen = {});

    // Outputs `bitfolge1` (and `bitfolge2` where channel 2 is written) one
    // element per step, wrapping before the last element, until weiter()
    // says no or abbrechen() says yes. Step k goes out when the clock reaches
    // the start plus the time bases of steps 0..k-1. The arrays are read
    // afresh each step (a nested run may replace them).
    Laufstatistik lauf(Ausgabesteuerung& steuerung, const Pegelfolge& bitfolge1,
                       const Pegelfolge& bitfolge2);

    // Waits until the clock reaches `fristNs`, pumping events at least once
    // and throughout; ends early when abbrechen() says so.
    void warteBis(Ausgabesteuerung& steuerung, std::int64_t fristNs);

    // Nanoseconds of one time base: the single-precision milliseconds to
    // the nearest nanosecond; 0 for none, negative or not a number, the
    // largest count beyond range.
    static std::int64_t zeitbasisNs(float zeitbasisMs);

private:
    Uhr& uhr_;
    Ausgabeeinstellungen einstellungen_;
    // What one event pump takes lately: closer to the deadline than this,
    // the wait only watches the clock.
    std::int64_t pumpdauerNs_ = 0;
    // Naps in the short stretch of a wait (only under real-time scheduling).
    bool nicken_ = false;
    std::int64_t reserveNs_ = kLängsteReserveNs;
};

}  // namespace dravel::generator
