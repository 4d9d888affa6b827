#include "zahlen.h"

#include <charconv>
#include <cmath>
#include <string>

namespace dravel {
namespace {

bool istLeerraum(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

bool istZiffer(QChar c) { return c >= u'0' && c <= u'9'; }

int ziffernwert(QChar c, int basis) {
    int wert = -1;
    if (c >= u'0' && c <= u'9') wert = c.unicode() - u'0';
    else if (c >= u'a' && c <= u'f') wert = c.unicode() - u'a' + 10;
    else if (c >= u'A' && c <= u'F') wert = c.unicode() - u'A' + 10;
    return wert < basis ? wert : -1;
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
        // from_chars cannot tell overflow from underflow; a negative exponent
        // means the number is merely too small to show and reads as 0.
        const auto e = zahl.find('e');
        if (e != std::string::npos && e + 1 < zahl.size() && zahl[e + 1] == '-') return 0.0;
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
