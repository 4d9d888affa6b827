#pragma once

class QWidget;

namespace dravel {

// Watches the session's trace and, the first time a write fails (full
// disk), says so in a message box that does not block the windows; the
// generator and the main window go on. Lives as long as `fenster`.
void meldeMitschnittfehler(QWidget* fenster);

}  // namespace dravel
