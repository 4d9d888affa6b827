#pragma once

#include <QStringList>
#include <optional>

namespace dravel::app {

// Reads the command line and chooses the port backend. Returns an exit
// status when the program must end before any window opens (--help,
// --version, --list-ports, a wrong option, a backend that cannot start:
// status 2), nullopt to go on.
std::optional<int> werteKommandozeileAus(const QStringList& argumente);

// Releases whatever the command line set up (the bound backend, and with it
// any claimed port) at exit.
void räumeAuf();

}  // namespace dravel::app
