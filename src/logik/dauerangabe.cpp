#include "dauerangabe.h"

#include <charconv>
#include <cmath>
#include <utility>

namespace dravel::analysator {
namespace {

struct Wort {
    std::string_view name;
    std::uint64_t ns;
};
// "ms" before "s", which ends it.
constexpr Wort kWörter[] = {
    {"ns", 1}, {"us", 1000}, {"µs", 1000}, {"ms", 1'000'000}, {"s", 1'000'000'000}};

std::string_view ohneLeerzeichen(std::string_view t) {
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    return t;
}

}  // namespace

std::optional<std::uint64_t> leseDauerNs(std::string_view text) {
    text = ohneLeerzeichen(text);
    for (const Wort& wort : kWörter) {
        if (text.size() <= wort.name.size() || !text.ends_with(wort.name)) continue;
        std::string zahl(ohneLeerzeichen(text.substr(0, text.size() - wort.name.size())));
        for (char& z : zahl) {
            if (z == ',') z = '.';
        }
        // Digits and one mark only: no sign, no exponent.
        if (zahl.empty() || zahl.find_first_not_of("0123456789.") != std::string::npos) {
            return std::nullopt;
        }
        double wert = 0;
        const auto [ende, fehler] = std::from_chars(zahl.data(), zahl.data() + zahl.size(), wert);
        if (fehler != std::errc() || ende != zahl.data() + zahl.size()) return std::nullopt;
        const double ns = std::round(wert * static_cast<double>(wort.ns));
        if (!(ns < 1.8e19)) return std::nullopt;
        return static_cast<std::uint64_t>(ns);
    }
    return std::nullopt;
}

std::string dauerKurz(std::uint64_t ns) {
    for (const auto& [name, teiler] :
         {std::pair{"s", std::uint64_t{1'000'000'000}}, {"ms", 1'000'000}, {"µs", 1000}}) {
        if (ns != 0 && ns % teiler == 0) return std::to_string(ns / teiler) + name;
    }
    return std::to_string(ns) + "ns";
}

}  // namespace dravel::analysator
