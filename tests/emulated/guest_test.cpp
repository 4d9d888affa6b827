// Runs inside the emulated machine (see run_emulated.sh), as /init's child,
// against QEMU's ISA parallel port at 0x378. Plain C++ and static: the guest
// has nothing but busybox. Prints one line per check and ends with a verdict
// line "DRAVEL-GUEST <phase>: PASS" or "... FAIL" that the wrapper looks for;
// every byte strobed out is announced as "SENT <hex>" so that the wrapper can
// compare the parallel output file with it.

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "logik/aufnahmemaschine.h"
#include "port/direction_test.h"
#include "port/granted_port.h"
#include "port/io_grants.h"
#include "port/loopback_test.h"
#include "port/pin_map.h"
#include "port/port.h"
#include "port/port_meldungen.h"
#include "port/port_report.h"
#include "port/ppdev_port.h"
#include "port/raw_port.h"
#include "port/start_error.h"
#include "port/system_calls.h"

using namespace dravel::port;

namespace {

constexpr std::uint16_t kBase = 0x378;
constexpr std::uint16_t kData = kBase, kStatus = kBase + 1, kControl = kBase + 2;
// Control bits: strobe 0, nINIT 2, SELECT-IN 3, interrupt 4, direction 5.
constexpr std::uint8_t kIdle = 0x0C, kStrobe = 0x0D, kReset = 0x08;

int g_checks = 0;
int g_failures = 0;

void check(bool ok, const std::string& what) {
    ++g_checks;
    if (!ok) ++g_failures;
    std::printf("%s - %s\n", ok ? "ok" : "not ok", what.c_str());
    std::fflush(stdout);
}

std::string hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

void checkEqual(unsigned actual, unsigned expected, const std::string& what) {
    check(actual == expected,
          what + ": " + hex(actual) + (actual == expected ? "" : " statt " + hex(expected)));
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct Messages {
    std::vector<std::string> lines;
    MessageSink sink() {
        return [this](const Message& message) {
            const std::string line = dravel::app::meldungsZeile(message);
            std::printf("  (Meldung: %s)\n", line.c_str());
            lines.push_back(line);
        };
    }
};

// The real kernel, except that ioperm is refused: the raw backend must then
// find /dev/port by itself.
class IopermRefused final : public SystemCalls {
public:
    int open(const std::string& p, int f) override { return real().open(p, f); }
    void close(int fd) override { real().close(fd); }
    int ioctl(int fd, unsigned long r, void* a) override { return real().ioctl(fd, r, a); }
    int ioperm(unsigned long, unsigned long, bool) override { return -EPERM; }
    std::uint8_t inb(std::uint16_t p) override { return real().inb(p); }
    void outb(std::uint16_t p, std::uint8_t v) override { real().outb(p, v); }
    long pread(int fd, void* b, std::size_t n, long o) override {
        return real().pread(fd, b, n, o);
    }
    long pwrite(int fd, const void* b, std::size_t n, long o) override {
        return real().pwrite(fd, b, n, o);
    }
    long write(int fd, const void* b, std::size_t n) override { return real().write(fd, b, n); }
    std::optional<std::string> readFile(const std::string& p) override {
        return real().readFile(p);
    }
    std::vector<std::string> listDirectory(const std::string& p) override {
        return real().listDirectory(p);
    }
    bool exists(const std::string& p) override { return real().exists(p); }
    bool mayReadWrite(const std::string& p) override { return real().mayReadWrite(p); }
    std::optional<FileStatus> fileStatus(const std::string& p) override {
        return real().fileStatus(p);
    }

private:
    static SystemCalls& real() { return realSystem(); }
};

// Reads the real registers through /dev/port without claiming anything, to
// see what a backend really put into the hardware.
std::unique_ptr<DevPortPort> observer() {
    const int fd = realSystem().open("/dev/port", O_RDWR);
    if (fd < 0) return nullptr;
    return std::make_unique<DevPortPort>(realSystem(), fd,
                                         std::vector<std::unique_ptr<PpdevClaim>>{});
}

template <typename Open>
std::string startError(Open open) {
    try {
        open();
    } catch (const StartError& error) {
        return dravel::app::startMeldung(error);
    }
    return {};
}

void strobeOut(Backend& port, const std::string& text) {
    std::string sent;
    for (const unsigned char byte : text) {
        port.write(kData, byte);
        port.write(kControl, kIdle);
        port.write(kControl, kStrobe);
        port.write(kControl, kIdle);
        sent += hex(byte).substr(2);
    }
    std::printf("SENT %s\n", sent.c_str());
    std::fflush(stdout);
}

// What every backend must do on this port. `raw` says whether control bits
// 4, 6 and 7 reach the hardware (raw I/O) or come from ppdev's shadow.
void checkPort(Backend& port, const std::string& label, bool raw) {
    const std::string p = label + ": ";
    port.write(kControl, kIdle);
    for (const unsigned value : {0x00u, 0x55u, 0xAAu, 0xFFu, 0x81u}) {
        port.write(kData, static_cast<std::uint8_t>(value));
        checkEqual(port.read(kData), value, p + "Daten lesen zurück " + hex(value));
    }

    // Taking nINIT low resets the printer: status 0xD8 (busy, ack, online,
    // no error). A strobe clears busy; then each read steps the handshake.
    port.write(kControl, kReset);
    port.write(kControl, kIdle);
    checkEqual(port.read(kStatus), 0xD8, p + "Status nach Reset");
    port.write(kData, 0x42);
    port.write(kControl, kStrobe);
    port.write(kControl, kIdle);
    checkEqual(port.read(kStatus), 0x58, p + "Status nach Strobe, nicht mehr busy");
    checkEqual(port.read(kStatus), 0x18, p + "Status: ack fällt");
    checkEqual(port.read(kStatus), 0xD8, p + "Status: ack und busy zurück");
    std::printf("SENT 42\n");

    for (const unsigned value : {0x0Cu, 0x0Au, 0x05u, 0x1Cu, 0x2Cu, 0xCCu}) {
        port.write(kControl, static_cast<std::uint8_t>(value));
        // Raw: bits 6 and 7 always read 1, bits 0..5 as written. ppdev: bits
        // 0..3 from the driver, 5..7 from the shadow, as written; bit 4 is the
        // driver's (checked against the hardware in checkPpdev).
        if (raw) {
            checkEqual(port.read(kControl), 0xC0 | (value & 0x3F),
                       p + "Steuerregister nach " + hex(value));
        } else {
            checkEqual(port.read(kControl) & ~0x10u, value & ~0x10u,
                       p + "Steuerregister ohne Bit 4 nach " + hex(value));
        }
    }
    port.write(kControl, kIdle);

    port.write(kData, 0x3C);
    port.write(kControl, kIdle | 0x20);
    checkEqual(port.read(kData), 0xFF, p + "Richtung Eingang: Datenleitungen lesen 0xFF");
    port.write(kControl, kIdle);
    checkEqual(port.read(kData), 0x3C, p + "Richtung Ausgang: Latch wieder sichtbar");

    strobeOut(port, "Dravel " + label + " \x01\x7F\x80\xFE\n");
}

// The grants of this machine: the kernel's port and the legacy bases only.
void checkKernelGrants() {
    auto ports = kernelPorts(realSystem());
    check(ports.size() == 1 && ports[0].base == kBase && ports[0].device() == "/dev/parport0",
          "Kernel kennt parport0 an 0x378");
    const IoGrants grants = kernelGrants(realSystem());
    check(grants.covers(kData) && grants.covers(kControl) && !grants.covers(kControl + 1),
          "Freigabe umfasst 0x378..0x37A, nicht 0x37B");
    check(!grants.covers(0x20) && !grants.covers(0x21) && !grants.covers(0xCF8),
          "Interrupt-Controller und PCI-Konfiguration nicht freigegeben");
    check(!realSystem().readFile("/proc/ioports").value_or("").empty(), "/proc/ioports lesbar");
}

// Outside the grants an address reads 255 and is never written, even though
// the hardware answers there.
void checkGrantsOnHardware(SystemCalls& system, RawAccess access, const std::string& label) {
    const std::string p = label + ": ";
    auto watch = observer();
    check(watch != nullptr, p + "Beobachter über /dev/port");
    if (!watch) return;

    // Grants without the port at 0x378.
    IoGrants only278;
    only278.add({0x278, 0x27A});
    Messages messages;
    {
        auto full = openRawPort(system, kernelGrants(system), {}, access);
        full->write(kControl, kIdle);
        full->write(kData, 0x5A);
    }
    {
        auto narrow = openRawPort(system, only278, messages.sink(), access);
        // Opening claims parport0, and the claim sets the control register:
        // compare with what is there once the backend runs.
        const unsigned data = watch->read(kData), control = watch->read(kControl);
        checkEqual(data, 0x5A, p + "Daten vor dem Versuch");
        checkEqual(narrow->read(kData), 0xFF, p + "nicht freigegebene Adresse liest 255");
        narrow->write(kData, 0xC3);
        narrow->write(kControl, 0x2F);
        checkEqual(watch->read(kData), data, p + "nicht freigegebene Adresse blieb unbeschrieben");
        checkEqual(watch->read(kControl), control, p + "Steuerregister blieb unbeschrieben");
    }
    check(messages.lines.size() == 2 && contains(messages.lines[0], "erreicht nur 0x278-0x27A;") &&
              contains(messages.lines[1], "--allow-io 0x378-0x37A"),
          p + "eine Meldung nennt --allow-io");

    const unsigned mask = watch->read(0x21);
    {
        auto full = openRawPort(system, kernelGrants(system), {}, access);
        checkEqual(full->read(0x21), 0xFF, p + "Interrupt-Maske liest 255");
        full->write(0x21, static_cast<std::uint8_t>(~mask));
    }
    checkEqual(watch->read(0x21), mask, p + "Interrupt-Maske unverändert");
}

void checkRaw(SystemCalls& system, RawAccess access, const std::string& label,
              const std::string& expectedName) {
    Messages messages;
    std::unique_ptr<Backend> port;
    const std::string error = startError(
        [&] { port = openRawPort(system, kernelGrants(system), messages.sink(), access); });
    check(error.empty() && port, label + ": startet" + (error.empty() ? "" : " (" + error + ")"));
    if (!port) return;
    check(port->name() == expectedName, label + ": heißt " + port->name());
    // While raw I/O runs, the port is claimed: ppdev cannot have it too.
    const std::string busy = startError([] { openPpdevPort(realSystem(), "/dev/parport0", {}); });
    check(contains(busy, "belegt"), label + ": hält parport0 belegt (" + busy + ")");
    checkPort(*port, label, true);
    port.reset();
    // Released at the end: ppdev gets it now.
    const std::string free = startError([] { openPpdevPort(realSystem(), "/dev/parport0", {}); });
    check(free.empty(),
          label + ": gibt parport0 wieder frei" + (free.empty() ? "" : " (" + free + ")"));
}

void checkPpdev() {
    Messages messages;
    std::unique_ptr<Backend> port;
    const std::string error =
        startError([&] { port = openPpdevPort(realSystem(), "/dev/parport0", messages.sink()); });
    check(error.empty() && port, "ppdev: startet" + (error.empty() ? "" : " (" + error + ")"));
    if (!port) return;
    check(messages.lines.size() == 1 && contains(messages.lines[0], "Steuerbit 4"),
          "ppdev: nennt die gespiegelten Bits einmal");
    checkPort(*port, "ppdev", false);

    // What really reached the hardware must be what ppdev shows: bits 0..3
    // as written, bit 5 through the direction call, bit 4 as the driver set
    // it from the port's IRQ (bits 6 and 7 read 1 on this port whatever ppdev
    // shows).
    auto watch = observer();
    check(watch != nullptr, "ppdev: Beobachter über /dev/port");
    if (watch) {
        for (const unsigned value : {0x35u, 0x25u, 0x0Cu, 0x1Cu}) {
            port->write(kControl, static_cast<std::uint8_t>(value));
            const unsigned shown = port->read(kControl);
            checkEqual(shown & 0x2F, value & 0x2F, "ppdev: Bits 0..3 und 5 wie geschrieben");
            checkEqual(watch->read(kControl), 0xC0 | (shown & 0x3F),
                       "ppdev: Hardware zeigt dasselbe wie ppdev nach " + hex(value));
        }
        port->write(kControl, kIdle);
    }
    checkEqual(port->read(0x37B), 0xFF, "ppdev: fremde Adresse liest 255");
    check(messages.lines.size() == 2 && contains(messages.lines[1], "0x37B"),
          "ppdev: fremde Adresse einmal gemeldet");
}

// The connector view's click on a pin, through Inp32/Out32 on the bound
// backend: the hardware's data and control registers change in exactly that
// pin's bit, and the pin's level flips.
void checkPinSwitching(std::unique_ptr<Backend> port, const std::string& label) {
    auto watch = observer();
    check(port && watch, label + ": Backend und Beobachter");
    if (!port || !watch) return;
    installBackend(std::move(port));
    Out32(kControl, kIdle);
    Out32(kData, 0x5A);
    const auto outputs = [&] { return (watch->read(kData) << 8) | watch->read(kControl); };
    for (const int number : {2, 1, 16}) {
        const PinInfo& info = pin(number);
        const std::string p = label + ": Pin " + std::to_string(number) + " ";
        for (int round = 0; round < 2; ++round) {
            const RegisterValues before = readRegisters(kBase);
            const unsigned hardware = outputs();
            check(switchPin(kBase, info, before.control), p + "schaltet");
            const unsigned bit = 1u << (info.bit + (info.reg == PinRegister::Data ? 8 : 0));
            const unsigned after = outputs();
            checkEqual(after ^ hardware, bit, p + "ändert genau sein Bit");
            // Strobe taken low with nINIT and SELECT-IN high hands the data
            // byte to the printer.
            if ((after & 0x0F) == 0x0D && (hardware & 0x01) == 0) {
                std::printf("SENT %02X\n", after >> 8);
            }
            check(level(info, readRegisters(kBase)) != level(info, before),
                  p + "wechselt den Pegel");
        }
    }
    Out32(kControl, kIdle);
    releaseBackend();
}

// The capture engine on this backend, as `aufnehmen` runs it: its rate beside
// a bare loop of the same reads in the same run (emulated figures, printed,
// never checked), and that each capture ran its duration and saw the levels
// the port was set to, with no change: the data latch 0xA5, the control
// register at rest, the status after a reset.
void checkCapture(std::unique_ptr<Backend> port, const std::string& label) {
    namespace a = dravel::analysator;
    check(port != nullptr, label + ": Backend für die Aufnahme");
    if (!port) return;
    installBackend(std::move(port));
    Out32(kControl, kReset);
    Out32(kControl, kIdle);
    Out32(kData, 0xA5);
    constexpr auto pins = [](std::initializer_list<int> numbers) {
        a::Pegel pegel = 0;
        for (const int n : numbers) pegel |= a::bitVon(n);
        return pegel;
    };
    struct Auswahl {
        const char* name;
        a::Pegel pins;
        a::Pegel erwartet;  // high at the socket: 0xA5, 0x0C and 0xD8 pin by pin
    };
    const a::Pegel statusPins = pins({10, 11, 12, 13, 15});
    const a::Pegel hoch = pins({1, 2, 4, 7, 9, 10, 13, 14, 15, 16});
    constexpr std::uint64_t kDauerNs = 300'000'000;
    a::PortOhneMitschnitt leser;
    a::Programmuhr uhr;
    for (const Auswahl& auswahl : {Auswahl{"status", statusPins, hoch & statusPins},
                                   Auswahl{"all-17", a::kAllePins, hoch}}) {
        const std::string p = label + " " + auswahl.name + ": ";
        a::Aufnahmemaschine maschine(leser, uhr);
        a::Aufnahmeeinstellungen e;
        e.basis = kBase;
        e.pins = auswahl.pins;
        e.dauerNs = kDauerNs;
        e.vorlaufAnteil = 0;
        e.grenzeBytes = a::kMiB;
        maschine.starte(e);
        maschine.warte();
        const auto aufnahme = maschine.aktuelle();
        check(aufnahme && aufnahme->ende() == a::Ende::Dauer && maschine.proben() > 0,
              p + "Aufnahme lief ihre Dauer");
        if (!aufnahme) continue;
        const std::size_t n = aufnahme->anzahl();
        const a::Pegel pegel = n > 0 ? (*aufnahme)[0].pegel : 0;
        const bool gleich = pegel == auswahl.erwartet;
        // Shown from pin 1 on: bit 0 is pin 1.
        check(n == 1 && gleich,
              p + "Pegel " + hex(static_cast<unsigned>(pegel >> 1)) +
                  (gleich ? "" : " statt " + hex(static_cast<unsigned>(auswahl.erwartet >> 1))) +
                  ", " + std::to_string(n) + " Änderung(en)");

        // The same reads, bare: what the engine adds to them.
        const a::Abtastplan plan = a::plane(kBase, auswahl.pins);
        const auto start = std::chrono::steady_clock::now();
        const auto ende = start + std::chrono::nanoseconds(kDauerNs);
        std::uint64_t proben = 0;
        auto jetzt = start;
        while (jetzt < ende) {
            for (int block = 0; block < 1024; ++block, ++proben) {
                for (int i = 0; i < plan.anzahl; ++i) leser.lies(plan.adressen[i]);
            }
            jetzt = std::chrono::steady_clock::now();
        }
        const double sekunden = std::chrono::duration<double>(jetzt - start).count();
        std::printf(
            "DRAVEL-GUEST rate %s %s: %.0f samples/s (engine), %.0f samples/s "
            "(bare loop of the same %d read(s))\n",
            label.c_str(), auswahl.name, maschine.probenJeSekunde(), proben / sekunden,
            plan.anzahl);
        std::fflush(stdout);
    }
    Out32(kControl, kIdle);
    releaseBackend();
}

// A plain user: both backends refuse with cause and fix.
void checkUnprivileged() {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(1000) != 0 || setuid(1000) != 0) _exit(3);
        g_checks = g_failures = 0;
        const std::string raw =
            startError([] { openRawPort(realSystem(), kernelGrants(realSystem()), {}); });
        check(contains(raw, "CAP_SYS_RAWIO fehlt") && contains(raw, "setcap cap_sys_rawio+ep"),
              "Benutzer: Raw-I/O verweigert: " + raw);
        const std::string pp = startError([] { openPpdevPort(realSystem(), "/dev/parport0", {}); });
        check(contains(pp, "Keine Berechtigung") && contains(pp, "usermod -aG lp"),
              "Benutzer: ppdev verweigert: " + pp);
        const std::string report = dravel::app::portBericht(examinePorts(realSystem()));
        check(contains(report, "kein Zugriff") && contains(report, "CAP_SYS_RAWIO fehlt"),
              "Benutzer: Portliste nennt beide Hindernisse");
        std::fflush(stdout);
        _exit(g_failures == 0 && g_checks == 3 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    check(WIFEXITED(status) && WEXITSTATUS(status) == 0, "Benutzer ohne Rechte: alle Prüfungen");
}

// The report as root on the ISA port, and the direction check through ppdev.
void checkReportAsRoot() {
    const PortReport report = examinePorts(realSystem());
    const std::string text = dravel::app::portBericht(report);
    check(contains(text, "Modi: SPP") && contains(text, "parport_pc geladen, ppdev geladen"),
          "Bericht: Modi und Treiber");
    check(contains(text, "Benutzer: root") && contains(text, "ECR (0x77A): "),
          "Bericht: root liest das ECR");
    check(report.realPortUsable(), "Bericht: ein echter Port ist nutzbar");
    installBackend(openPpdevPort(realSystem(), "/dev/parport0", {}));
    const DirectionResult direction = testDataDirection(0x378);
    check(direction.verdict == DirectionResult::Verdict::Works, "Richtung: " + direction.line);
    // QEMU's socket has no plug in it: the self-test must say so and leave
    // the data register as it found it.
    Out32(0x378, 0x5A);
    const LoopbackResult plug = testLoopbackPlug(0x378);
    check(!plug.good && !plug.lines.empty(),
          "Prüfstecker: fehlt (" + (plug.lines.empty() ? std::string() : plug.lines.back()) + ")");
    checkEqual(Inp32(0x378), 0x5A, "Prüfstecker: Daten wie vorgefunden");
    releaseBackend();
}

// A plain user in group lp (gid 7, as on Debian) opens ppdev without root;
// raw I/O stays refused.
void checkGroupLp() {
    constexpr gid_t kLp = 7;
    check(chown("/dev/parport0", 0, kLp) == 0 && chmod("/dev/parport0", 0660) == 0,
          "Gruppe lp: /dev/parport0 gehört root:lp, 0660");
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(1, &kLp) != 0 || setgid(1000) != 0 || setuid(1000) != 0) _exit(3);
        g_checks = g_failures = 0;
        std::unique_ptr<Backend> port;
        const std::string pp =
            startError([&] { port = openPpdevPort(realSystem(), "/dev/parport0", {}); });
        check(pp.empty() && port,
              "Gruppe lp: ppdev startet ohne root" + (pp.empty() ? "" : " (" + pp + ")"));
        if (port) {
            port->write(kData, 0x69);
            checkEqual(port->read(kData), 0x69, "Gruppe lp: Daten lesen zurück");
        }
        port.reset();
        const std::string report = dravel::app::portBericht(examinePorts(realSystem()));
        check(contains(report, "/dev/parport0: Zugriff erlaubt"),
              "Gruppe lp: Portliste zeigt den Zugriff");
        std::fflush(stdout);
        _exit(g_failures == 0 && g_checks == 3 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    check(WIFEXITED(status) && WEXITSTATUS(status) == 0, "Benutzer in Gruppe lp: alle Prüfungen");
    chmod("/dev/parport0", 0600);
}

void checkPrinterDriverLoaded() {
    const std::string pp = startError([] { openPpdevPort(realSystem(), "/dev/parport0", {}); });
    check(contains(pp, "Druckertreiber lp") && contains(pp, "rmmod lp"),
          "lp: ppdev verweigert: " + pp);
    const std::string raw =
        startError([] { openRawPort(realSystem(), kernelGrants(realSystem()), {}); });
    check(contains(raw, "rmmod lp"), "lp: Raw-I/O verweigert: " + raw);
    const std::string report = dravel::app::portBericht(examinePorts(realSystem()));
    check(contains(report, "Druckertreiber lp hält den Port. Abhilfe: sudo rmmod lp") &&
              contains(report, "lp geladen"),
          "lp: Portliste nennt den Druckertreiber");
    std::printf("%s", report.c_str());
}

// Booted with lockdown=integrity: raw I/O is refused with the lockdown named,
// ppdev still works.
void checkLockdown() {
    check(kernelLockdown(realSystem()) == "integrity", "Lockdown: Kernel meldet integrity");
    const std::string raw =
        startError([] { openRawPort(realSystem(), kernelGrants(realSystem()), {}); });
    check(contains(raw, "Lockdown „integrity“") && contains(raw, "--port /dev/parportN"),
          "Lockdown: Raw-I/O verweigert: " + raw);
    const std::string devPort = startError(
        [] { openRawPort(realSystem(), kernelGrants(realSystem()), {}, RawAccess::DevPort); });
    check(contains(devPort, "Lockdown"), "Lockdown: /dev/port verweigert: " + devPort);
    std::unique_ptr<Backend> port;
    const std::string pp =
        startError([&] { port = openPpdevPort(realSystem(), "/dev/parport0", {}); });
    check(pp.empty() && port, "Lockdown: ppdev startet" + (pp.empty() ? "" : " (" + pp + ")"));
    if (port) {
        port->write(kData, 0xA7);
        checkEqual(port->read(kData), 0xA7, "Lockdown: ppdev Daten lesen zurück");
    }
    const std::string report = dravel::app::portBericht(examinePorts(realSystem()));
    check(contains(report, "verboten durch Kernel-Lockdown"), "Lockdown: Portliste nennt ihn");
}

}  // namespace

int main(int argc, char** argv) {
    // This program writes real I/O ports: it runs only inside the emulated
    // machine, whose /init leaves this mark.
    if (access("/dravel-emulated-machine", F_OK) != 0 || getpid() == 1) {
        std::fprintf(stderr, "guest_test: nur im emulierten Rechner (run_emulated.sh)\n");
        return 2;
    }
    std::printf("\n");  // the console may still hold half a line of the kernel's
    const std::string option = argc > 1 ? argv[1] : "";
    const char* phase = option == "--printer-driver-loaded" ? "lp"
                        : option == "--lockdown"            ? "lockdown"
                                                            : "main";
    if (option == "--printer-driver-loaded") {
        checkPrinterDriverLoaded();
    } else if (option == "--lockdown") {
        checkLockdown();
    } else {
        std::printf("%s", dravel::app::portBericht(examinePorts(realSystem())).c_str());
        checkKernelGrants();
        IopermRefused refused;
        checkRaw(realSystem(), RawAccess::Ioperm, "ioperm", "Raw-I/O (ioperm)");
        checkRaw(realSystem(), RawAccess::DevPort, "dev-port", "Raw-I/O (/dev/port)");
        checkRaw(refused, RawAccess::Automatic, "ioperm-verweigert", "Raw-I/O (/dev/port)");
        checkPpdev();
        checkPinSwitching(openRawPort(realSystem(), kernelGrants(realSystem()), {}),
                          "Pins Raw-I/O");
        checkPinSwitching(openPpdevPort(realSystem(), "/dev/parport0", {}), "Pins ppdev");
        checkCapture(openPpdevPort(realSystem(), "/dev/parport0", {}), "ppdev");
        checkCapture(openRawPort(realSystem(), kernelGrants(realSystem()), {}, RawAccess::Ioperm),
                     "raw-ioperm");
        checkCapture(openRawPort(realSystem(), kernelGrants(realSystem()), {}, RawAccess::DevPort),
                     "raw-dev-port");
        checkGrantsOnHardware(realSystem(), RawAccess::Ioperm, "Freigaben ioperm");
        checkGrantsOnHardware(realSystem(), RawAccess::DevPort, "Freigaben dev-port");
        checkReportAsRoot();
        checkUnprivileged();
        checkGroupLp();
    }
    std::printf("DRAVEL-GUEST %s: %s (%d Prüfungen, %d fehlgeschlagen)\n", phase,
                g_failures == 0 && g_checks > 0 ? "PASS" : "FAIL", g_checks, g_failures);
    std::fflush(stdout);
    return g_failures == 0 ? 0 : 1;
}
