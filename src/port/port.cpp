#include "port.h"

#include <utility>

#include "simulated_port.h"

namespace dravel::port {
namespace {

// Plain global: every Inp32/Out32 call happens on the user-interface thread;
// the logic analyzer's thread holds a share of the backend it got from there.
std::shared_ptr<Backend> g_backend;

Backend& bound() {
    if (!g_backend) g_backend = std::make_shared<SimulatedPort>();
    return *g_backend;
}

}  // namespace

void installBackend(std::unique_ptr<Backend> backend) {
    g_backend = std::move(backend);
}

void releaseBackend() {
    g_backend.reset();
}

Backend* boundBackend() {
    return g_backend.get();
}

std::shared_ptr<Backend> untracedBackend() {
    Backend& beneath = bound().unrecorded();
    return {g_backend, &beneath};  // shares the owner of the whole chain
}

std::uint8_t readUntraced(std::uint16_t address) {
    return bound().unrecorded().read(address);
}

namespace detail {
std::uint64_t g_valuesOutsideByte = 0;
}

std::uint64_t valuesOutsideByte() {
    return detail::g_valuesOutsideByte;
}

}  // namespace dravel::port

std::int16_t Inp32(std::int16_t address) {
    return static_cast<std::int16_t>(
        dravel::port::bound().read(static_cast<std::uint16_t>(address)));
}

void Out32(std::int16_t address, std::int16_t value) {
    if (value & ~0xFF) [[unlikely]]
        ++dravel::port::detail::g_valuesOutsideByte;
    dravel::port::bound().write(static_cast<std::uint16_t>(address),
                                static_cast<std::uint8_t>(value & 0xFF));
}
