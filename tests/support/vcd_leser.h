#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dravel::test {

// A small, strict reader of Value Change Dumps, enough to check what the
// trace writes: every keyword it does not know, a change of an undeclared
// signal, a value of the wrong width, a time going backwards or a change
// before the end of the definitions makes the whole file invalid.
struct VcdÄnderung {
    std::uint64_t zeit;
    std::string wert;  // "10101100" for a vector, "1"/"0"/"x" for a wire
};

struct VcdDatei {
    // Text of $date, $version, $comment and $timescale, blanks collapsed.
    std::map<std::string, std::string> kopf;
    // Full names ("geschrieben.daten_0x378.D3_geschrieben_0x378") in
    // declaration order. Each register's eight lines also give its byte
    // ("geschrieben.daten_0x378.D", not in `namen`), as GTKWave groups them.
    std::vector<std::string> namen;
    std::map<std::string, int> breite;
    std::map<std::string, std::vector<VcdÄnderung>> verlauf;
    std::uint64_t letzteZeit = 0;      // the last time stamp in the file
    std::uint64_t letzteÄnderung = 0;  // the time of the last change of any signal

    [[nodiscard]] bool hat(const std::string& name) const { return breite.count(name) != 0; }
    // The changes of one signal; empty if it has none or is not declared.
    [[nodiscard]] const std::vector<VcdÄnderung>& von(const std::string& name) const;
    // The signal's value at `zeit` (the last change at or before it), "" if none.
    [[nodiscard]] std::string wertBei(const std::string& name, std::uint64_t zeit) const;
};

std::optional<VcdDatei> leseVcdText(const std::string& text, std::string& fehler);
std::optional<VcdDatei> leseVcdDatei(const std::string& pfad, std::string& fehler);

}  // namespace dravel::test
