// The simulated port's change log.
//
// 1. What a capture sees of `dravel muster` (10,000 changes at 0.1 ms, a
//    process of its own) on the loopback port: following the log against
//    polling, quiet and with two busy processes beside them.
// 2. What the log costs a write: the generator's engine at time base 0 (as
//    `muster --zeitbasis 0` runs it) and bare writes, on the shared port with
//    and without the log, alternating, best of several rounds.
//
// 3. With --vergleich PROGRAMM (another build of dravel, e.g. main's):
//    `muster 10 --zeitbasis 0` on the shared port, this build's and that one's
//    alternating, best of the rounds.
//
//   protokoll_bench [--runden N] [--vergleich PROGRAMM]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
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

#include "last.h"
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

using bench::last;
using bench::Lastprozesse;

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

// Steps per second of `PROGRAMM muster 10 --leitung 0 --zeitbasis 0`: by the
// clock from its statistics line, and by the processor time the kernel
// counted for it (less that of a run of two steps: the start and the end).
struct Rate {
    double wand = 0;
    double cpu = 0;
};
double laufe(const char* programm, std::uint64_t schritte, std::string& text) {
    const std::string durchläufe = std::to_string(schritte / 2);
    const char* argumente[] = {
        programm,        "muster",           "10",   "--leitung", "0", "--zeitbasis", "0",
        "--durchlaeufe", durchläufe.c_str(), nullptr};
    int rohr[2];
    if (pipe(rohr) != 0) return 0;
    posix_spawn_file_actions_t aktionen;
    posix_spawn_file_actions_init(&aktionen);
    posix_spawn_file_actions_adddup2(&aktionen, rohr[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&aktionen, rohr[0]);
    pid_t pid = 0;
    const bool gestartet = posix_spawn(&pid, programm, &aktionen, nullptr,
                                       const_cast<char**>(argumente), environ) == 0;
    posix_spawn_file_actions_destroy(&aktionen);
    close(rohr[1]);
    char puffer[4096];
    for (ssize_t n; (n = read(rohr[0], puffer, sizeof puffer)) > 0;) text.append(puffer, n);
    close(rohr[0]);
    rusage verbrauch{};
    if (gestartet) wait4(pid, nullptr, 0, &verbrauch);
    const double cpu = double(verbrauch.ru_utime.tv_sec + verbrauch.ru_stime.tv_sec) +
                       double(verbrauch.ru_utime.tv_usec + verbrauch.ru_stime.tv_usec) * 1e-6;
    return cpu;
}

Rate musterSchritte(const char* programm, std::uint64_t schritte) {
    std::string text;
    const double cpu = laufe(programm, schritte, text);
    const std::size_t stelle = text.find("mittlere Periode ");
    if (stelle == std::string::npos) return {};
    std::string zahl = text.substr(stelle + 17, 16);
    for (char& c : zahl) c = c == ',' ? '.' : c;
    const double periodeUs = std::atof(zahl.c_str());
    std::string leerText;
    const double leer = laufe(programm, 2, leerText);
    Rate r;
    r.wand = periodeUs > 0 ? 1e6 / periodeUs : 0;
    r.cpu = cpu > leer ? double(schritte) / (cpu - leer) : 0;
    return r;
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

double fadenCpuSekunden() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Steps per second of the engine at time base 0, by the clock and by this
// thread's processor time.
Rate generatorSchritte(bool mitProtokoll, std::uint64_t schritte) {
    port::SharedRegisters geteilt = port::sharedRegisters(kBasis, {});
    port::installBackend(std::make_unique<port::SimulatedPort>(
        kBasis, port::SimulatedPort::Plug::None, geteilt.registers,
        mitProtokoll ? geteilt.log : nullptr));
    generator::Systemuhr uhr;
    Lauf lauf(schritte / 2);
    generator::Ausgabemaschine maschine(uhr);
    const double cpu0 = fadenCpuSekunden();
    const generator::Laufstatistik s = maschine.lauf(lauf, {-1, 0, 0}, {});
    const double cpu = fadenCpuSekunden() - cpu0;
    port::releaseBackend();
    return {s.mittlerePeriodeUs > 0 ? 1e6 / s.mittlerePeriodeUs : 0,
            cpu > 0 ? double(s.schritte) / cpu : 0};
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
    const char* vergleich = nullptr;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runden") == 0) runden = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--vergleich") == 0) vergleich = argv[i + 1];
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
    Rate ohne, mit;
    double schreibOhne = 1e9, schreibMit = 1e9;
    const auto besser = [](Rate& a, Rate b) {
        a = {std::max(a.wand, b.wand), std::max(a.cpu, b.cpu)};
    };
    for (int r = 0; r < runden; ++r) {
        besser(ohne, generatorSchritte(false, kSchritte));
        besser(mit, generatorSchritte(true, kSchritte));
        schreibOhne = std::min(schreibOhne, schreibNs(false, kSchreibe));
        schreibMit = std::min(schreibMit, schreibNs(true, kSchreibe));
    }
    std::printf(
        "Generator bei Zeitbasis 0 (%llu Schritte, beste von %d Runden; Schritte je Sekunde "
        "Uhrzeit und je Sekunde Prozessorzeit), Last %s:\n",
        static_cast<unsigned long long>(kSchritte), runden, last().c_str());
    std::printf("  %-30s %10.0f /s %10.0f /s CPU\n", "ohne Protokoll", ohne.wand, ohne.cpu);
    std::printf("  %-30s %10.0f /s %10.0f /s CPU (%+.1f %%, %+.1f %%)\n", "mit Protokoll", mit.wand,
                mit.cpu, (mit.wand - ohne.wand) / ohne.wand * 100.0,
                (mit.cpu - ohne.cpu) / ohne.cpu * 100.0);
    std::printf("Ein Schreibzugriff allein:\n");
    std::printf("  %-30s %10.1f ns\n", "ohne Protokoll", schreibOhne);
    std::printf("  %-30s %10.1f ns\n", "mit Protokoll", schreibMit);

    if (vergleich) {
        Rate hier, dort;
        for (int r = 0; r < runden; ++r) {
            besser(hier, musterSchritte(DRAVEL_PROGRAMM, kSchritte));
            besser(dort, musterSchritte(vergleich, kSchritte));
        }
        std::printf(
            "muster 10 --zeitbasis 0 (%llu Schritte, beste von %d Runden; Schritte je Sekunde "
            "Uhrzeit und je Sekunde Prozessorzeit), Last %s:\n",
            static_cast<unsigned long long>(kSchritte), runden, last().c_str());
        std::printf("  %-30s %10.0f /s %10.0f /s CPU\n", vergleich, dort.wand, dort.cpu);
        std::printf("  %-30s %10.0f /s %10.0f /s CPU (%+.1f %%, %+.1f %%)\n", "dieses Programm",
                    hier.wand, hier.cpu, (hier.wand - dort.wand) / dort.wand * 100.0,
                    (hier.cpu - dort.cpu) / dort.cpu * 100.0);
    }
    std::filesystem::remove_all(ordner);
    return 0;
}
