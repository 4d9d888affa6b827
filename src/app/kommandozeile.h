#pragma once

#include <QStringList>
#include <optional>

class QCoreApplication;

namespace dravel::app {

// Reads the command line and chooses the port backend. Returns an exit
// status when the program must end before any window opens (--help,
// --version, --list-ports, a backend that cannot start), nullopt to go on.
std::optional<int> werteKommandozeileAus(const QStringList& argumente);

// Releases whatever the command line set up (the bound backend) at exit.
void räumeAuf();

}  // namespace dravel::app
