// dravel aufnehmen: the logic analyzer without a window.
#include <QLocale>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "befehle/befehle_logik.h"
#include "befehle/dekodieren.h"
#include "befehle/gemeinsam.h"
#include "logik/abbruch.h"
#include "logik/aufnahme_vcd.h"
#include "logik/aufnahmemaschine.h"
#include "logik/dateiname.h"
#include "logik/echtzeit.h"
#include "logik/einheiten.h"
#include "logik/kommandozeile.h"
#include "logik/maskiert.h"
#include "logik/messung.h"
#include "port/careful_file.h"
#include "port/port.h"

namespace dravel::app::befehl {
namespace {

using analysator::Aufnahmeeinstellungen;

struct Aufnehmen {
    Aufnahmeeinstellungen einstellungen;
    QString ausgabe;
    bool lückenlos = false;
    std::optional<Dekoderwunsch> dekoder;
};

QString text(const QCommandLineParser& parser, const char* name) {
    return parser.value(QString::fromUtf8(name));
}

Aufnehmen leseAufnehmen(const QCommandLineParser& parser, const QStringList& argumente) {
    prüfeAnzahl(argumente, 0, 0, {});
    Aufnehmen a;
    Aufnahmeeinstellungen& e = a.einstellungen;
    if (!parser.isSet(QStringLiteral("ausgabe"))) {
        throw Ablehnung(QStringLiteral("aufnehmen braucht --ausgabe DATEI.vcd."));
    }
    a.ausgabe = text(parser, "ausgabe");
    a.lückenlos = parser.isSet(QStringLiteral("lueckenlos"));
    if (parser.isSet(QStringLiteral("adresse"))) {
        e.basis = adresseAus(text(parser, "adresse"), QStringLiteral("--adresse"));
    }
    std::string fehler;
    if (parser.isSet(QStringLiteral("leitungen"))) {
        const auto pins = analysator::lesePins(text(parser, "leitungen").toStdString(), fehler);
        if (!pins)
            throw Ablehnung(
                QStringLiteral("--leitungen: %1.").arg(maskiert(QString::fromStdString(fehler))));
        e.pins = *pins;
    }
    if (const auto s = dauerOption(parser, QStringLiteral("dauer"), kSekunden)) {
        e.dauerNs = static_cast<std::uint64_t>(alsNs(*s, kSekunden.sekunden));
    }
    // One trigger at most: the option that names it and its reader.
    struct Art {
        const char* option;
        std::optional<analysator::Auslöser> (*lies)(std::string_view, std::string&);
    };
    constexpr Art kArten[] = {{"ausloeser", analysator::leseFlanke},
                              {"ausloeser-muster", analysator::leseMuster},
                              {"ausloeser-puls", analysator::lesePuls}};
    const Art* gewählt = nullptr;
    for (const Art& art : kArten) {
        if (!parser.isSet(QString::fromUtf8(art.option))) continue;
        if (gewählt) {
            throw Ablehnung(
                QStringLiteral("--%1 und --%2 schließen einander aus.")
                    .arg(QString::fromUtf8(gewählt->option), QString::fromUtf8(art.option)));
        }
        gewählt = &art;
    }
    if (gewählt) {
        const auto auslöser = gewählt->lies(text(parser, gewählt->option).toStdString(), fehler);
        if (!auslöser) {
            throw Ablehnung(QStringLiteral("--%1: %2.")
                                .arg(QString::fromUtf8(gewählt->option),
                                     maskiert(QString::fromStdString(fehler))));
        }
        e.auslöser = *auslöser;
    }
    e.vorlaufAnteil =
        static_cast<double>(ganzzahlOption(parser, QStringLiteral("vorlauf"), 0, 100, 10)) / 100.0;
    const analysator::Speicherhöchstmaß höchstens = analysator::größteGrenze();
    const std::uint64_t grenzeMiB = ganzzahlOption(parser, QStringLiteral("grenze"), 1, UINT64_MAX,
                                                   std::min<std::uint64_t>(256, höchstens.mib));
    if (grenzeMiB > höchstens.mib) {
        throw Ablehnung(QStringLiteral("--grenze %1 MiB ist mehr, als dieser Rechner hergibt: "
                                       "höchstens %2 MiB (%3).")
                            .arg(grenzeMiB)
                            .arg(höchstens.mib)
                            .arg(QString::fromUtf8(höchstens.grund)));
    }
    e.grenzeBytes = static_cast<std::size_t>(grenzeMiB) * analysator::kMiB;
    e.abtasten = parser.isSet(QStringLiteral("abtasten"));
    if (const QString grund = steuerzeichenImNamen(a.ausgabe); !grund.isEmpty()) {
        throw Ablehnung(QStringLiteral("--ausgabe „%1“: %2.").arg(maskiert(a.ausgabe), grund));
    }
    // The decoders are checked against the chosen lines before the port opens.
    a.dekoder = leseDekoderwunsch(parser);
    if (a.dekoder) {
        prüfeDekoderwunsch(*a.dekoder, std::make_shared<analysator::Aufnahme>(
                                           analysator::leitungenFür(e.pins), 0));
    }
    return a;
}

// The output file, opened and locked before the port is read and before a
// trace file exists, by the trace's rules: a capture may wait hours for its
// trigger, and a file that cannot take it must be refused before that.
std::optional<int> öffneAusgabe(const QCommandLineParser& parser, const Aufnehmen& a,
                                std::unique_ptr<port::SorgfältigeDatei>& datei) {
    const std::string pfad = dateinameVonBefehlszeile(QStringLiteral("ausgabe"), a.ausgabe);
    std::string grund;
    datei = port::SorgfältigeDatei::öffne(pfad, grund);
    if (datei && parser.isSet(QStringLiteral("trace")) &&
        datei->istDieselbe(dateinameVonBefehlszeile(QStringLiteral("trace"),
                                                    parser.value(QStringLiteral("trace"))))) {
        grund = "ist die Datei von --trace";
        datei->verwirf();
        datei.reset();
    }
    if (datei) return std::nullopt;
    std::fprintf(stderr, "dravel: --ausgabe „%s“: %s.\n", qPrintable(maskiert(a.ausgabe)),
                 maskiert(QString::fromStdString(grund)).toUtf8().constData());
    return 2;
}

int nimmAuf(const Aufnehmen& a, std::unique_ptr<port::SorgfältigeDatei> datei) {
    const Aufnahmeeinstellungen& e = a.einstellungen;
    // The header now: a disk with no room left refuses before the capture.
    std::string fehler;
    const auto schreiber = analysator::beginneVcd(std::move(datei), fehler);
    if (!schreiber) {
        std::fprintf(stderr, "dravel: %s\n",
                     maskiert(QString::fromStdString(fehler)).toUtf8().constData());
        return 2;
    }
    bool sicherungGemeldet = false;
    const auto meldeSicherung = [&] {
        if (sicherungGemeldet || schreiber->sicherungsfehler().empty()) return;
        sicherungGemeldet = true;
        std::fprintf(
            stderr, "dravel: %s Die Aufnahme wird ohne sie gespeichert.\n",
            maskiert(QString::fromStdString(schreiber->sicherungsmeldung())).toUtf8().constData());
    };
    meldeSicherung();

    const std::string hinweis = analysator::richtungsHinweis(
        e.pins, port::readUntraced(static_cast<std::uint16_t>(e.basis + 2)));
    if (!hinweis.empty()) std::fprintf(stderr, "dravel: %s\n", hinweis.c_str());

    analysator::PortOhneMitschnitt leser;
    analysator::Programmuhr uhr;
    analysator::Aufnahmemaschine maschine(leser, uhr);
    // The port is bound now, and with it --echtzeit checked (and a missing
    // permission said once).
    Aufnahmeeinstellungen mitEchtzeit = e;
    mitEchtzeit.echtzeit = generator::echtzeit::gewünscht();
    maschine.starte(mitEchtzeit);
    if (e.auslöser.art != analysator::Auslöser::Art::Keiner) {
        std::fprintf(stderr, "dravel: warte auf den Auslöser %s …\n",
                     analysator::text(e.auslöser).c_str());
    }
    while (maschine.läuft()) {
        const auto jetzt = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        if (!warteBis(jetzt.count() + 20'000'000)) break;
    }
    maschine.halte();

    std::shared_ptr<analysator::Aufnahme> aufnahme = maschine.aktuelle();
    if (!aufnahme) {
        // No trigger came: the file still says which lines were watched.
        std::fputs("dravel: Der Auslöser kam nicht; die Datei enthält keine Änderungen.\n", stderr);
        aufnahme = std::make_shared<analysator::Aufnahme>(analysator::leitungenFür(e.pins), 0);
        aufnahme->basis = e.basis;
        aufnahme->beende(analysator::Ende::Leer);
    }
    const bool gespeichert = analysator::speichereVcd(*aufnahme, *schreiber, fehler);
    meldeSicherung();
    if (!gespeichert) {
        std::fprintf(stderr, "dravel: %s\n",
                     maskiert(QString::fromStdString(fehler)).toUtf8().constData());
    }

    const QLocale deutsch(QLocale::German, QLocale::Germany);
    const std::size_t n = aufnahme->anzahl();
    const std::uint64_t von = n > 0 ? (*aufnahme)[0].zeitNs : 0;
    for (const analysator::Leitung& leitung : aufnahme->leitungen()) {
        const auto m = analysator::messe(*aufnahme, leitung.bit, von, aufnahme->bisNs());
        std::fprintf(stderr, "dravel: %s\n", analysator::messtext(leitung, m).c_str());
    }
    std::fprintf(
        stderr, "dravel: %zu %s in %s, %s; Ende: %s\n", n, n == 1 ? "Änderung" : "Änderungen",
        qPrintable(analysator::dauerText(static_cast<double>(aufnahme->bisNs() - von), 4, deutsch)),
        qPrintable(analysator::erfassungText(maschine, deutsch)),
        analysator::endeText(aufnahme->ende()));
    const analysator::Lückenbilanz lücken =
        analysator::lückenbilanz(*aufnahme, von, aufnahme->bisNs());
    std::fprintf(stderr, "dravel: %s\n",
                 analysator::lückentext(lücken, aufnahme->auflösungNs()).c_str());
    if (a.lückenlos && lücken.anzahl > 0) {
        std::fputs("dravel: --lueckenlos: Die Aufnahme hat Lücken (die Datei ist geschrieben).\n",
                   stderr);
    }
    const int signal = abbruchsignal();
    // Ctrl+C is how a capture without a duration ends: its decoders still
    // run, and a second Ctrl+C stops them.
    if (a.dekoder && (signal == 0 || signal == SIGINT)) {
        if (signal) fangeAbbruchAb();
        const int dekodiert = dekodiereUndZeige(*a.dekoder, aufnahme);
        if (dekodiert != 0 && !signal) return dekodiert;
    }
    return aufnahmestatus(signal, gespeichert, a.lückenlos, lücken.anzahl);
}

}  // namespace

Befehl aufnehmen() {
    Befehl befehl{
        "aufnehmen",
        "Zeichnet die Leitungen als Logikanalysator auf und schreibt eine VCD-Datei.",
        "Tastet die gewählten Leitungen so schnell ab, wie der Port es erlaubt (auf dem "
        "simulierten Port folgt sie stattdessen dem Protokoll seiner Schreibzugriffe und sieht "
        "jede Änderung zu ihrer Zeit), speichert nur Änderungen und schreibt sie als VCD-Datei "
        "(für PulseView und GTKWave). Mit Auslöser beginnt die Aufnahme an einer Flanke, einem "
        "Muster oder am Ende eines Pulses bestimmter Breite, ein Vorlauf davor. Am Ende steht "
        "je Leitung eine Zeile (Flanken, Frequenz, Tastgrad) und die erreichte Abtastrate auf der "
        "Standardfehlerausgabe, dazu die Lücken (Zeiten länger als 20 µs ohne Abtastwert: Anzahl, "
        "Summe, längste, Anteil; in der Datei die Leitung nicht_gesehen) und die Zeitauflösung. "
        "Mit --echtzeit tastet ein Echtzeit-Faden auf einer CPU ab. Strg+C beendet die Aufnahme "
        "mit vollständiger Datei.",
        {},
        {
            option("adresse", "Basisadresse des Ports (Vorgabe 888 = 0x378).", "A"),
            option("leitungen",
                   "Pins, z. B. 10,11,15 oder 2-9 (Vorgabe: alle 17 Signalpins). Nur die Register "
                   "dieser Pins werden gelesen.",
                   "PINS"),
            option("dauer", "Sekunden Aufnahme (Vorgabe 1; 0: bis Strg+C oder zur Speichergrenze).",
                   "S"),
            option("ausloeser",
                   "Beginnt an einer Flanke: PIN:steigend, PIN:fallend oder PIN:beide.", "PIN:ART"),
            option("ausloeser-muster",
                   "Beginnt, wenn das Muster eintritt, z. B. \"2=1,15=0\" (elektrische Pegel).",
                   "MUSTER"),
            option("ausloeser-puls",
                   "Beginnt am Ende eines Pulses, der kürzer (<) oder länger (>) ist als "
                   "angegeben, z. B. 10:hoch<1ms, 10:tief>500us oder 10:hoch>1ms<2ms.",
                   "PIN:PEGEL<DAUER"),
            option("vorlauf", "Anteil der Dauer vor dem Auslöser in Prozent (Vorgabe 10).",
                   "PROZENT"),
            option("grenze",
                   "Höchstens so viele MiB für die Änderungen (Vorgabe 256; nicht mehr, als der "
                   "Rechner hergibt).",
                   "MIB"),
            option("lueckenlos",
                   "Beendet den Befehl mit Status 1, wenn die Aufnahme Lücken hat (die Datei wird "
                   "trotzdem geschrieben)."),
            option("abtasten",
                   "Tastet auch den simulierten Port ab, statt seinem Protokoll aller "
                   "Schreibzugriffe zu folgen (zum Vergleich; dabei entgehen ihr Pulse, während "
                   "sie nicht zum Zug kommt)."),
            option("ausgabe",
                   "Die VCD-Datei der Aufnahme (daneben eine .gtkw für GTKWave); vor der "
                   "Aufnahme geöffnet und gesperrt wie die von --trace.",
                   "DATEI.vcd"),
        },
        [](const QCommandLineParser& p, const QStringList& argumente) {
            const Aufnehmen a = leseAufnehmen(p, argumente);
            std::unique_ptr<port::SorgfältigeDatei> datei;
            if (const auto status =
                    bindePortFürBefehl(p, [&] { return öffneAusgabe(p, a, datei); })) {
                // Refused after the file was opened (no trace file): undone.
                if (datei) datei->verwirf();
                return *status;
            }
            return nimmAuf(a, std::move(datei));
        }};
    for (QCommandLineOption& o : dekoderOptionen()) befehl.optionen.push_back(std::move(o));
    return befehl;
}

}  // namespace dravel::app::befehl
