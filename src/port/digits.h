#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace dravel::port {

// The value of one digit in a base up to 16 (a-f and A-F count 10 to 15),
// -1 for a character that is no digit of that base. Every reader of
// decimal or hexadecimal numbers in the program goes through here; it takes
// any character type, a QChar's unicode() included.
constexpr int digitValue(char32_t c, int base = 16) {
    int value = -1;
    if (c >= U'0' && c <= U'9') {
        value = int(c - U'0');
    } else if (c >= U'a' && c <= U'f') {
        value = int(c - U'a') + 10;
    } else if (c >= U'A' && c <= U'F') {
        value = int(c - U'A') + 10;
    }
    return value < base ? value : -1;
}

// Digits of `base` and nothing else (no prefix, no blank) as a number;
// nullopt for anything else, for no digits and above `max`.
constexpr std::optional<std::uint64_t> parseDigits(std::string_view text, unsigned base,
                                                   std::uint64_t max) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        const int read = digitValue(static_cast<unsigned char>(c), int(base));
        if (read < 0) return std::nullopt;
        const auto digit = unsigned(read);
        // Checked before it can overflow.
        if (digit > max || value > (max - digit) / base) return std::nullopt;
        value = value * base + digit;
    }
    return value;
}

// The one reader of numbers the user types (addresses, values, counts,
// --allow-io) and of the kernel's (base-addr): decimal, hexadecimal after
// "0x" or "&H", binary after "0b", prefix letters in either case, blanks and
// line ends around the number ignored. No sign, nothing else; nullopt for
// anything else and above `max`.
constexpr std::optional<std::uint64_t> parseNumber(std::string_view text, std::uint64_t max) {
    constexpr std::string_view kBlanks = " \t\n\r\v\f";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return std::nullopt;
    text = text.substr(first, text.find_last_not_of(kBlanks) + 1 - first);
    unsigned base = 10;
    if (text.size() >= 2) {
        const char prefix[2] = {text[0], char(text[1] | 0x20)};  // the letter in lower case
        if ((prefix[0] == '0' && prefix[1] == 'x') || (prefix[0] == '&' && prefix[1] == 'h')) {
            base = 16;
        } else if (prefix[0] == '0' && prefix[1] == 'b') {
            base = 2;
        }
    }
    return parseDigits(base == 10 ? text : text.substr(2), base, max);
}

}  // namespace dravel::port
