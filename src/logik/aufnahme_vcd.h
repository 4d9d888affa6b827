#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "logik/aufnahme.h"
#include "port/vcd_writer.h"

namespace dravel::analysator {

// Writes a capture as a Value Change Dump with the trace's writer: 1 ns
// time scale, one one-bit wire per line at its electrical level
// ("Pin10_nAck", unique names since sigrok ignores scopes), only changes.
// Time 0 in the file is the capture's first moment. The header comment,
// ASCII only, holds one sentence for people and the facts as lines of
// "key=value": that moment on the trace's clock, the port, the trigger's
// place, how the capture ended, its time resolution, its gaps' count and
// total, and the sigrok/PulseView import setting. A sampled capture (one
// with a time resolution, or with gaps) has one more wire, kLückenleitung,
// 1 while the capture did not see the lines. A GTKWave save file goes
// next to it (x.vcd -> x.gtkw) as with --trace. False and one German line in `fehler` when the file
// cannot be written; `hinweis`, if given, receives what is left out: the
// save file, and why, or the lines past the 64 a file holds (63 beside the
// gap wire).
// `dekoder`: the decoders chosen (as --dekoder spells them), a fact line
// each, so that opening the file chooses them again.
bool speichereVcd(const Aufnahme& aufnahme, const std::string& pfad, std::string& fehler,
                  std::string* hinweis = nullptr, const std::vector<std::string>& dekoder = {});
inline constexpr const char* kLückenleitung = "nicht_gesehen";

// The same in two steps, for a capture that may run for hours: the file,
// opened and checked before it starts, gets its header at once (so a full
// disk shows before the wait), and the capture once it is over. nullptr
// and one German line in `fehler` when the header cannot be written; the
// file is then undone as the writer undoes it.
std::unique_ptr<port::VcdWriter> beginneVcd(std::unique_ptr<port::SorgfältigeDatei> datei,
                                            std::string& fehler);
bool speichereVcd(const Aufnahme& aufnahme, port::VcdWriter& schreiber, std::string& fehler,
                  const std::vector<std::string>& dekoder = {}, std::string* hinweis = nullptr);

// What a file's header comments say of a capture, as far as they say it:
// the "key=value" lines written above, and the sentence of files written
// before them ("Auslöser (Nullpunkt) bei 5000 ns; Ende: ...").
struct Aufnahmeangaben {
    bool aufnahme = false;  // the file is a capture, not a trace
    std::optional<std::uint64_t> auslöserNs;
    std::optional<Ende> ende;
    std::optional<std::uint64_t> auflösungNs;
    std::vector<std::string> dekoder;
};
void leseAngaben(const std::string& kommentar, Aufnahmeangaben& angaben);

// The signal name of a pin in such a file: "Pin10_nAck" for pin 10 /Ack.
std::string vcdName(int pin);

}  // namespace dravel::analysator
