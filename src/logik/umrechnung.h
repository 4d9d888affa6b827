#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace dravel {

// A byte as the windows show it, written at `ziel` without building a Qt
// string (the commands print one per port access); each returns the end.
// Decimal ("200"), upper-case hexadecimal without leading zeros ("C8"), and
// binary in two groups of four ("1100 1000").
inline char* schreibeDezimal(char* ziel, std::uint8_t wert) {
    if (wert >= 100) *ziel++ = static_cast<char>('0' + wert / 100);
    if (wert >= 10) *ziel++ = static_cast<char>('0' + wert / 10 % 10);
    *ziel++ = static_cast<char>('0' + wert % 10);
    return ziel;
}

inline char* schreibeHex(char* ziel, std::uint8_t wert) {
    constexpr const char* kZiffern = "0123456789ABCDEF";
    if (wert >= 16) *ziel++ = kZiffern[wert >> 4];
    *ziel++ = kZiffern[wert & 15];
    return ziel;
}

inline char* schreibeBinär(char* ziel, std::uint8_t wert) {
    for (int bit = 7; bit >= 0; --bit) {
        *ziel++ = (wert >> bit) & 1 ? '1' : '0';
        if (bit == 4) *ziel++ = ' ';
    }
    return ziel;
}

// A byte as nine characters: four binary digits, a blank, four binary digits,
// most significant first (5 gives "0000 0101"). Values outside 0..255 follow
// the same digit-by-digit subtraction: 256 and above give "1111 1111",
// negative values "0000 0000".
QString dec2bin(std::int16_t dec_in);

// The value of a typed binary text of at most eight characters, read as the
// low bits (101 is 5, the empty text 0). nullopt when a character is neither
// 0 nor 1, or the text is longer than eight characters.
std::optional<std::int16_t> binärWert(QStringView text);

// A typed hexadecimal text (digits 0-9, A-F in either case, blanks around
// it allowed) as a 16-bit value. nullopt for anything else, for the empty
// text, and for values from 8000 up: four-digit texts 8000..FFFF would only
// be negative 16-bit patterns, which no byte entry means.
std::optional<std::int16_t> hexWert(const QString& text);

// The byte in decimal and in upper-case hexadecimal, without prefix, sign or
// leading zeros (the read fields' formats).
QString dezimalText(std::int16_t wert);
QString hexText(std::int16_t wert);

// The count under the binary entry field for a text of n characters:
// "= 1 Bit." in the singular, otherwise "= n Bits.".
QString bitZählerText(qsizetype n);

}  // namespace dravel
