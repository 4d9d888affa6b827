#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Durations written with their unit, as a user types them on the command
// line or in a field. Plain C++: the capture engine's trigger reads them.
namespace dravel::analysator {

// "1ms", "500 us", "2,5µs", "0.1 s" (ns, us or µs, ms, s; "." or "," as the
// decimal mark); nullopt for anything else, and for what does not fit in
// 64 bits of ns.
std::optional<std::uint64_t> leseDauerNs(std::string_view text);

// The other way round, exactly, in the largest unit that takes it whole:
// "1ms", "1500µs", "7ns".
std::string dauerKurz(std::uint64_t ns);

}  // namespace dravel::analysator
