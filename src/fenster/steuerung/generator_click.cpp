#include "fenster/module1.h"
#include "steuerung.h"

namespace dravel {

void Steuerung::Generator_Click() {
    // One generator window for the whole program; the main window passes it
    // nothing.
    Module1::ZeigeGenerator();
}

}  // namespace dravel
