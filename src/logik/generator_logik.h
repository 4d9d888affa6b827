#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <vector>

// The signal generator's arithmetic, free of any window: settings read from
// text, the time-base caption, the byte with one data line changed, levels
// from characters and the shared-line checks.
namespace dravel::generator {

// Longest bit string the output accepts: its positions are 16-bit.
inline constexpr int kMaxBitstringLänge = 32767;

// The generator's address from the text of its address field (leading-number
// reading, halves to even); nullopt outside -32768..32767 or unreadable.
std::optional<std::int16_t> adresseAusText(QStringView text);

// The time base in milliseconds from the text of its field (leading-number
// reading, rounded to single precision); nullopt beyond single range.
std::optional<float> zeitbasisAusText(QStringView text);

// The clock timer's interval for a time base: whole milliseconds, halves to
// even; nullopt outside 0..65535.
std::optional<int> taktIntervall(float zeitbasisMs);

// The time base as its labels show it: up to seven significant digits, the
// locale's decimal separator, no grouping, an exponent where needed, "ms".
QString zeitbasisText(float zeitbasisMs, const QLocale& locale);

// The data register's next byte: `register_` with line `bit` high when
// `wert` is -1 (true), low for any other value. Only lines 0..7 exist; any
// other line number leaves the byte as it was.
std::int16_t setzeBitWert(std::int16_t register_, std::int16_t bit, std::int16_t wert);

// Level of one bit-string character, already in capitals: "0", " " and "L"
// are low (0), everything else high (-1).
std::int16_t pegel(QChar zeichen);

// Capital letters character by character, so the length never changes
// ("ß" stays one character).
QString großbuchstaben(const QString& text);

// Levels of a bit string: one element per character plus a final low one
// that is never output.
std::vector<std::int16_t> pegelfolge(const QString& text, qsizetype länge);

// Shared-line check when an output starts: the clock line counts only with
// the clock on. Only asked when the clock or channel 2 is on.
bool startKollision(const QString& kanal1, const QString& kanal2, const QString& takt, bool taktAn);

// Shared-line check of the clock check box: all three pairs count.
bool taktKollision(const QString& kanal1, const QString& kanal2, const QString& takt);

}  // namespace dravel::generator
