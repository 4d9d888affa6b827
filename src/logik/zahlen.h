#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace dravel {

// Leading-number reading, independent of the locale: blanks, tabs and line
// feeds are skipped wherever they stand; an optional sign, digits with at most
// one "." and an optional exponent (E or D, optional sign, digits) form the
// number; "&H" and "&O" read the digits that follow as a hexadecimal or octal
// whole number. Everything from the first character that does not fit is
// ignored; a text without a leading number reads as 0.
//
// Hexadecimal and octal numbers of at most four (hex) or six (octal) digits
// are 16-bit patterns, so "&HFFFF" is -1 and "&HE800" is -6144; longer ones
// are plain positive numbers.
//
// nullopt: the number is too large to read at all (beyond double range, or a
// hexadecimal/octal number beyond 32 bits).
std::optional<double> führendeZahl(QStringView text);

// Rounds to the nearest whole number, halves to the even neighbour
// (888.5 -> 888, 889.5 -> 890); nullopt outside [kleinste, größte].
std::optional<int> rundeGerade(double wert, int kleinste, int größte);

// The locale-aware conversion of a text to a 16-bit whole number: a number in
// the given locale with blanks around it, rounded half to even; nullopt when
// the text is not a number or the result does not fit 16 bits.
std::optional<std::int16_t> zuGanzzahl16(const QString& text, const QLocale& locale);

}  // namespace dravel
