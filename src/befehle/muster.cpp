// dravel muster BITFOLGE: plays bit strings on data lines like the generator.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "befehle/gemeinsam.h"
#include "logik/abbruch.h"
#include "logik/ausgabemaschine.h"
#include "logik/echtzeit.h"
#include "logik/generator_logik.h"

namespace dravel::app::befehl {
namespace {

struct Muster {
    QString bitfolge1;
    QString bitfolge2;
    int leitung1 = 0;
    std::optional<int> leitung2;
    float zeitbasisMs = 0.1f;
    std::uint64_t durchläufe = 1;
    std::uint16_t adresse = 888;
};

Muster leseMuster(const QCommandLineParser& parser, const QStringList& argumente) {
    prüfeAnzahl(argumente, 1, 1, QStringLiteral("muster braucht eine BITFOLGE."));
    Muster m;
    const QString zweite = QStringLiteral("bitfolge2");
    const QString leitung2 = QStringLiteral("leitung2");
    if (!parser.isSet(QStringLiteral("leitung"))) {
        throw Ablehnung(QStringLiteral("muster braucht --leitung N, die Datenleitung 0..7."));
    }
    if (parser.isSet(zweite) != parser.isSet(leitung2)) {
        throw Ablehnung(
            QStringLiteral("--bitfolge2 und --leitung2 gehören zusammen: der zweite Kanal "
                           "braucht beide."));
    }
    // Capitals and equal lengths as in the generator window.
    m.bitfolge1 = generator::großbuchstaben(argumente.at(0));
    m.bitfolge2 = generator::großbuchstaben(parser.value(zweite));
    for (const QString* folge : {&m.bitfolge1, &m.bitfolge2}) {
        if (folge->size() > generator::kMaxBitstringLänge) {
            throw Ablehnung(QStringLiteral("Eine Bitfolge darf höchstens %1 Zeichen lang sein.")
                                .arg(generator::kMaxBitstringLänge));
        }
    }
    if (m.bitfolge1.isEmpty()) throw Ablehnung(QStringLiteral("BITFOLGE ist leer."));
    const qsizetype länge = std::max(m.bitfolge1.size(), m.bitfolge2.size());
    m.bitfolge1 += QString(länge - m.bitfolge1.size(), u'0');
    if (parser.isSet(zweite)) m.bitfolge2 += QString(länge - m.bitfolge2.size(), u'0');

    m.leitung1 = static_cast<int>(ganzzahlOption(parser, QStringLiteral("leitung"), 0, 7, 0));
    if (parser.isSet(leitung2)) {
        m.leitung2 = static_cast<int>(ganzzahlOption(parser, leitung2, 0, 7, 0));
        if (generator::startKollision(QString::number(m.leitung1), QString::number(*m.leitung2),
                                      QString(), false)) {
            throw Ablehnung(
                QStringLiteral("--leitung und --leitung2 nennen beide D%1: jeder Kanal braucht "
                               "seine eigene Datenleitung.")
                    .arg(m.leitung1));
        }
    }
    if (const auto ms = dauerOption(parser, QStringLiteral("zeitbasis"), kMillisekunden)) {
        m.zeitbasisMs = static_cast<float>(*ms);
    }
    m.durchläufe = ganzzahlOption(parser, QStringLiteral("durchlaeufe"), 0, UINT64_MAX, 1);
    if (parser.isSet(QStringLiteral("adresse"))) {
        m.adresse =
            adresseAus(parser.value(QStringLiteral("adresse")), QStringLiteral("--adresse"));
    }
    return m;
}

// The engine's questions answered from the command line: the settings stay
// as given, the passes are counted, and a signal ends the run at once (the
// lines keep their last levels, as after the window's Stop).
class Kommandolauf final : public generator::Ausgabesteuerung {
public:
    Kommandolauf(const Muster& muster, generator::Uhr& uhr) : muster_(muster), uhr_(uhr) {}

