#pragma once

#include <memory>
#include <string>

#include "logik/aufnahme.h"

namespace dravel::analysator {

// Reads a Value Change Dump of any program, a Dravel capture or --trace
// session, to view: its one-bit signals become lines 0, 1, ... in the order
// the file declares them (at most 64; vectors are left out; x and z count
// as low), named as in the file (cut to a few dozen bytes), at the file's
// times in ns (time scales from 1 fs to 100 s; finer than 1 ns rounded
// down). A capture's trigger and end are read from its header. A broken
// file, or one without one-bit signals, gives nullptr and one German
// message naming the line and the fault, with quoted text cut and its
// control characters escaped.
// `hinweis`, if given, receives how a capture ended, where the file says
// so, and what is not shown as the file holds it ("Auslöser kam nicht", "3
// Werte x/z als tief gezeigt; 1 Vektor ausgelassen"), else nothing.
std::unique_ptr<Aufnahme> ladeVcdText(const std::string& text, std::string& fehler,
                                      std::string* hinweis = nullptr);
std::unique_ptr<Aufnahme> ladeVcd(const std::string& pfad, std::string& fehler,
                                  std::string* hinweis = nullptr);

}  // namespace dravel::analysator
