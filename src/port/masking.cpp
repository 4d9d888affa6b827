#include "masking.h"

#include <cstdio>

namespace dravel::port {
namespace {

// The length of the valid UTF-8 character at the start of `text`, 0 when it
// begins with a byte that starts none (overlong forms and surrogates too).
std::size_t characterLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

}  // namespace

std::string masked(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    char escape[8];
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.front());
        const std::size_t length = characterLength(text);
        if (c == '\\') {
            result += "\\\\";
        } else if (c == '\n') {
            result += "\\n";
        } else if (c == '\r') {
            result += "\\r";
        } else if (c == '\t') {
            result += "\\t";
        } else if (length == 0 || c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", unsigned(c));
            result += escape;
        } else if (c == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) {
            // U+0080..U+009F, the C1 controls.
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(text[1] & 0x3F) | 0x80u);
            result += escape;
        } else {
            result.append(text.substr(0, length));
        }
        text.remove_prefix(length == 0 ? 1 : length);
    }
    return result;
}

}  // namespace dravel::port
