#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace dravel::app {

// The commands without a window, for scripts ("dravel lesen 0x379"): the
// first argument that is no option names one. They need no display, accept
// the same port options as the windows, check every argument before the port
// is opened, and end cleanly on Ctrl+C, SIGTERM and SIGHUP.

// True when the command line (program name first) names a command.
bool hatBefehl(int argc, char* argv[]);

// Runs the command the arguments name (program name first); the exit status:
// 0 done, 2 refused before any port access (one line on standard error),
// 128 + n ended by signal n, 1 standard output could not be written.
int führeBefehlAus(const QStringList& argumente);

// The hint after "Unbekannter Befehl": the nearest command, or the German
// name of an English one (" Meinten Sie „lesen“?"); empty when none is near.
QString befehlsvorschlag(QStringView wort);

// Call before anything opens a file: a standard output closed at start is
// held by /dev/null, so that no other file takes its number, and the
// commands that print say it is closed.
void sichereStandardausgabe();

// The commands, one line each, for "dravel --help".
QString befehlsübersicht();

}  // namespace dravel::app
