#pragma once

#include <QApplication>
#include <QList>
#include <QString>
#include <QWidget>
#include <functional>

#include "recording_port.h"

namespace dravel::test {

// Binds a fresh recording double as the port and returns it; the port owns
// it until the next installBackend/releaseBackend.
port::RecordingPort& installiereAufzeichnung();
// The same, but with the simulated port behind the recording.
port::RecordingPort& installiereAufzeichnungMitSimulation();

// Answers the next modal dialog: once a modal widget is active, calls
// `antwort` with it (from the event loop, while exec() runs). Gives up after
// `frist` milliseconds.
void beantworteNächstenDialog(std::function<void(QWidget*)> antwort, int frist = 5000);

// Common test set-up: application names, German buttons, fonts, a fixed
// German locale, and a settings folder of its own.
void richteTestanwendungEin();

// A double click in the middle of `ziel` as a window system delivers it:
// press, release, double-click, release.
void doppelklicke(QWidget* ziel);

// The open windows of type T: top-level and not yet deleted.
template <class T>
QList<T*> offeneFenster() {
    QList<T*> liste;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* f = dynamic_cast<T*>(w)) liste << f;
    }
    return liste;
}

}  // namespace dravel::test
