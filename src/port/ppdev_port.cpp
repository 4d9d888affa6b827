#include "ppdev_port.h"

#include <fcntl.h>
#include <sys/ioctl.h>

#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/time.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <utility>

#include "digits.h"
#include "system_calls.h"

namespace dravel::port {
namespace {

std::string procDirectory(const KernelPort& port) {
    return "/proc/sys/dev/parport/" + port.name + "/";
}

[[noreturn]] void refuse(const std::string& text,
                         StartError::Cause cause = StartError::Cause::Described) {
    throw StartError(text, cause);
}

}  // namespace

bool printerDriverHolds(SystemCalls& system, const KernelPort& port) {
    for (const auto& name : system.listDirectory(procDirectory(port) + "devices")) {
        if (name.rfind("lp", 0) == 0) return true;
    }
    return false;
}

PpdevClaim::PpdevClaim(SystemCalls& system, const KernelPort& port) : system_(system), port_(port) {
    const std::string device = port.device();
    const int fd = system_.open(device, O_RDWR);
    if (fd == -ENOENT || fd == -ENODEV || fd == -ENXIO) {
        refuse(device + " fehlt: der ppdev-Treiber ist nicht geladen",
               StartError::Cause::NoPpdevDriver);
    }
    if (fd == -EACCES || fd == -EPERM) {
        refuse("Keine Berechtigung für " + device, StartError::Cause::NoPpdevPermission);
    }
    if (fd < 0) refuse(device + " lässt sich nicht öffnen: " + errnoText(-fd));
    fd_ = fd;
    // Exclusive: the claim fails while another driver is registered on the
    // port, instead of both taking turns on the same lines.
    int rc = system_.ioctl(fd_, PPEXCL, nullptr);
    if (rc == 0) rc = system_.ioctl(fd_, PPCLAIM, nullptr);
    if (rc != 0) {
        system_.close(fd_);
        fd_ = -1;
        if (printerDriverHolds(system_, port_)) {
            refuse(port_.name + " ist vom Druckertreiber lp belegt",
                   StartError::Cause::PrinterDriverHolds);
        }
        refuse(port_.name + " ist belegt (" + errnoText(-rc) +
               "): ein anderes Programm oder ein Treiber hält ihn.");
    }
}

PpdevClaim::~PpdevClaim() {
    if (fd_ < 0) return;
    system_.ioctl(fd_, PPRELEASE, nullptr);
    system_.close(fd_);
}

PpdevPort::PpdevPort(SystemCalls& system, std::unique_ptr<PpdevClaim> claim, MessageSink messages)
    : system_(system), claim_(std::move(claim)), messages_(std::move(messages)) {
    // The claim put the port into forward mode; saying so again makes the
    // shadowed direction bit true from the start.
    int forward = 0;
    system_.ioctl(claim_->fd(), PPDATADIR, &forward);
    // The claim also set bit 4 from the port's IRQ ("7", or "-1" for none).
    std::string bit4 = "Steuerbit 4 (Interrupt) erreicht ppdev nicht";
    if (const auto irq = system_.readFile(procDirectory(claim_->port()) + "irq")) {
        const bool none = irq->rfind("-1", 0) == 0;
        const bool number = !irq->empty() && (*irq)[0] >= '0' && (*irq)[0] <= '9';
        if (none || number) {
            driverInterrupt_ = number;
            bit4 = std::string("Steuerbit 4 (Interrupt) hält der Treiber auf ") +
                   (number ? "1" : "0") + ", Schreiben ändert es nicht";
        }
    }
    if (messages_) {
        messages_({"ppdev: " + bit4 +
                   "; Bit 5 (Richtung) kann ppdev nur setzen, die Bits 6 und 7 gar nicht: sie "
                   "zeigen den zuletzt geschriebenen Wert."});
    }
}

std::string PpdevPort::name() const {
    return "ppdev " + claim_->port().device();
}

long PpdevPort::writeCompatible(const std::uint8_t* bytes, std::size_t count,
                                std::uint64_t timeoutNs) {
    int mode = IEEE1284_MODE_COMPAT;
    if (const int e = system_.ioctl(claim_->fd(), PPSETMODE, &mode); e < 0) return e;
    timeval zeit{static_cast<time_t>(timeoutNs / 1'000'000'000),
                 static_cast<suseconds_t>(timeoutNs % 1'000'000'000 / 1000)};
    if (const int e = system_.ioctl(claim_->fd(), PPSETTIME, &zeit); e < 0) return e;
    return system_.write(claim_->fd(), bytes, count);
}

std::uint8_t PpdevPort::readRegister(unsigned long request) {
    unsigned char value = 0xFF;
    if (system_.ioctl(claim_->fd(), request, &value) != 0) return 0xFF;
    return value;
}

void PpdevPort::outside(std::uint16_t port) {
    if (!messages_ || warnedOutside_.exchange(true)) return;
    char text[200];
    std::snprintf(text, sizeof text,
                  "ppdev erreicht nur die Register 0x%X-0x%X von %s; Adresse 0x%X (%u) liest "
                  "255, Schreiben bleibt ohne Wirkung.",
                  unsigned(base()), unsigned(base()) + 2, claim_->port().device().c_str(),
                  unsigned(port), unsigned(port));
    messages_({text});
}

std::uint8_t PpdevPort::read(std::uint16_t port) {
    switch (unsigned(port) - base()) {
        case 0:
            return readRegister(PPRDATA);
        case 1:
            return readRegister(PPRSTATUS);
        case 2: {
            std::uint8_t shown = shadow_.load(std::memory_order_relaxed);
            if (driverInterrupt_) {
                shown = static_cast<std::uint8_t>((shown & ~kInterruptBit) |
                                                  (*driverInterrupt_ ? kInterruptBit : 0));
            }
            return static_cast<std::uint8_t>((readRegister(PPRCONTROL) & kReachableControl) |
                                             shown);
        }
        default:
            outside(port);
            return 0xFF;
    }
}

void PpdevPort::write(std::uint16_t port, std::uint8_t value) {
    switch (unsigned(port) - base()) {
        case 0: {
            unsigned char data = value;
            system_.ioctl(claim_->fd(), PPWDATA, &data);
            return;
        }
        case 1:
            return;  // the status register has nothing to write
        case 2: {
            unsigned char control = value & kReachableControl;
            system_.ioctl(claim_->fd(), PPWCONTROL, &control);
            const std::uint8_t vorher = shadow_.load(std::memory_order_relaxed);
            if ((value ^ vorher) & kDirectionBit) {
                int reverse = (value & kDirectionBit) ? 1 : 0;
                if (system_.ioctl(claim_->fd(), PPDATADIR, &reverse) != 0) {
                    // Direction unchanged: keep the shadow telling the truth.
                    value = static_cast<std::uint8_t>((value & ~kDirectionBit) |
                                                      (vorher & kDirectionBit));
                }
            }
            shadow_.store(value & static_cast<std::uint8_t>(~kReachableControl),
                          std::memory_order_relaxed);
            return;
        }
        default:
            outside(port);
            return;
    }
}

std::unique_ptr<Backend> openPpdevPort(SystemCalls& system, const std::string& device,
                                       MessageSink messages) {
    static const std::string kPrefix = "/dev/parport";
    // The device's number is part of its name: decimal digits alone.
    const auto number =
        device.rfind(kPrefix, 0) == 0
            ? parseDigits(std::string_view(device).substr(kPrefix.size()), 10, INT_MAX)
            : std::nullopt;
    if (!number) throw unknownPort(device);
    for (const auto& port : kernelPorts(system)) {
        if (std::uint64_t(port.number) != *number) continue;
        auto claim = std::make_unique<PpdevClaim>(system, port);
        return std::make_unique<PpdevPort>(system, std::move(claim), std::move(messages));
    }
    throw StartError("Der Kernel kennt keinen Port " + device, StartError::Cause::NoSuchKernelPort);
}

StartError unknownPort(const std::string& name) {
    return StartError("Unbekannter Port „" + name + "“", StartError::Cause::UnknownPort);
}

}  // namespace dravel::port
