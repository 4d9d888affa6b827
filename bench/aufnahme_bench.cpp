// Sample rate and memory of the logic analyzer's capture engine.
//
// Side by side on the simulated port, in samples per processor second (the
// time other programs take from a loop left out): a bare loop that makes
// the engine's reads through Inp32 and nothing else; the engine's loop as
// it was before it kept account of gaps (the clock once every 1024 samples
// and at a change); and the engine itself, which reads the clock every few
// samples to find its gaps (status lines only: one register; all 17
// lines: three). Then the memory each stored change takes, and a 60 s
// capture of a 1 kHz square wave on a scripted port whose clock moves 50 ns
// per read (20 million samples per simulated second), so the minute passes
// in a few seconds: the process's memory beside the changes stored.
//
//   aufnahme_bench [--sekunden S]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "logik/aufnahmemaschine.h"
#include "port/port.h"
#include "port/simulated_port.h"

using namespace dravel;
using Uhr = std::chrono::steady_clock;

namespace {

// Resident memory of this process in bytes.
std::size_t rss() {
    std::ifstream status("/proc/self/status");
    std::string zeile;
    while (std::getline(status, zeile)) {
        if (zeile.rfind("VmRSS:", 0) == 0) return std::stoul(zeile.substr(6)) * 1024;
    }
    return 0;
}

// Processor time of the whole process in seconds: the loops below run one
// at a time, the others wait, so a loop's samples per processor second
// leave out the time other programs on the machine took from it.
double cpuSekunden() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Samples per processor second of `lauf`, which returns its samples.
template <typename Lauf>
double jeCpuSekunde(Lauf lauf) {
    const double vorher = cpuSekunden();
    const double proben = lauf();
    return proben / (cpuSekunden() - vorher);
}

// Rounds of a loop making the same Inp32 calls as one sample.
double nackteSchleife(const analysator::Abtastplan& plan, double sekunden) {
    std::uint64_t runden = 0;
    unsigned summe = 0;
    const auto ende = Uhr::now() + std::chrono::duration<double>(sekunden);
    while (Uhr::now() < ende) {
        for (int k = 0; k < 4096; ++k) {
            for (int r = 0; r < plan.anzahl; ++r) {
                summe += static_cast<unsigned>(Inp32(static_cast<std::int16_t>(plan.adressen[r])));
            }
        }
        runden += 4096;
    }
    // Keeps the reads from being optimised away.
    if (summe == 1) std::puts("");
    return static_cast<double>(runden);
}

// The engine's sampling without gap accounting: the same reads through the
// same interfaces and table look-ups, the clock only at a change and once
// every 1024 samples. Not inlined into its caller, so that the reads stay
// virtual calls as in the engine.
template <int N>
[[gnu::noipa]] double ohneLücken(const analysator::Abtastplan& plan, double sekunden,
                                 analysator::Portleser& leser, analysator::Aufnahmeuhr& uhr) {
    const auto probe = [&]() -> analysator::Pegel {
        analysator::Pegel p = plan.tabellen[0][leser.lies(plan.adressen[0])];
        if constexpr (N >= 2) p |= plan.tabellen[1][leser.lies(plan.adressen[1])];
        if constexpr (N >= 3) p |= plan.tabellen[2][leser.lies(plan.adressen[2])];
        return p;
    };
    const std::uint64_t anfang = uhr.jetztNs();
    const std::uint64_t ende = anfang + static_cast<std::uint64_t>(sekunden * 1e9);
    std::uint64_t proben = 0, jetzt = anfang, zuletzt = 0;
    analysator::Pegel letzter = probe();
    while (jetzt < ende) {
        for (int k = 0; k < 1024; ++k) {
            const analysator::Pegel p = probe();
            if (p != letzter) [[unlikely]] {
                zuletzt = uhr.jetztNs();
                letzter = p;
            }
        }
        proben += 1024;
        jetzt = uhr.jetztNs();
    }
    if (zuletzt == 1) std::puts("");
    return static_cast<double>(proben);
}

double ohneLücken(const analysator::Abtastplan& plan, double sekunden) {
    analysator::PortOhneMitschnitt leser;
    analysator::Programmuhr uhr;
    return plan.anzahl == 1 ? ohneLücken<1>(plan, sekunden, leser, uhr)
                            : ohneLücken<3>(plan, sekunden, leser, uhr);
}

double maschine(analysator::Pegel pins, double sekunden) {
    analysator::PortOhneMitschnitt leser;
    analysator::Programmuhr uhr;
    analysator::Aufnahmemaschine m(leser, uhr);
    analysator::Aufnahmeeinstellungen e;
    e.pins = pins;
    e.dauerNs = static_cast<std::uint64_t>(sekunden * 1e9);
    m.starte(e);
    m.warte();
    return static_cast<double>(m.proben());
}

// /Ack as a 1 kHz square wave on a clock that moves with every read.
class Rechteckport final : public analysator::Portleser, public analysator::Aufnahmeuhr {
public:
    std::uint8_t lies(std::uint16_t) override {
        jetzt_ += 50;
        return (jetzt_ / 500'000) % 2 ? 0x40 : 0x00;
    }
    std::uint64_t jetztNs() override { return jetzt_; }

private:
    std::uint64_t jetzt_ = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
    double sekunden = 1.0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--sekunden") == 0) sekunden = std::stod(argv[i + 1]);
    }
    port::installBackend(std::make_unique<port::SimulatedPort>());

