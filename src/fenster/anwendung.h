#pragma once

#include "logik/sprache.h"

namespace dravel::app {

// Call before the application object exists. The generator's waits pump
// events on every poll; Qt's own event dispatcher does one pass in about
// 1.1 µs where the GLib one takes noticeably longer, so Dravel uses Qt's
// unless the user chose otherwise with QT_NO_GLIB.
void wähleEreignisschleife();

// Qt ends the program with an abort when it cannot start the platform the
// windows need (QT_QPA_PLATFORM names one that is missing, the display is
// gone). Between these two calls, made around the construction of the
// QApplication, such a failure ends the program instead with one German
// line and status 2; Qt's messages meanwhile are held back and passed on
// once the platform has started.
void fangePlattformfehlerAb(int argc, char* argv[]);
void gibPlattformmeldungenWeiter();

// Application-wide set-up shared by the program and the tests: names,
// German standard buttons (qtbase_de), font substitutes, the window icon.
// Call once after the QApplication exists.
void richteAnwendungEin();

}  // namespace dravel::app
