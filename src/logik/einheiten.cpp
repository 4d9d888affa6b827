#include "einheiten.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace dravel::analysator {
namespace {

struct Einheit {
    double ns;
    const char* name;
};

Einheit einheitFür(double betragNs) {
    if (betragNs >= 1e9) return {1e9, "s"};
    if (betragNs >= 1e6) return {1e6, "ms"};
    if (betragNs >= 1e3) return {1e3, "µs"};
    return {1, "ns"};
}

// Numbers without thousands separators: "3.000 µs" would read as three.
QLocale zahlen(QLocale ort = QLocale()) {
    ort.setNumberOptions(QLocale::OmitGroupSeparator);
    return ort;
}

}  // namespace

QString dauerText(double ns, int stellen, const QLocale& ort) {
    const Einheit e = einheitFür(std::abs(ns));
    const double wert = ns / e.ns;
    const int vorKomma = std::abs(wert) < 1 ? 1 : int(std::floor(std::log10(std::abs(wert)))) + 1;
    const int nachKomma = e.ns == 1 ? 0 : std::max(0, stellen - vorKomma);
    return zahlen(ort).toString(wert, 'f', nachKomma) + QStringLiteral(" ") +
           QString::fromUtf8(e.name);
}

QString frequenzText(double hz, int stellen, const QLocale& ort) {
    if (!(hz > 0) || !std::isfinite(hz)) return QStringLiteral("–");
    return mitVorsatz(hz, QStringLiteral("Hz"), stellen, ort);
}

QString mitVorsatz(double wert, const QString& einheit, int stellen, const QLocale& ort) {
    double teiler = 1;
    const char* vorsatz = "";
    if (std::abs(wert) >= 1e9) {
        teiler = 1e9;
        vorsatz = "G";
    } else if (std::abs(wert) >= 1e6) {
        teiler = 1e6;
        vorsatz = "M";
    } else if (std::abs(wert) >= 1e3) {
        teiler = 1e3;
        vorsatz = "k";
    }
    const double zahl = wert / teiler;
    const double betrag = std::abs(zahl);
    const int vorKomma = betrag < 1 ? 1 : int(std::floor(std::log10(betrag))) + 1;
    return zahlen(ort).toString(zahl, 'f', std::max(0, stellen - vorKomma)) + QStringLiteral(" ") +
           QString::fromUtf8(vorsatz) + einheit;
}

QString rateText(double jeSekunde, const QLocale& ort) {
    return mitVorsatz(jeSekunde, QStringLiteral("S/s"), 3, ort);
}

QString prozentText(double prozent, const QLocale& ort) {
    return zahlen(ort).toString(prozent, 'f', 1) + QStringLiteral(" %");
}

double achsenschritt(double mindestensNs) {
    if (!(mindestensNs > 1)) return 1;
    const double zehner = std::pow(10.0, std::floor(std::log10(mindestensNs)));
    for (const double f : {1.0, 2.0, 5.0, 10.0}) {
        if (f * zehner >= mindestensNs) return f * zehner;
    }
    return 10 * zehner;
}

QString achsenText(double ns, double schrittNs) {
    // The unit of ten steps: marks 500 µs apart read "2,5 ms".
    const Einheit e = einheitFür(10 * schrittNs);
    const double schritt = schrittNs / e.ns;
    // 2.5 needs one decimal; 1, 2, 5, 10, ... none.
    int nachKomma = 0;
    while (nachKomma < 6 && std::abs(schritt * std::pow(10.0, nachKomma) -
                                     std::round(schritt * std::pow(10.0, nachKomma))) > 1e-6) {
        ++nachKomma;
    }
    double wert = ns / e.ns;
    if (std::abs(wert) < schritt * 1e-6) wert = 0;  // no "-0"
    return zahlen().toString(wert, 'f', nachKomma) + QStringLiteral(" ") +
           QString::fromUtf8(e.name);
}

QString erfassungText(const Aufnahmemaschine& maschine, const QLocale& ort) {
    if (maschine.folgtProtokoll()) {
        return QStringLiteral("jede Änderung aus dem Protokoll des Ports");
    }
    return rateText(maschine.probenJeSekunde(), ort);
}

}  // namespace dravel::analysator
