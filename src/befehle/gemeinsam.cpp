#include "gemeinsam.h"

#include <QLocale>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "befehle/befehle_logik.h"
#include "logik/abbruch.h"

namespace dravel::app::befehl {
namespace {

const QString kZahlformen = QStringLiteral("dezimal, 0x…, &H… oder 0b…");
constexpr double kLängsteDauer = 1e9;  // in the unit of the option; about eleven days in ms

}  // namespace

void Ausgabe::leere() {
    if (belegt_ > 0 && !fehler_) {
        fehler_ =
            std::fwrite(puffer_.data(), 1, belegt_, stdout) != belegt_ || std::fflush(stdout) != 0;
        if (fehler_) fehlernummer_ = errno;
    }
    belegt_ = 0;
}

std::uint16_t adresseAus(const QString& text, const QString& was) {
    const auto zahl = ganzzahlAusArgument(text, 0xFFFF);
    if (!zahl) {
        throw Ablehnung(QStringLiteral("%1 „%2“ ist keine Portadresse 0..65535 (%3).")
                            .arg(was, text, kZahlformen));
    }
    return static_cast<std::uint16_t>(*zahl);
}

std::uint8_t byteAus(const QString& text) {
    const auto zahl = ganzzahlAusArgument(text, 255);
    if (!zahl) {
        throw Ablehnung(
            QStringLiteral("WERT „%1“ ist kein Byte 0..255 (%2).").arg(text, kZahlformen));
    }
    return static_cast<std::uint8_t>(*zahl);
}

std::uint64_t ganzzahlOption(const QCommandLineParser& parser, const QString& name,
                             std::uint64_t kleinste, std::uint64_t größte, std::uint64_t vorgabe) {
    if (!parser.isSet(name)) return vorgabe;
    const QString text = parser.value(name);
    const auto zahl = ganzzahlAusArgument(text, größte);
    if (!zahl || *zahl < kleinste) {
        const QString bereich = größte == UINT64_MAX
                                    ? QStringLiteral("ab %1").arg(kleinste)
                                    : QStringLiteral("von %1 bis %2").arg(kleinste).arg(größte);
        throw Ablehnung(
            QStringLiteral("--%1 „%2“ ist keine ganze Zahl %3.").arg(name, text, bereich));
    }
    return *zahl;
}

std::optional<double> dauerOption(const QCommandLineParser& parser, const QString& name,
                                  const QString& einheit) {
    if (!parser.isSet(name)) return std::nullopt;
    const QString text = parser.value(name);
    const auto dauer = dauerAusArgument(text, QLocale(), kLängsteDauer);
    if (!dauer) {
        const QString beispiel = QStringLiteral("0") + QLocale().decimalPoint() + u'5';
        throw Ablehnung(
            QStringLiteral("--%1 „%2“ ist keine Dauer in %3 (zum Beispiel 5 oder %4, höchstens "
                           "10⁹).")
                .arg(name, text, einheit, beispiel));
    }
    return dauer;
}

Uhr::duration alsDauer(double wert, double sekundenJeEinheit) {
    return std::chrono::duration_cast<Uhr::duration>(
        std::chrono::nanoseconds(std::llround(wert * sekundenJeEinheit * 1e9)));
}

void prüfeAnzahl(const QStringList& argumente, qsizetype kleinste, qsizetype größte,
                 const QString& fehlt) {
    if (argumente.size() < kleinste) throw Ablehnung(fehlt);
    if (argumente.size() > größte) {
        throw Ablehnung(QStringLiteral("Unerwartetes Argument „%1“.").arg(argumente.at(größte)));
    }
}

Uhr::time_point nächsteFrist(Uhr::time_point frist, Uhr::duration schritt) {
    frist += schritt;
    const auto jetzt = Uhr::now();
    return jetzt - frist > schritt ? jetzt : frist;
}

int endstatus(Ausgabe& ausgabe) {
    ausgabe.leere();
    if (const int signal = abbruchsignal()) return 128 + signal;
    if (ausgabe.fehler()) {
        std::fprintf(stderr, "dravel: Die Standardausgabe lässt sich nicht schreiben: %s\n",
                     std::strerror(ausgabe.fehlernummer()));
        return 1;
    }
    return 0;
}

QCommandLineOption option(const char* name, const char* text, const char* wert) {
    return wert ? QCommandLineOption(QString::fromUtf8(name), QString::fromUtf8(text),
                                     QString::fromUtf8(wert))
                : QCommandLineOption(QString::fromUtf8(name), QString::fromUtf8(text));
}

}  // namespace dravel::app::befehl
