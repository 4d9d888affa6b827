#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravel::port {

class SystemCalls;

// A closed range of I/O port numbers, first..last.
struct IoRange {
    std::uint16_t first = 0;
    std::uint16_t last = 0;

    [[nodiscard]] bool contains(std::uint16_t port) const { return first <= port && port <= last; }
    [[nodiscard]] unsigned count() const { return unsigned(last) - first + 1; }
    bool operator==(const IoRange&) const = default;
};

// Reads "0xE800-0xE807", "59392-59399" or a single "0x378", each number as
// parseNumber (digits.h) reads it. nullopt for anything else, for a range
// that runs backwards and for numbers beyond 0xFFFF.
std::optional<IoRange> parseIoRange(std::string_view text);

// The I/O ports the hardware backends may touch. A typo in the base address
// must not reach the interrupt controller or the PCI configuration ports, so
// only parallel-port registers are granted unless the user names more.
class IoGrants {
public:
    // The three legacy bases 0x378, 0x278, 0x3BC, each base..base+2.
    static IoGrants legacy();

    void add(IoRange range);
    // Many ranges at once: one sort for all of them.
    void add(const std::vector<IoRange>& ranges);
    [[nodiscard]] bool covers(std::uint16_t port) const;
    // Sorted, overlapping and adjacent ranges merged.
    [[nodiscard]] const std::vector<IoRange>& ranges() const { return ranges_; }

private:
    std::vector<IoRange> ranges_;
};

// One parallel port as the kernel lists it under /proc/sys/dev/parport.
struct KernelPort {
    std::string name;  // "parport0"
    int number = -1;   // 0 for parport0
    std::uint16_t base = 0;
    std::uint16_t highBase = 0;  // 0 when the port has none
    [[nodiscard]] std::string device() const { return "/dev/parport" + std::to_string(number); }
};

// base-addr holds two numbers, base and high base ("888\t1912\n").
std::optional<KernelPort> parseBaseAddr(std::string_view text);

// The regions of /proc/ioports whose name begins with "parport", at any
// nesting depth. Unprivileged readers see every region as 0000-0000; those
// carry no information and are left out.
std::vector<IoRange> parseIoportsParport(std::string_view text);

// Every port under /proc/sys/dev/parport, ordered by number.
std::vector<KernelPort> kernelPorts(SystemCalls& system);

// The legacy bases, every port the kernel lists (base..base+2 and high
// base..high base+2) and the parport regions of /proc/ioports.
IoGrants kernelGrants(SystemCalls& system);

// "0x378 (888)"
std::string hexAndDecimal(unsigned value);

}  // namespace dravel::port
