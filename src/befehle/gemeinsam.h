#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

#include "logik/ausgabemaschine.h"
#include "logik/kommandozeile.h"

// What every command without a window is made of: how it reads its
// arguments, writes its output and ends, and the entry it puts in the table.
namespace dravel::app::befehl {

// A refused command line: one German line for standard error.
class Ablehnung : public std::runtime_error {
public:
    explicit Ablehnung(const QString& zeile) : std::runtime_error(zeile.toStdString()) {}
};

// Standard output in large blocks: one system call per 64 KiB, not per line.
class Ausgabe {
public:
    // Room for one line; the line ends where `ende` says.
    char* zeile() {
        if (belegt_ + kZeile > puffer_.size()) leere();
        return puffer_.data() + belegt_;
    }
    void fertig(char* ende) { belegt_ = static_cast<std::size_t>(ende - puffer_.data()); }

    // Hands everything to the system now, for a reader that waits. A blocked
    // reader is waited for until a signal comes.
    void leere();
    [[nodiscard]] bool fehler() const { return fehler_; }
    [[nodiscard]] int fehlernummer() const { return fehlernummer_; }

private:
    static constexpr std::size_t kZeile = 64;
    std::array<char, 1 << 16> puffer_;
    std::size_t belegt_ = 0;
    bool fehler_ = false;
    int fehlernummer_ = 0;
};

// --- reading the arguments (each throws Ablehnung) ---------------------------

std::uint16_t adresseAus(const QString& text, const QString& was);
std::uint8_t byteAus(const QString& text);
std::uint64_t ganzzahlOption(const QCommandLineParser& parser, const QString& name,
                             std::uint64_t kleinste, std::uint64_t größte, std::uint64_t vorgabe);
// The unit a duration option is given in.
struct Zeiteinheit {
    const char* name;  // in messages: "Millisekunden"
    double sekunden;
};
inline constexpr Zeiteinheit kMillisekunden{"Millisekunden", 1e-3};
inline constexpr Zeiteinheit kSekunden{"Sekunden", 1.0};
// A duration option in `einheit`. A value other than 0 that would round to
// 0 ns is refused as too small: 0 means "no pause" or "until stopped", which
// nobody who typed 0.0000000004 asked for.
std::optional<double> dauerOption(const QCommandLineParser& parser, const QString& name,
                                  Zeiteinheit einheit);
// Nanoseconds of `wert` units of `sekundenJeEinheit` seconds.
std::int64_t alsNs(double wert, double sekundenJeEinheit);
// Refuses too few arguments with `fehlt`, and the first one too many.
void prüfeAnzahl(const QStringList& argumente, qsizetype kleinste, qsizetype größte,
                 const QString& fehlt);

// --- running -------------------------------------------------------------------

// A fixed schedule of steps `schrittNs` apart on the engine's clock, by the
// engine's rule for a late step.
class Takt {
public:
    Takt(generator::Uhr& uhr, std::int64_t schrittNs)
        : uhr_(uhr), schrittNs_(schrittNs), fristNs_(uhr.jetztNs()) {}
    // Waits for the next step (no longer than until `endeNs`); false when a
    // signal ends the command.
    bool warte(std::int64_t endeNs = INT64_MAX);
    [[nodiscard]] std::int64_t fristNs() const { return fristNs_; }

private:
    generator::Uhr& uhr_;
    std::int64_t schrittNs_;
    std::int64_t fristNs_;
};

// The exit status once the run is over: 128 + n after signal n, 1 when
// standard output could not be written (after one line), else 0.
int endstatus(Ausgabe& ausgabe);

// Every argument is checked before the port opens: a refusal never reaches it.
// Binds the port the options choose; without --port one line on standard
// error says the port is simulated. An exit status when it cannot be had.
// `vorDemMitschnitt` as with bindePort.
std::optional<int> bindePortFürBefehl(const QCommandLineParser& parser,
                                      const Vorprüfung& vorDemMitschnitt = {});

template <typename Einstellungen, typename Lauf>
int mitPort(const QCommandLineParser& parser, const Einstellungen& einstellungen, Lauf lauf) {
    if (const auto status = bindePortFürBefehl(parser)) return *status;
    return lauf(einstellungen);
}

// --- the table's entries -------------------------------------------------------

QCommandLineOption option(const char* name, const char* text, const char* wert = nullptr);

struct Argument {
    const char* name;
    const char* text;
    const char* aufruf;
};

struct Befehl {
    const char* name;
    const char* kurz;          // one line in "dravel --help"
    const char* beschreibung;  // the head of "dravel BEFEHL --help"
    std::vector<Argument> argumente;
    std::vector<QCommandLineOption> optionen;
    // Reads the arguments (throws Ablehnung), binds the port, runs.
    int (*führeAus)(const QCommandLineParser& parser, const QStringList& argumente);
};

}  // namespace dravel::app::befehl
