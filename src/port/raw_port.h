#pragma once

#include <memory>
#include <string>
#include <vector>

#include "backend.h"
#include "io_grants.h"
#include "ppdev_port.h"
#include "start_error.h"

namespace dravel::port {

class SystemCalls;

// Raw port I/O with the x86 in/out instructions, after ioperm has opened
// exactly the granted ranges for this process.
class IopermPort final : public Backend {
public:
    IopermPort(SystemCalls& system, std::vector<IoRange> opened,
               std::vector<std::unique_ptr<PpdevClaim>> claims);
    ~IopermPort() override;

    std::uint8_t read(std::uint16_t port) override;
    void write(std::uint16_t port, std::uint8_t value) override;
    [[nodiscard]] std::string name() const override { return "Raw-I/O (ioperm)"; }

private:
    SystemCalls& system_;
    std::vector<IoRange> opened_;
    std::vector<std::unique_ptr<PpdevClaim>> claims_;
};

// Raw port I/O through /dev/port, one byte at the file offset of the port
// number: for kernels that refuse ioperm but let /dev/port open.
class DevPortPort final : public Backend {
public:
    DevPortPort(SystemCalls& system, int fd, std::vector<std::unique_ptr<PpdevClaim>> claims);
    ~DevPortPort() override;

    std::uint8_t read(std::uint16_t port) override;
    void write(std::uint16_t port, std::uint8_t value) override;
    [[nodiscard]] std::string name() const override { return "Raw-I/O (/dev/port)"; }

private:
    SystemCalls& system_;
    int fd_;
    std::vector<std::unique_ptr<PpdevClaim>> claims_;
};

// How raw access is obtained; Automatic tries ioperm, then /dev/port.
enum class RawAccess { Automatic, Ioperm, DevPort };

// Opens raw I/O on the granted ranges, claims every kernel port that has a
// /dev/parportN through ppdev so that the printer driver keeps off its lines,
// and wraps it all in the grants. Throws StartError.
std::unique_ptr<Backend> openRawPort(SystemCalls& system, const IoGrants& grants,
                                     MessageSink messages, RawAccess access = RawAccess::Automatic);

// The lockdown mode the kernel runs in ("none", "integrity",
// "confidentiality"), or "" if the kernel does not say.
std::string kernelLockdown(SystemCalls& system);
// Whether that mode keeps raw I/O out (ioperm and /dev/port alike).
bool lockdownForbidsRawIo(const std::string& mode);

// Whether this process holds CAP_SYS_RAWIO, the capability both ioperm and
// /dev/port require. Read from /proc/self/status, without trying any port.
bool hasRawIoCapability(SystemCalls& system);

}  // namespace dravel::port
