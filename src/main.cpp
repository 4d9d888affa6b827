#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <cstring>

#include "befehle/befehle.h"
#include "fenster/anwendung.h"
#include "fenster/module1.h"
#include "fenster/signale.h"
#include "logik/kommandozeile.h"

namespace {

// Options that only print and end: they run without a display, so that
// --help and --list-ports work over SSH and on machines without X.
bool nurAusgabe(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        for (const char* option :
             {"-h", "--help", "--help-all", "-v", "--version", "--list-ports"}) {
            if (std::strcmp(argv[i], option) == 0) return true;
        }
    }
    return false;
}

// Without any display the windows cannot open; the command line is still
// read, so that its errors and a port that cannot be had are reported.
bool ohneBildschirm() {
    return qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char* argv[]) {
    // The commands for scripts need no display and open no window.
    if (dravel::app::hatBefehl(argc, argv)) {
        dravel::app::sichereStandardausgabe();
        dravel::app::wähleEreignisschleife();
        QCoreApplication app(argc, argv);
        const int status = dravel::app::führeBefehlAus(QCoreApplication::arguments());
        dravel::app::räumeAuf();
        return status;
    }
    if (nurAusgabe(argc, argv) || ohneBildschirm()) {
        QCoreApplication app(argc, argv);
        const auto ende = dravel::app::werteKommandozeileAus(QCoreApplication::arguments(),
                                                             dravel::app::befehlsübersicht(),
                                                             dravel::app::befehlsvorschlag);
        dravel::app::räumeAuf();
        if (ende) return *ende;
        std::fputs(
            "dravel: Kein Bildschirm (DISPLAY ist nicht gesetzt). Abhilfe: in einer "
            "grafischen Sitzung starten oder ssh -X benutzen.\n",
            stderr);
        return 2;
    }

    dravel::app::wähleEreignisschleife();
    dravel::app::fangePlattformfehlerAb(argc, argv);
    QApplication app(argc, argv);
    dravel::app::gibPlattformmeldungenWeiter();
    if (const auto ende = dravel::app::werteKommandozeileAus(QApplication::arguments(),
                                                             dravel::app::befehlsübersicht(),
                                                             dravel::app::befehlsvorschlag)) {
        return *ende;
    }
    dravel::app::richteAnwendungEin();
    // Ctrl+C and kill end the program like "Schließen": the port is released
    // and a trace file completed.
    dravel::app::fangeSignaleAb();

    Module1::Main();
    const int status = QApplication::exec();
    dravel::app::räumeAuf();
    return status;
}
