#pragma once

#include <memory>
#include <string>

#include "logik/aufnahme.h"

namespace dravel::analysator {

// Reads a Value Change Dump that Dravel wrote, a capture or a --trace
// session, as a recording to view: its one-bit signals become lines 0, 1,
// ... in the order the file declares them (at most 64; vectors are left
// out), named as in the file, at the file's times in ns. A file of another
// program, a broken one or one without one-bit signals gives nullptr and a
// German reason in `fehler`.
std::unique_ptr<Aufnahme> ladeVcdText(const std::string& text, std::string& fehler);
std::unique_ptr<Aufnahme> ladeVcd(const std::string& pfad, std::string& fehler);

}  // namespace dravel::analysator
