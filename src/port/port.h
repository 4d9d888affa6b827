#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "backend.h"

// The two routines through which the whole program reaches the hardware.
// Addresses and values are 16-bit: only the address's 16-bit pattern counts
// (so -1 is port 65535) and only the low byte of the value is written.
// Results lie in 0..255. Neither routine reports failure.
std::int16_t Inp32(std::int16_t address);
void Out32(std::int16_t address, std::int16_t value);

namespace dravel::port {

// Makes the backend the command line chose (kommandozeile.cpp).
using BackendFactory = std::function<std::unique_ptr<Backend>()>;

// Binds a ready backend now, replacing any bound one (start-up code, which
// must know before any window opens whether a device opens, and tests).
// Without one the first Inp32/Out32 call binds a simulated port of this
// process alone.
void installBackend(std::unique_ptr<Backend> backend);

// Releases the bound backend (at exit, and between tests). A capture that
// still reads it keeps it until the capture's reader goes.
void releaseBackend();

// The bound backend, or nullptr before the first port call.
Backend* boundBackend();

// The bound backend (bound now if none is) beneath any recording
// observer: what the logic analyzer samples through, so that its reads
// obey the address grants but stay out of the session trace. Called on the
// thread that makes the port calls; the pointer shares ownership of the
// whole bound backend, so it stays valid in another thread whatever
// installBackend or releaseBackend do meanwhile.
std::shared_ptr<Backend> untracedBackend();

// One read through untracedBackend(), for a caller on the port calls' thread.
std::uint8_t readUntraced(std::uint16_t address);

// How many Out32 calls so far passed a value outside 0..255 (only its low
// byte was written). The windows never should; tests hold them to it.
std::uint64_t valuesOutsideByte();

}  // namespace dravel::port
