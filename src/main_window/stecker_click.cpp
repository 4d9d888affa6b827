#include "app/module1.h"
#include "stecker/steckerfenster.h"
#include "steuerung.h"

namespace dravel {

void Steuerung::Stecker_Click() {
    // One connector view for the whole program; it follows this window's
    // base address by itself.
    Steckerfenster* fenster = Module1::Steckeransicht();
    fenster->show();
    fenster->raise();
    fenster->activateWindow();
}

}  // namespace dravel
