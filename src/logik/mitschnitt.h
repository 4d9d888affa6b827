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
// chosen backend (factory or ready backend) with mitMitschnitt(); at every
// end of the program beendeMitschnitt() completes the file (räumeAuf calls
// it).

// Creates the file. On failure writes one German line to standard error
// and returns false; the program then ends with status 2. `basen` are the
// parallel port base addresses in use besides the standard ones, so that
// their registers are named data, status and control in the file.
bool starteMitschnitt(const QString& datei, const std::vector<std::uint16_t>& basen = {});

// The factory or backend with the trace in front; unchanged when no trace
// was started.
port::BackendFactory mitMitschnitt(port::BackendFactory fabrik);
std::unique_ptr<port::Backend> mitMitschnitt(std::unique_ptr<port::Backend> backend);

// Writes what is left, marks the end and closes the file. Port accesses
// after it are no longer recorded. Does nothing without a trace or when
// called again.
void beendeMitschnitt();

bool mitschnittLäuft();

}  // namespace dravel::app
