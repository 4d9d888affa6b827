#include "register_texte.h"

#include <array>

#include "umrechnung.h"

namespace dravel {
namespace {

struct Modus {
    const char* code;
    const char* beschriftung;
    const char* tooltip;
    const char* nächster;
};

constexpr std::array<Modus, 6> kModi{{
    {"011", "ECP", "Extended Capability Port-Modus", "100"},
    {"100", "EPP", "Enhanced Parallel Port-Modus  -Standard - ", "010"},
    {"010", "FIFO", "First-In/First-Out-Modus", "000"},
    {"000", "SPP", "Standard Parallel Port-Modus", "110"},
    {"110", "Testmode", "Test-Modus", "111"},
    {"111", "Config", "Configuration-Modus", "011"},
}};

const Modus* finde(const QString& code) {
    for (const Modus& m : kModi) {
        if (code == QLatin1String(m.code)) return &m;
    }
    return nullptr;
}

}  // namespace

QString modusCode(std::int16_t controlWert) { return dec2bin(controlWert).right(3); }

ModusText modusText(const QString& code) {
    if (const Modus* m = finde(code)) {
        return {QString::fromUtf8(m->beschriftung), QString::fromUtf8(m->tooltip)};
    }
    return {QStringLiteral("Unbekannt"), QStringLiteral("Unbekannter Modus: ") + code};
}

QString nächsterModusCode(const QString& code) {
    const Modus* m = finde(code);
    if (!m) m = finde(QStringLiteral("111"));  // unknown codes step like Config
    return QLatin1String(m->nächster);
}

std::int16_t mitModus(std::int16_t controlWert, const QString& code) {
    const int bits = code.toInt(nullptr, 2) & 0x07;
    return static_cast<std::int16_t>((controlWert & 0xF8) | bits);
}

QString controlBitText(int bit, bool gesetzt) {
    if (bit == 5) return gesetzt ? QStringLiteral("Eingang") : QStringLiteral("Ausgang");
    return gesetzt ? QStringLiteral("Int. ein") : QStringLiteral("Int. aus");
}

QString verlaufEintrag(std::int32_t nummer, const QString& wert, const QString& zeit) {
    return QStringLiteral("%1.  %2  um %3").arg(nummer).arg(wert, zeit);
}

QString statusText(int panel, std::int16_t wert) {
    static const std::array<QString, 3> kVorsatz{
        QStringLiteral("Daten: "), QStringLiteral("Status: "), QStringLiteral("Control: ")};
    return kVorsatz.at(static_cast<std::size_t>(panel - 1)) + dec2bin(wert);
}

}  // namespace dravel
