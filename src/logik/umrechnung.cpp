#include "umrechnung.h"

#include <algorithm>

#include "port/digits.h"

namespace dravel {

QString dec2bin(std::int16_t dec_in) {
    char text[9];
    schreibeBinär(text, static_cast<std::uint8_t>(std::clamp<int>(dec_in, 0, 255)));
    return QString::fromLatin1(text, 9);
}

std::optional<std::int16_t> binärWert(QStringView text) {
    if (text.size() > 8) return std::nullopt;
    std::int16_t summe = 0;
    // Missing leading characters count as zeros, so only the given ones
    // carry weight: the last character has weight 1.
    std::int16_t gewicht =
        static_cast<std::int16_t>(1 << (text.size() - 1 < 0 ? 0 : text.size() - 1));
    for (QChar c : text) {
        if (c == u'1')
            summe = static_cast<std::int16_t>(summe + gewicht);
        else if (c != u'0')
            return std::nullopt;
        gewicht = static_cast<std::int16_t>(gewicht / 2);
    }
    return summe;
}

std::optional<std::int16_t> hexWert(const QString& text) {
    const auto wert = port::parseDigits(text.trimmed().toStdString(), 16, 0x7FFF);
    if (!wert) return std::nullopt;
    return static_cast<std::int16_t>(*wert);
}

QString dezimalText(std::int16_t wert) {
    return QString::number(wert);
}

QString hexText(std::int16_t wert) {
    return QString::number(wert, 16).toUpper();
}

QString bitZählerText(qsizetype n) {
    return n == 1 ? QStringLiteral("= 1 Bit.") : QStringLiteral("= %1 Bits.").arg(n);
}

}  // namespace dravel
