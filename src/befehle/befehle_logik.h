#pragma once

#include <QLocale>
#include <QStringView>
#include <cstdint>
#include <optional>

// What the commands without a window read from their arguments and how they
// print a byte: free of the port, so a test can call it directly. The
// printing runs once per port access and therefore builds no Qt strings.
namespace dravel::app {

// A whole number as scripts write it: decimal, hexadecimal after "0x" or
// "&H", binary after "0b" (prefix letters in either case). No sign, no
// blanks, nothing after the digits; nullopt for anything else and for
// numbers above `größte`.
std::optional<std::uint64_t> ganzzahlAusArgument(QStringView text, std::uint64_t größte);

// A duration: digits with at most one decimal separator, which may be a
// point or the locale's own ("0.5", in German also "0,5"). No sign, no
// exponent; nullopt for anything else and above `größte`.
std::optional<double> dauerAusArgument(QStringView text, const QLocale& locale, double größte);

// A byte as the windows show it, written at `ziel`; each returns the end.
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

// Milliseconds with three decimals ("1234.567") from nanoseconds, cut off
// below the microsecond.
char* schreibeMillisekunden(char* ziel, std::uint64_t nanosekunden);

}  // namespace dravel::app
