#include "zahlen.h"

#include <charconv>
#include <cmath>
#include <string>

#include "port/digits.h"

namespace dravel {
namespace {

bool istLeerraum(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool istZiffer(QChar c) { return c >= u'0' && c <= u'9'; }

int ziffernwert(QChar c, int basis) {
    return port::digitValue(c.unicode(), basis);
}

// Yields the characters of a text with every blank, tab and line feed left out.
class Leser {
public:
    explicit Leser(QStringView text) : text_(text) { überspringe(); }
    [[nodiscard]] bool ende() const { return pos_ >= text_.size(); }
    [[nodiscard]] QChar jetzt() const { return ende() ? QChar() : text_[pos_]; }
    void weiter() {
        ++pos_;
        überspringe();
    }

private:
    void überspringe() {
        while (pos_ < text_.size() && istLeerraum(text_[pos_])) ++pos_;
    }
    QStringView text_;
    qsizetype pos_ = 0;
};

std::optional<double> ganzeZahlZurBasis(Leser& leser, int basis) {
    const int kurzeZiffern = basis == 16 ? 4 : 6;  // what fits a 16-bit pattern
    std::uint64_t wert = 0;
    int ziffern = 0;
    for (int z; !leser.ende() && (z = ziffernwert(leser.jetzt(), basis)) >= 0; leser.weiter()) {
        wert = wert * static_cast<unsigned>(basis) + static_cast<unsigned>(z);
        ++ziffern;
        if (wert > 0xFFFFFFFFull) return std::nullopt;
    }
    if (ziffern <= kurzeZiffern && wert <= 0xFFFF) {
        return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(wert)));
    }
    return static_cast<double>(wert);
}

// The decimal exponent of the number's first significant digit ("0.05" ->
// -2, "123e4" -> 6): for a number beyond double range it tells too large
// from too small, whatever the exponent's sign.
long long größenordnung(const std::string& zahl) {
    const auto e = zahl.find('e');
    const std::string mantisse = zahl.substr(0, e);
    long long exponent = 0;
    if (e != std::string::npos) {
        const char* anfang = zahl.data() + e + 1;
        if (*anfang == '+') ++anfang;
        // An exponent beyond any long long is clamped: the sign is all that counts then.
        if (std::from_chars(anfang, zahl.data() + zahl.size(), exponent).ec ==
            std::errc::result_out_of_range) {
            exponent = *anfang == '-' ? -(1LL << 40) : (1LL << 40);
        }
    }
    const auto punkt = mantisse.find('.');
    const auto ganzEnde = punkt == std::string::npos ? mantisse.size() : punkt;
    const auto erste = mantisse.find_first_of("123456789");
    if (erste == std::string::npos) return -(1LL << 41);  // all zeros: as small as it gets
    const long long stelle = erste < ganzEnde ? static_cast<long long>(ganzEnde - erste) - 1
                                              : -static_cast<long long>(erste - ganzEnde);
    return stelle + exponent;
}

}  // namespace

std::optional<double> führendeZahl(QStringView text) {
    Leser leser(text);
    if (leser.jetzt() == u'&') {
        leser.weiter();
        const QChar art = leser.jetzt().toUpper();
        if (art == u'H' || art == u'O') {
            leser.weiter();
            return ganzeZahlZurBasis(leser, art == u'H' ? 16 : 8);
        }
        return 0.0;
    }

    // Collect the plain ASCII form of the number and let from_chars read it:
    // it ignores the locale, unlike strtod.
    std::string zahl;
    if (leser.jetzt() == u'+' || leser.jetzt() == u'-') {
        if (leser.jetzt() == u'-') zahl += '-';
        leser.weiter();
    }
    bool ziffern = false;
    bool punkt = false;
    for (; !leser.ende(); leser.weiter()) {
        const QChar c = leser.jetzt();
        if (istZiffer(c)) {
            zahl += static_cast<char>(c.unicode());
            ziffern = true;
        } else if (c == u'.' && !punkt) {
            zahl += '.';
            punkt = true;
        } else {
            break;
        }
    }
    if (!ziffern) return 0.0;

    const QChar e = leser.jetzt().toUpper();
    if (e == u'E' || e == u'D') {
        std::string exponent = "e";
        leser.weiter();
        if (leser.jetzt() == u'+' || leser.jetzt() == u'-') {
            exponent += static_cast<char>(leser.jetzt().unicode());
            leser.weiter();
        }
        bool exponentZiffern = false;
        for (; !leser.ende() && istZiffer(leser.jetzt()); leser.weiter()) {
            exponent += static_cast<char>(leser.jetzt().unicode());
            exponentZiffern = true;
        }
        if (exponentZiffern) zahl += exponent;
    }

    double wert = 0.0;
    const char* anfang = zahl.data();
    const auto [rest, fehler] = std::from_chars(anfang, anfang + zahl.size(), wert);
    if (fehler == std::errc::result_out_of_range) {
        // Too small to show reads as 0; too large cannot be read.
        if (größenordnung(zahl) < 0) return 0.0;
        return std::nullopt;
    }
    if (fehler != std::errc() || rest == anfang) return 0.0;
    return wert;
}

std::optional<int> rundeGerade(double wert, int kleinste, int größte) {
    if (!std::isfinite(wert)) return std::nullopt;
    const double gerundet = std::nearbyint(wert);  // default mode: halves to even
    if (gerundet < kleinste || gerundet > größte) return std::nullopt;
    return static_cast<int>(gerundet);
}

std::optional<std::int16_t> zuGanzzahl16(const QString& text, const QLocale& locale) {
    bool ok = false;
    const double wert = locale.toDouble(text.trimmed(), &ok);
    if (!ok) return std::nullopt;
    const auto gerundet = rundeGerade(wert, -32768, 32767);
    if (!gerundet) return std::nullopt;
    return static_cast<std::int16_t>(*gerundet);
}

}  // namespace dravel
