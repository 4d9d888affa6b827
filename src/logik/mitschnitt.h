#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "port/port.h"

namespace dravel::app {

// The trace of every port access for the whole program (--trace FILE.vcd).
//
// Start-up order: starteMitschnitt() before any window opens, then wrap the
// chosen backend with mitMitschnitt(); at every
// end of the program beendeMitschnitt() completes the file (räumeAuf calls
// it).

// Creates the file. On failure (a name with a control character among
// them) writes one German line to standard error and returns false; the program then ends with
// status 2. `basen` are the parallel port base addresses in use besides the standard ones, so that
// their registers are named data, status and control in the file.
bool starteMitschnitt(const QString& datei, const std::vector<std::uint16_t>& basen = {});

// The backend with the trace in front; unchanged when no trace was started.
std::unique_ptr<port::Backend> mitMitschnitt(std::unique_ptr<port::Backend> backend);

// Writes what is left, marks the end and closes the file. Port accesses
// after it are no longer recorded. Does nothing without a trace or when
// called again.
void beendeMitschnitt();

bool mitschnittLäuft();

// True once a write of the trace has failed (full disk): the file ends
// before the session does. Stays true after beendeMitschnitt() until the
// next trace starts. Asked by the commands for their exit status and by
// the windows for their message.
bool mitschnittUnvollständig();
// The German sentence that reported the failure; empty without one.
QString mitschnittFehler();

// The exit status of a command that ran with `status`: ends the trace
// first, then turns a success into 1 when the trace is incomplete.
int mitMitschnittstatus(int status);

}  // namespace dravel::app
