#pragma once

#include <sched.h>

#include <string>

// Real-time scheduling for the thread that drives the port, and memory
// locked against paging, for the length of an output run. Linux only; the
// kernel's real-time throttling still leaves the rest of the machine a
// share of every second.
namespace dravel::generator::echtzeit {

// Priority under SCHED_FIFO: above every normal thread, below the kernel's
// own real-time threads.
inline constexpr int kPriorität = 40;

// Whether this process may take real-time scheduling, and what stands in
// the way (the command line words it).
enum class Hindernis { Keines, KeinEchtzeitrecht, KeinSpeichersperren };
struct Prüfung {
    bool möglich = false;
    Hindernis hindernis = Hindernis::Keines;
};
Prüfung prüfe();

// Whether runs take it (set once at start, after prüfe()).
void wünschen(bool an);
bool gewünscht();

// Taken for the length of a run: SCHED_FIFO for the calling thread and all
// memory locked; the scheduling given back when the thread's outermost
// section ends, the memory when the process's last one does (the generator
// and a capture may run at once, each in a thread of its own). Does nothing
// where the permission is missing.
class Abschnitt {
public:
    Abschnitt();
    ~Abschnitt();
    Abschnitt(const Abschnitt&) = delete;
    Abschnitt& operator=(const Abschnitt&) = delete;

    // Whether the thread runs under real-time scheduling now.
    [[nodiscard]] bool wirkt() const;

private:
    bool außen_ = false;
    bool geplant_ = false;
    int alteStrategie_ = 0;
    sched_param altePriorität_{};
};

// Keeps the calling thread to the machine's last CPU where it has more than
// one: a sampling thread that never sleeps is not moved between CPUs, and
// the others keep the rest. Returns the CPU, or -1 where it stays free.
int bleibAufEinerCpu();

}  // namespace dravel::generator::echtzeit
