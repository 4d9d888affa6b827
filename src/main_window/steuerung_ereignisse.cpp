#include "steuerung.h"

namespace dravel {

void Steuerung::verbindeBehandlung() {}

}  // namespace dravel
