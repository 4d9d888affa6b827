#pragma once

#include <QString>

namespace dravel::analysator {

// A duration in the unit that suits it (ns, µs, ms, s), with `stellen`
// significant digits in the user's locale: "1,500 ms". Negative values
// keep their sign.
QString dauerText(double ns, int stellen = 4);

// A frequency in Hz, kHz or MHz: "1,000 kHz"; "–" for none.
QString frequenzText(double hz, int stellen = 4);

// A mark of a time axis whose marks are `schrittNs` apart: the unit of ten
// steps and as many decimals as the step needs ("2,5 ms", "-10 ms").
QString achsenText(double ns, double schrittNs);

// The step of a time axis: 1, 2 or 5 times a power of ten in ns, the
// smallest at least `mindestensNs`.
double achsenschritt(double mindestensNs);

}  // namespace dravel::analysator
