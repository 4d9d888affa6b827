#include "befehle.h"

#include <QCommandLineParser>
#include <algorithm>
#include <cstdio>
#include <new>
#include <utility>
#include <vector>

#include "befehle/gemeinsam.h"
#include "logik/abbruch.h"
#include "logik/kommandozeile.h"
#include "logik/maskiert.h"
#include "logik/mitschnitt.h"
#include "logik/sprache.h"

namespace dravel::app {

namespace befehl {
// Each command lives in a file of its own and gives its entry here.
Befehl lesen();
Befehl schreiben();
Befehl beobachten();
Befehl muster();
Befehl aufnehmen();
Befehl prüfen();
Befehl dekodieren();
Befehl drucken();
Befehl drucker();
}  // namespace befehl

namespace {

const QString kEndstatusText = QStringLiteral(
    "\nRückgabewert der Befehle: 0 fertig, 1 Ausgabe nicht schreibbar, Mitschnitt oder "
    "Aufnahme unvollständig (Datenträger voll), bei drucken Zeitüberschreitung oder Druckerfehler, "
    "bei pruefen kein echter Port nutzbar, 2 Aufruf "
    "abgelehnt, Port, Mitschnitt- oder Aufnahmedatei nicht verfügbar, 128+N nach Signal N.\n");

using befehl::Ablehnung;
using befehl::Argument;
using befehl::Befehl;

const std::vector<Befehl>& befehle() {
    static const std::vector<Befehl> tabelle{
        befehl::lesen(),      befehl::schreiben(), befehl::beobachten(),
        befehl::muster(),     befehl::aufnehmen(), befehl::prüfen(),
        befehl::dekodieren(), befehl::drucken(),   befehl::drucker(),
    };
    return tabelle;
}

const Befehl* befehlNamens(const QString& name) {
    for (const Befehl& befehl : befehle()) {
        if (name == QLatin1String(befehl.name)) return &befehl;
    }
    return nullptr;
}

// The first argument that is no option, with the port options' values
// skipped; empty when there is none.
QString ersterBefehl(const QStringList& argumente) {
    QCommandLineParser parser;
    parser.addOptions(portOptionen());
    // Options unknown here are the command's own; only the positions count.
    (void)parser.parse(argumente);
    return parser.positionalArguments().value(0);
}

// The edits that turn one word into the other (Levenshtein distance).
qsizetype abstand(QStringView a, QStringView b) {
    std::vector<qsizetype> zeile(static_cast<std::size_t>(b.size()) + 1);
    for (qsizetype j = 0; j <= b.size(); ++j) zeile[std::size_t(j)] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = zeile[0];
        zeile[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype oben = zeile[std::size_t(j)];
            zeile[std::size_t(j)] =
                std::min({oben + 1, zeile[std::size_t(j - 1)] + 1,
                          diagonal + (a[i - 1].toLower() == b[j - 1].toLower() ? 0 : 1)});
            diagonal = oben;
        }
    }
    return zeile.back();
}

// A negative number where an address or a byte belongs reads to the parser
// as an option ("-1"); said as what it is.
void prüfeNegativeZahlen(const QStringList& argumente) {
    for (const QString& argument : argumente.mid(1)) {
        if (argument == QLatin1String("--")) return;
        if (argument.size() > 1 && argument[0] == u'-' && argument[1].isDigit()) {
            throw Ablehnung(QStringLiteral("„%1“: negative Zahlen sind weder Adressen noch Werte "
                                           "(Adressen 0..65535, Werte 0..255).")
                                .arg(maskiert(argument)));
        }
    }
}

}  // namespace

