// Opening a large --trace session: time and peak memory of the loader,
// side by side with a plain read of the same file (the disk's floor).
//
// The file is written here as a trace would be, without running a session
// for minutes: the trace's header (16 one-bit wires, the blank header area)
// and value lines of a pattern whose written D3 is read back a little later,
// one or two values per time stamp. Each run happens in a child process, so
// that its peak resident memory is its own; the file is in the page cache
// for both (it was just written).
//
//   vcd_laden_bench [--mb N] [--datei PFAD]   (N default 1024; the file is
//                                              removed unless PFAD is given)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "logik/vcd_laden.h"

using namespace dravel;
using Uhr = std::chrono::steady_clock;

namespace {

bool schreibeDatei(const std::string& pfad, std::uint64_t bytes, std::uint64_t& änderungen) {
    std::FILE* f = std::fopen(pfad.c_str(), "w");
    if (!f) return false;
    std::string text =
        "$date\n\t2026-01-01 00:00:00 +0000\n$end\n$version\n\tDravel 1.6.0\n$end\n"
        "$comment\n\tBackend: simulierter Port (0x378)\n"
        "\tZeit: Nanosekunden seit Programmstart, monotone Uhr\n$end\n$timescale 1ns $end\n";
    const char* kBereich[] = {"geschrieben", "gelesen"};
    for (int r = 0; r < 2; ++r) {
        text +=
            std::string("$scope module ") + kBereich[r] + " $end\n$scope module daten_0x378 $end\n";
        for (int bit = 0; bit < 8; ++bit) {
            text += "$var wire 1 " + std::string(1, char('!' + r * 8 + bit)) + " D" +
                    std::to_string(bit) + "_" + kBereich[r] + "_0x378 $end\n";
        }
        text += "$upscope $end\n$upscope $end\n";
    }
    text += "$enddefinitions $end\n";
    text.append(64 * 1024 - text.size() % (64 * 1024), ' ');  // the trace's blank header area
    text += "\n#0\n";
    for (int i = 0; i < 16; ++i) text += "0" + std::string(1, char('!' + i)) + "\n";

    std::uint64_t zeit = 4'543'792, schritt = 0;
    änderungen = 1;
    unsigned daten = 0;
    char zahl[24];
    for (;;) {
        // Step: one written bit changes; half the steps its read-back follows.
        const int bit = int(schritt * 5 % 8);
        daten ^= 1u << bit;
        zeit += 400 + schritt * 7919 % 1000;
        text += '#';
        text.append(zahl, std::to_chars(zahl, zahl + sizeof zahl, zeit).ptr);
        text += '\n';
        text += (daten >> bit & 1) ? '1' : '0';
        text += char('!' + bit);
        text += '\n';
        if (schritt % 2 == 0) {
            zeit += 100;
            text += '#';
            text.append(zahl, std::to_chars(zahl, zahl + sizeof zahl, zeit).ptr);
            text += '\n';
            text += (daten >> bit & 1) ? '1' : '0';
            text += char('!' + 8 + bit);
            text += '\n';
        }
        änderungen += schritt % 2 == 0 ? 2 : 1;
        ++schritt;
        if (text.size() >= (1 << 20)) {
            if (std::fwrite(text.data(), 1, text.size(), f) != text.size()) break;
            bytes = bytes > text.size() ? bytes - text.size() : 0;
            text.clear();
            if (bytes == 0) break;
        }
    }
    std::fprintf(f, "#%llu\n", static_cast<unsigned long long>(zeit + 1000));
    return std::fclose(f) == 0 && bytes == 0;
}

// Runs `arbeit` in a child; its wall time and its own peak resident memory.
struct Ergebnis {
    double sekunden = 0;
    double cpu = 0;  // user and system: less at the mercy of other processes than the wall clock
    double spitzeMb = 0;
    bool ok = false;
};
template <typename F>
Ergebnis imKind(F arbeit) {
    const auto anfang = Uhr::now();
    const pid_t kind = ::fork();
    if (kind == 0) ::_exit(arbeit() ? 0 : 1);
    int status = 0;
    rusage nutzung{};
    Ergebnis e;
    if (kind < 0 || ::wait4(kind, &status, 0, &nutzung) != kind) return e;
    e.sekunden = std::chrono::duration<double>(Uhr::now() - anfang).count();
    e.spitzeMb = double(nutzung.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
    const auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    e.cpu = s(nutzung.ru_utime) + s(nutzung.ru_stime);
    e.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return e;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t mb = 1024;
    std::string pfad;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--mb") == 0) mb = std::strtoull(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--datei") == 0) pfad = argv[i + 1];
    }
    const bool eigene = pfad.empty();
    if (eigene) {
        const char* tmp = std::getenv("TMPDIR");
        pfad = std::string(tmp && *tmp ? tmp : "/tmp") + "/vcd_laden_bench_" +
               std::to_string(::getpid()) + ".vcd";
    }
    std::uint64_t änderungen = 0;
    const auto anfang = Uhr::now();
    if (!schreibeDatei(pfad, mb << 20, änderungen)) {
        std::fprintf(stderr, "%s lässt sich nicht schreiben\n", pfad.c_str());
        return 1;
    }
    std::printf("Datei: %llu MB, %.1f Mio. Änderungen, geschrieben in %.1f s\n",
                static_cast<unsigned long long>(mb), double(änderungen) / 1e6,
                std::chrono::duration<double>(Uhr::now() - anfang).count());

    const Ergebnis lesen = imKind([&] {
        std::FILE* f = std::fopen(pfad.c_str(), "r");
        if (!f) return false;
        static char puffer[1 << 20];
        std::size_t n, zeilen = 0;
        while ((n = std::fread(puffer, 1, sizeof puffer, f)) > 0) {
            for (std::size_t i = 0; i < n; ++i) zeilen += puffer[i] == '\n';
        }
        std::fclose(f);
        return zeilen > 0;
    });
    const Ergebnis laden = imKind([&] {
        std::string fehler;
        const auto a = analysator::ladeVcd(pfad, fehler);
        if (!a) std::fprintf(stderr, "%s\n", fehler.c_str());
        return a && a->anzahl() > 0;
    });
    if (eigene) std::remove(pfad.c_str());
    std::printf("%-30s %8s %8s %8s %12s\n", "", "Zeit", "CPU", "MB/s", "Spitze RSS");
    const auto zeile = [mb](const char* name, const Ergebnis& e) {
        std::printf("%-30s %7.2fs %7.2fs %8.0f %9.0f MB%s\n", name, e.sekunden, e.cpu,
                    double(mb) / e.sekunden, e.spitzeMb, e.ok ? "" : "  (fehlgeschlagen)");
    };
    zeile("Datei lesen (Zeilen zählen)", lesen);
    zeile("ladeVcd", laden);
    std::printf("Änderungen allein: %.0f MB (%zu Bytes je Änderung)\n",
                double(änderungen) * double(analysator::Aufnahme::kBytesJeÄnderung) / 1048576.0,
                analysator::Aufnahme::kBytesJeÄnderung);
    return lesen.ok && laden.ok ? 0 : 1;
}
