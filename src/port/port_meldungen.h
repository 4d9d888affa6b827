#pragma once

#include <string>
#include <vector>

#include "port/port_report.h"
#include "port/start_error.h"

// The words for what the port backends report. The backends name the cause;
// the fixes that name the program's options are written here, next to the
// command line that defines them. Plain C++, so that a program without Qt
// (the emulated machine's guest) says the same.
namespace dravel::app {

// The backends' texts carry names from outside (paths, environment, the
// port chosen) as they are; these two are where they become lines, masked
// (port/masking.h).

// The start error as one line: its cause and the fix.
std::string startMeldung(const port::StartError& fehler);

// A backend's message as one line.
std::string meldungsZeile(const port::Message& meldung);

// Writes each message as "dravel: <line>" to standard error.
port::MessageSink meldungenNachStderr();

// One finding of the port report: a German line and the command that fixes
// it (empty when nothing needs fixing); level 1 belongs to the port above.
struct Befund {
    int ebene = 0;
    std::string text;
    std::string abhilfe;
};

// The report's findings in the order a user fixes things.
std::vector<Befund> befunde(const port::PortReport& bericht);

// The name of an ECR mode (bits 7..5): "SPP", "PS/2", "ECP"…
const char* ecrModus(int modus);

// What --list-ports and "dravel pruefen" print; every problem comes with its
// fix on the same line.
std::string portBericht(const port::PortReport& bericht);

// The same for scripts: one JSON object with the facts and the findings.
std::string portBerichtJson(const port::PortReport& bericht);

}  // namespace dravel::app
