#include "befehle_logik.h"

#include <QString>
#include <cmath>
#include <cstdio>

#include "port/digits.h"

namespace dravel::app {

std::optional<std::uint64_t> ganzzahlAusArgument(QStringView text, std::uint64_t größte) {
    unsigned basis = 10;
    if (text.startsWith(u"0x", Qt::CaseInsensitive) ||
        text.startsWith(u"&h", Qt::CaseInsensitive)) {
        basis = 16;
        text = text.mid(2);
    } else if (text.startsWith(u"0b", Qt::CaseInsensitive)) {
        basis = 2;
        text = text.mid(2);
    }
    if (text.isEmpty()) return std::nullopt;
    std::uint64_t wert = 0;
    for (const QChar zeichen : text) {
        const int gelesen = port::digitValue(zeichen.unicode(), int(basis));
        if (gelesen < 0) return std::nullopt;
        const auto ziffer = unsigned(gelesen);
        // Checked before it can overflow.
        if (ziffer > größte || wert > (größte - ziffer) / basis) return std::nullopt;
        wert = wert * basis + ziffer;
    }
    return wert;
}

std::optional<double> dauerAusArgument(QStringView text, const QLocale& locale, double größte) {
    const QString eigenesKomma = locale.decimalPoint();
    QString normiert;
    normiert.reserve(text.size());
    bool komma = false;
    bool ziffer = false;
    for (const QChar zeichen : text) {
        if (zeichen.isDigit() && zeichen.unicode() < 128) {
            ziffer = true;
            normiert += zeichen;
        } else if (!komma && (zeichen == u'.' || QStringView(&zeichen, 1) == eigenesKomma)) {
            komma = true;
            normiert += u'.';
        } else {
            return std::nullopt;
        }
    }
    if (!ziffer) return std::nullopt;
    bool ok = false;
    const double wert = normiert.toDouble(&ok);
    if (!ok || !std::isfinite(wert) || wert > größte) return std::nullopt;
    return wert;
}

char* schreibeMillisekunden(char* ziel, std::uint64_t nanosekunden) {
    const std::uint64_t mikro = nanosekunden / 1000;
    const int n =
        std::snprintf(ziel, 32, "%llu.%03u", static_cast<unsigned long long>(mikro / 1000),
                      static_cast<unsigned>(mikro % 1000));
    return ziel + n;
}

}  // namespace dravel::app
