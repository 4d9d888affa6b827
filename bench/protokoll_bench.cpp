// The simulated port's change log.
//
// 1. What a capture sees of `dravel muster` (10,000 changes at 0.1 ms, a
//    process of its own) on the loopback port: following the log against
//    polling, quiet and with two busy processes beside them.
// 2. What the log costs a write: the generator's engine at time base 0 (as
//    `muster --zeitbasis 0` runs it) and bare writes, on the shared port with
//    and without the log, alternating, best of several rounds.
//
//   protokoll_bench [--runden N]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "logik/aufnahmemaschine.h"
#include "logik/ausgabemaschine.h"
#include "port/port.h"
#include "port/simulated_port.h"

extern char** environ;

namespace {

using namespace dravel;
using Uhr = std::chrono::steady_clock;

constexpr std::uint16_t kBasis = 0x378;
constexpr std::size_t kÄnderungen = 10000;

// Two processes that want a core each, as `yes > /dev/null` twice.
class Lastprozesse {
public:
    Lastprozesse() {
        for (pid_t& pid : pids_) {
            pid = fork();
            if (pid == 0) {
                const int null = open("/dev/null", O_WRONLY);
                dup2(null, STDOUT_FILENO);
                execlp("yes", "yes", static_cast<char*>(nullptr));
                _exit(127);
            }
        }
        usleep(200'000);
    }
    ~Lastprozesse() {
        for (pid_t pid : pids_) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    Lastprozesse(const Lastprozesse&) = delete;
    Lastprozesse& operator=(const Lastprozesse&) = delete;

private:
    std::array<pid_t, 2> pids_{};
};

std::string last() {
    char zeile[128] = "?";
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (!std::fgets(zeile, sizeof zeile, f)) zeile[0] = 0;
        std::fclose(f);
    }
    zeile[std::strcspn(zeile, "\n")] = 0;
    return zeile;
}

// `dravel --port schleife muster 10 --leitung 3 --zeitbasis 0.1`: 10,000
// changes of D3, which the plug feeds to /Ack.
void spieleMuster() {
    const char* argumente[] = {DRAVEL_PROGRAMM, "--port", "schleife",    "muster", "10",
                               "--leitung",     "3",      "--zeitbasis", "0.1",    "--durchlaeufe",
                               "5000",          nullptr};
    posix_spawn_file_actions_t aktionen;
    posix_spawn_file_actions_init(&aktionen);
    posix_spawn_file_actions_addopen(&aktionen, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, DRAVEL_PROGRAMM, &aktionen, nullptr, const_cast<char**>(argumente),
                    environ) == 0) {
        waitpid(pid, nullptr, 0);
    }
    posix_spawn_file_actions_destroy(&aktionen);
}

void messeAufnahme(const char* name, bool abtasten) {
    Out32(kBasis, 0);  // D3 low: every step of the pattern is a change
    analysator::PortOhneMitschnitt leser;
    analysator::Programmuhr uhr;
    analysator::Aufnahmemaschine maschine(leser, uhr);
    analysator::Aufnahmeeinstellungen e;
    e.pins = analysator::bitVon(10);
    e.dauerNs = 0;
    e.abtasten = abtasten;
    maschine.starte(e);
    while (!maschine.aktuelle()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    spieleMuster();
    maschine.halte();
    const auto a = maschine.aktuelle();
    const std::size_t gesehen = a->anzahl() - 1;
    std::uint64_t lückenNs = 0;
    for (const auto& l : a->lücken()) lückenNs += l.endeNs - l.anfangNs;
    std::printf("  %-22s %6zu von %zu Änderungen, %5zu verloren, Lücken %zu (%.3f ms)\n", name,
                gesehen, kÄnderungen, kÄnderungen - std::min(gesehen, kÄnderungen),
                a->lückenAnzahl(), double(lückenNs) / 1e6);
}

// The engine's questions for `muster 10 --leitung 0 --zeitbasis 0`.
class Lauf final : public generator::Ausgabesteuerung {
public:
    explicit Lauf(std::uint64_t durchläufe) : übrig_(durchläufe) {}
    std::int16_t adresse() override { return kBasis; }
    std::optional<std::int16_t> leitung1() override { return 0; }
    std::optional<std::int16_t> leitung2() override { return std::nullopt; }
    float zeitbasisMs() override { return 0; }
    void durchlaufEnde() override { weiter_ = --übrig_ > 0; }
    bool weiter() override { return weiter_; }
    bool abbrechen() override { return false; }
    void pumpe() override {}
    void schlafe(std::int64_t) override {}

private:
    std::uint64_t übrig_;
    bool weiter_ = true;
};

// Steps per second of the engine at time base 0.
double generatorSchritte(bool mitProtokoll, std::uint64_t schritte) {
    port::SharedRegisters geteilt = port::sharedRegisters(kBasis, {});
    port::installBackend(std::make_unique<port::SimulatedPort>(
        kBasis, port::SimulatedPort::Plug::None, geteilt.registers,
        mitProtokoll ? geteilt.log : nullptr));
    generator::Systemuhr uhr;
    Lauf lauf(schritte / 2);
    generator::Ausgabemaschine maschine(uhr);
    const generator::Laufstatistik s = maschine.lauf(lauf, {-1, 0, 0}, {});
    port::releaseBackend();
    return s.mittlerePeriodeUs > 0 ? 1e6 / s.mittlerePeriodeUs : 0;
}

// Nanoseconds per bare write.
double schreibNs(bool mitProtokoll, std::uint64_t anzahl) {
    port::SharedRegisters geteilt = port::sharedRegisters(kBasis, {});
    port::SimulatedPort p(kBasis, port::SimulatedPort::Plug::None, geteilt.registers,
                          mitProtokoll ? geteilt.log : nullptr);
    const auto t0 = Uhr::now();
    for (std::uint64_t i = 0; i < anzahl; ++i) p.write(kBasis, static_cast<std::uint8_t>(i));
    return std::chrono::duration<double, std::nano>(Uhr::now() - t0).count() / double(anzahl);
}

}  // namespace

int main(int argc, char* argv[]) {
    int runden = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runden") == 0) runden = std::max(1, std::atoi(argv[i + 1]));
    }
    // The shared port of a runtime folder of its own.
    char ordner[] = "/tmp/protokoll_bench.XXXXXX";
    if (!mkdtemp(ordner)) return 1;
    setenv("XDG_RUNTIME_DIR", ordner, 1);
    std::printf("Simulierter Port, Änderungsprotokoll. Last %s\n", last().c_str());

