#include "steuerung.h"

namespace dravel {

void Steuerung::verbindeBehandlung() {}
void Steuerung::Generator_Click() {}

}  // namespace dravel
