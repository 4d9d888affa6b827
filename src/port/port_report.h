#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backend.h"
#include "io_grants.h"

namespace dravel::port {

class SystemCalls;

// What stands between this user and the parallel ports, in the order a user
// fixes things: the ports the kernel knows (modes, IRQ, DMA), the drivers,
// the printer driver, cards the kernel does not drive, USB printer adapters,
// then the access this user has.
struct PortReport {
    enum class Device { Missing, Allowed, Denied };
    enum class RawIo {
        Allowed,
        ForbiddenByLockdown,
        NoCapability,
        Unavailable,  // permitted, but ioperm is refused and /dev/port is missing
    };
    // Why a device node is denied, so that the fix fits.
    enum class Denial {
        None,
        NotInGroup,      // the node's group lets in its members: join it
        GroupNotActive,  // already a member, but not in this login yet
        NoGroupAccess,   // the node's group may not write: a udev rule
    };

    // The extended control register at base + 0x402 of an ECP port.
    enum class Ecr { NotRead, Absent, Present };

    struct Port {
        KernelPort port;
        Device device = Device::Missing;
        bool printerDriverHolds = false;
        std::vector<std::string> modes;  // as the kernel names them: PCSPP, TRISTATE, EPP, ECP…
        int irq = -1;                    // -1: none
        int dma = -1;
        std::string group;  // the device node's group, empty when unknown
        Denial denial = Denial::None;
        Ecr ecr = Ecr::NotRead;  // read only where raw I/O is permitted
        int ecrMode = -1;        // bits 7..5 of the ECR: 0 SPP, 1 PS/2, 3 ECP, 4 EPP…
        bool ecrSet = false;     // the mode was set on request in this run
    };

    // A PCI or PCI Express parallel controller (class 0x0701).
    struct Card {
        std::string slot;  // "0000:03:00.0"
        std::vector<IoRange> ranges;
        bool kernelPort = false;  // one of its ranges is a port the kernel lists
    };

    std::vector<Port> ports;
    bool parportPcLoaded = false;
    bool ppdevLoaded = false;
    bool lpLoaded = false;
    std::vector<Card> cards;
    std::vector<std::string> usbPrinters;  // "/dev/usb/lp0"
    bool root = false;
    RawIo rawIo = RawIo::NoCapability;
    std::string lockdown;  // empty when the kernel does not tell

    // Whether a real port can be driven now: a ppdev node this user may
    // open and no printer driver on it, or raw I/O with a port to reach.
    [[nodiscard]] bool realPortUsable() const;
};

// Looks only at /proc, /sys, /dev and /etc, and with the right to raw I/O
// asks for (and gives back) the access ioperm grants, as --port raw would
// first; where ioperm grants it, reads each port's ECR and control register.
// Writes no port.
PortReport examinePorts(SystemCalls& system);

// The extended control register of an ECP port lies this far above its base.
inline constexpr unsigned kEcrOffset = 0x402;

// Whether the bytes read at base + 0x402 and at the control register show an
// ECR: a present one reads its FIFO as empty and not full after reset; an
// absent one reads 0xFF, or the control register where the board ignores
// address line 10.
bool ecrPresent(std::uint8_t ecr, std::uint8_t control);

// Sets the mode (bits 7..5) of the ECR at base + 0x402 through `port`,
// keeping bits 4..0 as read. Returns the mode before, or nullopt, with
// nothing written, when no ECR answers there.
std::optional<int> setEcrMode(Backend& port, std::uint16_t base, int mode);

// The I/O ranges of a sysfs "resource" file: lines of start, end and flags;
// only port ranges (flag 0x100) below 0x10000 count.
std::vector<IoRange> parsePciIoRanges(std::string_view text);

}  // namespace dravel::port
