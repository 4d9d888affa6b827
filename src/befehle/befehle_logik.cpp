#include "befehle_logik.h"

#include <QString>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace dravel::app {

std::optional<double> dauerAusArgument(QStringView text, double größte, bool* zuKlein) {
    std::string normiert;
    normiert.reserve(static_cast<std::size_t>(text.size()));
    bool komma = false;
    bool ziffer = false;
    for (const QChar zeichen : text) {
        if (zeichen.isDigit() && zeichen.unicode() < 128) {
            ziffer = true;
            normiert += static_cast<char>(zeichen.unicode());
        } else if (!komma && (zeichen == u'.' || zeichen == u',')) {
            komma = true;
            normiert += '.';
        } else {
            return std::nullopt;
        }
    }
    if (!ziffer) return std::nullopt;
    // Read without the locale, and any number of digits as the number they
    // are: a value out of range is only a value too large or too small.
    double wert = 0;
    const auto [ende, fehler] =
        std::from_chars(normiert.data(), normiert.data() + normiert.size(), wert);
    if (fehler == std::errc::result_out_of_range) {
        const bool klein = normiert.find_first_of("123456789") > normiert.find('.');
        if (klein && zuKlein) *zuKlein = true;
        return std::nullopt;
    }
    if (fehler != std::errc() || ende != normiert.data() + normiert.size() ||
        !std::isfinite(wert) || wert > größte) {
        return std::nullopt;
    }
    return wert;
}

char* schreibeMillisekunden(char* ziel, std::uint64_t nanosekunden) {
    const std::uint64_t mikro = nanosekunden / 1000;
    const int n =
        std::snprintf(ziel, 32, "%llu.%03u", static_cast<unsigned long long>(mikro / 1000),
                      static_cast<unsigned>(mikro % 1000));
    return ziel + n;
}

int aufnahmestatus(int signal, bool gespeichert, bool lückenlos, std::size_t lücken) {
    if (signal != 0) return 128 + signal;
    if (!gespeichert) return 1;
    return lückenlos && lücken > 0 ? 1 : 0;
}

}  // namespace dravel::app
