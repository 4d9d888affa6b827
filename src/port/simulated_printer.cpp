#include "simulated_printer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "counter_clock.h"

namespace dravel::port {
namespace {
constexpr std::uint8_t kStrobeBit = 0x01;
}  // namespace

SimulatedPrinter::SimulatedPrinter(std::unique_ptr<SimulatedPort> port, std::string outputPath)
    : port_(std::move(port)), outputPath_(std::move(outputPath)) {
    if (port_->read(static_cast<std::uint16_t>(port_->base() + 1)) == SimulatedPort::kIdleStatus) {
        port_->setStatus(printer_status::kReady);
    }
}

SimulatedPrinter::~SimulatedPrinter() {
    // The answer under way is finished: another process must not find
    // the printer busy for good.
    const std::lock_guard<std::mutex> lock(mutex_);
    while (phase_ != Phase::Idle) advance();
    if (output_ >= 0) ::close(output_);
}

void SimulatedPrinter::advance() {
    if (phase_ == Phase::Idle) return;
    const std::uint64_t now = monotonicNs();
    if (now < dueNs_) return;
    using namespace printer_status;
    // A state set meanwhile (out of paper, say) stays; the byte taken is
    // still acknowledged, as a printer does.
    const std::uint8_t nowStatus = port_->read(static_cast<std::uint16_t>(port_->base() + 1));
    if (nowStatus != set_) disturbed_ = true;
    if (phase_ == Phase::Busy) {
        set_ = static_cast<std::uint8_t>(nowStatus & ~kAckBit);
        phase_ = Phase::Ack;
        // A pulse that starts late is still as wide as ever.
        dueNs_ = now + kAckWidthNs;
    } else {
        set_ = disturbed_ ? static_cast<std::uint8_t>(nowStatus | kAckBit) : kReady;
        phase_ = Phase::Idle;
        answering_.store(false, std::memory_order_release);
    }
    port_->setStatus(set_);
    // The file after the answer's last change: its writing moves no edge.
    if (phase_ == Phase::Idle) print(latched_);
}

std::uint8_t SimulatedPrinter::read(std::uint16_t port) {
    // The analyzer's thread may read while another writes.
    if (answering_.load(std::memory_order_acquire)) {
        const std::lock_guard<std::mutex> lock(mutex_);
        advance();
    }
    return port_->read(port);
}

void SimulatedPrinter::write(std::uint16_t port, std::uint8_t value) {
    const std::lock_guard<std::mutex> lock(mutex_);
    advance();
    const auto control = static_cast<std::uint16_t>(port_->base() + 2);
    const bool strobeBefore = (port_->read(control) & kStrobeBit) != 0;
    port_->write(port, value);
    if (const std::uint64_t* ns = port_->lastWriteNs()) written_ = *ns;
    if (port != control || strobeBefore || !(value & kStrobeBit)) return;
    // The strobe's active edge: a ready printer takes the byte.
    if (phase_ != Phase::Idle ||
        port_->read(static_cast<std::uint16_t>(port_->base() + 1)) != printer_status::kReady)
        return;
    latched_ = port_->read(port_->base());
    set_ = printer_status::kReady & ~printer_status::kNotBusyBit;
    port_->setStatus(set_);
    disturbed_ = false;
    phase_ = Phase::Busy;
    answering_.store(true, std::memory_order_release);
    dueNs_ = monotonicNs() + kAckAfterNs;
}

void SimulatedPrinter::print(std::uint8_t byte) {
    if (output_ < 0 && !outputFailed_) {
        output_ = ::open(outputPath_.c_str(),
                         O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (output_ < 0) {
            outputFailed_ = true;
            std::fprintf(stderr, "dravel: Der simulierte Drucker kann nicht in %s schreiben: %s\n",
                         outputPath_.c_str(), std::strerror(errno));
        }
    }
    if (output_ >= 0) {
        while (::write(output_, &byte, 1) < 0 && errno == EINTR) {
        }
    }
}

void SimulatedPrinter::setState(std::uint8_t status) {
    const std::lock_guard<std::mutex> lock(mutex_);
    while (phase_ != Phase::Idle) advance();
    port_->setStatus(status);
}

std::string SimulatedPrinter::name() const {
    char text[64];
    std::snprintf(text, sizeof text, "simulierter Drucker (0x%X)",
                  static_cast<unsigned>(port_->base()));
    return text;
}

std::unique_ptr<Backend> sharedSimulatedPrinter(std::uint16_t base, const MessageSink& messages) {
    SharedRegisters shared = sharedRegisters(base, messages);
    char file[32];
    std::snprintf(file, sizeof file, "/drucker-0x%X.out", static_cast<unsigned>(base));
    return std::make_unique<SimulatedPrinter>(
        std::make_unique<SimulatedPort>(base, SimulatedPort::Plug::None,
                                        std::move(shared.registers), std::move(shared.log)),
        sharedRegisterFolder() + file);
}

}  // namespace dravel::port
