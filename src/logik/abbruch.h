#pragma once

#include <chrono>

namespace dravel::app {

// How the commands without a window end on a signal. SIGINT (Ctrl+C),
// SIGTERM, SIGHUP (terminal closed) and SIGQUIT only note the signal; the
// command's loop sees it at its next step, stops, and the program ends the
// normal way, so the port is released and a trace completed. A second signal
// of the same kind takes its default action; a signal ignored from the start
// (nohup) stays ignored. SIGPIPE (the reader of standard output went away)
// ends the command the same way.
void fangeAbbruchAb();

// The first signal that arrived since fangeAbbruchAb(), 0 while none did.
// Cheap enough to ask before every port access.
int abbruchsignal();

// Sleeps until `zeitpunkt` or until a signal arrives, whichever comes first.
// False when a signal arrived (also before the call).
bool warteBis(std::chrono::steady_clock::time_point zeitpunkt);

}  // namespace dravel::app
