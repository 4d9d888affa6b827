#pragma once

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

}  // namespace dravel::port
