#include "app/module1.h"
#include "generator/generator_fenster.h"
#include "steuerung.h"

namespace dravel {

void Steuerung::Generator_Click() {
    // One generator window for the whole program; the main window passes it
    // nothing.
    GeneratorFenster* fenster = Module1::Generatorfenster();
    fenster->show();
    fenster->raise();
    fenster->activateWindow();
}

}  // namespace dravel
