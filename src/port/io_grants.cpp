#include "io_grants.h"

#include <algorithm>
#include <climits>
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

IoRange registersAt(std::uint16_t base) {
    const unsigned last = std::min(unsigned(base) + kRegisters - 1, 0xFFFFu);
    return {base, static_cast<std::uint16_t>(last)};
}

}  // namespace

std::optional<IoRange> parseIoRange(std::string_view text) {
    const auto dash = text.find('-');
    const auto first = parseNumber(text.substr(0, dash), 0xFFFF);
    if (!first) return std::nullopt;
    const auto port = [](std::uint64_t n) { return static_cast<std::uint16_t>(n); };
    if (dash == std::string_view::npos) return IoRange{port(*first), port(*first)};
    const auto last = parseNumber(text.substr(dash + 1), 0xFFFF);
    if (!last || *last < *first) return std::nullopt;
    return IoRange{port(*first), port(*last)};
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
    // Base and high base, separated by blanks.
    std::vector<std::uint64_t> numbers;
    constexpr std::string_view kBlanks = " \t\n";
    for (auto at = text.find_first_not_of(kBlanks); at != std::string_view::npos;
         at = text.find_first_not_of(kBlanks, at)) {
        const auto end = std::min(text.find_first_of(kBlanks, at), text.size());
        const auto number = parseNumber(text.substr(at, end - at), 0xFFFF);
        if (!number) return std::nullopt;
        numbers.push_back(*number);
        at = end;
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
        // Hexadecimal without a prefix.
        const auto first = parseDigits(span.substr(0, dash), 16, 0xFFFF);
        const auto last = parseDigits(span.substr(dash + 1), 16, 0xFFFF);
        if (!first || !last || *last < *first) continue;
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
        const auto number = parseDigits(std::string_view(name).substr(7), 10, INT_MAX);
        if (!number) continue;
        const auto text = system.readFile(kRoot + name + "/base-addr");
        if (!text) continue;
        auto port = parseBaseAddr(*text);
        if (!port) continue;
        port->name = name;
        port->number = static_cast<int>(*number);
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
