#include "raw_port.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "granted_port.h"
#include "system_calls.h"

namespace dravel::port {
namespace {

constexpr int kCapSysRawio = 17;

// Claims the kernel's ports before raw I/O starts. A busy port ends the start
// (the printer driver would fight over the lines); a device the user may not
// open only costs the protection, which is said once.
std::vector<std::unique_ptr<PpdevClaim>> claimKernelPorts(SystemCalls& system,
                                                          const MessageSink& messages) {
    std::vector<std::unique_ptr<PpdevClaim>> claims;
    for (const auto& port : kernelPorts(system)) {
        if (!system.exists(port.device())) {
            // Without ppdev nothing keeps the printer driver off the lines.
            if (printerDriverHolds(system, port)) {
                throw StartError(port.name + " ist vom Druckertreiber lp belegt",
                                 StartError::Cause::PrinterDriverHolds);
            }
            continue;
        }
        if (!system.mayReadWrite(port.device())) {
            if (messages) {
                messages({port.device() +
                          " lässt sich nicht belegen; der Druckertreiber könnte dazwischenfunken. "
                          "Abhilfe: sudo usermod -aG lp $USER"});
            }
            continue;
        }
        claims.push_back(std::make_unique<PpdevClaim>(system, port));
    }
    return claims;
}

StartError rawRefusal(SystemCalls& system, int error, bool devPort) {
    const std::string lockdown = kernelLockdown(system);
    if (lockdownForbidsRawIo(lockdown)) {
        return StartError(
            "Raw-I/O verweigert: der Kernel ist gesperrt (Lockdown „" + lockdown + "“)",
            StartError::Cause::KernelLockdown);
    }
    if (error == -EPERM || error == -EACCES || !hasRawIoCapability(system)) {
        return StartError("Raw-I/O verweigert: CAP_SYS_RAWIO fehlt",
                          StartError::Cause::NoRawIoCapability);
    }
    // The system's text alone would not say which file it concerns.
    const std::string text = !devPort           ? errnoText(-error)
                             : error == -ENOENT ? "/dev/port fehlt"
                                                : "/dev/port: " + errnoText(-error);
    return StartError("Raw-I/O nicht möglich: " + text, StartError::Cause::RawIoFailed);
}

}  // namespace

IopermPort::IopermPort(SystemCalls& system, std::vector<IoRange> opened,
                       std::vector<std::unique_ptr<PpdevClaim>> claims)
    : system_(system), opened_(std::move(opened)), claims_(std::move(claims)) {}

IopermPort::~IopermPort() {
    for (const auto& range : opened_) system_.ioperm(range.first, range.count(), false);
}

std::uint8_t IopermPort::read(std::uint16_t port) {
    return system_.inb(port);
}

void IopermPort::write(std::uint16_t port, std::uint8_t value) {
    system_.outb(port, value);
}

DevPortPort::DevPortPort(SystemCalls& system, int fd,
                         std::vector<std::unique_ptr<PpdevClaim>> claims)
    : system_(system), fd_(fd), claims_(std::move(claims)) {}

DevPortPort::~DevPortPort() {
    system_.close(fd_);
}

std::uint8_t DevPortPort::read(std::uint16_t port) {
    unsigned char value = 0xFF;
    if (system_.pread(fd_, &value, 1, port) != 1) return 0xFF;
    return value;
}

void DevPortPort::write(std::uint16_t port, std::uint8_t value) {
    const unsigned char byte = value;
    system_.pwrite(fd_, &byte, 1, port);
}

std::unique_ptr<Backend> openRawPort(SystemCalls& system, const IoGrants& grants,
                                     MessageSink messages, RawAccess access) {
    std::unique_ptr<Backend> raw;
    int error = -ENOSYS;
    bool devPortError = false;
    if (access != RawAccess::DevPort) {
        error = 0;
        std::vector<IoRange> opened;
        for (const auto& range : grants.ranges()) {
            error = system.ioperm(range.first, range.count(), true);
            if (error != 0) break;
            opened.push_back(range);
        }
        const auto closeOpened = [&] {
            for (const auto& range : opened) system.ioperm(range.first, range.count(), false);
        };
        if (error != 0) {
            closeOpened();
        } else {
            try {
                auto claims = claimKernelPorts(system, messages);
                raw = std::make_unique<IopermPort>(system, std::move(opened), std::move(claims));
            } catch (...) {
                closeOpened();  // a busy port ends the start without leaving access behind
                throw;
            }
        }
    }
    if (!raw && access != RawAccess::Ioperm) {
        const int fd = system.open("/dev/port", O_RDWR);
        if (fd >= 0) {
            try {
                raw = std::make_unique<DevPortPort>(system, fd, claimKernelPorts(system, messages));
            } catch (...) {
                system.close(fd);
                throw;
            }
        } else if (access == RawAccess::DevPort || error == -ENOSYS) {
            error = fd;
            devPortError = true;
        }
    }
    if (!raw) throw rawRefusal(system, error, devPortError);
    if (messages) {
        // Said at start, so that nobody wonders later why an address reads 255.
        std::string reach;
        for (const auto& range : grants.ranges()) {
            char text[32];
            std::snprintf(text, sizeof text, "%s0x%X-0x%X", reach.empty() ? "" : ", ",
                          unsigned(range.first), unsigned(range.last));
            reach += text;
        }
        messages({raw->name() + " erreicht nur " + (reach.empty() ? "keine Adresse" : reach),
                  Message::Cause::GrantsLimitReach});
    }
    return std::make_unique<GrantedPort>(std::move(raw), grants, std::move(messages));
}

std::string kernelLockdown(SystemCalls& system) {
    // "none [integrity] confidentiality": the active mode is in brackets.
    const auto text = system.readFile("/sys/kernel/security/lockdown");
    if (!text) return {};
    const auto open = text->find('[');
    const auto close = text->find(']', open);
    if (open == std::string::npos || close == std::string::npos) return {};
    return text->substr(open + 1, close - open - 1);
}

bool hasRawIoCapability(SystemCalls& system) {
    return hasEffectiveCapability(system, kCapSysRawio);
}

bool lockdownForbidsRawIo(const std::string& mode) {
    return mode == "integrity" || mode == "confidentiality";
}

}  // namespace dravel::port
