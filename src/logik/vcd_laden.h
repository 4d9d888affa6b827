#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "logik/aufnahme.h"

namespace dravel::analysator {

// How far a load has come, and a way to end it early; for a load in a
// worker thread.
struct Ladefortschritt {
    // Called on the loading thread after each piece of the file read (about
    // one MiB).
    std::function<void(std::uint64_t gelesen, std::uint64_t gesamt)> melde;
    // Set from any thread: the load ends after the piece in hand, with
    // nullptr and kLadenAbgebrochen as its message.
    const std::atomic<bool>* abbrechen = nullptr;
};
inline constexpr const char* kLadenAbgebrochen = "Das Öffnen wurde abgebrochen.";

// Reads a Value Change Dump of any program, a Dravel capture or --trace
// session, to view: its one-bit signals become lines 0, 1, ... in the order
// the file declares them, a vector one line per bit (most significant
// first, named "data[7]", ...) grouped in Aufnahme::busse; at most 64 lines,
// a vector whole or not at all. Named as in the file (cut to a few dozen
// bytes), at the file's times in ns (time scales from 1 fs to 100 s; finer
// than 1 ns rounded down). x and z make a line's level unknown
// (Aufnahme::unbekannt). A capture's trigger, end and time resolution are
// read from its header, its one-bit wire "nicht_gesehen" (1 while the
// capture did not look) as its gaps. A broken file, or one without lines,
// gives nullptr and one German message naming the line and the fault, with
// quoted text cut and its control characters escaped.
// `hinweis`, if given, receives how a capture ended, where the file says
// so, and what of the file is not shown ("Auslöser kam nicht", "3 Leitungen
// ausgelassen (mehr als 64)"), else nothing.
// The file is read in pieces: memory grows with the changes kept, not with
// the file. Only regular files are read.
std::unique_ptr<Aufnahme> ladeVcd(const std::string& pfad, std::string& fehler,
                                  std::string* hinweis = nullptr,
                                  const Ladefortschritt* fortschritt = nullptr);
// The same from text in memory.
std::unique_ptr<Aufnahme> ladeVcdText(const std::string& text, std::string& fehler,
                                      std::string* hinweis = nullptr);

}  // namespace dravel::analysator
