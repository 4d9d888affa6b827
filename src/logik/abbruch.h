#pragma once

#include <cstdint>

namespace dravel::app {

// How a signal ends the program, for the commands and the windows alike.
// SIGINT (Ctrl+C), SIGTERM, SIGHUP (terminal closed) and SIGQUIT only note
// the signal and wake whoever waits (through a pipe, the only safe way out of
// a signal handler); the program stops at its next step and ends the normal
// way, so the port is released and a trace completed. A second signal of the
// same kind takes its default action; a signal ignored from the start
// (nohup) stays ignored.
enum class Rohrbruch {
    Beendet,  // SIGPIPE keeps its default action
    // SIGPIPE (the reader of standard output went away) is noted like the
    // others: every later write to the closed pipe raises it again, and none
    // of them may end the program before the trace is complete.
    Abgefangen,
};

// Arms the signals; calling again re-arms them and forgets the signal seen.
void fangeAbbruchAb(Rohrbruch rohrbruch = Rohrbruch::Abgefangen);

// The first signal that arrived since fangeAbbruchAb(), 0 while none did.
// Cheap enough to ask before every port access.
int abbruchsignal();

// The read end of the wake-up pipe, readable once a signal arrived (for an
// event loop's notifier); -1 before fangeAbbruchAb(). leereWeckrohr()
// reads it empty.
int weckrohr();
void leereWeckrohr();

// Also end as on SIGPIPE when the reader of `fd` goes away while the
// program waits (a pipe whose reader closed reports an error on poll):
// `beobachten … | head -1` ends even while nothing is written.
void beobachteLeser(int fd);

// Sleeps until the monotonic clock (steady_clock, in ns) reaches `zeitNs`
// or until a signal arrives, whichever comes first. False when a signal
// arrived (also before the call) or the watched reader went away.
bool warteBis(std::int64_t zeitNs);

// Waits until `fd` takes data again. False when a signal arrived first or
// the reader went away (noted as SIGPIPE).
bool warteAufAusgabe(int fd);

}  // namespace dravel::app