QString befehlsvorschlag(QStringView wort) {
    // The English words a user may try first.
    static const std::pair<const char*, const char*> kEnglisch[] = {
        {"read", "lesen"},    {"write", "schreiben"}, {"watch", "beobachten"},
        {"play", "muster"},   {"pattern", "muster"},  {"monitor", "beobachten"},
        {"check", "pruefen"}, {"doctor", "pruefen"},  {"decode", "dekodieren"},
    };
    for (const auto& [englisch, deutsch] : kEnglisch) {
        if (wort.compare(QLatin1String(englisch), Qt::CaseInsensitive) == 0) {
            return QStringLiteral(" Der Befehl heißt hier „%1“.").arg(QLatin1String(deutsch));
        }
    }
    if (wort.compare(QLatin1String("help"), Qt::CaseInsensitive) == 0) {
        return QStringLiteral(" Meinten Sie „--help“?");
    }
    const Befehl* nächster = nullptr;
    qsizetype kleinster = 3;  // more edits than two make a different word
    for (const Befehl& kandidat : befehle()) {
        const qsizetype d = abstand(wort, QString::fromLatin1(kandidat.name));
        if (d < kleinster) {
            kleinster = d;
            nächster = &kandidat;
        }
    }
    if (!nächster) return {};
    return QStringLiteral(" Meinten Sie „%1“?").arg(QLatin1String(nächster->name));
}

bool hatBefehl(int argc, char* argv[]) {
    QStringList argumente;
    for (int i = 0; i < argc; ++i) argumente << QString::fromLocal8Bit(argv[i]);
    return befehlNamens(ersterBefehl(argumente)) != nullptr;
}

int führeBefehlAus(const QStringList& argumente) {
    sprichQtDeutsch();  // the parser's "Aufruf:" and error texts
    const Befehl* befehl = befehlNamens(ersterBefehl(argumente));
    if (!befehl) return 2;
    const QString name = QString::fromUtf8(befehl->name);
    const QString abhilfe = QStringLiteral(" Abhilfe: dravel %1 --help").arg(name);

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(befehl->beschreibung));
    const QCommandLineOption hilfe({QStringLiteral("h"), QStringLiteral("help")},
                                   QStringLiteral("Zeigt diese Hilfe."));
    parser.addOption(hilfe);
    for (const QCommandLineOption& o : befehl->optionen) parser.addOption(o);
    parser.addOptions(portOptionen());
    // Qt's usage line knows no command: ours names it and its arguments.
    QString aufruf = QStringLiteral("Aufruf: %1 %2 [Optionen]").arg(argumente.value(0), name);
    for (const Argument& a : befehl->argumente) {
        parser.addPositionalArgument(QString::fromUtf8(a.name), QString::fromUtf8(a.text),
                                     QString::fromUtf8(a.aufruf));
        aufruf += u' ' + QString::fromUtf8(a.aufruf);
    }
    try {
        if (!parser.parse(argumente)) {
            prüfeNegativeZahlen(argumente);
            throw Ablehnung(maskiert(parser.errorText()));
        }
        if (parser.isSet(hilfe)) {
            QString text = parser.helpText();
            text.replace(0, text.indexOf(u'\n'), aufruf);
            std::fputs(qPrintable(text + kEndstatusText), stdout);
            return 0;
        }
        QStringList positionen = parser.positionalArguments();
        positionen.removeFirst();
        // Signals end a command cleanly from the moment the port opens.
        fangeAbbruchAb();
        // A trace that could not be completed fails the command.
        return mitMitschnittstatus(befehl->führeAus(parser, positionen));
    } catch (const Ablehnung& ablehnung) {
        std::fprintf(stderr, "dravel: %s%s\n", ablehnung.what(), abhilfe.toUtf8().constData());
        return 2;
    } catch (const std::bad_alloc&) {
        // Under a tight ulimit -v even a buffer of the file writer may be
        // refused: one line and a failure, not an abort with a core.
        std::fputs("dravel: Nicht genug Arbeitsspeicher.\n", stderr);
        return 1;
    }
}

QString befehlsübersicht() {
    QString text = QStringLiteral("\nBefehle ohne Fenster (für Skripte; jeder mit --help):\n");
    for (const Befehl& befehl : befehle()) {
        text += QStringLiteral("  %1 %2\n")
                    .arg(QString::fromUtf8(befehl.name), -11)
                    .arg(QString::fromUtf8(befehl.kurz));
    }
    return text + kEndstatusText;
}

}  // namespace dravel::app
