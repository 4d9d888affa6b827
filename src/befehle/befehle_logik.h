#pragma once

#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "logik/umrechnung.h"

// What the commands without a window read from their arguments and how they
// print a time: free of the port, so a test can call it directly. The
// printing runs once per port access and therefore builds no Qt strings
// (bytes: schreibeDezimal and its kin in umrechnung.h).
namespace dravel::app {

// A duration: digits with at most one decimal separator, a point or a comma
// whatever the locale ("0.5", "0,5"). No sign, no exponent; nullopt for
// anything else, above `größte`, and for a value other than 0 too small for a
// double (then `zuKlein` is set).
std::optional<double> dauerAusArgument(QStringView text, double größte, bool* zuKlein = nullptr);

// Milliseconds with three decimals ("1234.567") from nanoseconds, cut off
// below the microsecond.
char* schreibeMillisekunden(char* ziel, std::uint64_t nanosekunden);

// aufnehmen's exit status: 128 + the signal that ended it, 1 when the file
// could not be written or when `lückenlos` asks for a capture without gaps
// and it has some, else 0.
int aufnahmestatus(int signal, bool gespeichert, bool lückenlos, std::size_t lücken);

}  // namespace dravel::app
