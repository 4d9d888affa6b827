// dravel dekodieren DATEI.vcd: protocol decoders over a saved capture.
#include "befehle/dekodieren.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "befehle/gemeinsam.h"
#include "logik/abbruch.h"
#include "logik/dateiname.h"
#include "logik/maskiert.h"
#include "logik/vcd_laden.h"

namespace dravel::app::befehl {
namespace {

[[noreturn]] void lehneAb(const std::string& fehler) {
    throw Ablehnung(maskiert(QString::fromStdString(fehler)) + u'.');
}

// "1000000", "250k", "1M", "2.5G" (as sigrok-cli's samplerate).
std::uint64_t leseRate(const QString& text) {
    QString zahl = text.trimmed();
    double faktor = 1;
    if (zahl.endsWith(u'k', Qt::CaseInsensitive)) faktor = 1e3;
    if (zahl.endsWith(u'M')) faktor = 1e6;
    if (zahl.endsWith(u'G', Qt::CaseInsensitive)) faktor = 1e9;
    if (faktor != 1) zahl.chop(1);
    bool ok = false;
    const double wert = zahl.replace(u',', u'.').toDouble(&ok) * faktor;
    if (!ok || !(wert >= 1) || wert > 1e9) {
        throw Ablehnung(QStringLiteral("--abtastrate „%1“: erwartet Proben je Sekunde von 1 bis "
                                       "1G (die Zeiten sind Nanosekunden), z. B. 1M oder 250k.")
                            .arg(maskiert(text)));
    }
    return static_cast<std::uint64_t>(wert);
}

void schreibe(Ausgabe& ausgabe, std::string_view text) {
    while (!text.empty()) {
        const std::size_t n = std::min<std::size_t>(text.size(), 64);
        char* z = ausgabe.zeile();
        std::copy_n(text.data(), n, z);
        ausgabe.fertig(z + n);
        text.remove_prefix(n);
    }
}

std::string sekunden(std::uint64_t ns, std::uint64_t nullpunktNs) {
    const bool davor = ns < nullpunktNs;
    const std::uint64_t d = davor ? nullpunktNs - ns : ns - nullpunktNs;
    char text[40];
    std::snprintf(text, sizeof text, "%s%" PRIu64 ".%09" PRIu64, davor ? "-" : "",
                  d / 1'000'000'000, d % 1'000'000'000);
    return text;
}

// A decoder's text is meant for one cell: no tabs or line breaks in a line.
std::string einzeilig(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c >= 0 && c < 0x20; }, ' ');
    return text;
}

// What a decoder declares, as the user names it (sigrok-cli's --show).
std::string beschreibung(const dekoder::Beschreibung& b) {
    std::string text = b.id + " – " + b.langname + ": " + b.beschreibung + "\n";
    if (b.eingaben != std::vector<std::string>{"logic"}) {
        text += "  liest, was ein Dekoder darunter liefert: ";
        for (const std::string& e : b.eingaben) text += e + " ";
        text += "\n";
    }
    for (const dekoder::Kanal& k : b.kanäle) {
        text += "  Kanal " + k.id + (k.pflicht ? " (Pflicht)" : "") + ": " + k.beschreibung + "\n";
    }
    for (const dekoder::Option& o : b.optionen) {
        text += "  Option " + o.id + "=" + o.vorgabe + ": " + o.beschreibung;
        for (std::size_t i = 0; i < o.werte.size(); ++i) {
            text += (i == 0 ? " (" : ", ") + o.werte[i] + (i + 1 == o.werte.size() ? ")" : "");
        }
        text += "\n";
    }
    for (const dekoder::Zeile& z : b.zeilen)
        text += "  Zeile " + z.id + ": " + z.beschreibung + "\n";
    return text;
}

int zeigeDekoder(const QCommandLineParser& parser) {
    std::string fehler;
    std::vector<dekoder::Beschreibung> gezeigt;
    if (parser.isSet(QStringLiteral("zeige"))) {
        auto b = dekoder::dekoder(parser.value(QStringLiteral("zeige")).toStdString(), fehler);
        if (!b) lehneAb("--zeige " + fehler);
        gezeigt.push_back(std::move(*b));
    } else {
        gezeigt = dekoder::alleDekoder(fehler);
        if (!fehler.empty()) lehneAb(fehler);
    }
    Ausgabe ausgabe;
    for (const dekoder::Beschreibung& b : gezeigt) {
        schreibe(ausgabe, gezeigt.size() == 1 ? beschreibung(b) : b.id + "\t" + b.langname + "\n");
    }
    return endstatus(ausgabe);
}

