// What the logic analyzer's sampling does not see: total and longest gap
// (stretches of more than kLückeAbNs without a sample) of a capture on the
// simulated port, quiet and beside two CPU hogs, at normal priority and
// with --echtzeit (SCHED_FIFO on one CPU, memory locked) spinning (the
// default) and under several pause schemes. Beside each, in the same run and under the same load, a
// bare C++ loop that reads the port and the clock and nothing else.
//
//   luecken_bench [--sekunden S]   (S per row, 10 by default)
#include <sched.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "logik/aufnahmemaschine.h"
#include "logik/echtzeit.h"
#include "port/counter_clock.h"
#include "port/port.h"
#include "port/simulated_port.h"

using namespace dravel;
using analysator::Pausenplan;

namespace {

struct Ergebnis {
    std::uint64_t summeNs = 0;
    std::uint64_t längsteNs = 0;
    std::size_t anzahl = 0;
    std::uint64_t auflösungNs = 0;
    double dauerNs = 0;
};

// Two processes that spin until they are ended: load the engine's thread
// must share the machine with.
class Fresser {
public:
    explicit Fresser(int anzahl) {
        for (int i = 0; i < anzahl; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                volatile unsigned long x = 0;
                for (;;) x = x + 1;
            }
            if (pid > 0) kinder_.push_back(pid);
        }
    }
    ~Fresser() {
        for (const pid_t pid : kinder_) kill(pid, SIGKILL);
        for (const pid_t pid : kinder_) waitpid(pid, nullptr, 0);
    }

private:
    std::vector<pid_t> kinder_;
};

// The bare loop: one status read and one clock read per round, every
// stretch over the threshold counted; in a thread of its own, with
// real-time as the engine takes it.
Ergebnis nackt(double sekunden, bool echtzeit, Pausenplan pausen) {
    Ergebnis e;
    std::thread faden([&] {
        std::optional<generator::echtzeit::Abschnitt> rt;
        if (echtzeit) {
            rt.emplace();
            generator::echtzeit::bleibAufEinerCpu();
        }
        const bool pausiert = rt && rt->wirkt() && pausen.abstandNs > 0;
        const std::uint64_t anfang = port::monotonicNs();
        const std::uint64_t ende = anfang + std::uint64_t(sekunden * 1e9);
        std::uint64_t letzte = anfang, nächstePause = anfang + pausen.abstandNs;
        unsigned summe = 0;
        while (letzte < ende) {
            summe += static_cast<unsigned>(port::readUntraced(0x379));
            const std::uint64_t t = port::monotonicNs();
            const std::uint64_t d = t - letzte;
            if (d > analysator::kLückeAbNs) {
                e.summeNs += d;
                e.längsteNs = std::max(e.längsteNs, d);
                ++e.anzahl;
            } else {
                e.auflösungNs = std::max(e.auflösungNs, d);
            }
            letzte = t;
            if (pausiert && t >= nächstePause) {
                const timespec p{0, long(pausen.dauerNs)};
                clock_nanosleep(CLOCK_MONOTONIC, 0, &p, nullptr);
                nächstePause = t + pausen.abstandNs;
            }
        }
        e.dauerNs = double(letzte - anfang);
        if (summe == 1) std::puts("");
    });
    faden.join();
    return e;
}

Ergebnis maschine(double sekunden, bool echtzeit, Pausenplan pausen) {
    analysator::PortOhneMitschnitt leser;
    analysator::Programmuhr uhr;
    analysator::Aufnahmemaschine m(leser, uhr);
    analysator::Aufnahmeeinstellungen e;
    e.pins = analysator::bitVon(10) | analysator::bitVon(11);
    e.dauerNs = std::uint64_t(sekunden * 1e9);
    e.echtzeit = echtzeit;
    e.pausen = pausen;
    m.starte(e);
    m.warte();
    Ergebnis r;
    const auto a = m.aktuelle();
    if (!a) return r;
    for (const analysator::Lücke& l : a->lücken()) {
        r.summeNs += l.endeNs - l.anfangNs;
        r.längsteNs = std::max(r.längsteNs, l.endeNs - l.anfangNs);
        ++r.anzahl;
    }
    r.auflösungNs = a->auflösungNs();
    r.dauerNs = double(a->bisNs() - (*a)[0].zeitNs);
    return r;
}

