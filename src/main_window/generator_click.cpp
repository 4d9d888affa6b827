#include "steuerung.h"

namespace dravel {

void Steuerung::Generator_Click() {}

}  // namespace dravel