int dekodiereDatei(const QCommandLineParser& parser, const QStringList& argumente) {
    if (parser.isSet(QStringLiteral("liste")) || parser.isSet(QStringLiteral("zeige"))) {
        prüfeAnzahl(argumente, 0, 0, {});
        return zeigeDekoder(parser);
    }
    prüfeAnzahl(argumente, 1, 1, QStringLiteral("dekodieren braucht eine DATEI.vcd."));
    auto wunsch = leseDekoderwunsch(parser);
    if (!wunsch) {
        throw Ablehnung(
            QStringLiteral("dekodieren braucht --dekoder, z. B. --dekoder "
                           "uart:rx=10:baudrate=9600."));
    }
    std::string fehler;
    std::string hinweis;
    const std::string pfad = dateinameVonBefehlszeile(QStringLiteral("DATEI"), argumente.at(0));
    std::shared_ptr<const analysator::Aufnahme> aufnahme =
        analysator::ladeVcd(pfad, fehler, &hinweis);
    if (!aufnahme) {
        std::fprintf(stderr, "dravel: %s\n",
                     maskiert(QString::fromStdString(fehler)).toUtf8().constData());
        return 2;
    }
    prüfeDekoderwunsch(*wunsch, aufnahme);
    if (!hinweis.empty()) {
        std::fprintf(stderr, "dravel: %s\n",
                     maskiert(QString::fromStdString(hinweis)).toUtf8().constData());
    }
    return dekodiereUndZeige(*wunsch, aufnahme);
}

}  // namespace

std::vector<QCommandLineOption> dekoderOptionen() {
    return {
        QCommandLineOption(
            {QStringLiteral("P"), QStringLiteral("dekoder")},
            QStringLiteral("Dekoder wie bei sigrok-cli: ID:KANAL=LEITUNG:OPTION=WERT, "
                           "gestapelt mit Komma (uart:rx=10:baudrate=9600,midi); "
                           "mehrmals für mehrere Stapel. LEITUNG: Pinnummer, sonst "
                           "Name oder Nummer der Leitung in der Datei."),
            QStringLiteral("DEKODER")),
        QCommandLineOption({QStringLiteral("A"), QStringLiteral("annotationen")},
                           QStringLiteral("Nur diese Annotationen: ID=ZEILE:ZEILE,ID "
                                          "(uart=rx-data); ohne Zeilen alle des Dekoders."),
                           QStringLiteral("FILTER")),
        option("abtastrate",
               "Proben je Sekunde für die Dekoder, z. B. 1M (Vorgabe: die Auflösung der "
               "Aufnahme, doch höchstens 32 Proben im kürzesten Abstand zweier Änderungen "
               "der dekodierten Leitungen; "
               "ohne Auflösung 8 darin).",
               "RATE"),
    };
}

std::optional<Dekoderwunsch> leseDekoderwunsch(const QCommandLineParser& parser) {
    const QStringList angaben = parser.values(QStringLiteral("dekoder"));
    if (angaben.isEmpty()) return std::nullopt;
    Dekoderwunsch wunsch;
    std::string fehler;
    for (const QString& angabe : angaben) {
        auto stapel = dekoder::leseStapel(angabe.toStdString(), fehler);
        if (!stapel) lehneAb("--dekoder " + fehler);
        wunsch.stapel.push_back(std::move(*stapel));
    }
    wunsch.filter = parser.values(QStringLiteral("annotationen"));
    if (parser.isSet(QStringLiteral("abtastrate"))) {
        wunsch.abtastrateHz = leseRate(parser.value(QStringLiteral("abtastrate")));
    }
    return wunsch;
}

void prüfeDekoderwunsch(Dekoderwunsch& wunsch, std::shared_ptr<const analysator::Aufnahme> probe) {
    std::string fehler;
    if (!dekoder::Dekodierung::bereite(std::move(probe), wunsch.stapel, 1, fehler)) {
        lehneAb("--dekoder " + fehler);
    }
    wunsch.auswahl = {};
    for (const QString& text : wunsch.filter) {
        auto gelesen = dekoder::leseFilter(text.toStdString(), wunsch.stapel, fehler);
        if (!gelesen) lehneAb("--annotationen " + fehler);
        for (auto& e : gelesen->klassen) wunsch.auswahl.klassen.push_back(std::move(e));
    }
}

