#pragma once

#include <array>
#include <cstdint>

namespace dravel::port {

// The base addresses of the ISA parallel ports LPT1 to LPT3 as PCs have
// always placed them: raw I/O may always use them, the trace names their
// registers, and the simulated port sits at the first.
inline constexpr std::array<std::uint16_t, 3> kLegacyBases = {0x378, 0x278, 0x3BC};

}  // namespace dravel::port
