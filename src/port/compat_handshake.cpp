#include "compat_handshake.h"

#include "counter_clock.h"
#include "simulated_printer.h"

namespace dravel::port {
namespace {
using namespace printer_status;

constexpr std::uint8_t kStrobeBit = 0x01;
// nInit high, SelectIn active, strobe and autofeed off, data lines out.
constexpr std::uint8_t kControlIdle = 0x0C;
constexpr std::uint8_t kInterruptBit = 0x10;
// Setup before the strobe, its width and the hold after it: twice the
// least the handshake asks for.
constexpr std::uint64_t kPulseNs = 1000;

void pause(std::uint64_t ns) {
    const std::uint64_t until = monotonicNs() + ns;
    while (monotonicNs() < until) {
    }
}

}  // namespace

SendResult::End printerFault(std::uint8_t status) {
    if (status & kPaperOutBit) return SendResult::End::PaperOut;
    if (!(status & kSelectBit)) return SendResult::End::Offline;
    if (!(status & kNotErrorBit)) return SendResult::End::Error;
    return SendResult::End::Done;
}

SendResult sendCompatible(Backend& port, std::uint16_t base, const std::uint8_t* bytes,
                          std::size_t count, std::uint64_t timeoutNs,
                          const std::function<bool()>& stop) {
    const auto statusPort = static_cast<std::uint16_t>(base + 1);
    const auto controlPort = static_cast<std::uint16_t>(base + 2);
    const auto control =
        static_cast<std::uint8_t>((port.read(controlPort) & kInterruptBit) | kControlIdle);
    port.write(controlPort, control);
    SendResult result;
    // Waits until `done` holds for the status; the end that stopped it. A
    // fault ends the wait at once where `faultEnds`, else only at the
    // timeout: a byte strobed may still be acknowledged.
    const auto wait = [&](auto done, bool faultEnds) {
        const std::uint64_t start = monotonicNs();
        for (unsigned polls = 1;; ++polls) {
            const std::uint8_t status = port.read(statusPort);
            if (done(status)) return SendResult::End::Done;
            const auto f = printerFault(status);
            if (faultEnds && f != SendResult::End::Done) return f;
            if (polls % 1024 == 0) {
                if (stop && stop()) return SendResult::End::Stopped;
                if (monotonicNs() - start >= timeoutNs) {
                    return f != SendResult::End::Done ? f : SendResult::End::Timeout;
                }
            }
        }
    };
    const auto notBusy = [](std::uint8_t s) { return (s & kNotBusyBit) != 0; };
    const auto answered = [](std::uint8_t s) { return (s & kNotBusyBit) || !(s & kAckBit); };
    for (std::size_t i = 0; i < count; ++i) {
        if ((result.end = wait(notBusy, true)) != SendResult::End::Done) return result;
        port.write(base, bytes[i]);
        pause(kPulseNs);
        port.write(controlPort, control | kStrobeBit);
        pause(kPulseNs);
        port.write(controlPort, control);
        pause(kPulseNs);
        if ((result.end = wait(answered, false)) != SendResult::End::Done) return result;
        ++result.sent;
    }
    return result;
}

}  // namespace dravel::port
