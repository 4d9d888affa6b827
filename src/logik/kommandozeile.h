#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "logik/echtzeit.h"
#include "port/port_report.h"

namespace dravel::app {

// Reads the command line and chooses the port backend. Returns an exit
// status when the program must end before any window opens (--help,
// --version, --list-ports, a wrong option, a backend that cannot start:
// status 2), nullopt to go on. `befehlsübersicht` closes the text of --help:
// the commands live in the layer above, and so does `vorschlag`, the hint
// after an unknown command. `vorDemMitschnitt`, if given, is asked once the
// port is open and before the trace file is created; a status from it ends
// the program there (no display for the windows).
using Vorprüfung = std::function<std::optional<int>()>;
std::optional<int> werteKommandozeileAus(const QStringList& argumente,
                                         const QString& befehlsübersicht = {},
                                         QString (*vorschlag)(QStringView) = nullptr,
                                         const Vorprüfung& vorDemMitschnitt = {});

// The options that choose the port and what goes with it (--port,
// --allow-io, --ecr, --trace, --echtzeit); the windows and the commands share them.
QList<QCommandLineOption> portOptionen();

// The start of the line that names the simulated port, where nobody chose a
// port or "sim" was chosen.
inline constexpr const char* kSimulierterPort =
    "dravel: simulierter Port an 0x378 (888), keine Hardware";

// With a parser that has read portOptionen(): opens the chosen port, starts
// the trace, binds the port and asks for real-time runs. Status 2 after one line on standard error
// when that cannot be done, nullopt to go on. `meldePort`: one line on
// standard error names the port in use.
std::optional<int> bindePort(const QCommandLineParser& parser, bool meldePort,
                             const Vorprüfung& vorDemMitschnitt = {});

// What --ecr NAME asks of the chosen backend: the mode (bits 7..5), or the
// line that refuses it (an unknown name, or a backend other than raw I/O,
// the only one that reaches the ECR).
struct EcrWahl {
    int modus = -1;
    std::string ablehnung;
};
EcrWahl ecrWahlAus(const QString& name, const QString& backend);

// What examinePorts finds, with the ECRs that --ecr set in this run marked:
// the one report of pruefen, --list-ports and the window's Portprüfung.
port::PortReport untersuchePorts(port::SystemCalls& system);

// The line that tells the user what keeps --echtzeit from working in full
// and the fix; empty when nothing does.
std::string echtzeitHinweis(generator::echtzeit::Hindernis hindernis);
// For a window's "Echtzeit" check box: why this process may not sample
// under real-time scheduling and the fix (its tooltip while disabled);
// empty when it may.
std::string echtzeitHindernis();

// Releases whatever the command line set up (the bound backend, and with it
// any claimed port) at exit.
void räumeAuf();

}  // namespace dravel::app
