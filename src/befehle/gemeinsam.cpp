#include "gemeinsam.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "befehle/befehle_logik.h"
#include "logik/abbruch.h"
#include "logik/maskiert.h"
#include "port/digits.h"
#include "port/system_calls.h"

namespace dravel::app::befehl {
namespace {

bool g_ausgabeGeschlossen = false;

const QString kZahlformen = QStringLiteral("dezimal, 0x…, &H… oder 0b…");
constexpr double kLängsteDauer = 1e9;  // in the unit of the option; about eleven days in ms

std::optional<std::uint64_t> zahlAus(const QString& text, std::uint64_t größte) {
    return port::parseNumber(text.toStdString(), größte);
}

// " (/path/of/the/file)" when standard output is a file with a name.
std::string standardausgabeName() {
    if (g_ausgabeGeschlossen) return {};  // only /dev/null stands in for it
    char pfad[4096];
    const ssize_t n = ::readlink("/proc/self/fd/1", pfad, sizeof pfad - 1);
    if (n <= 0 || pfad[0] != '/') return {};
    return " (" + maskiert(QString::fromLocal8Bit(pfad, n)).toStdString() + ")";
}

std::string ausgabefehlerText(int fehlernummer) {
    // Closed at start, the descriptor may since belong to something else.
    if (fehlernummer == EBADF) return "sie ist geschlossen";
    return port::errnoText(fehlernummer);
}

}  // namespace

void Ausgabe::leere() {
    // Written in pieces a pipe with room takes whole, each after a wait that
    // a signal ends: a blocking write would not see the signal.
    std::size_t geschrieben = 0;
    if (g_ausgabeGeschlossen && belegt_ > 0) {
        fehler_ = true;
        fehlernummer_ = EBADF;
    }
    while (geschrieben < belegt_ && !fehler_ && warteAufAusgabe(STDOUT_FILENO)) {
        const ssize_t n = ::write(STDOUT_FILENO, puffer_.data() + geschrieben,
                                  std::min<std::size_t>(belegt_ - geschrieben, PIPE_BUF));
        if (n >= 0) {
            geschrieben += static_cast<std::size_t>(n);
        } else if (errno != EINTR && errno != EAGAIN) {
            fehler_ = true;
            fehlernummer_ = errno;
        }
    }
    belegt_ = 0;
}

std::uint16_t adresseAus(const QString& text, const QString& was) {
    const auto zahl = zahlAus(text, 0xFFFF);
    if (!zahl) {
        throw Ablehnung(QStringLiteral("%1 „%2“ ist keine Portadresse 0..65535 (%3).")
                            .arg(was, maskiert(text), kZahlformen));
    }
    return static_cast<std::uint16_t>(*zahl);
}

std::uint8_t byteAus(const QString& text) {
    const auto zahl = zahlAus(text, 255);
    if (!zahl) {
        throw Ablehnung(QStringLiteral("WERT „%1“ ist kein Byte 0..255 (%2).")
                            .arg(maskiert(text), kZahlformen));
    }
    return static_cast<std::uint8_t>(*zahl);
}

std::uint64_t ganzzahlOption(const QCommandLineParser& parser, const QString& name,
                             std::uint64_t kleinste, std::uint64_t größte, std::uint64_t vorgabe) {
    if (!parser.isSet(name)) return vorgabe;
    const QString text = parser.value(name);
    const auto zahl = zahlAus(text, größte);
    if (!zahl || *zahl < kleinste) {
        const QString bereich = größte == UINT64_MAX
                                    ? QStringLiteral("ab %1").arg(kleinste)
                                    : QStringLiteral("von %1 bis %2").arg(kleinste).arg(größte);
        throw Ablehnung(QStringLiteral("--%1 „%2“ ist keine ganze Zahl %3.")
                            .arg(name, maskiert(text), bereich));
    }
    return *zahl;
}

std::optional<double> dauerOption(const QCommandLineParser& parser, const QString& name,
                                  Zeiteinheit zeiteinheit) {
    if (!parser.isSet(name)) return std::nullopt;
    const QString text = parser.value(name);
    const QString einheit = QString::fromUtf8(zeiteinheit.name);
    bool zuKlein = false;
    const auto dauer = dauerAusArgument(text, kLängsteDauer, &zuKlein);
    if (zuKlein || (dauer && *dauer > 0 && alsNs(*dauer, zeiteinheit.sekunden) == 0)) {
        throw Ablehnung(QStringLiteral("--%1 „%2“ ist zu klein für eine Dauer in %3.")
                            .arg(name, maskiert(text), einheit));
    }
    if (!dauer) {
        throw Ablehnung(
            QStringLiteral("--%1 „%2“ ist keine Dauer in %3 (zum Beispiel 5, 0,5 oder 0.5, "
                           "höchstens 10⁹).")
                .arg(name, maskiert(text), einheit));
    }
    return dauer;
}

std::int64_t alsNs(double wert, double sekundenJeEinheit) {
    return std::llround(wert * sekundenJeEinheit * 1e9);
}

void prüfeAnzahl(const QStringList& argumente, qsizetype kleinste, qsizetype größte,
                 const QString& fehlt) {
    if (argumente.size() < kleinste) throw Ablehnung(fehlt);
    if (argumente.size() > größte) {
        throw Ablehnung(
            QStringLiteral("Unerwartetes Argument „%1“.").arg(maskiert(argumente.at(größte))));
    }
}

bool Takt::warte(std::int64_t endeNs) {
    fristNs_ += schrittNs_;
    const std::int64_t jetzt = uhr_.jetztNs();
    if (generator::beginntPlanNeu(jetzt - fristNs_, schrittNs_)) fristNs_ = jetzt;
    return warteBis(std::min(fristNs_, endeNs));
}

int endstatus(Ausgabe& ausgabe) {
    ausgabe.leere();
    if (const int signal = abbruchsignal()) return 128 + signal;
    if (ausgabe.fehler()) {
        std::fprintf(stderr, "dravel: Die Standardausgabe%s lässt sich nicht schreiben: %s.\n",
                     standardausgabeName().c_str(),
                     ausgabefehlerText(ausgabe.fehlernummer()).c_str());
        return 1;
    }
    return 0;
}

std::optional<int> bindePortFürBefehl(const QCommandLineParser& parser,
                                      const Vorprüfung& vorDemMitschnitt) {
    if (const auto status = bindePort(parser, false, vorDemMitschnitt)) return status;
    if (!parser.isSet(QStringLiteral("port"))) {
        // Nobody should take a silent run for a written port.
        std::fprintf(stderr,
                     "%s; ein echter Port mit --port raw oder --port /dev/parportN (siehe "
                     "--list-ports), ohne diese Zeile mit --port sim.\n",
                     kSimulierterPort);
    }
    return std::nullopt;
}

QCommandLineOption option(const char* name, const char* text, const char* wert) {
    return wert ? QCommandLineOption(QString::fromUtf8(name), QString::fromUtf8(text),
                                     QString::fromUtf8(wert))
                : QCommandLineOption(QString::fromUtf8(name), QString::fromUtf8(text));
}

}  // namespace dravel::app::befehl

namespace dravel::app {

void sichereStandardausgabe() {
    if (::fcntl(STDOUT_FILENO, F_GETFD) >= 0 || errno != EBADF) return;
    // open() takes the lowest free number, which is 1 now.
    if (::open("/dev/null", O_WRONLY) == STDOUT_FILENO) befehl::g_ausgabeGeschlossen = true;
}

}  // namespace dravel::app
