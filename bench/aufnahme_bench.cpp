// Sample rate and memory of the logic analyzer's capture engine.
//
// Side by side on the simulated port: a bare loop that makes the engine's
// reads through Inp32 and nothing else; the engine's loop as it was before
// it kept account of gaps (the clock once every 1024 samples and at a
// change); and the engine itself, which reads the clock every few samples
// to find its gaps (status lines only: one register; all 17 lines: three). Then the memory each
// stored change takes, and a 60 s capture of a 1 kHz square wave on a scripted port whose clock
// moves 50 ns per read (20 million samples per simulated second), so the minute passes in a few
// seconds: the process's memory beside the changes stored.
//
//   aufnahme_bench [--sekunden S]
#include <chrono>
#include <cstdio>
#include <cstring>
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

// Reads per second of a loop making the same Inp32 calls as one sample.
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
    return static_cast<double>(runden) / sekunden;
}

// The engine's sampling without gap accounting: the same reads and table
// look-ups, the clock only at a change and once every 1024 samples.
template <int N>
double ohneLücken(const analysator::Abtastplan& plan, double sekunden) {
    analysator::PortOhneMitschnitt leser;
    analysator::Programmuhr uhr;
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
    return static_cast<double>(proben) * 1e9 / static_cast<double>(jetzt - anfang);
}

double ohneLücken(const analysator::Abtastplan& plan, double sekunden) {
    return plan.anzahl == 1 ? ohneLücken<1>(plan, sekunden) : ohneLücken<3>(plan, sekunden);
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
    return m.probenJeSekunde();
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

    std::printf("Abtastrate auf dem simulierten Port (%.1f s je Messung)\n", sekunden);
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
        const double nackt = nackteSchleife(plan, sekunden);
        const double ohne = ohneLücken(plan, sekunden);
        const double aufnahme = maschine(fall.pins, sekunden);
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
