#include "fenster/module1.h"
#include "steuerung.h"

namespace dravel {

void Steuerung::Stecker_Click() {
    // One connector view for the whole program; it follows this window's
    // base address by itself.
    Module1::ZeigeSteckeransicht();
}

}  // namespace dravel