    port::installBackend(
        port::sharedSimulatedPort(kBasis, port::SimulatedPort::Plug::Loopback, {}));
    std::printf("Aufnahme von /Ack, muster 10 --zeitbasis 0.1 in einem eigenen Prozess, ruhig:\n");
    messeAufnahme("Protokoll", false);
    messeAufnahme("Abtasten (--abtasten)", true);
    {
        const Lastprozesse lastprozesse;
        std::printf("dasselbe mit zwei Lastprozessen (yes > /dev/null), Last %s:\n",
                    last().c_str());
        messeAufnahme("Protokoll", false);
        messeAufnahme("Abtasten (--abtasten)", true);
    }
    port::releaseBackend();

    constexpr std::uint64_t kSchritte = 2'000'000;
    constexpr std::uint64_t kSchreibe = 20'000'000;
    double ohne = 0, mit = 0, schreibOhne = 1e9, schreibMit = 1e9;
    for (int r = 0; r < runden; ++r) {
        ohne = std::max(ohne, generatorSchritte(false, kSchritte));
        mit = std::max(mit, generatorSchritte(true, kSchritte));
        schreibOhne = std::min(schreibOhne, schreibNs(false, kSchreibe));
        schreibMit = std::min(schreibMit, schreibNs(true, kSchreibe));
    }
    std::printf("Generator bei Zeitbasis 0 (%llu Schritte, beste von %d Runden), Last %s:\n",
                static_cast<unsigned long long>(kSchritte), runden, last().c_str());
    std::printf("  %-22s %12.0f Schritte/s\n", "ohne Protokoll", ohne);
    std::printf("  %-22s %12.0f Schritte/s (%+.1f %%)\n", "mit Protokoll", mit,
                (mit - ohne) / ohne * 100.0);
    std::printf("Ein Schreibzugriff allein:\n");
    std::printf("  %-22s %12.1f ns\n", "ohne Protokoll", schreibOhne);
    std::printf("  %-22s %12.1f ns\n", "mit Protokoll", schreibMit);

    std::filesystem::remove_all(ordner);
    return 0;
}
