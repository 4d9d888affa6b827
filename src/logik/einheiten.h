#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>

#include "logik/aufnahmemaschine.h"

namespace dravel::analysator {

// A duration in the unit that suits it (ns, µs, ms, s), with `stellen`
// significant digits in the user's locale: "1,500 ms". Negative values
// keep their sign.
// `ort` gives the decimal separator: the window's user locale, German for
// the commands' lines.
QString dauerText(double ns, int stellen = 4, const QLocale& ort = QLocale());

// A frequency in Hz, kHz or MHz: "1,000 kHz"; "–" for none. mitVorsatz is
// the same for any quantity; the unit follows the prefix as given, so
// mitVorsatz(3.5e7, "B/s") is "35,00 MB/s".
QString frequenzText(double hz, int stellen = 4, const QLocale& ort = QLocale());
QString mitVorsatz(double wert, const QString& einheit, int stellen = 4,
                   const QLocale& ort = QLocale());

// A sample rate with three significant digits: "97,1 MS/s".
QString rateText(double jeSekunde, const QLocale& ort = QLocale());
// How a run read the lines: its sample rate, or that it followed the
// simulated port's change log.
QString erfassungText(const Aufnahmemaschine& maschine, const QLocale& ort = QLocale());

// A share in percent with one decimal: "50,0 %".
QString prozentText(double prozent, const QLocale& ort = QLocale());

// A mark of a time axis whose marks are `schrittNs` apart: the unit of ten
// steps and as many decimals as the step needs ("2,5 ms", "-10 ms").
QString achsenText(double ns, double schrittNs);

// The step of a time axis: 1, 2 or 5 times a power of ten in ns, the
// smallest at least `mindestensNs`.
double achsenschritt(double mindestensNs);

}  // namespace dravel::analysator