    std::printf(
        "Abtastwerte je Prozessorsekunde auf dem simulierten Port (%.1f s je Messung, die beste "
        "von fünf "
        "Scheiben)\n",
        sekunden);
    std::printf("%-22s %16s %16s %16s %8s %8s\n", "Leitungen", "Inp32-Schleife/s", "ohne Lücken/s",
                "Aufnahme/s", "Anteil", "zu ohne");
    struct Fall {
        const char* name;
        analysator::Pegel pins;
    } fälle[] = {
        {"Status (10-13, 15)", (1u << 10) | (1u << 11) | (1u << 12) | (1u << 13) | (1u << 15)},
        {"alle 17", analysator::kAllePins}};
    for (const Fall& fall : fälle) {
        const auto plan = analysator::plane(0x378, fall.pins);
        // Taken in turns, five slices each, the best of each counted: other
        // work on the machine slows a slice, never speeds it up.
        double nackt = 0, ohne = 0, aufnahme = 0;
        const double scheibe = sekunden / 5;
        for (int runde = 0; runde < 5; ++runde) {
            nackt = std::max(nackt, jeCpuSekunde([&] { return nackteSchleife(plan, scheibe); }));
            ohne = std::max(ohne, jeCpuSekunde([&] { return ohneLücken(plan, scheibe); }));
            aufnahme =
                std::max(aufnahme, jeCpuSekunde([&] { return maschine(fall.pins, scheibe); }));
        }
        std::printf("%-22s %16.0f %16.0f %16.0f %7.1f%% %7.1f%%\n", fall.name, nackt, ohne,
                    aufnahme, 100.0 * aufnahme / nackt, 100.0 * aufnahme / ohne);
    }

    std::printf("\nSpeicher je gespeicherter Änderung: %zu Byte (Zeit 8, Pegel 8)\n",
                analysator::Aufnahme::kBytesJeÄnderung);

    std::printf("\n60 s Rechteck 1 kHz (Skriptport, 50 ns je Lesen)\n");
    std::printf("%12s %12s %16s %16s\n", "Zeit (s)", "Änderungen", "Speicher (KiB)",
                "davon Änderungen");
    Rechteckport port;
    analysator::Aufnahmemaschine m(port, port);
    analysator::Aufnahmeeinstellungen e;
    e.pins = analysator::bitVon(10);
    e.dauerNs = 60'000'000'000ULL;
    const std::size_t vorher = rss();
    const auto wall = Uhr::now();
    m.starte(e);
    for (const std::uint64_t marke : {1ULL, 10ULL, 30ULL, 60ULL}) {
        while (m.läuft()) {
            const auto a = m.aktuelle();
            if (a && a->bisNs() >= marke * 1'000'000'000ULL) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const auto a = m.aktuelle();
        const std::size_t n = a ? a->anzahl() : 0;
        std::printf("%12.1f %12zu %16.0f %16.0f\n", a ? double(a->bisNs()) * 1e-9 : 0.0, n,
                    double(rss() - vorher) / 1024.0,
                    double(n * analysator::Aufnahme::kBytesJeÄnderung) / 1024.0);
    }
    m.warte();
    std::printf("(%.1f s Rechenzeit für 60 s Aufnahme, %.0f Abtastwerte/s)\n",
                std::chrono::duration<double>(Uhr::now() - wall).count(), m.probenJeSekunde());
    port::releaseBackend();
    return 0;
}