int dekodiereUndZeige(const Dekoderwunsch& wunsch,
                      std::shared_ptr<const analysator::Aufnahme> aufnahme) {
    std::string fehler;
    const std::uint64_t nullpunkt = aufnahme->nullpunktNs;
    auto dekodierung = dekoder::Dekodierung::bereite(std::move(aufnahme), wunsch.stapel,
                                                     wunsch.abtastrateHz, fehler);
    if (!dekodierung) {
        std::fprintf(stderr, "dravel: --dekoder %s.\n",
                     maskiert(QString::fromStdString(fehler)).toUtf8().constData());
        return 2;
    }
    // Collected as they come, without those not shown: a long capture's
    // rows of bits need not all wait in memory for the bytes.
    std::vector<dekoder::Annotation> annotationen;
    const auto hole = [&] {
        for (dekoder::Annotation& a : dekodierung->abholen()) {
            if (wunsch.auswahl.zeigt(a.dekoder, a.klasse)) annotationen.push_back(std::move(a));
        }
    };
    dekodierung->starte();
    while (!dekodierung->fertig()) {
        const auto jetzt = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        if (!warteBis(jetzt.count() + 20'000'000)) dekodierung->brichAb();
        hole();
    }
    const bool gelungen = dekodierung->warte();
    hole();
    // The decoders of a session run in threads of their own: one order for
    // every run.
    std::stable_sort(annotationen.begin(), annotationen.end(), [](const auto& a, const auto& b) {
        return std::tie(a.anfangNs, a.instanz) < std::tie(b.anfangNs, b.instanz);
    });
    Ausgabe ausgabe;
    std::size_t gezeigt = 0;
    std::size_t überLücken = 0;
    for (const dekoder::Annotation& a : annotationen) {
        ++gezeigt;
        überLücken += a.überLücke ? 1 : 0;
        schreibe(ausgabe, sekunden(a.anfangNs, nullpunkt) + '\t' + sekunden(a.endeNs, nullpunkt) +
                              '\t' + a.name + '\t' + a.zeile + '\t' +
                              einzeilig(a.texte.empty() ? std::string() : a.texte.front()) +
                              (a.überLücke ? "\tLücke\n" : "\n"));
    }
    const int status = endstatus(ausgabe);
    if (!gelungen && status == 0 && !abbruchsignal()) {
        std::fprintf(stderr, "dravel: %s.\n",
                     maskiert(QString::fromStdString(dekodierung->fehler())).toUtf8().constData());
        return 2;
    }
    // Stopped by a signal, what was found so far is not all there is.
    std::fprintf(
        stderr, "dravel: %zu %s bei %" PRIu64 " Proben/s%s%s\n", gezeigt,
        gezeigt == 1 ? "Annotation" : "Annotationen", dekodierung->abtastrate(),
        überLücken ? (", " + std::to_string(überLücken) + " über Lücken oder x/z").c_str() : "",
        gelungen ? "" : ", abgebrochen");
    return status;
}

Befehl dekodieren() {
    std::vector<QCommandLineOption> optionen = dekoderOptionen();
    optionen.emplace_back(QStringList{QStringLiteral("L"), QStringLiteral("liste")},
                          QStringLiteral("Zeigt die Dekoder, einen je Zeile."));
    optionen.push_back(
        option("zeige", "Zeigt Kanäle, Optionen (mit Vorgabe) und Zeilen eines Dekoders.", "ID"));
    return {"dekodieren",
            "Dekodiert eine gespeicherte Aufnahme mit Protokolldekodern (UART, SPI, I²C, …).",
            "Liest eine VCD-Datei (eine Aufnahme, eine --trace-Sitzung oder die Datei eines "
            "anderen Programms) und schreibt, was die Dekoder von sigrok darin finden: je "
            "Annotation eine Zeile mit Anfang und Ende in Sekunden, Dekoder, Zeile und Text, "
            "durch Tabulatoren getrennt; „Lücke“ am Ende, wo die Annotation über eine Lücke "
            "der Aufnahme reicht. Dravels eigener Dekoder centronics liest den Druckerhandshake.",
            {{"DATEI", "Die VCD-Datei.", "DATEI.vcd"}},
            optionen,
            [](const QCommandLineParser& p, const QStringList& argumente) {
                return dekodiereDatei(p, argumente);
            }};
}

}  // namespace dravel::app::befehl