    std::int16_t adresse() override { return static_cast<std::int16_t>(muster_.adresse); }
    std::optional<std::int16_t> leitung1() override {
        return static_cast<std::int16_t>(muster_.leitung1);
    }
    std::optional<std::int16_t> leitung2() override {
        if (!muster_.leitung2) return std::nullopt;
        return static_cast<std::int16_t>(*muster_.leitung2);
    }
    float zeitbasisMs() override { return muster_.zeitbasisMs; }
    void durchlaufEnde() override {
        if (muster_.durchläufe != 0 && ++durchläufe_ >= muster_.durchläufe) weiter_ = false;
    }
    bool weiter() override { return weiter_; }
    bool abbrechen() override { return abbruchsignal() != 0; }
    // No window, no events: nothing to pump.
    void pumpe() override {}
    void schlafe(std::int64_t höchstensNs) override { warteBis(uhr_.jetztNs() + höchstensNs); }

private:
    const Muster& muster_;
    generator::Uhr& uhr_;
    std::uint64_t durchläufe_ = 0;
    bool weiter_ = true;
};

int spiele(const Muster& m) {
    const qsizetype n = m.bitfolge1.size();
    const generator::Pegelfolge bitfolge1 = generator::pegelfolge(m.bitfolge1, n);
    const generator::Pegelfolge bitfolge2 =
        m.leitung2 ? generator::pegelfolge(m.bitfolge2, n) : generator::Pegelfolge{};
    generator::Systemuhr uhr;
    Kommandolauf lauf(m, uhr);
    generator::Ausgabemaschine maschine(uhr, {.echtzeit = generator::echtzeit::gewünscht()});
    const generator::Laufstatistik statistik = maschine.lauf(lauf, bitfolge1, bitfolge2);
    std::fprintf(stderr, "dravel: %s\n", generator::statistikText(statistik).c_str());
    if (const int signal = abbruchsignal()) return 128 + signal;
    return 0;
}

}  // namespace

Befehl muster() {
    return {"muster",
            "Spielt Bitfolgen auf Datenleitungen ab wie der Signalgenerator.",
            "Spielt eine oder zwei Bitfolgen auf Datenleitungen ab, ein Zeichen je Zeitbasis, wie "
            "der Signalgenerator: 0, L und Leerzeichen sind Low, alle anderen Zeichen High; die "
            "kürzere Folge wird mit 0 aufgefüllt. Die übrigen Leitungen behalten ihren Pegel, am "
            "Ende bleibt der letzte. Gibt am Ende eine Zeile Statistik auf der Standardfehler"
            "ausgabe aus; „verspätet“ zählt darin die Schritte, die mehr als eine Zeitbasis zu "
            "spät kamen: nach jedem beginnt der Zeitplan neu, statt die verlorene Zeit in einem "
            "Schwall aufzuholen. Bei Zeitbasis 0 mit --trace begrenzt die Schreibgeschwindigkeit "
            "des Datenträgers die Schritte (etwa 100 MB/s VCD).",
            {{"BITFOLGE", "Die Pegel des ersten Kanals, z. B. 1100 oder HLLH.", "BITFOLGE"}},
            {option("leitung", "Datenleitung des ersten Kanals, 0..7 (D0..D7).", "N"),
             option("bitfolge2", "Bitfolge des zweiten Kanals.", "B"),
             option("leitung2", "Datenleitung des zweiten Kanals, 0..7, nicht dieselbe.", "M"),
             option("zeitbasis", "Millisekunden je Zeichen (Vorgabe 0,1; Punkt oder Komma).", "MS"),
             option("durchlaeufe", "So viele Durchläufe (Vorgabe 1, 0: bis Strg+C).", "K"),
             option("adresse", "Adresse des Datenregisters (Vorgabe 888 = 0x378).", "A")},
            [](const QCommandLineParser& p, const QStringList& a) {
                return mitPort(p, leseMuster(p, a), spiele);
            }};
}

}  // namespace dravel::app::befehl
