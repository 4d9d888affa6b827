#include "granted_port.h"

#include <cstdio>
#include <utility>

namespace dravel::port {

GrantedPort::GrantedPort(std::unique_ptr<Backend> behind, IoGrants grants, MessageSink messages)
    : behind_(std::move(behind)), grants_(std::move(grants)), messages_(std::move(messages)) {}

bool GrantedPort::granted(std::uint16_t port) {
    if (grants_.covers(port)) return true;
    if (!warned_.exchange(true)) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "Adresse 0x%X (%u) gehört zu keinem bekannten Parallelport und bleibt "
                      "unberührt (liest 255)",
                      unsigned(port), unsigned(port));
        // Granting a whole register block from the address on.
        const IoRange block{port, port > 0xFFFD ? std::uint16_t(0xFFFF) : std::uint16_t(port + 2)};
        if (messages_) messages_({text, Message::Cause::AddressNotGranted, block});
    }
    return false;
}

std::uint8_t GrantedPort::read(std::uint16_t port) {
    return granted(port) ? behind_->read(port) : 0xFF;
}

void GrantedPort::write(std::uint16_t port, std::uint8_t value) {
    if (granted(port)) behind_->write(port, value);
}

}  // namespace dravel::port
