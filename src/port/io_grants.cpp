#include "io_grants.h"

#include <algorithm>
#include <cstdio>

#include "digits.h"
#include "legacy_bases.h"
#include "system_calls.h"

namespace dravel::port {
namespace {

constexpr unsigned kRegisters = 3;  // data, status, control

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' ||
                             text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// A whole number in 0..0xFFFF, nothing else allowed around it.
std::optional<std::uint16_t> parsePortNumber(std::string_view text) {
    text = trim(text);
    unsigned radix = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        radix = 16;
        text.remove_prefix(2);
    } else if (text.size() > 2 && text[0] == '&' && (text[1] == 'h' || text[1] == 'H')) {
        radix = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    unsigned long value = 0;
    for (const char c : text) {
        const int digit = digitValue(static_cast<unsigned char>(c), int(radix));
        if (digit < 0) return std::nullopt;
        value = value * radix + unsigned(digit);
        if (value > 0xFFFF) return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<unsigned long> parseHex(std::string_view text) {
    if (text.empty()) return std::nullopt;
    unsigned long value = 0;
    for (const char c : text) {
        const int digit = digitValue(static_cast<unsigned char>(c));
        if (digit < 0) return std::nullopt;
        value = value * 16 + unsigned(digit);
        if (value > 0xFFFFFF) return std::nullopt;
    }
    return value;
}

IoRange registersAt(std::uint16_t base) {
    const unsigned last = std::min(unsigned(base) + kRegisters - 1, 0xFFFFu);
    return {base, static_cast<std::uint16_t>(last)};
}

}  // namespace

std::optional<IoRange> parseIoRange(std::string_view text) {
    text = trim(text);
    const auto dash = text.find('-');
    const auto first = parsePortNumber(text.substr(0, dash));
    if (!first) return std::nullopt;
    if (dash == std::string_view::npos) return IoRange{*first, *first};
    const auto last = parsePortNumber(text.substr(dash + 1));
    if (!last || *last < *first) return std::nullopt;
    return IoRange{*first, *last};
}

IoGrants IoGrants::legacy() {
    IoGrants grants;
    for (const auto base : kLegacyBases) grants.add(registersAt(base));
    return grants;
}

void IoGrants::add(IoRange range) {
    add(std::vector<IoRange>{range});
}

void IoGrants::add(const std::vector<IoRange>& ranges) {
    ranges_.insert(ranges_.end(), ranges.begin(), ranges.end());
    std::sort(ranges_.begin(), ranges_.end(),
              [](const IoRange& a, const IoRange& b) { return a.first < b.first; });
    std::vector<IoRange> merged;
    for (const auto& r : ranges_) {
        if (!merged.empty() && unsigned(r.first) <= unsigned(merged.back().last) + 1) {
            merged.back().last = std::max(merged.back().last, r.last);
        } else {
            merged.push_back(r);
        }
    }
    ranges_ = std::move(merged);
}

bool IoGrants::covers(std::uint16_t port) const {
    return std::any_of(ranges_.begin(), ranges_.end(),
                       [port](const IoRange& r) { return r.contains(port); });
}

std::optional<KernelPort> parseBaseAddr(std::string_view text) {
    // Two whitespace-separated decimal numbers.
    std::vector<unsigned long> numbers;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) ++i;
        if (i >= text.size()) break;
        unsigned long value = 0;
        std::size_t digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + unsigned(text[i] - '0');
            if (value > 0xFFFF) return std::nullopt;
            ++i;
            ++digits;
        }
        if (digits == 0) return std::nullopt;
        numbers.push_back(value);
    }
    if (numbers.empty() || numbers.size() > 2 || numbers[0] == 0) return std::nullopt;
    KernelPort port;
    port.base = static_cast<std::uint16_t>(numbers[0]);
    if (numbers.size() == 2) port.highBase = static_cast<std::uint16_t>(numbers[1]);
    return port;
}

std::vector<IoRange> parseIoportsParport(std::string_view text) {
    std::vector<IoRange> regions;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        // "  0378-037a : parport0"
        const auto colon = line.find(" : ");
        if (colon == std::string_view::npos) continue;
        const auto name = trim(line.substr(colon + 3));
        if (name.substr(0, 7) != "parport") continue;
        const auto span = trim(line.substr(0, colon));
        const auto dash = span.find('-');
        if (dash == std::string_view::npos) continue;
        const auto first = parseHex(span.substr(0, dash));
        const auto last = parseHex(span.substr(dash + 1));
        if (!first || !last || *last < *first || *last > 0xFFFF) continue;
        if (*first == 0 && *last == 0) continue;
        regions.push_back({static_cast<std::uint16_t>(*first), static_cast<std::uint16_t>(*last)});
    }
    return regions;
}

std::vector<KernelPort> kernelPorts(SystemCalls& system) {
    static const std::string kRoot = "/proc/sys/dev/parport/";
    std::vector<KernelPort> ports;
    for (const auto& name : system.listDirectory(kRoot)) {
        if (name.size() <= 7 || name.substr(0, 7) != "parport") continue;
        const auto number = parsePortNumber(name.substr(7));
        if (!number || name.substr(7).find_first_not_of("0123456789") != std::string::npos)
            continue;
        const auto text = system.readFile(kRoot + name + "/base-addr");
        if (!text) continue;
        auto port = parseBaseAddr(*text);
        if (!port) continue;
        port->name = name;
        port->number = *number;
        ports.push_back(*port);
    }
    std::sort(ports.begin(), ports.end(),
              [](const KernelPort& a, const KernelPort& b) { return a.number < b.number; });
    return ports;
}

IoGrants kernelGrants(SystemCalls& system) {
    IoGrants grants = IoGrants::legacy();
    for (const auto& port : kernelPorts(system)) {
        grants.add(registersAt(port.base));
        if (port.highBase != 0) grants.add(registersAt(port.highBase));
    }
    if (const auto ioports = system.readFile("/proc/ioports")) {
        for (const auto& region : parseIoportsParport(*ioports)) grants.add(region);
    }
    return grants;
}

std::string hexAndDecimal(unsigned value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%X (%u)", value, value);
    return text;
}

}  // namespace dravel::port
