#include "fenster/module1.h"
#include "steuerung.h"

namespace dravel {

void Steuerung::Analysator_Click() {
    // One logic analyzer for the whole program; it captures at this
    // window's base address.
    Module1::ZeigeAnalysator();
}

}  // namespace dravel