// Pauses of 1 ms, 10 % more of them than the share the kernel holds back
// from real-time threads (1 - sched_rt_runtime_us / sched_rt_period_us).
Pausenplan pausenFürDenKern() {
    const auto lies = [](const char* pfad) {
        long long wert = -1;
        std::ifstream datei(pfad);
        if (!(datei >> wert)) wert = -1;
        return wert;
    };
    const long long laufzeit = lies("/proc/sys/kernel/sched_rt_runtime_us");
    const long long periode = lies("/proc/sys/kernel/sched_rt_period_us");
    if (laufzeit < 0 || periode <= 0 || laufzeit >= periode) return {};
    const double anteil = 1.0 - double(laufzeit) / double(periode);
    return {std::uint64_t(1e6 / (anteil * 1.1)), 1'000'000};
}

void zeile(const char* last, const char* art, const std::string& pausen, const char* schleife,
           const Ergebnis& e) {
    std::printf("%-7s %-9s %-16s %-9s %9.3f %7.2f %% %10.3f %8zu %9.1f\n", last, art,
                pausen.c_str(), schleife, double(e.summeNs) * 1e-6,
                e.dauerNs > 0 ? 100.0 * double(e.summeNs) / e.dauerNs : 0.0,
                double(e.längsteNs) * 1e-6, e.anzahl, double(e.auflösungNs) * 1e-3);
    std::fflush(stdout);
}

std::string pausentext(Pausenplan p, bool echtzeit) {
    if (!echtzeit || p.abstandNs == 0) return "keine";
    char t[48];
    std::snprintf(t, sizeof t, "%.2f ms/%.1f ms", double(p.dauerNs) * 1e-6,
                  double(p.abstandNs) * 1e-6);
    return t;
}

}  // namespace

int main(int argc, char* argv[]) {
    double sekunden = 10.0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--sekunden") == 0) sekunden = std::stod(argv[i + 1]);
    }
    port::installBackend(std::make_unique<port::SimulatedPort>());
    const auto prüfung = generator::echtzeit::prüfe();
    std::printf(
        "Lücken der Abtastung auf dem simulierten Port, %.0f s je Zeile, Schwelle %.0f µs, "
        "%u CPUs; Echtzeit %s\n\n",
        sekunden, double(analysator::kLückeAbNs) * 1e-3, std::thread::hardware_concurrency(),
        prüfung.möglich ? "erlaubt" : "NICHT erlaubt");
    std::printf("%-7s %-9s %-16s %-9s %9s %9s %10s %8s %9s\n", "Last", "Vorrang", "Pausen",
                "Schleife", "Summe ms", "Anteil", "längste ms", "Anzahl", "Aufl. µs");
    struct Fall {
        bool echtzeit;
        Pausenplan pausen;
    };
    const std::vector<Fall> fälle = {
        {false, {}},
        {true, {}},
        {true, {1'000'000, 100'000}},
        {true, {10'000'000, 550'000}},
        {true, pausenFürDenKern()},
        {true, {100'000'000, 5'500'000}},
    };
    for (const int fresser : {0, 2}) {
        const char* last = fresser ? "2 Hogs" : "ruhig";
        const Fresser f(fresser);
        for (const Fall& fall : fälle) {
            const char* art = fall.echtzeit ? "FIFO" : "normal";
            const std::string p = pausentext(fall.pausen, fall.echtzeit);
            zeile(last, art, p, "nackt", nackt(sekunden, fall.echtzeit, fall.pausen));
            zeile(last, art, p, "Maschine", maschine(sekunden, fall.echtzeit, fall.pausen));
        }
    }
    port::releaseBackend();
    return 0;
}
