#include "generator_logik.h"

#include <cfloat>
#include <cmath>

#include "logik/zahlen.h"

namespace dravel::generator {

std::optional<std::int16_t> adresseAusText(QStringView text) {
    const auto zahl = führendeZahl(text);
    if (!zahl) return std::nullopt;
    const auto gerundet = rundeGerade(*zahl, -32768, 32767);
    if (!gerundet) return std::nullopt;
    return static_cast<std::int16_t>(*gerundet);
}

std::optional<float> zeitbasisAusText(QStringView text) {
    const auto zahl = führendeZahl(text);
    if (!zahl || !(std::fabs(*zahl) <= static_cast<double>(FLT_MAX))) return std::nullopt;
    return static_cast<float>(*zahl);
}

std::optional<int> taktIntervall(float zeitbasisMs) {
    return rundeGerade(static_cast<double>(zeitbasisMs), 0, 65535);
}

QString zeitbasisText(float zeitbasisMs, const QLocale& locale) {
    QLocale format = locale;
    format.setNumberOptions(QLocale::OmitGroupSeparator);
    // -0 reads as 0 to a user.
    const double wert = zeitbasisMs == 0.0f ? 0.0 : static_cast<double>(zeitbasisMs);
    return format.toString(wert, 'g', 7) + QStringLiteral("ms");
}

std::int16_t setzeBitWert(std::int16_t register_, std::int16_t bit, std::int16_t wert) {
    if (bit < 0 || bit > 7) return register_;
    const int maske = 1 << bit;
    const int ergebnis = wert == -1 ? (register_ | maske) : (register_ & (255 - maske));
    return static_cast<std::int16_t>(ergebnis);
}

std::int16_t pegel(QChar zeichen) {
    return (zeichen == u'0' || zeichen == u' ' || zeichen == u'L') ? 0 : -1;
}

QString großbuchstaben(const QString& text) {
    QString ergebnis = text;
    for (QChar& z : ergebnis) z = z.toUpper();
    return ergebnis;
}

std::vector<std::int16_t> pegelfolge(const QString& text, qsizetype länge) {
    std::vector<std::int16_t> folge(static_cast<std::size_t>(länge) + 1, 0);
    const qsizetype n = std::min(länge, text.size());
    for (qsizetype k = 0; k < n; ++k) folge[static_cast<std::size_t>(k)] = pegel(text.at(k));
    return folge;
}

bool startKollision(const QString& kanal1, const QString& kanal2, const QString& takt,
                    bool taktAn) {
    return (taktAn && kanal1 == takt) || kanal1 == kanal2 || (taktAn && kanal2 == takt);
}

bool taktKollision(const QString& kanal1, const QString& kanal2, const QString& takt) {
    return takt == kanal1 || kanal2 == kanal1 || takt == kanal2;
}

}  // namespace dravel::generator
